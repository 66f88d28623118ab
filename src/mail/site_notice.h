#pragma once

#include <string>

#include "mail/new_results_digest.h"

namespace trawlix {

class TSearch;

// The notice that a site turned bad for a search (aProblem says how) or, with an empty
// aProblem, that it works again.
TAlertNotification SiteNotice(const std::string& aSearchName, const std::string& aSiteName,
                              const std::string& aProblem);

// Sends the notice to where the search's alert sends its digests, when the alert is on.
// Called without the search's lock: sending waits for the network.
TNotifyOutcome NotifySiteProblem(TSearch& aSearch, const std::string& aSiteName, const std::string& aProblem,
                                 const TNotifyContext& aContext);

}  // namespace trawlix
