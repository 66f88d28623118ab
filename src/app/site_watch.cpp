#include "app/site_watch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "mail/site_notice.h"
#include "model/search.h"
#include "model/searches.h"

namespace trawlix {

TNotifyOutcome SendSiteNotice(const TSession& aSession, TSearch& aSearch, const TSiteProblemReport& aReport) {
    if (aReport.change == TSiteProblemChange::None) return {};
    const std::string problem = aReport.change == TSiteProblemChange::TurnedBad ? aReport.problem : std::string();
    return NotifySiteProblem(aSearch, cSiteSearchStr[aReport.site], problem, aSession.MakeNotifyContext());
}

bool LastRunFailedEverywhere(const TSearch& aSearch) {
    int searched = 0;
    for (const auto& part : aSearch.GetSiteSearches()) searched += part->GetDoSearch() ? 1 : 0;
    return searched > 0 && static_cast<int>(LastRunSiteProblems(aSearch).size()) >= searched;
}

void TEverySiteDownWatch::RunEnded(bool aFailedEverywhere, double aNow) {
    if (!aFailedEverywhere) {
        fFailingSince = 0;
        fTold = false;
    } else if (fFailingSince == 0) {
        fFailingSince = aNow;
    }
}

TNotifyOutcome SendEverySiteDownNotice(const TSession& aSession, const std::vector<TSearch*>& aSearches, double aSince,
                                       const std::string& aLastProblem) {
    std::vector<std::string> destinations;
    for (const TSearch* search : aSearches) {
        if (!search->GetAlert().GetEnabled()) continue;
        for (const std::string& url : search->GetAlert().GetDestinations())
            if (std::find(destinations.begin(), destinations.end(), url) == destinations.end()) destinations.push_back(url);
    }
    const int minutes = static_cast<int>(std::lround((aSince - std::floor(aSince)) * 1440)) % 1440;
    char since[8];
    std::snprintf(since, sizeof since, "%02d:%02d", minutes / 60, minutes % 60);
    return NotifyEverySiteDown(EverySiteDownNotice(since, aLastProblem), aSession.GetSettings().GetUserEMail(),
                               destinations, aSession.MakeNotifyContext());
}

TNotifyOutcome SendHeldDigest(const TSession& aSession, TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    return aSession.SendDigest(aSearch);
}

namespace {

void TellStatusNow(const TNotifyOutcome& aOutcome) {
    TSession* session = Session();
    if (!aOutcome.statusText.empty() && session && session->OnNotificationStatus)
        session->OnNotificationStatus(aOutcome.statusText, aOutcome.failed);
}

void OnMainThreadLater(std::function<void()> aWork) {
    Synch().SynchronizeNonBlocking([work = std::move(aWork)](const std::string&) { work(); }, "");
}

void InBackground(std::function<void()> aWork) {
    auto thread = std::make_unique<TSimpleThread>();
    thread->SetFreeOnTerminate(true);
    thread->SetExecuteMethod([work = std::move(aWork)](TNameValueList&) { work(); });
    TcThread::Launch(std::move(thread));
}

// A search that was open when a send began, as a send thread remembers it: never used there,
// only looked for again on the main thread, since the user may close it while a slow server
// keeps the send waiting. The id tells a new search at the same address from it.
struct TSearchRef {
    const TSearch* address = nullptr;
    int id = 0;

    explicit TSearchRef(const TSearch& aSearch) : address(&aSearch), id(aSearch.GetID()) {}
    // Main thread: the search if it is still open, else null.
    TSearch* Find() const {
        TSession* session = Session();
        TSearches* searches = session ? session->GetMySearches() : nullptr;
        if (!searches) return nullptr;
        for (const auto& search : searches->GetAllSearches())
            if (search.get() == address && search->GetID() == id) return search.get();
        return nullptr;
    }
};

struct THeldDigest {
    TSearchRef search;
    TPreparedDigest digest;
};

// Main thread: what went out is noted on the search, if it is still open, and told.
void NoteHeldDigest(const THeldDigest& aHeld) {
    TSession* session = Session();
    if (!session) return;
    TSearch* search = aHeld.search.Find();
    if (!search) {
        TellStatusNow(session->NoteDigestSent(nullptr, aHeld.digest));
        return;
    }
    TCLock lock(search->GetCriticalSection());
    TellStatusNow(session->NoteDigestSent(search, aHeld.digest));
}

THeldDigest PrepareHeldDigest(const TSession& aSession, TSearch& aSearch, const TNotifyContext& aContext) {
    THeldDigest held{TSearchRef(aSearch), {}};
    {
        TCLock lock(aSearch.GetCriticalSection());
        held.digest = aSession.PrepareDigest(aSearch, aContext);
    }
    // What is about to be told is stored first, as for a run's own digest.
    if (held.digest.HasSends() && aContext.saveSearch) {
        try {
            aContext.saveSearch(aSearch);
        } catch (const std::exception&) {
            // The background saver tries again; the send does not wait for it.
        }
    }
    return held;
}

}  // namespace

void TellSiteChangesInBackground(const TSession& aSession, TSearch& aSearch) {
    const std::vector<TSiteProblemReport> reports = UntoldSiteChanges(aSearch);
    if (reports.empty()) return;
    // Made ready here: the thread sends copies and never reaches the search.
    const TNotifyContext context = aSession.MakeNotifyContext();
    std::vector<TPreparedNotice> notices;
    for (const TSiteProblemReport& report : reports) {
        const std::string problem = report.change == TSiteProblemChange::TurnedBad ? report.problem : std::string();
        notices.push_back(report.change == TSiteProblemChange::None
                              ? TPreparedNotice{}
                              : PrepareSiteNotice(aSearch, cSiteSearchStr[report.site], problem, context));
    }
    InBackground([context, notices, reports, search = TSearchRef(aSearch)] {
        for (std::size_t i = 0; i < reports.size(); ++i) {
            const TNotifyOutcome outcome = SendPreparedNotice(notices[i], context);
            OnMainThreadLater([outcome, report = reports[i], search] {
                TellStatusNow(outcome);
                // A notice that did not go out is tried again after the next run.
                if (TSearch* open = search.Find(); open && !outcome.failed && !outcome.held)
                    MarkSiteChangeTold(*open, report);
            });
        }
    });
}

void SendHeldDigestsInBackground(const TSession& aSession, const std::vector<TSearch*>& aSearches) {
    const TNotifyContext context = aSession.MakeNotifyContext();
    auto digests = std::make_shared<std::vector<THeldDigest>>();
    for (TSearch* search : aSearches) digests->push_back(PrepareHeldDigest(aSession, *search, context));
    InBackground([context, digests] {
        for (THeldDigest& held : *digests) {
            if (held.digest.HasSends()) SendPreparedDigest(held.digest, context);
            OnMainThreadLater([digests, &held] { NoteHeldDigest(held); });
        }
    });
}

bool InQuietHours(const TSession& aSession, double aDate) {
    return ReadQuietHours(aSession.GetSettings()).Contains(aDate);
}

}  // namespace trawlix
