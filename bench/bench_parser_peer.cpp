// The Craigslist query page read by our parser and, in the same run, by the fastest way a
// Python scraper reads it: lxml with pre-compiled XPath (Debian python3-lxml, run with
// /usr/bin/python3). The figure that matters is the ratio of the two speeds.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "parser_pages.h"
#include "sites/craig_results_parser.h"

namespace {

using namespace trawlix;
using namespace trawlix::bench;

constexpr const char* kPeerPython = "/usr/bin/python3";

// Reads the page at argv[1] for about a second of processor time and prints its speed in
// MB/s (processor time on both sides, as the machine may be shared); every row
// gives its link, title and price as our parser does.
constexpr const char* kPeerScript = R"py(
import sys, time
from lxml import etree, html
page = open(sys.argv[1], 'rb').read()
rows = etree.XPath('//p[@class="row"]')
link = etree.XPath('string(.//a/@href)')
title = etree.XPath('string(.//a)')
count = 0
start = time.process_time()
rounds = 0
while time.process_time() - start < 1.0:
    for row in rows(html.fromstring(page)):
        t = title(row)
        price = t[t.rfind('$') + 1:] if '$' in t else ''
        count += len(link(row)) + len(price)
    rounds += 1
elapsed = time.process_time() - start
print(len(page) * rounds / elapsed / 1e6)
)py";

struct TPageFile {
    std::filesystem::path path;
    explicit TPageFile(const std::string& aPage) {
        std::string pattern = (std::filesystem::temp_directory_path() / "trawlix-peer-XXXXXX").string();
        int fd = mkstemp(pattern.data());
        if (fd < 0) throw std::runtime_error("mkstemp failed");
        close(fd);
        path = pattern;
        std::ofstream(path, std::ios::binary) << aPage;
    }
    ~TPageFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

// The peer's MB/s over the page, or nothing when python3-lxml is missing.
std::optional<double> PeerMegabytesPerSecond(const std::string& aPage) {
    TPageFile page(aPage);
    TPageFile script(kPeerScript);
    const std::string command =
        std::string(kPeerPython) + " " + script.path.string() + " " + page.path.string() + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    double speed = 0;
    const bool read = fscanf(pipe, "%lf", &speed) == 1;
    const int status = pclose(pipe);
    if (!read || status != 0 || speed <= 0) return std::nullopt;
    return speed;
}

void BM_CraigslistQueryPageAgainstLxml(benchmark::State& aState) {
    const std::string page = QueryPage(100);
    auto peer = PeerMegabytesPerSecond(page);
    if (!peer) {
        aState.SkipWithError("the peer needs python3-lxml for /usr/bin/python3");
        return;
    }
    TCraigSiteResultsParser parser;
    int ads = 0;
    parser.SetOnResultParsed([&](const TParsedResult&) { ++ads; });
    const std::clock_t start = std::clock();
    for (auto _ : aState) {
        parser.SetHTML(page);
        benchmark::DoNotOptimize(parser.Parse());
    }
    const double elapsed = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (ads != 100 * aState.iterations()) aState.SkipWithError("wrong number of ads");
    const double ours = static_cast<double>(page.size()) * static_cast<double>(aState.iterations()) /
                        elapsed / 1e6;
    aState.counters["ours_MBps"] = ours;
    aState.counters["lxml_MBps"] = *peer;
    aState.counters["ratio"] = ours / *peer;
}

BENCHMARK(BM_CraigslistQueryPageAgainstLxml)->Unit(benchmark::kMillisecond);

}  // namespace
