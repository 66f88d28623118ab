// `run --json` names, per site, which kind of answer served it: Craigslist's JSON search
// when the simulator speaks today's site, its old pages when it speaks those.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace trawlix::test
