#pragma once

#include <vector>

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

// For the window, which must not wait for the network: on a thread of its own, tells the
// untold site changes of aSearch (marking each told that went out), or sends the held
// digests of aSearches. Each status reaches aSession.OnNotificationStatus on the main thread.
void TellSiteChangesInBackground(const TSession& aSession, TSearch& aSearch);
void SendHeldDigestsInBackground(const TSession& aSession, const std::vector<TSearch*>& aSearches);

// Whether aDate falls in the quiet hours the settings hold now.
bool InQuietHours(const TSession& aSession, double aDate);

}  // namespace trawlix
