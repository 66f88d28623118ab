// Deciding whether a run's new results fold under earlier ones: a run adding 10,000 results
// to a search of 300,000, half of them copies of ads the search already holds.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "model/duplicate_folding.h"

namespace {

using namespace trawlix;

constexpr int cKnown = 300000;
constexpr int cAdded = 10000;

const char* const cWords[] = {"Oak", "Table", "Bike", "Trek", "Sofa", "Blue", "Vintage", "Honda", "Civic", "Lamp"};

IEntry Ad(int aNumber, const std::string& aCity) {
    // Titles of three words and a number, with the place in brackets as Craigslist shows it.
    const std::string title = std::string(cWords[aNumber % 10]) + " " + cWords[(aNumber / 10) % 10] + " " +
                              cWords[(aNumber / 100) % 10] + " #" + std::to_string(aNumber) + " (" + aCity + ")";
    return std::make_shared<TEntry>(ssCraigslist, "Mar 4", title,
                                    "http://" + aCity + ".craigslist.org/bik/" + std::to_string(aNumber) + ".html",
                                    5 + aNumber % 900, aCity, "bikes", false, 0, 45000 + aNumber % 30, "", "", "");
}

void BM_Fold10000NewInto300000(benchmark::State& state) {
    std::vector<IEntry> known;
    known.reserve(cKnown);
    for (int i = 0; i < cKnown; ++i) known.push_back(Ad(i, "boston"));
    std::vector<IEntry> added;
    for (int i = 0; i < cAdded; ++i) added.push_back(i % 2 ? Ad(i * 29, "worcester") : Ad(cKnown + i, "boston"));
    int folded = 0;
    std::unique_ptr<TDuplicateIndex> index;
    for (auto _ : state) {
        // Building the index (once per search, at its first run) and freeing it are not the run's folding.
        state.PauseTiming();
        index.reset();
        for (const IEntry& entry : added) entry->SetDuplicateOf({});
        index = std::make_unique<TDuplicateIndex>([](const IEntry&) { return true; });
        for (const IEntry& entry : known) index->Add(entry);
        folded = 0;
        state.ResumeTiming();
        for (const IEntry& entry : added) {
            if (const IEntry original = index->FindOriginal(*entry)) {
                index->Fold(entry, original);
                ++folded;
            } else {
                index->Add(entry);
            }
        }
        state.PauseTiming();
        index.reset();
        state.ResumeTiming();
    }
    if (folded != cAdded / 2) state.SkipWithError("the copies did not fold");
    state.counters["folded"] = folded;
}
BENCHMARK(BM_Fold10000NewInto300000)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the first run after a start pays once: indexing the search's results.
void BM_IndexOf300000Results(benchmark::State& state) {
    std::vector<IEntry> known;
    known.reserve(cKnown);
    for (int i = 0; i < cKnown; ++i) known.push_back(Ad(i, "boston"));
    for (auto _ : state) {
        TDuplicateIndex index([](const IEntry&) { return true; });
        for (const IEntry& entry : known) index.Add(entry);
        benchmark::DoNotOptimize(index);
    }
}
BENCHMARK(BM_IndexOf300000Results)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
