#pragma once

#include <vector>

#include "engine/critical_section.h"

namespace trawlix {

class TSearch;

// What one tab's picture should show, as the animation thread last read it from its search.
struct TAnimatedTab {
    const TSearch* Search = nullptr;
    bool Searching = false;
    bool NewResultsAvailable = false;
};

// The tab states computed off the main thread; the main thread applies them to the tabs.
// Taken after the window's tab lock wherever both are held.
class TAnimateData : public TThreadSafeObject {
public:
    TAnimateData() : TThreadSafeObject("TAnimateData") {}

    // Rebuilds the states from the searches of the tabs; their getters are thread-safe.
    void Rebuild(const std::vector<const TSearch*>& aSearches);
    // The entry of aSearch, or none. Call with the lock held.
    const TAnimatedTab* Find(const TSearch* aSearch) const {
        for (const TAnimatedTab& tab : fTabs)
            if (tab.Search == aSearch) return &tab;
        return nullptr;
    }
    bool NewResultsAvailable() const { return fNewResultsAvailable; }

private:
    std::vector<TAnimatedTab> fTabs;
    bool fNewResultsAvailable = false;
};

}  // namespace trawlix
