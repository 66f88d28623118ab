// Saving as the user works: a large search is stored by the background saver while the
// main thread goes on using the search as the window does (the criteria copy every 300 ms,
// the results view). The figure that matters is the longest time the main thread waits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "bench_support.h"
#include "model/objects_storage.h"
#include "model/searches.h"

#include <sqlite3.h>

namespace {

using namespace trawlix;
using bench::MakeResult;
using bench::TBenchDir;
using Clock = std::chrono::steady_clock;

constexpr int kResults = 20000;
constexpr int kFavourites = 200;

// What the window does with the search on the main thread while it is saved: each step
// takes the search's lock as the criteria copy and the results view do.
void MainThreadStep(TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    aSearch.SetName(aSearch.GetName());
    aSearch.SetPagesCount(aSearch.GetPagesCount());
    benchmark::DoNotOptimize(aSearch.GetSearchResults().size());
}

void BM_BackgroundSaveOfALargeSearch(benchmark::State& aState) {
    TBenchDir dir;
    const auto database = dir.path / "object_storage.cur";
    std::filesystem::copy_file(std::filesystem::path(TRAWLIX_TESTS_DIR).parent_path() / "data" / "object_storage.cur",
                               database);
    TObjectsStorage storage(database.string());
    TSearches searches(dir.path, storage, {});
    TSearch& search = searches.AddSearch(std::make_unique<TSearch>());
    search.SetName("bikes");
    for (int i = 0; i < kResults; ++i) search.AddSearchResult(MakeResult(i));
    for (int i = 0; i < kFavourites; ++i) search.AddFavourite(std::make_shared<TFavourite>(*MakeResult(i), "a note"));

    double longestStallMs = 0;
    double saveMs = 0;
    for (auto _ : aState) {
        search.MarkModified();
        std::atomic<bool> saving{true};
        const auto saveStart = Clock::now();
        std::thread saver([&] {
            searches.SaveChangedSearches();
            saving = false;
        });
        while (saving) {
            const auto before = Clock::now();
            MainThreadStep(search);
            const double stall = std::chrono::duration<double, std::milli>(Clock::now() - before).count();
            longestStallMs = std::max(longestStallMs, stall);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        saver.join();
        saveMs = std::chrono::duration<double, std::milli>(Clock::now() - saveStart).count();
    }
    aState.counters["results"] = kResults;
    aState.counters["save_ms"] = saveMs;
    aState.counters["longest_main_thread_stall_ms"] = longestStallMs;
}
BENCHMARK(BM_BackgroundSaveOfALargeSearch)->Unit(benchmark::kMillisecond)->Iterations(5);

// Saving after a run: a search of 300,000 stored results gains 10,000 new ones and is
// saved. Only the new rows are written (rows_written counts every row the save changed in
// any table; the figure does not depend on the machine's load).
void BM_SavingARunIntoALargeSearch(benchmark::State& aState) {
    constexpr int kStored = 300000;
    constexpr int kAdded = 10000;
    TBenchDir dir;
    const auto database = dir.path / "object_storage.cur";
    std::filesystem::copy_file(std::filesystem::path(TRAWLIX_TESTS_DIR).parent_path() / "data" / "object_storage.cur",
                               database);
    TObjectsStorage storage(database.string());
    TSearch search;
    search.SetName("bikes");
    for (int i = 0; i < kStored; ++i) search.AddSearchResult(MakeResult(i));
    search.SaveToDB(storage);

    long long next = kStored;
    double rowsWritten = 0;
    for (auto _ : aState) {
        aState.PauseTiming();
        for (int i = 0; i < kAdded; ++i) search.AddSearchResult(MakeResult(next++));
        const auto changesBefore = sqlite3_total_changes64(storage.SQLLiteDB().Handle());
        aState.ResumeTiming();
        search.SaveToDB(storage);
        aState.PauseTiming();
        rowsWritten = static_cast<double>(sqlite3_total_changes64(storage.SQLLiteDB().Handle()) - changesBefore);
        aState.ResumeTiming();
    }
    aState.counters["stored"] = kStored;
    aState.counters["added"] = kAdded;
    aState.counters["rows_written"] = rowsWritten;
}
BENCHMARK(BM_SavingARunIntoALargeSearch)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
