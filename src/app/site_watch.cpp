#include "app/site_watch.h"

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
