// A site that turns the program away or stops giving ads, as `run` and `watch` report it
// against the site simulator: the site-problem lines, one notice each way through a web
// hook, the back-off of a blocked site, the ads kept meanwhile; and the quiet hours.
#include <gtest/gtest.h>

#include <regex>

#include "cli/cli_lamps_test.h"

using trawlix::test::TSiteSimulator;

namespace {

std::vector<trawlix::test::TSimRequest> HookPosts(const TSiteSimulator& aSim) {
    return trawlix::test::PostsTo(aSim, "/hook/");
}

bool FetchedCraigslist(const TSiteSimulator& aSim) {
    for (const auto& request : aSim.Requests())
        if (request.url.find("craigslist.org") != std::string::npos) return true;
    return false;
}

int CountOf(const std::string& aText, const std::string& aPart) {
    int count = 0;
    for (size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) ++count;
    return count;
}

class CliSiteProblems : public trawlix::test::CliLampsTest {
protected:
    void SetUp() override {
        CliLampsTest::SetUp();
        SendAlertsToTheWebHook();
    }
    // The one site-problem line of aErr, checked to name as many pages refused as fetched.
    static std::string ProblemLine(const std::string& aErr) {
        const std::regex line(R"(site-problem: Craigslist: [^\n]*)");
        std::smatch match;
        if (!std::regex_search(aErr, match, line)) return {};
        return match.str();
    }
};

}  // namespace

TEST_F(CliSiteProblems, RunNamesTheSiteAndWhatItAnsweredAndKeepsTheAds) {
    // A whole run the user starts may drop the ads it does not find again: not when a site
    // turned it away.
    Cli({"set-search", "Lamps", "--keep-old-results", "no"});
    auto first = Cli({"run", "Lamps"});
    EXPECT_EQ(ProblemLine(first.err), "") << first.err;
    const int found = CountOf(Cli({"results", "Lamps"}).out, "\nCraigslist\t");
    ASSERT_GT(found, 0);

    struct TCase {
        const char* as;
        std::string said;
    };
    for (const TCase& c : {TCase{"403", "answered 403 Forbidden"}, TCase{"429", "answered 429 Too Many Requests"},
                           TCase{"503", "answered 503 Service Unavailable"},
                           TCase{"captcha", "answered a captcha or \"blocked\" page"},
                           TCase{"blocked", "answered a captcha or \"blocked\" page"}}) {
        SCOPED_TRACE(c.as);
        fSim.ClearFaults();
        fSim.Block("craigslist.org", c.as);
        auto run = Cli({"run", "Lamps"});
        const std::string line = ProblemLine(run.err);
        const std::regex form("site-problem: Craigslist: Craigslist " + std::regex_replace(c.said, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                              R"( on (\d+) of (\d+) pages?: the site may be blocking this address)");
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, form)) << run.err;
        EXPECT_EQ(match[1], match[2]) << "every page was turned away";
        EXPECT_EQ(CountOf(Cli({"results", "Lamps"}).out, "\nCraigslist\t"), found)
            << "a refused run does not make the ads found before go";
    }

    fSim.ClearFaults();
    fSim.Block("craigslist.org", "changed");
    auto changed = Cli({"run", "Lamps", "--json"});
    EXPECT_NE(changed.err.find(R"({"site_problem":"Craigslist gave no ads on any of its )"), std::string::npos)
        << changed.err;
    EXPECT_NE(changed.err.find(R"( pages, though it gave results for this search before: the site may have changed )"
                               R"(its pages","site":"Craigslist","search":"Lamps"})"),
              std::string::npos)
        << changed.err;
}

