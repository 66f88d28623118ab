// How a site's run is judged: refusals, challenge pages and pages that no longer parse are
// site problems with a message naming the site; a blocked site is backed off, doubling up
// to six hours; the user is told once when it turns bad and once when it works again.
#include <gtest/gtest.h>

#include "engine/clock.h"
#include "run/site_problem.h"

using namespace trawlix;

namespace {

TSiteRunCounts Counts(int aFetched, int aFailed, int aAds, int aBlockPages = 0, std::map<long, int> aRefusals = {}) {
    TSiteRunCounts counts;
    counts.pagesFetched = aFetched;
    counts.pagesFailed = aFailed;
    counts.adsParsed = aAds;
    counts.blockPages = aBlockPages;
    counts.refusals = std::move(aRefusals);
    return counts;
}

}  // namespace

TEST(SiteProblem, PageFailureReasonsNameNoAddressAndNoDuration) {
    struct TCase {
        const char* text;
        const char* reason;
    };
    const TCase cases[] = {
        {"HTTP error 500 from http://sfbay.craigslist.org/search/sss?query=lamp&s=100",
         "HTTP error 500 from the page"},
        {"Could not download https://a.example/x?q=1 through the proxy 127.0.0.1:1: Failed to connect to "
         "127.0.0.1 port 1 after 3 ms: Couldn't connect to server",
         "Could not download the page through the proxy 127.0.0.1:1: Failed to connect to 127.0.0.1 port 1: "
         "Couldn't connect to server"},
        {"Could not open URL: \"http://x.example/a?b\".", "Could not open URL: \"the page\"."},
        {"after 5 minutes", "after 5 minutes"},
        {"", "no reason given"},
    };
    for (const TCase& c : cases) EXPECT_EQ(PageFailureReason(c.text), c.reason) << c.text;
}

TEST(SiteProblem, EachKindOfTroubleIsNamedAndOrdinaryRunsAreNot) {
    struct TCase {
        const char* what;
        TSiteRunCounts counts;
        bool hadAds;
        std::string text;
        bool blocked;
    };
    const TCase cases[] = {
        {"every page refused", Counts(0, 12, 0, 0, {{403, 12}}), true,
         "Craigslist answered 403 Forbidden on 12 of 12 pages: the site may be blocking this address", true},
        {"the commonest refusal names it, all are counted", Counts(2, 5, 40, 0, {{429, 4}, {503, 1}}), false,
         "Craigslist answered 429 Too Many Requests on 5 of 7 pages: the site may be blocking this address", true},
        {"one page", Counts(0, 1, 0, 0, {{503, 1}}), false,
         "Craigslist answered 503 Service Unavailable on 1 of 1 page: the site may be blocking this address", true},
        {"captcha pages", Counts(3, 0, 10, 2), true,
         "Craigslist answered a captcha or \"blocked\" page on 2 of 3 pages: the site may be blocking this address",
         true},
        {"refusals come before challenges", Counts(1, 1, 0, 1, {{403, 1}}), false,
         "Craigslist answered 403 Forbidden on 1 of 2 pages: the site may be blocking this address", true},
        {"no ads where there were some", Counts(4, 0, 0), true,
         "Craigslist gave no ads on any of its 4 pages, though it gave results for this search before: the site "
         "may have changed its pages",
         false},
        {"no ads on a search that never had any", Counts(4, 0, 0), false, "", false},
        {"some ads", Counts(4, 0, 3), true, "", false},
        {"nothing could be fetched (network, not the site)", Counts(0, 4, 0), true, "", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TSiteProblem problem = FindSiteProblem("Craigslist", c.counts, c.hadAds);
        EXPECT_EQ(problem.text, c.text);
        EXPECT_EQ(problem.blocked, c.blocked);
    }
}

TEST(SiteProblem, ChallengePagesAreToldFromOrdinaryOnes) {
    EXPECT_TRUE(LooksLikeBlockPage("<h1>Please complete the CAPTCHA</h1>"));
    EXPECT_TRUE(LooksLikeBlockPage("<p>This IP has been automatically Blocked.</p>"));
    EXPECT_TRUE(LooksLikeBlockPage("<title>Access Denied</title>"));
    EXPECT_FALSE(LooksLikeBlockPage("<p>No results found. Try fewer keywords.</p>"));
}

TEST(SiteProblem, BackoffDoublesTheIntervalThenItselfUpToSixHours) {
    struct TCase {
        int interval, previous, next;
    };
    const TCase cases[] = {
        {15, 0, 30},   {15, 30, 60},   {15, 60, 120}, {15, 120, 240}, {15, 240, 360},
        {15, 360, 360}, {240, 0, 360}, {1, 0, 2},     {0, 0, 2},      {1440, 0, 360},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.interval) + " / " + std::to_string(c.previous));
        EXPECT_EQ(NextBackoffMinutes(c.interval, c.previous), c.next);
    }
}

TEST(SiteProblem, HealthAcrossRunsBacksOffBlocksAndForgetsThemOnRecovery) {
    const double noon = EncodeDate(2026, 12, 10) + 0.5;
    const TSiteProblem refused{"Craigslist answered 403 Forbidden on 1 of 1 page: ...", true};
    const TSiteProblem changed{"Craigslist gave no ads ...", false};

    TSiteHealth health = NextSiteHealth({}, {}, 5, 15, noon);
    EXPECT_TRUE(health.hadAds);
    EXPECT_EQ(health.backoffMinutes, 0);

    health = NextSiteHealth(health, refused, 0, 15, noon);
    EXPECT_TRUE(health.hadAds) << "a site that once gave ads keeps counting as one";
    EXPECT_EQ(health.backoffMinutes, 30);
    EXPECT_TRUE(SiteBacksOff(health, noon + 29.0 / 1440));
    EXPECT_FALSE(SiteBacksOff(health, noon + 30.0 / 1440 + 1e-9));

    health = NextSiteHealth(health, refused, 0, 15, noon);
    EXPECT_EQ(health.backoffMinutes, 60) << "blocked again: the pause doubles";

    health = NextSiteHealth(health, changed, 0, 15, noon);
    EXPECT_EQ(health.problem, changed.text);
    EXPECT_EQ(health.backoffMinutes, 0) << "a changed page is no refusal: nothing to back off from";

    health = NextSiteHealth(health, refused, 0, 15, noon);
    EXPECT_EQ(health.backoffMinutes, 30) << "a new block starts from the interval again";

    health = NextSiteHealth(health, {}, 4, 15, noon);
    EXPECT_TRUE(health.problem.empty());
    EXPECT_FALSE(SiteBacksOff(health, noon));
}

TEST(SiteProblem, TheUserIsToldOnceWhenASiteTurnsBadAndOnceWhenItRecovers) {
    TSiteHealth health;
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::None);
    health.problem = "Craigslist answered 403 Forbidden on 1 of 1 page: ...";
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::TurnedBad);
    health.toldBad = true;
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::None) << "still bad, already told";
    health = NextSiteHealth(health, {"Craigslist answered 429 ...", true}, 0, 15, 0);
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::None) << "another run, another reason: still the same trouble";
    health = NextSiteHealth(health, {}, 3, 15, 0);
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::Recovered);
    health.toldBad = false;
    EXPECT_EQ(UntoldChange(health), TSiteProblemChange::None);
}
