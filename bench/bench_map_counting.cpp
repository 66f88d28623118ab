// Counting a search's results per region of the states map, as every refresh of the map
// view does: 100,000 results must count in under 20 ms.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "model/entry.h"
#include "model/map_file.h"
#include "model/map_regions.h"
#include "model/places.h"

using namespace trawlix;

namespace {

struct StatesMap {
    std::unique_ptr<TPlaces> places = TPlaces::CreateFromFile(std::string(TRAWLIX_SOURCE_DATA_DIR) + "/Places.cur");
    TColorMap colorMap;
    TEntryList results;

    explicit StatesMap(int aResults) {
        // The start map's table: one region per state, as the generated usa.cur has it.
        std::vector<int> placesBelow;
        for (int state = 100; state <= 150; ++state) {
            colorMap.SetLocation(RegionColor(state - 99, 156 + 99 - state, 128), state);
            colorMap.SetRange(RegionColor(state - 99, 156 + 99 - state, 128), TRange{0, 0, 10, 10});
            for (const TPlace* area : places->GetPlaceByID(state)->GetChildren()) {
                placesBelow.push_back(area->GetID());
                for (const TPlace* subArea : area->GetChildren()) placesBelow.push_back(subArea->GetID());
            }
        }
        std::mt19937 random(17);
        std::uniform_int_distribution<size_t> pick(0, placesBelow.size() - 1);
        for (int i = 0; i < aResults; ++i)
            results.push_back(std::make_shared<TEntry>(ssCraigslist, "", "ad", "http://a/" + std::to_string(i), 0.0,
                                                       "", "", false, placesBelow[pick(random)], 0.0, "", "", ""));
    }
};

void BM_CountResultsPerState(benchmark::State& aState) {
    StatesMap map(static_cast<int>(aState.range(0)));
    const TMapRegions regions(map.colorMap, *map.places);
    for (auto _ : aState) benchmark::DoNotOptimize(regions.Count(map.results));
}
BENCHMARK(BM_CountResultsPerState)->Arg(100000)->Unit(benchmark::kMillisecond);

// The table of places per region is made once per loaded map.
void BM_MapRegionsOfTheStatesMap(benchmark::State& aState) {
    StatesMap map(0);
    for (auto _ : aState) benchmark::DoNotOptimize(TMapRegions(map.colorMap, *map.places));
}
BENCHMARK(BM_MapRegionsOfTheStatesMap)->Unit(benchmark::kMillisecond);

}  // namespace
