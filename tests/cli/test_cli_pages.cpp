// Commands that read saved pages or reach a site: parse and flag.
#include <gtest/gtest.h>

#include <string>

#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using trawlix::test::RunCli;
using trawlix::test::TempDir;

namespace {

int CountOf(const std::string& aText, const std::string& aPart) {
    int count = 0;
    for (size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) ++count;
    return count;
}

TEST(CliPages, ParseReadsAFileAsADownloadIsRead) {
    TempDir dir;
    std::string page = trawlix::test::ReadFile(trawlix::test::TestsDir() / "engine/fixtures/pages/craigslist_query.html");
    // One Latin-1 byte, as an older page may hold: "Caf\xE9".
    const size_t title = page.find("Couch - $150");
    ASSERT_NE(title, std::string::npos);
    page.replace(title, 5, "Caf\xE9");
    trawlix::test::WriteFile(dir / "page.html", page);
    auto parsed = RunCli(dir.Path(), {"parse", "--site", "craigslist", (dir / "page.html").string()});
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    EXPECT_NE(parsed.out.find("\"count\":5"), std::string::npos) << parsed.out;
    EXPECT_NE(parsed.out.find("Caf\xC3\xA9 - $150"), std::string::npos) << "the byte read as Windows-1252";
}

TEST(CliPages, FlagGoesThroughTheProgramsProxyAndSaysWhatDidNotArrive) {
    trawlix::test::TSiteSimulator sim;
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port", std::to_string(sim.Port())})
                  .exitCode,
              0);
    ASSERT_EQ(RunCli(profile.Path(), {"add-search", "--name", "Lamps", "--keywords", "lamp count3", "--location",
                                      "10011", "--category", "24", "--sites", "craigslist", "--pages", "1"})
                  .exitCode,
              0);
    auto run = RunCli(profile.Path(), {"run", "Lamps"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The link is the fifth field of a result line.
    std::string link = run.out.substr(0, run.out.find('\n'));
    for (int field = 0; field < 4; ++field) link = link.substr(link.find('\t') + 1);
    link = link.substr(0, link.find('\t'));
    ASSERT_NE(link.find(".craigslist.org/"), std::string::npos) << run.out;

    sim.ClearRequests();
    auto flagged = RunCli(profile.Path(), {"flag", "Lamps", link, "--as", "spam"});
    EXPECT_EQ(flagged.exitCode, 0) << flagged.err;
    EXPECT_EQ(flagged.out, "Reported 1 of 1 ads to Craigslist.\n");
    int reports = 0;
    for (const auto& request : sim.Requests()) reports += CountOf(request.url, "/flag/?flagCode=15&postingID=");
    EXPECT_EQ(reports, 1) << "the report went through the program's proxy";

    sim.AddFault("/flag/", 503, 0, false, false, 4);
    auto failed = RunCli(profile.Path(), {"flag", "Lamps", link, "--as", "spam"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.out, "Reported 0 of 1 ads to Craigslist.\n");
    EXPECT_NE(failed.err.find("1 ads could not be reported"), std::string::npos) << failed.err;
}

}  // namespace
