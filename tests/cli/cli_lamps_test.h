// What the command-line tests that run a search against the site simulator share: a profile
// that reaches the simulator as its proxy and holds one Craigslist search of three ads, "Lamps".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "support/sitesim_fixture.h"
#include "support/test_support.h"

namespace trawlix::test {

// The Craigslist ad links in aText, sorted; a link named twice stays twice.
inline std::vector<std::string> AdLinks(const std::string& aText) {
    std::vector<std::string> links;
    const std::regex link(R"re(https?://[a-z]+\.craigslist\.org/[^"\t\n]+\.html)re");
    for (auto it = std::sregex_iterator(aText.begin(), aText.end(), link); it != std::sregex_iterator(); ++it)
        links.push_back(it->str());
    std::sort(links.begin(), links.end());
    return links;
}

// The Craigslist ad links in aText, sorted, each once.
inline std::vector<std::string> DistinctAdLinks(const std::string& aText) {
    auto links = AdLinks(aText);
    links.erase(std::unique(links.begin(), links.end()), links.end());
    return links;
}

// The POSTs the simulator was sent whose address holds aPart.
inline std::vector<TSimRequest> PostsTo(const TSiteSimulator& aSim, const std::string& aPart) {
    std::vector<TSimRequest> posts;
    for (const auto& request : aSim.Requests())
        if (request.method == "POST" && request.url.find(aPart) != std::string::npos) posts.push_back(request);
    return posts;
}

class CliLampsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cli({"proxy", "--enable", "--host", "127.0.0.1", "--port", std::to_string(fSim.Port())});
        Cli({"add-search", "--name", "Lamps", "--keywords", "lamp count3", "--location", "10011", "--category", "24",
             "--sites", "craigslist", "--pages", "1"});
    }
    // Runs trawlix-cli on the test's profile and checks it ends with aExpected.
    ProcessResult Cli(const std::vector<std::string>& aArgs, int aExpected = 0) {
        auto result = RunCli(fProfile.Path(), aArgs);
        EXPECT_EQ(result.exitCode, aExpected) << aArgs[0] << ": " << result.err;
        return result;
    }
    ProcessResult RunCliIn(const std::vector<std::string>& aArgs, const std::map<std::string, std::string>& aEnv,
                           int aExpected) {
        auto result = RunCli(fProfile.Path(), aArgs, aEnv);
        EXPECT_EQ(result.exitCode, aExpected) << aArgs[0] << ": " << result.err;
        return result;
    }
    // Alerts of "Lamps" go, as JSON, to the simulator's web hook at /hook/trawlix.
    void SendAlertsToTheWebHook() {
        Cli({"config", "NotificationTransport", "webhook"});
        Cli({"config", "NotificationWebhookURL", "http://hooks.example.com/hook/trawlix"});
        Cli({"config", "NotificationWebhookFormat", "json"});
        Cli({"alert", "Lamps", "--enable", "--interval", "1", "--email", "me@example.com", "--send-email", "yes"});
    }

    TSiteSimulator fSim;
    TempDir fProfile;
};

}  // namespace trawlix::test
