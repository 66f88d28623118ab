// Saving and loading the searches at exit and start, and merging look-ups by link.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench_support.h"
#include "model/objects_storage.h"
#include "model/searches.h"

namespace {

using namespace trawlix;
using bench::TBenchDir;

constexpr int kSearches = 20;
constexpr int kResultsPerSearch = 5000;

// Result aIndex of search aSearch: links differ between searches.
IEntry MakeResult(int aSearch, int aIndex) { return bench::MakeResult(aSearch * 1000000LL + aIndex); }

// A data folder with the installation's database holding kSearches searches of
// kResultsPerSearch results each, saved as an exit would save them.
struct TFilledStore {
    TBenchDir dir;
    std::filesystem::path database = dir.path / "object_storage.cur";

    TFilledStore() {
        std::filesystem::copy_file(std::filesystem::path(TRAWLIX_TESTS_DIR).parent_path() / "data" /
                                       "object_storage.cur",
                                   database);
        TObjectsStorage storage(database.string());
        TSearches searches(dir.path, storage, {});
        Fill(searches);
        searches.SaveMySearches();
    }

    static void Fill(TSearches& aSearches) {
        for (int s = 0; s < kSearches; ++s) {
            auto& search = aSearches.AddSearch(std::make_unique<TSearch>());
            search.SetName("search " + std::to_string(s));
            search.SetOrder(s);
            for (int i = 0; i < kResultsPerSearch; ++i) search.AddSearchResult(MakeResult(s, i));
        }
    }
};

void BM_SaveMySearches(benchmark::State& aState) {
    TFilledStore store;
    TObjectsStorage storage(store.database.string());
    TSearches searches(store.dir.path, storage, {});
    searches.LoadSearches();
    for (auto _ : aState) {
        // Only changed searches are written: make every one changed, as after a long session.
        aState.PauseTiming();
        for (const auto& search : searches.GetAllSearches()) search->MarkModified();
        aState.ResumeTiming();
        benchmark::DoNotOptimize(searches.SaveMySearches());
    }
    aState.counters["rows"] = kSearches * kResultsPerSearch;
}
BENCHMARK(BM_SaveMySearches)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadSearches(benchmark::State& aState) {
    TFilledStore store;
    TObjectsStorage storage(store.database.string());
    for (auto _ : aState) {
        TSearches searches(store.dir.path, storage, {});
        searches.LoadSearches();
        benchmark::DoNotOptimize(searches.GetAllSearches().size());
    }
    aState.counters["rows"] = kSearches * kResultsPerSearch;
}
BENCHMARK(BM_LoadSearches)->Unit(benchmark::kMillisecond)->Iterations(3);

// One look-up as a run's merge makes it: half of the links are known, half are new.
void BM_GetResultByLink(benchmark::State& aState) {
    TSearch search;
    const int count = kSearches * kResultsPerSearch;
    for (int i = 0; i < count; ++i) search.AddSearchResult(MakeResult(0, i));
    std::vector<std::string> links;
    for (int i = 0; i < 1000; ++i) links.push_back(MakeResult(0, i * 199)->GetLink());
    for (int i = 0; i < 1000; ++i) links.push_back(MakeResult(1, i)->GetLink());
    size_t next = 0;
    for (auto _ : aState) {
        TCLock lock(search.GetCriticalSection());
        benchmark::DoNotOptimize(TSearch::GetResultByLink(search.GetSearchResults(), links[next]));
        next = (next + 1) % links.size();
    }
}
BENCHMARK(BM_GetResultByLink)->Unit(benchmark::kNanosecond);

}  // namespace
