// Fetching small pages from the site simulator through one kept-alive client.
#include <benchmark/benchmark.h>

#include "engine/http_client.h"
#include "engine/proxy_settings.h"
// Benchmarks link the core library only, so the simulator helper is compiled in here.
#include "support/sitesim_fixture.cpp"

namespace {

using namespace trawlix;

void BM_FetchSmallPages(benchmark::State& aState) {
    test::TSiteSimulator sim;
    TProxySettings settings;
    TCHttpClient client(settings, false);
    const std::string url = sim.Url("/__sim/bytes?n=2048");
    constexpr int cPages = 1000;
    std::string body;
    for (auto _ : aState) {
        for (int page = 0; page < cPages; ++page) {
            client.Get(url, body);
            benchmark::DoNotOptimize(body.data());
        }
    }
    aState.SetItemsProcessed(aState.iterations() * cPages);
    auto requests = sim.Requests();
    aState.counters["connections"] = static_cast<double>(
        requests.empty() ? 0 : requests.back().connection - requests.front().connection + 1);
}
BENCHMARK(BM_FetchSmallPages)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same through the simulator as an HTTP proxy, with the Craigslist client's compression.
void BM_FetchCompressedThroughProxy(benchmark::State& aState) {
    test::TSiteSimulator sim;
    TProxySettings settings;
    settings.SetEnabled(true);
    settings.SetHost("127.0.0.1");
    settings.SetPort(sim.Port());
    TCHttpClient client(settings, true);
    const std::string url = "http://sfbay.craigslist.org/search/sss?query=count5";
    constexpr int cPages = 1000;
    std::string body;
    for (auto _ : aState) {
        for (int page = 0; page < cPages; ++page) {
            client.Get(url, body);
            benchmark::DoNotOptimize(body.data());
        }
    }
    aState.SetItemsProcessed(aState.iterations() * cPages);
}
BENCHMARK(BM_FetchCompressedThroughProxy)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
