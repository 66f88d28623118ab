#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/clock.h"
#include "model/entry.h"

namespace trawlix {

class TPlaces;
class TSearch;
class TSiteCategories;

// What a search run and the site adapters take from the program around it: the place
// tree, the sites' host names, the clock and the hooks for alerts and replies. The session
// installs one built on its settings when it is made; tests and tools install their own,
// so that a run can be driven with a place tree, a clock and settings of their choosing.
// A new environment answers as a program without a session would: no places, the sites'
// usual hosts, the local clock, no view to fill and no alerts.
struct TSearchRunEnvironment {
    TSearchRunEnvironment();

    // The whole place tree, for widening a search by distance; null leaves the selection as it is.
    std::function<const TPlaces*()> places;
    // The Backpage categories that the Backpage adapter maps category ids through.
    std::function<const TSiteCategories*()> backpageCategories;
    std::function<bool()> showUnreachableURLErrors;
    // The sites' host names (domains for the sites whose hosts name a city or a category).
    std::function<std::string()> craigslistDomain;
    std::function<std::string()> oodleDomain;
    std::function<std::string()> eBayClassifiedsDomain;
    std::function<std::string()> carsComHost;
    std::function<std::string()> autotraderHost;
    TNowFunction now;
    // The program is online and not shutting down, so the view may take results.
    std::function<bool()> canShowResults;
    // Alerts: the digest of an unattended run's new results. Called with the search's lock held.
    std::function<void(TSearch& aSearch)> notifyForNewResults;
    // Automatic replies to a result kept by an unattended run.
    std::function<void(TSearch& aSearch, const IEntry& aEntry)> queueAutomaticReply;
    // A watcher's poll: the pages come newest first, so once a page holds an ad the search
    // already knows, the further pages of that link hold only known ads too.
    bool stopPagingAtKnownAd = false;
};

// The installed environment, or a default one when none is installed.
std::shared_ptr<const TSearchRunEnvironment> GetSearchRunEnvironment();
// Installs aEnvironment (null returns to the default) and hands back the one it replaces.
// Runs already going keep theirs.
std::shared_ptr<const TSearchRunEnvironment> SetSearchRunEnvironment(
    std::shared_ptr<const TSearchRunEnvironment> aEnvironment);

}  // namespace trawlix
