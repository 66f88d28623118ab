// Counting 100,000 results into the timeline's bars, as each refresh of the timeline does
// while a search runs. Goal: under 20 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/text_functions.h"
#include "model/timeline_bars.h"

namespace {

using namespace trawlix;
using namespace std::chrono;

constexpr int kResults = 100000;

// Results spread over every day of the year before today, scattered in list order.
const TEntryList& Results() {
    static const TEntryList results = [] {
        TEntryList entries;
        entries.reserve(kResults);
        for (int i = 0; i < kResults; ++i) {
            const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kResults);
            const std::string date = IntToCraigsMonth(1 + scrambled % 12) + " " + std::to_string(1 + scrambled % 28);
            entries.push_back(std::make_shared<TEntry>(ssCraigslist, date, "bike", "http://example.org/1.html", 10.0,
                                                       "", "", false, 0, 0, "", "", ""));
        }
        return entries;
    }();
    return results;
}

void BM_CountResultsPerDay(benchmark::State& aState) {
    const TEntryList& results = Results();
    for (auto _ : aState) benchmark::DoNotOptimize(CountResultsPerDay(results, 2026y / June / 15));
    aState.SetItemsProcessed(aState.iterations() * kResults);
}
BENCHMARK(BM_CountResultsPerDay)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
