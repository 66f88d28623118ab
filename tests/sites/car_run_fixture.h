#pragma once

// Whole runs of car searches, fetched through the site simulator acting as the proxy,
// with each kept result checked against what the simulator says its page holds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/http_test_env.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "model/entry.h"
#include "sites/car_search_fixture.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix::test {

// A text as Python's json.dumps writes it: quoted, non-ASCII as \uXXXX escapes.
inline std::string PyJsonText(const std::string& aText) {
    std::string out = "\"";
    for (size_t i = 0; i < aText.size();) {
        const unsigned char c = static_cast<unsigned char>(aText[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // Two- and three-byte sequences cover the simulator's texts.
            const int length = c >= 0xE0 ? 3 : 2;
            unsigned code = c & (length == 3 ? 0x0F : 0x1F);
            for (int k = 1; k < length && i + k < aText.size(); ++k)
                code = (code << 6) | (static_cast<unsigned char>(aText[i + k]) & 0x3F);
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
            out += buffer;
            i += length;
        }
    }
    return out + "\"";
}

// The simulator's expectation of one car ad, field by field in its order.
inline std::string ExpectedCarAdJson(const TEntry& aEntry) {
    char price[32];
    std::snprintf(price, sizeof price, "%.1f", aEntry.GetPrice());
    return "{\"date\": \"\", \"title\": " + PyJsonText(aEntry.GetName()) + ", \"link\": " +
           PyJsonText(aEntry.GetLink()) + ", \"price\": " + price +
           ", \"has_image\": " + (aEntry.GetHasImage() ? "true" : "false") +
           ", \"description\": " + PyJsonText(aEntry.GetDescription()) + ", \"contact\": " +
           PyJsonText(aEntry.GetContact()) + "}";
}

class CarRunTest : public TSiteSimulatorTest {
protected:
    // Runs the search as the start button does and waits for its end.
    void Run(TSearch& aSearch) { ASSERT_TRUE(RunSearchToEnd(aSearch, fLoop, fErrors)) << "the run did not end"; }
    // What the runs told the user.
    const std::vector<std::string>& Errors() const { return fErrors; }
    static std::vector<IEntry> Results(const TSearch& aSearch) {
        TCLock lock(aSearch.GetCriticalSection());
        return {aSearch.GetSearchResults().begin(), aSearch.GetSearchResults().end()};
    }
    // Each result is one of the ads the simulator put on one of the fetched pages, read
    // field by field as it wrote it.
    void ExpectResultsFromPages(const std::vector<IEntry>& aResults, const std::vector<std::string>& aPages) {
        std::string expected;
        for (const std::string& page : aPages) expected += fSim.Expected(page);
        for (const IEntry& entry : aResults)
            EXPECT_NE(expected.find(ExpectedCarAdJson(*entry)), std::string::npos) << ExpectedCarAdJson(*entry);
    }
    int ExpectedAdCount(const std::string& aPage) const {
        const std::string json = fSim.Expected(aPage);
        int count = 0;
        for (size_t at = json.find("\"link\""); at != std::string::npos; at = json.find("\"link\"", at + 1)) ++count;
        return count;
    }

    TScopedEnv fHttpProxy{"http_proxy", "http://127.0.0.1:" + std::to_string(gSim->Port())};
    THeadlessMainLoop fLoop;
    std::vector<std::string> fErrors;
    TempDir fData;
    TScopedSimulatorDownloads fDownloads{gSim->Port(), fLoop, fData.Path()};
    TCarTrees fTrees;
    TScopedRunEnvironment fEnvironment{&fTrees.places};
};

}  // namespace trawlix::test
