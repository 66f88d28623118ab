// Parsing speed of the three page kinds at their usual sizes.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/results_parser.h"
#include "parser_pages.h"
#include "sites/craig_results_parser.h"

namespace {

using namespace trawlix;
using namespace trawlix::bench;

void RunParser(benchmark::State& aState, TBaseResultsParser& aParser, const std::string& aPage, int aExpected) {
    int reported = 0;
    aParser.SetOnResultParsed([&](const TParsedResult& aResult) { reported += aResult.price >= 0; });
    for (auto _ : aState) {
        aParser.SetHTML(aPage);
        int count = aParser.Parse();
        if (count != aExpected) aState.SkipWithError("wrong number of ads");
        benchmark::DoNotOptimize(count);
    }
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations()) * static_cast<int64_t>(aPage.size()));
    aState.counters["page_bytes"] = static_cast<double>(aPage.size());
    benchmark::DoNotOptimize(reported);
}

void BM_CraigslistQueryPage100(benchmark::State& aState) {
    TCraigSiteResultsParser parser;
    RunParser(aState, parser, QueryPage(100), 100);
}

// Half the ads without a price: reading "no price" must cost no more than reading one.
void BM_CraigslistQueryPage100HalfUnpriced(benchmark::State& aState) {
    TCraigSiteResultsParser parser;
    RunParser(aState, parser, QueryPage(100, 2), 100);
}

void BM_CraigslistCategoryPage300(benchmark::State& aState) {
    TCraigSiteResultsParser parser;
    parser.SetOnlyCatListings(true);
    RunParser(aState, parser, CategoryPage(300), 300);
}

void BM_RssFeed100(benchmark::State& aState) {
    TBaseResultsParser parser;
    RunParser(aState, parser, Feed(100), 100);
}

BENCHMARK(BM_CraigslistQueryPage100);
BENCHMARK(BM_CraigslistQueryPage100HalfUnpriced);
BENCHMARK(BM_CraigslistCategoryPage300);
BENCHMARK(BM_RssFeed100);

}  // namespace
