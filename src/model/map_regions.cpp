#include "model/map_regions.h"

#include <cmath>
#include <numbers>

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
        if (place->GetLatitude() != 0 && place->GetLongitude() != 0)
            fAreaPoints.push_back({index, place->GetLatitude(), place->GetLongitude()});
        ForPlaceAndBelow(*place, [&](const TPlace& aBelow) {
            auto& items = fItemsOfPlace[aBelow.GetID()];
            // A region named twice in the table counts once per item, never twice for one item.
            if (items.empty() || items.back() != index) items.push_back(index);
        });
    }
}

int TMapRegions::NearestArea(double aLatitude, double aLongitude) const {
    const double shrink = std::cos(aLatitude * std::numbers::pi / 180);
    int nearest = -1;
    double best = 0;
    for (const TAreaPoint& point : fAreaPoints) {
        // Compared, not measured: degrees of longitude shrunk to the latitude's do.
        const double dx = (point.longitude - aLongitude) * shrink;
        const double dy = point.latitude - aLatitude;
        const double distance = dx * dx + dy * dy;
        if (nearest < 0 || distance < best) {
            nearest = static_cast<int>(&point - fAreaPoints.data());
            best = distance;
        }
    }
    if (nearest < 0) return -1;
    const TAreaPoint& point = fAreaPoints[static_cast<size_t>(nearest)];
    return CoordinatesAreNear(cNearAreaMiles, aLatitude, aLongitude, point.latitude, point.longitude) ? point.index
                                                                                                      : -1;
}

void TMapRegions::AddEntry(std::vector<int>& aCounts, const TEntry& aEntry) const {
    // Only a result that belongs on this map moves within it.
    if (aEntry.GetHasGeo() && fItemsOfPlace.count(aEntry.GetLocationID())) {
        if (const int nearest = NearestArea(aEntry.GetLatitude(), aEntry.GetLongitude()); nearest >= 0) {
            ++aCounts[static_cast<size_t>(nearest)];
            return;
        }
    }
    AddTo(aCounts, aEntry.GetLocationID());
}

void TMapRegions::AddTo(std::vector<int>& aCounts, int aLocationID) const {
    auto found = fItemsOfPlace.find(aLocationID);
    if (found == fItemsOfPlace.end()) return;
    for (int index : found->second) ++aCounts[index];
}

std::vector<int> TMapRegions::Count(const TEntryList& aResults) const { return CountList(aResults); }

}  // namespace trawlix
