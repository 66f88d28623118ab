// A whole Craigslist run against the simulator with page latency, merging a run's results
// into a large search, and the memory a large search takes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <fstream>
#include <string>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "model/categories.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/search.h"
#include "run/search_run_environment.h"
#include "run/site_search_run.h"
#include "sites/site_search_factory.h"
// Benchmarks link the core library only, so the simulator helper is compiled in here.
#include "support/sitesim_fixture.cpp"

namespace {

using namespace trawlix;

const std::filesystem::path cDataDir = std::filesystem::path(TRAWLIX_TESTS_DIR) / ".." / "data";

struct TReferenceData {
    TReferenceData() {
        places.LoadFromFile((cDataDir / "Places.cur").string());
        categories.LoadFromFile((cDataDir / "Categories.cur").string());
    }
    // The first aCount places with a Craigslist home page of their own.
    TPlaceList CraigslistCities(size_t aCount) const {
        TPlaceList cities;
        for (const auto& place : places.GetAllPlaces()) {
            if (cities.size() == aCount) break;
            const auto& craig = place->GetCraigSitePlace();
            if (craig.GetPlaceType() == 2 && craig.GetLink().rfind("http", 0) == 0 && place->GetChildren().empty())
                cities.push_back(place.get());
        }
        return cities;
    }
    TPlaces places;
    TCategories categories;
};

TReferenceData& Data() {
    static TReferenceData data;
    return data;
}

void InstallEnvironment() {
    InstallSiteSearchFactory();
    auto environment = std::make_shared<TSearchRunEnvironment>();
    environment->places = [] { return &Data().places; };
    environment->showUnreachableURLErrors = [] { return false; };
    environment->craigslistDomain = [] { return std::string("craigslist.org"); };
    SetSearchRunEnvironment(environment);
}

std::unique_ptr<TSearch> MakeSearch(const TPlaceList& aPlaces, const std::string& aKeywords) {
    auto search = std::make_unique<TSearch>();
    search->SetCompressedLocations(aPlaces);
    search->SetCategories({Data().categories.GetCategoryByID(50)});
    search->SetKeywords(aKeywords);
    search->SetPagesCount(1);
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == ssCraigslist);
    return search;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// 200 links, each page answered after 20 ms: one connection per site makes this latency-bound.
void BM_RunOf200LinksWith20msPages(benchmark::State& state) {
    InstallEnvironment();
    test::TSiteSimulator sim;
    THeadlessMainLoop loop;
    SetMainThreadBinding(&loop);
    TProxySettings proxy;
    proxy.SetEnabled(true);
    proxy.SetHost("127.0.0.1");
    proxy.SetPort(sim.Port());
    CreateSiteDownloaders(proxy);
    const TPlaceList cities = Data().CraigslistCities(200);
    int pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim.ClearFaults();
        sim.AddFault("craigslist.org/search", 0, 20, false, false, 1000);
        auto search = MakeSearch(cities, "count20");
        bool stopped = false;
        search->OnSearchStopped = [&](TSearch&) { stopped = true; };
        state.ResumeTiming();
        search->Search(nullptr, true);
        loop.RunUntil([&] { return stopped; }, std::chrono::minutes(2));
        state.PauseTiming();
        pages += SiteSearchRun(*search, ssCraigslist)->GetPagesFetched();
        if (search->GetSearchResults().size() != 200 * 20) state.SkipWithError("the run did not find every ad");
        state.ResumeTiming();
    }
    state.counters["pages_per_s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
    ReleaseSiteDownloaders();
    SetMainThreadBinding(nullptr);
    SetSearchRunEnvironment(nullptr);
}
BENCHMARK(BM_RunOf200LinksWith20msPages)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

std::unique_ptr<TSearch> SearchHolding(size_t aCount) {
    auto search = MakeSearch(Data().CraigslistCities(1), "");
    search->ExpandLocations();
    for (size_t i = 0; i < aCount; ++i)
        search->AddSearchResult(std::make_shared<TEntry>(
            ssCraigslist, "Mar 5", "vintage solid oak table - $120 (berkeley) pic",
            "http://sfbay.craigslist.org/eby/bia/" + std::to_string(2700000000 + i) + ".html", 120,
            "SF bay area - california - united states", "bicycles - for sale", true, 1, 0, "", "", ""));
    return search;
}

// 10,000 parsed ads merged into a search of 100,000: half of them known already.
void BM_Merge10000Into100000(benchmark::State& state) {
    InstallEnvironment();
    for (auto _ : state) {
        state.PauseTiming();
        auto search = SearchHolding(100000);
        state.ResumeTiming();
        TParsedResult ad;
        ad.date = "Mar 5";
        ad.name = "red bike - $50 (oakland)";
        ad.price = 50;
        ad.hasImage = true;
        for (int i = 0; i < 10000; ++i) {
            ad.link = "http://sfbay.craigslist.org/eby/bia/" + std::to_string(2700095000 + i) + ".html";
            search->ProcessResult(ssCraigslist, ad, 0, 0);
        }
        state.PauseTiming();
        if (search->GetSearchResults().size() != 105000) state.SkipWithError("unexpected merge result");
        search.reset();
        state.ResumeTiming();
    }
    SetSearchRunEnvironment(nullptr);
}
BENCHMARK(BM_Merge10000Into100000)->Unit(benchmark::kMillisecond);

// Bytes handed out by the allocator. The resident size alone misses a search built in
// memory that earlier benchmarks freed and the allocator kept: it then grows by nothing.
double HeapInUseBytes() { return static_cast<double>(mallinfo2().uordblks); }

void BM_ResidentMemoryOf100000Results(benchmark::State& state) {
    constexpr size_t kResults = 100000;
    double heapBefore = 0;
    double heapAfter = 0;
    std::unique_ptr<TSearch> search;
    for (auto _ : state) {
        search.reset();
        heapBefore = HeapInUseBytes();
        search = SearchHolding(kResults);
        heapAfter = HeapInUseBytes();
    }
    state.counters["process_rss_MB"] = ResidentKilobytes() / 1024.0;
    state.counters["search_heap_MB"] = (heapAfter - heapBefore) / (1024.0 * 1024.0);
    state.counters["bytes_per_result"] = (heapAfter - heapBefore) / kResults;
}
BENCHMARK(BM_ResidentMemoryOf100000Results)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
