#include "model/map_regions.h"

#include "model/map_file.h"
#include "model/places.h"

namespace trawlix {

namespace {

template <typename Visit>
void ForPlaceAndBelow(const TPlace& aPlace, Visit&& aVisit) {
    std::vector<const TPlace*> pending{&aPlace};
    while (!pending.empty()) {
        const TPlace* place = pending.back();
        pending.pop_back();
        aVisit(*place);
        for (const TPlace* child : place->GetChildren()) pending.push_back(child);
    }
}

}  // namespace

TMapRegions::TMapRegions(const TColorMap& aColorMap, const TPlaces& aPlaces) : fItemCount(aColorMap.Count()) {
    fHasPlace.assign(fItemCount, false);
    for (int index = 0; index < fItemCount; ++index) {
        const TPlace* place = aPlaces.GetPlaceByID(aColorMap.GetItems()[index]->LocationID);
        if (!place) continue;
        fHasPlace[index] = true;
        ForPlaceAndBelow(*place, [&](const TPlace& aBelow) {
            auto& items = fItemsOfPlace[aBelow.GetID()];
            // A region named twice in the table counts once per item, never twice for one item.
            if (items.empty() || items.back() != index) items.push_back(index);
        });
    }
}

void TMapRegions::AddTo(std::vector<int>& aCounts, int aLocationID) const {
    auto found = fItemsOfPlace.find(aLocationID);
    if (found == fItemsOfPlace.end()) return;
    for (int index : found->second) ++aCounts[index];
}

std::vector<int> TMapRegions::Count(const TEntryList& aResults) const { return CountList(aResults); }

}  // namespace trawlix