TEST_F(CliSiteProblems, WatchTellsOnceWhenTheSiteTurnsBadAndOnceWhenItWorksAgain) {
    Cli({"watch", "--once"});  // ads found: the site gives results for this search
    fSim.ClearRequests();

    // Pages that no longer parse: a problem without a back-off, so each watch runs the site.
    fSim.Block("craigslist.org", "changed");
    auto bad = Cli({"watch", "--once"});
    EXPECT_NE(ProblemLine(bad.err).find("Craigslist gave no ads on any of its"), std::string::npos) << bad.err;
    auto posts = HookPosts(fSim);
    ASSERT_EQ(posts.size(), 1u) << bad.out;
    EXPECT_NE(posts[0].body.find(R"("notice": "A problem with Craigslist for Lamps")"), std::string::npos)
        << posts[0].body;
    EXPECT_NE(bad.out.find("Lamps: A problem with Craigslist for Lamps: Notifications (Web hook) were sent at "),
              std::string::npos)
        << bad.out;

    fSim.ClearRequests();
    auto stillBad = Cli({"watch", "--once", "--json"});
    EXPECT_TRUE(FetchedCraigslist(fSim));
    EXPECT_NE(stillBad.err.find(R"({"site_problem":"Craigslist gave no ads)"), std::string::npos) << stillBad.err;
    EXPECT_TRUE(HookPosts(fSim).empty()) << "still bad: the user knows already";

    fSim.ClearFaults();
    fSim.ClearRequests();
    auto recovered = Cli({"watch", "--once"});
    EXPECT_EQ(ProblemLine(recovered.err), "") << recovered.err;
    posts = HookPosts(fSim);
    ASSERT_EQ(posts.size(), 1u) << recovered.out;
    EXPECT_NE(posts[0].body.find(R"("notice": "Craigslist works again for Lamps")"), std::string::npos)
        << posts[0].body;
    EXPECT_EQ(CountOf(recovered.out, "works again"), 1) << recovered.out;

    fSim.ClearRequests();
    Cli({"watch", "--once"});
    EXPECT_TRUE(HookPosts(fSim).empty()) << "recovered once, told once";
}

TEST_F(CliSiteProblems, ABlockedSiteIsLeftAloneByTheWatcherUntilItsBackoffEnds) {
    fSim.Block("craigslist.org", "403");
    auto blocked = Cli({"watch", "--once"});
    EXPECT_NE(ProblemLine(blocked.err).find("Craigslist answered 403 Forbidden on "), std::string::npos)
        << blocked.err;
    EXPECT_EQ(HookPosts(fSim).size(), 1u) << "the notice that the site turned bad";

    fSim.ClearRequests();
    auto next = Cli({"watch", "--once"});
    EXPECT_FALSE(FetchedCraigslist(fSim)) << "backed off: the blocked site is not asked again at once";
    EXPECT_TRUE(HookPosts(fSim).empty());

    // A run the user starts asks the site all the same; once it works, the watcher is back.
    fSim.ClearFaults();
    auto manual = Cli({"run", "Lamps"});
    EXPECT_EQ(ProblemLine(manual.err), "");
    fSim.ClearRequests();
    Cli({"watch", "--once"});
    EXPECT_TRUE(FetchedCraigslist(fSim));
    const auto posts = HookPosts(fSim);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_NE(posts[0].body.find(R"("notice": "Craigslist works again for Lamps")"), std::string::npos)
        << posts[0].body;
}

TEST_F(CliSiteProblems, QuietHoursAreSetCheckedAndHoldTheDigest) {
    EXPECT_EQ(Cli({"config", "QuietHours", "22:00-07:00"}).out, "QuietHours\tstring\t22:00-07:00\n");
    EXPECT_EQ(Cli({"config", "QuietHours", "10pm-7am"}, 1).err,
              "Quiet hours are written as HH:MM-HH:MM, for example \"22:00-07:00\", not \"10pm-7am\".\n");
    EXPECT_EQ(Cli({"config", "QuietHours"}).out, "QuietHours\tstring\t22:00-07:00\n") << "the bad value changed nothing";

    // Quiet all day but the minute before midnight: whenever the test runs, it is quiet now
    // (bar that minute, in which the digest simply goes out).
    Cli({"config", "QuietHours", "00:00-23:59"});
    auto held = Cli({"watch", "--once", "--json"});
    if (held.out.find("\"notification_sent\"") != std::string::npos) GTEST_SKIP() << "ran at 23:59";
    EXPECT_NE(held.out.find(R"("event":"notification_held")"), std::string::npos) << held.out;
    EXPECT_NE(held.out.find("Notifications are held until the quiet hours end at 23:59"), std::string::npos)
        << held.out;
    EXPECT_TRUE(HookPosts(fSim).empty());

    Cli({"config", "QuietHours", ""});
    fSim.ClearRequests();
    auto sent = Cli({"watch", "--once"});
    const auto posts = HookPosts(fSim);
    ASSERT_EQ(posts.size(), 1u) << sent.out;
    EXPECT_NE(posts[0].body.find("\"count\": 3"), std::string::npos) << "the held ads go out with the next digest";
}
