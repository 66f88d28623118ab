#pragma once

#include "mail/new_results_digest.h"
#include "run/site_problem.h"

namespace trawlix {

class TSearch;
class TSession;

// What watching does about a finished automatic run's sites and about quiet hours, shared
// by the window and `trawlix-cli watch`.

// Tells the user that a site turned bad or works again (nothing for a report without a
// change). Main thread; the search is not locked meanwhile.
TNotifyOutcome SendSiteNotice(const TSession& aSession, TSearch& aSearch, const TSiteProblemReport& aReport);

// The digest held back by quiet hours, sent now that they ended (nothing when no result
// waits). Takes the search's lock.
TNotifyOutcome SendHeldDigest(const TSession& aSession, TSearch& aSearch);

// Whether aDate falls in the quiet hours the settings hold now.
bool InQuietHours(const TSession& aSession, double aDate);

}  // namespace trawlix
