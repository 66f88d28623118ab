#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/clock.h"
#include "model/entry.h"

namespace trawlix {

class TPlaces;
class TSearch;

// What a search run takes from the program around it. The default reads the session and
// its settings; tests and tools install their own, so that a run can be driven with a
// place tree, a clock and settings of their choosing.
struct TSearchRunEnvironment {
    // The whole place tree, for widening a search by distance; null leaves the selection as it is.
    std::function<const TPlaces*()> places;
    std::function<bool()> showUnreachableURLErrors;
    std::function<std::string()> craigslistDomain;
    TNowFunction now;
    // The session is online and not shutting down, so the view may take results.
    std::function<bool()> canShowResults;
    // Alerts: the digest of an unattended run's new results. Called with the search's lock held.
    std::function<void(TSearch& aSearch)> notifyForNewResults;
    // Automatic replies to a result kept by an unattended run.
    std::function<void(TSearch& aSearch, const IEntry& aEntry)> queueAutomaticReply;
};

// The environment built on the session (Session() may be null: then empty answers).
std::shared_ptr<const TSearchRunEnvironment> SessionRunEnvironment();
// The installed environment, or the session's when none is installed.
std::shared_ptr<const TSearchRunEnvironment> GetSearchRunEnvironment();
// Installs aEnvironment (null returns to the session's). Runs already going keep theirs.
void SetSearchRunEnvironment(std::shared_ptr<const TSearchRunEnvironment> aEnvironment);

}  // namespace trawlix
