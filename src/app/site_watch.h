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

// Whether the last run of aSearch met a problem on every site it searched; false for a run
// that searched no site.
bool LastRunFailedEverywhere(const TSearch& aSearch);

// Follows a watcher's finished runs: due once every run for an hour failed on every site,
// told once; the first run that finds a site working starts over.
class TEverySiteDownWatch {
public:
    static constexpr double cAnHour = 1.0 / 24;  // dates count in days
    void RunEnded(bool aFailedEverywhere, double aNow);
    bool Due(double aNow) const { return fFailingSince > 0 && !fTold && aNow - fFailingSince >= cAnHour; }
    void Told() { fTold = true; }
    double FailingSince() const { return fFailingSince; }

private:
    double fFailingSince = 0;
    bool fTold = false;
};

// Tells the user that every site failed since aSince: through the chosen transport to the
// user's own address, and to each destination of the alerts in aSearches that are on.
TNotifyOutcome SendEverySiteDownNotice(const TSession& aSession, const std::vector<TSearch*>& aSearches, double aSince,
                                       const std::string& aLastProblem);

// Whether aDate falls in the quiet hours the settings hold now.
bool InQuietHours(const TSession& aSession, double aDate);

}  // namespace trawlix
