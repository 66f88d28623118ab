// Alerts: what the scheduler's 30-second check costs with 200 searches, and building the
// digest of a search holding 100,000 results of which 5,000 wait for it. Goal for the
// digest: under 50 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "app/alert_scheduler.h"
#include "engine/clock.h"
#include "mail/new_results_digest.h"
#include "model/filter.h"
#include "model/search.h"

namespace {

using namespace trawlix;

constexpr int kSearches = 200;
constexpr int kResults = 100000;
constexpr int kMarked = 5000;

// One check with 200 alerted searches, none of them due (the common tick), and one where
// all are due and queued (then emptied again, as the chain would).
void BM_SchedulerTick(benchmark::State& aState) {
    const bool allDue = aState.range(0) != 0;
    std::vector<std::unique_ptr<TSearch>> searches;
    const double now = LocalNow();
    for (int i = 0; i < kSearches; ++i) {
        searches.push_back(std::make_unique<TSearch>());
        searches.back()->GetAlert().SetEnabled(true);
        searches.back()->GetAlert().SetLastSearchedAt(allDue ? now - 1 : now);
    }
    TAlertScheduler::THooks hooks;
    hooks.searches = [&] {
        std::vector<TSearch*> list;
        list.reserve(searches.size());
        for (const auto& search : searches) list.push_back(search.get());
        return list;
    };
    hooks.startSearch = [](TSearch&) { return false; };
    hooks.now = [now] { return now; };
    for (auto _ : aState) {
        TAlertScheduler scheduler(hooks);
        benchmark::DoNotOptimize(scheduler.Tick());
    }
}
BENCHMARK(BM_SchedulerTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The digest walk: 100,000 results, every 20th marked, behind a typed filter that all pass.
void BM_BuildDigest(benchmark::State& aState) {
    TSearch search;
    search.SetName("Bikes");
    search.GetFilter().TempQuery().SetText("bike");
    search.GetFilter().PostTempQuery(true);
    std::vector<IEntry> marked;
    for (int i = 0; i < kResults; ++i) {
        auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 10", "red bike " + std::to_string(i),
                                              "http://sfbay.craigslist.org/bik/" + std::to_string(1000000 + i) + ".html",
                                              100 + i % 900, "city", "bikes", false, 0, 0, "", "", "");
        if (i % (kResults / kMarked) == 0) marked.push_back(entry);
        search.AddSearchResult(std::move(entry));
    }
    for (auto _ : aState) {
        aState.PauseTiming();
        for (const IEntry& entry : marked) entry->SetIncludeInEmailDigest(true);
        aState.ResumeTiming();
        TCLock lock(search.GetCriticalSection());
        TDigest digest = BuildDigest(search, 0);
        benchmark::DoNotOptimize(DigestEmailHTML("Bikes", digest));
    }
}
BENCHMARK(BM_BuildDigest)->Unit(benchmark::kMillisecond);

}  // namespace
