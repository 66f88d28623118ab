// Sorting and filtering the results view of one search holding 100,000 results: what a
// header click and a typed filter cost. Goal: each under 100 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "model/entry_sorting.h"
#include "model/filter.h"

namespace {

using namespace trawlix;

constexpr int kResults = 100000;

const char* const kMonths[] = {"Nov", "Dec"};
const char* const kWords[] = {"red", "blue", "mountain", "road", "vintage", "kids", "electric", "folding"};

TEntryList MakeResults() {
    TEntryList entries;
    entries.reserve(kResults);
    for (int i = 0; i < kResults; ++i) {
        // Ids, dates and prices scattered, so that no column is already in order.
        const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kResults);
        const std::string date = std::string(kMonths[scrambled % 2]) + " " + std::to_string(1 + scrambled % 28);
        const std::string name = std::string(kWords[scrambled % 8]) + " bike " + std::to_string(scrambled);
        auto entry = std::make_shared<TEntry>(
            ssCraigslist, date, name, "http://sfbay.craigslist.org/bik/" + std::to_string(1000000 + scrambled) + ".html",
            (scrambled % 1000) * 1.5, "city " + std::to_string(scrambled % 300), "bikes - by owner", scrambled % 3 == 0,
            0, 0, "", "", "");
        entry->SetNew(scrambled % 10 == 0);
        entries.push_back(std::move(entry));
    }
    return entries;
}

const TEntryList& Results() {
    static const TEntryList results = MakeResults();
    return results;
}

// What a header click costs: the view list put in the column's order.
void BM_SortView(benchmark::State& aState) {
    const int column = static_cast<int>(aState.range(0));
    TFilter filter;
    const double today = std::floor(LocalNow());
    for (auto _ : aState) {
        aState.PauseTiming();
        filter.Execute(&Results());  // every round starts from the unsorted list
        aState.ResumeTiming();
        filter.ReorderResults([&](TEntryList& aList) { SortEntries(aList, column, false, today); });
    }
    aState.SetLabel("100,000 results, column " + std::to_string(column));
}
BENCHMARK(BM_SortView)->Arg(cSortByDate)->Arg(cSortByCaption)->Arg(cSortByPrice)->Arg(cSortByLocation)
    ->Unit(benchmark::kMillisecond);

// The same through a compare function per comparison, for comparison.
void BM_SortViewByComparer(benchmark::State& aState) {
    const int column = static_cast<int>(aState.range(0));
    TFilter filter;
    for (auto _ : aState) {
        aState.PauseTiming();
        filter.Execute(&Results());
        aState.ResumeTiming();
        filter.SortResults(GetCurrentCompareFunc(column, false));
    }
    aState.SetLabel("100,000 results, column " + std::to_string(column));
}
BENCHMARK(BM_SortViewByComparer)->Arg(cSortByDate)->Arg(cSortByCaption)->Unit(benchmark::kMillisecond);

void BM_FilterAndSortView(benchmark::State& aState) {
    TFilter filter;
    filter.TempQuery().SetText("mountain");
    const double today = std::floor(LocalNow());
    for (auto _ : aState) {
        filter.Execute(&Results());
        filter.ReorderResults([&](TEntryList& aList) { SortEntries(aList, cSortByDate, false, today); });
        benchmark::DoNotOptimize(filter.GetResultsCount());
    }
    aState.SetLabel("100,000 results, 12,500 pass");
}
BENCHMARK(BM_FilterAndSortView)->Unit(benchmark::kMillisecond);

}  // namespace
