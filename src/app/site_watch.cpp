#include "app/site_watch.h"

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
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

bool InQuietHours(const TSession& aSession, double aDate) {
    return ReadQuietHours(aSession.GetSettings()).Contains(aDate);
}

}  // namespace trawlix
