#pragma once

#include <string>
#include <vector>

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

// The same in two steps, so that the send needs no search: made ready on the main thread,
// sent anywhere.
struct TPreparedNotice {
    TNotifyOutcome outcome;  // the whole outcome when there is nothing to send
    bool toSend = false;
    TAlertNotification notice;
    bool sms = false;
    bool email = false;
    bool hook = false;
    std::vector<std::string> destinations;  // the alert's own, instead of the parts above
};
TPreparedNotice PrepareSiteNotice(TSearch& aSearch, const std::string& aSiteName, const std::string& aProblem,
                                  const TNotifyContext& aContext);
TNotifyOutcome SendPreparedNotice(const TPreparedNotice& aNotice, const TNotifyContext& aContext);
// The notice that every site has failed on every run since aSince ("6:05 PM"): the watcher
// still runs but finds nothing. aLastProblem is the last reason a site gave.
TAlertNotification EverySiteDownNotice(const std::string& aSince, const std::string& aLastProblem);
// Sends aNotice through the chosen transport (the e-mail to aUserEmail) and to each of
// aDestinations; held in quiet hours, failed when any of them failed.
TNotifyOutcome NotifyEverySiteDown(TAlertNotification aNotice, const std::string& aUserEmail,
                                   const std::vector<std::string>& aDestinations, const TNotifyContext& aContext);

}  // namespace trawlix
