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
        for (const auto& entry : aResults) AddEntry(counts, *entry);
        return counts;
    }

    // Whether the item's location id names a place.
    bool HasPlace(int aItemIndex) const { return fHasPlace[aItemIndex]; }

    // An ad whose coordinates the site gave counts in the region of the area nearest to it
    // (within this many miles), as the map's regions are drawn: the counties nearest to each
    // area. A search around a ZIP code brings ads of the neighbouring areas too.
    static constexpr double cNearAreaMiles = 100;

private:
    struct TAreaPoint {
        int index;
        double latitude;
        double longitude;
    };
    void AddEntry(std::vector<int>& aCounts, const TEntry& aEntry) const;
    void AddTo(std::vector<int>& aCounts, int aLocationID) const;
    // The item of the area nearest to the point within cNearAreaMiles; -1 when none is.
    int NearestArea(double aLatitude, double aLongitude) const;

    int fItemCount = 0;
    std::vector<bool> fHasPlace;
    // place id -> the items whose place is it or one of its ancestors (usually one)
    std::unordered_map<int, std::vector<int>> fItemsOfPlace;
    std::vector<TAreaPoint> fAreaPoints;  // the items whose place has coordinates
};

}  // namespace trawlix
