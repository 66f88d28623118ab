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

void TellStatus(const TNotifyOutcome& aOutcome) {
    if (aOutcome.statusText.empty()) return;
    Synch().SynchronizeNonBlocking(
        [failed = aOutcome.failed](const std::string& aText) {
            TSession* session = Session();
            if (session && session->OnNotificationStatus) session->OnNotificationStatus(aText, failed);
        },
        aOutcome.statusText);
}

void InBackground(std::function<void()> aWork) {
    auto thread = std::make_unique<TSimpleThread>();
    thread->SetFreeOnTerminate(true);
    thread->SetExecuteMethod([work = std::move(aWork)](TNameValueList&) { work(); });
    TcThread::Launch(std::move(thread));
}

}  // namespace

void TellSiteChangesInBackground(const TSession& aSession, TSearch& aSearch) {
    const std::vector<TSiteProblemReport> reports = UntoldSiteChanges(aSearch);
    if (reports.empty()) return;
    InBackground([&aSession, &aSearch, reports] {
        for (const TSiteProblemReport& report : reports) {
            const TNotifyOutcome outcome = SendSiteNotice(aSession, aSearch, report);
            TellStatus(outcome);
            if (!outcome.failed && !outcome.held) MarkSiteChangeTold(aSearch, report);
        }
    });
}

void SendHeldDigestsInBackground(const TSession& aSession, const std::vector<TSearch*>& aSearches) {
    InBackground([&aSession, aSearches] {
        for (TSearch* search : aSearches) TellStatus(SendHeldDigest(aSession, *search));
    });
}

bool InQuietHours(const TSession& aSession, double aDate) {
    return ReadQuietHours(aSession.GetSettings()).Contains(aDate);
}

}  // namespace trawlix
