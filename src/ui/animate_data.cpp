#include "ui/animate_data.h"

#include "model/search.h"

namespace trawlix {

void TAnimateData::Rebuild(const std::vector<const TSearch*>& aSearches) {
    // Read before taking our own lock: a search's lock is never taken inside it.
    std::vector<TAnimatedTab> tabs;
    tabs.reserve(aSearches.size());
    bool anyNew = false;
    for (const TSearch* search : aSearches) {
        const TAnimatedTab tab{search, search->GetSearching(), search->GetNewResultsAvailable().Available};
        anyNew = anyNew || tab.NewResultsAvailable;
        tabs.push_back(tab);
    }
    TCLock lock(fCriticalSection);
    fTabs = std::move(tabs);
    fNewResultsAvailable = anyNew;
}

}  // namespace trawlix
