// Reading today's Craigslist answers (a full 360-item JSON batch, a 360-ad search page with
// its JSON-LD) beside the present reader of the old query pages, in one run.
#include <benchmark/benchmark.h>

#include <string>

#include "parser_pages.h"
#include "sites/craig_json_search.h"
#include "sites/craig_results_parser.h"

namespace {

using namespace trawlix;

constexpr int cItems = 360;

std::string JsonAnswer() {
    std::string items;
    for (int i = 0; i < cItems; ++i) {
        const std::string n = std::to_string(i);
        if (i) items += ",";
        items += "[" + n + "," + std::to_string(i * 37) + ",68," + (i % 5 ? std::to_string(10 + i) : "-1") + ",\"" +
                 std::to_string(i % 6) + ":" + std::to_string(i % 9) + "~37." + n + "~-122." + n +
                 "\",\"thumb" + n + "\",[13,\"6c1f0a2e-" + n + "-4f1d-9c1e-2b3a4d5e6f70\"],[4,\"3:00a0a_abcDEF" + n +
                 "_0CI0qt\",\"3:00b0b_xyzUVW" + n + "_0CI0qt\",\"3:00c0c_klmNOP" + n + "_0CI0qt\"],[6,\"oakland-solid-oak-desk-" +
                 n + "\"],[10,\"$" + std::to_string(10 + i) + "\"],\"Solid oak desk with matching chair number " + n + "\"]";
    }
    std::string locations, descriptions;
    for (int i = 0; i < 6; ++i) locations += std::string(i ? "," : "") + "[1,\"sfbay\",\"sub" + std::to_string(i) + "\"]";
    for (int i = 0; i < 9; ++i) descriptions += std::string(i ? "," : "") + "\"place " + std::to_string(i) + "\"";
    return R"({"data":{"decode":{"minPostingId":7800000000,"minPostedDate":1765000000,"locations":[)" + locations +
           R"(],"locationDescriptions":[)" + descriptions + R"(],"neighborhoods":[]},"items":[)" + items +
           R"(],"totalResultCount":4000}})";
}

std::string SearchPage() {
    std::string ld, rows;
    for (int i = 0; i < cItems; ++i) {
        const std::string n = std::to_string(i);
        const std::string title = "Solid oak desk with matching chair number " + n;
        if (i) ld += ",";
        ld += R"({"@type":"ListItem","position":")" + n + R"(","item":{"@type":"Product","name":")" + title +
              R"(","image":["https://images.craigslist.org/00a0a_abc)" + n +
              R"(_600x450.jpg","https://images.craigslist.org/00b0b_xyz)" + n +
              R"(_600x450.jpg"],"offers":{"@type":"Offer","price":")" + std::to_string(10 + i) +
              R"(.00","priceCurrency":"USD","availableAtOrFrom":{"@type":"Place","address":{"@type":"PostalAddress","addressLocality":"oakland","addressRegion":"CA","postalCode":"94607"},"geo":{"@type":"GeoCoordinates","latitude":37.8,"longitude":-122.27}}}}})";
        rows += "<li class=\"cl-static-search-result\" title=\"" + title +
                "\">\n<a href=\"https://sfbay.craigslist.org/eby/fuo/d/oakland-solid-oak-desk/78000" + n +
                ".html\">\n<div class=\"title\">" + title + "</div>\n<div class=\"details\"><div class=\"price\">$" +
                std::to_string(10 + i) + "</div><div class=\"location\">\noakland\n</div></div></a></li>\n";
    }
    return "<!DOCTYPE html><html><head><title>furniture - craigslist</title>\n"
           "<script type=\"application/ld+json\" id=\"ld_searchpage_results\" >\n"
           R"({"@context":"https://schema.org","@type":"ItemList","itemListElement":[)" + ld +
           "]}\n</script></head><body>\n<ol class=\"cl-static-search-results\">\n" + rows + "</ol></body></html>\n";
}

void RunParser(benchmark::State& aState, const std::string& aAnswer, int aExpected) {
    TCraigSiteResultsParser parser;
    int priced = 0;
    parser.SetOnResultParsed([&](const TParsedResult& aResult) { priced += aResult.price >= 0; });
    for (auto _ : aState) {
        parser.SetHTML(aAnswer);
        const int count = parser.Parse();
        if (count != aExpected) aState.SkipWithError("wrong number of ads");
        benchmark::DoNotOptimize(count);
    }
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations()) * static_cast<int64_t>(aAnswer.size()));
    aState.counters["answer_bytes"] = static_cast<double>(aAnswer.size());
    benchmark::DoNotOptimize(priced);
}

void BM_CraigslistJsonSearch360(benchmark::State& aState) { RunParser(aState, JsonAnswer(), cItems); }

// The reader alone, without handing the ads on.
void BM_CraigslistJsonSearch360ReaderOnly(benchmark::State& aState) {
    const std::string answer = JsonAnswer();
    for (auto _ : aState) {
        const auto read = ReadCraigJsonSearch(answer);
        if (read.ads.size() != cItems) aState.SkipWithError("wrong number of ads");
        benchmark::DoNotOptimize(read.ads.data());
    }
    aState.SetBytesProcessed(static_cast<int64_t>(aState.iterations()) * static_cast<int64_t>(answer.size()));
}

void BM_CraigslistSearchPage360(benchmark::State& aState) { RunParser(aState, SearchPage(), cItems); }

// The present reader of the old query pages, for comparison in the same run.
void BM_CraigslistClassicQueryPage100(benchmark::State& aState) {
    RunParser(aState, trawlix::bench::QueryPage(100), 100);
}

BENCHMARK(BM_CraigslistJsonSearch360);
BENCHMARK(BM_CraigslistJsonSearch360ReaderOnly);
BENCHMARK(BM_CraigslistSearchPage360);
BENCHMARK(BM_CraigslistClassicQueryPage100);

}  // namespace
