// trawlix-cli map: a search's results counted per region, and the map drawn with them.
#include <gtest/gtest.h>

#include <string>

#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using trawlix::test::ReadFile;
using trawlix::test::RunCli;
using trawlix::test::TempDir;

TEST(CliMap, CountsTheFilteredResultsPerStateAndPerArea) {
    trawlix::test::TSiteSimulator sim;
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port", std::to_string(sim.Port())})
                  .exitCode,
              0);
    // San Francisco (California) and Boston (Massachusetts).
    ASSERT_EQ(RunCli(profile.Path(), {"add-search", "--name", "Lamps", "--keywords", "lamp count4", "--location", "1001",
                                      "--location", "1004", "--category", "24", "--sites", "craigslist", "--pages", "1"})
                  .exitCode,
              0);
    auto run = RunCli(profile.Path(), {"run", "Lamps"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // Four ads in each sub-area searched: the SF bay area's seven and Boston's six, all
    // counted in their area and their state.
    auto states = RunCli(profile.Path(), {"map", "Lamps"});
    ASSERT_EQ(states.exitCode, 0) << states.err;
    EXPECT_EQ(states.out, "California\t104\t28\nMassachusetts\t121\t24\n");

    auto json = RunCli(profile.Path(), {"map", "Lamps", "--json"});
    EXPECT_EQ(json.out,
              "[{\"hint\":\"California\",\"location_id\":104,\"count\":28},"
              "{\"hint\":\"Massachusetts\",\"location_id\":121,\"count\":24}]\n");

    auto areas = RunCli(profile.Path(), {"map", "Lamps", "--map", "massachusetts.cur"});
    ASSERT_EQ(areas.exitCode, 0) << areas.err;
    EXPECT_EQ(areas.out, "boston\t1004\t24\n");

    // The filter narrows the counts as it narrows the list.
    ASSERT_EQ(RunCli(profile.Path(), {"filter", "Lamps", "add", "--field", "location", "no such place"}).exitCode, 0);
    auto filtered = RunCli(profile.Path(), {"map", "Lamps", "--json"});
    EXPECT_EQ(filtered.out, "[]\n") << filtered.err;
}

TEST(CliMap, RendersThePictureAndNamesAMapItCannotRead) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"add-search", "--name", "Empty", "--location", "1001"}).exitCode, 0);
    auto rendered = RunCli(profile.Path(), {"map", "Empty", "--render", (profile / "usa.png").string()});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
    EXPECT_EQ(rendered.out, "");
    const std::string png = ReadFile(profile / "usa.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x02\x58\0\0\x01\x65", 8)) << "600 x 357";

    trawlix::test::WriteFile(profile / "broken.cur", "BM");
    struct {
        std::vector<std::string> args;
        int exitCode;
        std::string error;
    } cases[] = {
        {{"map", "Empty", "--map", "nowhere.cur"}, 1, "nowhere.cur: No such file or directory"},
        {{"map", "Empty", "--map", (profile / "broken.cur").string()}, 1, "broken.cur: the visible picture is missing"},
        {{"map", "Empty", "--render", (profile / "no/folder/x.png").string()}, 1, "Cannot write"},
        {{"map", "Nothing"}, 1, "No search has the id or name"},
        {{"map"}, 2, "map needs exactly one SEARCH"},
    };
    for (const auto& c : cases) {
        auto result = RunCli(profile.Path(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back();
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
    }
}
