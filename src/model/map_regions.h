#pragma once

// Which region of a map each result falls in. A region's place holds the results of the
// place itself and of every place below it; the table of those places is built once per
// map, so that counting is one look-up per result however many regions the map has.

#include <unordered_map>
#include <vector>

#include "model/entry.h"

namespace trawlix {

class TColorMap;
class TPlaces;

class TMapRegions {
public:
    // Regions whose location id names no place get no count.
    TMapRegions(const TColorMap& aColorMap, const TPlaces& aPlaces);

    // The number of results per colour-table item, in table order.
    std::vector<int> Count(const TEntryList& aResults) const;
    // The same for any list of entries (a search's result list).
    template <typename List>
    std::vector<int> CountList(const List& aResults) const {
        std::vector<int> counts(fItemCount, 0);
        for (const auto& entry : aResults) AddTo(counts, entry->GetLocationID());
        return counts;
    }

    // Whether the item's location id names a place.
    bool HasPlace(int aItemIndex) const { return fHasPlace[aItemIndex]; }

private:
    void AddTo(std::vector<int>& aCounts, int aLocationID) const;

    int fItemCount = 0;
    std::vector<bool> fHasPlace;
    // place id -> the items whose place is it or one of its ancestors (usually one)
    std::unordered_map<int, std::vector<int>> fItemsOfPlace;
};

}  // namespace trawlix
