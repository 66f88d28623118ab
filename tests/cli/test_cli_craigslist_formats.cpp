// `run --json` names, per site, which kind of answer served it: Craigslist's JSON search
// when the simulator speaks today's site, its old pages when it speaks those.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "cli/cli_lamps_test.h"

namespace trawlix::test {
namespace {

class CliCraigslistFormats : public CliLampsTest {};

TEST_F(CliCraigslistFormats, RunJsonNamesTheFormatThatServedEachSite) {
    auto classic = Cli({"run", "Lamps", "--json"});
    EXPECT_NE(classic.out.find(R"("sites":[{"site":"Craigslist","format":"classic","pages_fetched":1}])"),
              std::string::npos)
        << classic.out;

    RawHttpGet(fSim.Port(), "/__sim/craigslist?era=today");
    const std::map<std::string, std::string> env = {
        {"TRAWLIX_CA_BUNDLE", (TSiteSimulator::ScriptPath().parent_path() / "fixtures" / "tls" / "sites-ca.pem").string()}};
    auto today = RunCli(fProfile.Path(), {"run", "Lamps", "--json"}, env);
    EXPECT_EQ(today.exitCode, 0) << today.err;
    EXPECT_NE(today.out.find(R"("format":"json")"), std::string::npos) << today.out;
    EXPECT_EQ(today.err.find("site-problem"), std::string::npos) << today.err;
    bool askedJson = false;
    for (const auto& request : fSim.Requests())
        askedJson = askedJson || request.url.rfind("https://sapi.craigslist.org/web/v8/postings/search/full?batch=1-0-360", 0) == 0;
    EXPECT_TRUE(askedJson) << "the area id of sfbay comes from the reference list";
}

// The links of the ads in the simulator's expectation whose title holds aWord and whose link aPart.
std::vector<std::string> ExpectedLinksWith(const std::string& aExpectation, const std::string& aWord,
                                           const std::string& aPart) {
    std::vector<std::string> links;
    const std::regex ad(R"re(\{"title": "([^"]*)".*?"link": "([^"]*)")re");
    for (auto it = std::sregex_iterator(aExpectation.begin(), aExpectation.end(), ad); it != std::sregex_iterator(); ++it)
        if ((*it)[1].str().find(aWord) != std::string::npos && (*it)[2].str().find(aPart) != std::string::npos)
            links.push_back((*it)[2].str());
    std::sort(links.begin(), links.end());
    return links;
}

// Two watched searches of one area and category with different words: one tick of the
// watcher asks today's JSON search once, and each search keeps exactly its own matches.
TEST_F(CliCraigslistFormats, OneWatcherTickAsksTheJsonSearchOnceForSearchesOfOneAreaAndCategory) {
    RawHttpGet(fSim.Port(), "/__sim/craigslist?era=today");
    const std::map<std::string, std::string> env = {
        {"TRAWLIX_CA_BUNDLE", (TSiteSimulator::ScriptPath().parent_path() / "fixtures" / "tls" / "sites-ca.pem").string()}};
    Cli({"config", "RequestsPerMinutePerHost", "600"});  // no waiting for turns in the test
    for (const std::string word : {"red", "desk"}) {
        Cli({"add-search", "--name", word, "--keywords", word, "--location", "10011", "--category", "24", "--sites",
             "craigslist", "--pages", "1", "--titles-only"});
        Cli({"alert", word, "--enable", "--interval", "1"});
    }
    fSim.ClearRequests();
    const auto watch = RunCli(fProfile.Path(), {"watch", "--once"}, env);
    EXPECT_EQ(watch.exitCode, 0) << watch.err;
    std::vector<std::string> asked;
    for (const auto& request : fSim.Requests())
        if (request.url.find("sapi.craigslist.org/web/v8/postings/search/full") != std::string::npos)
            asked.push_back(request.url);
    ASSERT_EQ(asked.size(), 1u) << watch.out;
    const std::string expectation = fSim.Expected(asked.front());
    for (const std::string word : {"red", "desk"}) {
        // The batch holds the whole area; the search's place is the city's sub-area.
        const auto want = ExpectedLinksWith(expectation, word, "/sfc/");
        EXPECT_FALSE(want.empty()) << word;
        EXPECT_EQ(DistinctAdLinks(Cli({"results", word}).out), want) << word;
    }
}

}  // namespace
}  // namespace trawlix::test
