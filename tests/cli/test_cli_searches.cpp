#include <gtest/gtest.h>

#include "support/test_support.h"

using trawlix::test::RunCli;
using trawlix::test::TempDir;

namespace {

std::string Line(const std::string& aText, const std::string& aStart) {
    auto at = aText.find("\n" + aStart);
    if (at == std::string::npos) return {};
    auto end = aText.find('\n', at + 1);
    return aText.substr(at + 1, end - at - 1);
}

}  // namespace

TEST(CliSearches, ASearchSurvivesRestartsAndChangesOnlyWhatIsGiven) {
    TempDir profile;
    auto added = RunCli(profile.Path(), {"add-search", "--name", "Lamps", "--keywords", "brass lamp", "--location",
                                         "10011", "--category", "24", "--sites", "craigslist,ebay", "--pages", "3"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(added.out, "1\n");

    auto list = RunCli(profile.Path(), {"searches", "--json"});
    EXPECT_EQ(list.out,
              "[{\"id\":1,\"order\":0,\"name\":\"Lamps\",\"sites\":[\"craigslist\",\"ebay\"],\"results\":0,"
              "\"deleted\":0,\"favourites\":0}]\n");

    ASSERT_EQ(RunCli(profile.Path(), {"set-search", "Lamps", "--pages", "5"}).exitCode, 0);
    auto shown = RunCli(profile.Path(), {"show-search", "1"}).out;
    EXPECT_EQ(Line("\n" + shown, "locations"), "locations\t10011");
    EXPECT_EQ(Line("\n" + shown, "categories"), "categories\t24");
    EXPECT_NE(shown.find("brass lamp"), std::string::npos) << shown;
    EXPECT_EQ(Line("\n" + shown, "pages"), "pages\t5");

    auto cloned = RunCli(profile.Path(), {"clone-search", "Lamps"});
    ASSERT_EQ(cloned.exitCode, 0) << cloned.err;
    EXPECT_NE(RunCli(profile.Path(), {"info"}).out.find("searches:     2"), std::string::npos);
    ASSERT_EQ(RunCli(profile.Path(), {"delete-search", "Lamps"}).exitCode, 0);
    EXPECT_NE(RunCli(profile.Path(), {"info"}).out.find("searches:     1"), std::string::npos);
}

TEST(CliSearches, AStoredZIPCodeAndDistanceChooseThePlacesOfLinks) {
    TempDir profile;
    // No place chosen: the ZIP code (Allston, Boston) and its radius stand for them.
    auto added = RunCli(profile.Path(), {"add-search", "--name", "Near", "--zip", "02134", "--distance", "10",
                                         "--category", "24", "--sites", "craigslist"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    auto links = RunCli(profile.Path(), {"links", "Near"});
    ASSERT_EQ(links.exitCode, 0) << links.err;
    EXPECT_NE(links.out.find("boston.craigslist.org"), std::string::npos) << links.out;
    EXPECT_EQ(links.out.find("sfbay"), std::string::npos) << links.out;
}

TEST(CliSearches, BadInputIsRefusedWithItsMessage) {
    TempDir profile;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string errorPart;
    } cases[] = {
        {{"add-search", "--name", "X", "--sites", "nosuchsite"}, 2, "unknown site"},
        {{"results", "7"}, 1, "No search has the id or name \"7\"."},
        {{"show-search"}, 2, "usage"},
    };
    for (const auto& c : cases) {
        auto result = RunCli(profile.Path(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << ": " << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    EXPECT_NE(RunCli(profile.Path(), {"info"}).out.find("searches:     0"), std::string::npos);
}
