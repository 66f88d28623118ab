// Whole runs of a search, fetched for real through the site simulator acting as the proxy.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/http_test_env.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "model/filter.h"
#include "run/search_run_fixture.h"
#include "run/search_thread.h"
#include "run/site_problem.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

using namespace std::chrono_literals;
using test::MakeCraigSearch;
using test::SetOption;

constexpr const char* cSimToday = "2024-03-12";

int CountOf(const std::string& aText, const std::string& aPart) {
    int count = 0;
    for (size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) ++count;
    return count;
}

// What one run told its owner.
struct TRunLog {
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<std::string> errors;
    std::vector<double> progress;
    int stopped = 0;

    void Attach(TSearch& aSearch) {
        aSearch.OnSearchStarted = [this](TSearch&) { Add("started"); };
        aSearch.OnSearchStopped = [this](TSearch&) {
            std::lock_guard lock(mutex);
            events.push_back("stopped");
            ++stopped;
        };
        aSearch.OnError = [this](TSearch&, const std::string& aText) {
            std::lock_guard lock(mutex);
            errors.push_back(aText);
        };
        aSearch.OnProgress = [this](TSearch&, double aValue) {
            std::lock_guard lock(mutex);
            progress.push_back(aValue);
        };
    }
    void Add(const std::string& aEvent) {
        std::lock_guard lock(mutex);
        events.push_back(aEvent);
    }
    int Stopped() {
        std::lock_guard lock(mutex);
        return stopped;
    }
};

class SearchRunTest : public test::TSiteSimulatorTest {
protected:
    static void SetUpTestSuite() { StartSimulator(cSimToday); }

    void SetUp() override {
        TSiteSimulatorTest::SetUp();
        fEnvironment.now = EncodeDate(2024, 3, 12) + 0.5;
    }

    // Runs the search as the start button (or the alert timer) does and waits for its end.
    void Run(TSearch& aSearch, bool aCalledFromUser, TRunLog& aLog) {
        aLog.Attach(aSearch);
        const int before = aLog.Stopped();
        if (aCalledFromUser) aSearch.FillOldResults(aSearch.GetClearOldResults());
        aSearch.Search(nullptr, aCalledFromUser);
        ASSERT_TRUE(fLoop.RunUntil([&] { return aLog.Stopped() > before; }, 20s)) << "the run did not end";
    }
    static std::vector<std::string> Links(const TSearch& aSearch) {
        TCLock lock(aSearch.GetCriticalSection());
        std::vector<std::string> links;
        for (const auto& entry : aSearch.GetSearchResults()) links.push_back(entry->GetLink());
        return links;
    }
    static int CountNew(const TSearch& aSearch) {
        TCLock lock(aSearch.GetCriticalSection());
        return static_cast<int>(std::count_if(aSearch.GetSearchResults().begin(), aSearch.GetSearchResults().end(),
                                              [](const IEntry& aEntry) { return aEntry->GetNew(); }));
    }
    int ExpectedAds(const std::string& aUrl) const { return CountOf(fSim.Expected(aUrl), "\"link\""); }

    test::TScopedEnv fHttpProxy{"http_proxy", "http://127.0.0.1:" + std::to_string(gSim->Port())};
    THeadlessMainLoop fLoop;
    test::TempDir fData;
    test::TScopedSimulatorDownloads fDownloads{gSim->Port(), fLoop, fData.Path()};
    test::TRunTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(SearchRunTest, ThreePagesStopAtThePageThatSaysThereAreNoMore) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count150");
    search->SetPagesCount(4);
    TRunLog log;
    Run(*search, true, log);
    const std::string base = "http://oakland.craigslist.org/search/bik?query=count150&minAsk=min&maxAsk=max";
    EXPECT_EQ(RequestedUrls(), (std::vector<std::string>{base, base + "&s=100", base + "&s=200"}))
        << "page 3 reports no more pages: page 4 is skipped";
    EXPECT_EQ(Links(*search).size(), 150u);
    EXPECT_EQ(CountNew(*search), 150);
    EXPECT_EQ(log.events, (std::vector<std::string>{"started", "stopped"}));
    EXPECT_FALSE(search->GetSearching());
    TCLock lock(search->GetCriticalSection());
    const IEntry& first = search->GetSearchResults()[0];
    EXPECT_EQ(first->GetLink().rfind("http://oakland.craigslist.org/bik/", 0), 0u) << first->GetLink();
    EXPECT_EQ(first->GetLocationString(), "oakland - california - united states");
    EXPECT_EQ(first->GetCategoryString(), "bikes - for sale");
    EXPECT_EQ(first->GetLocationID(), 12);
    EXPECT_FALSE(first->GetIncludeInEmailDigest());
}

TEST_F(SearchRunTest, SecondUserRunFindsNothingNewAndAutomaticRunFlagsTheDigest) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count30");
    TRunLog log;
    Run(*search, true, log);
    ASSERT_EQ(Links(*search).size(), 30u);
    Run(*search, true, log);
    EXPECT_EQ(Links(*search).size(), 30u) << "old results are kept once";
    EXPECT_EQ(CountNew(*search), 0);
    EXPECT_FALSE(search->GetNewResultsAvailable().Available);

    fSim.ClearRequests();
    search->SetKeywords("count35");
    search->SetPagesCount(3);
    Run(*search, false, log);
    EXPECT_EQ(RequestedUrls().size(), 1u) << "an unattended run asks for the first page only";
    EXPECT_EQ(Links(*search).size(), 65u);
    EXPECT_EQ(CountNew(*search), 35);
    EXPECT_TRUE(search->NewResultsAvailableFromLastSearch());
    EXPECT_EQ(fEnvironment.notifications.load(), 1) << "the digest goes out when the unattended run ends";
    EXPECT_EQ(fEnvironment.automaticReplies.load(), 35);
}

TEST_F(SearchRunTest, TwoCategoriesWithOneLinkFetchItOnce) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10), fTrees.Category(12)}, "count20");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(RequestedUrls().size(), 1u);
    EXPECT_EQ(Links(*search).size(), 20u);
}

TEST_F(SearchRunTest, AResultFoundTwiceIsKeptOnce) {
    // Housing with cats asks a different query of the same listing: the same ads come back.
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10), fTrees.Category(21)}, "count25");
    SetOption(*search, "cats", "yes");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(RequestedUrls().size(), 2u);
    EXPECT_EQ(Links(*search).size(), 25u);

    search->SetKeepOldResults(false);
    Run(*search, true, log);
    auto links = Links(*search);
    EXPECT_EQ(links.size(), 25u) << "without keeping old results an old result found again still stays once";
    std::sort(links.begin(), links.end());
    EXPECT_EQ(std::adjacent_find(links.begin(), links.end()), links.end());
}

TEST_F(SearchRunTest, WithoutKeepingOldResultsAWholeRunDropsWhatItDidNotFindAgain) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count25");
    search->SetPagesCount(1);
    search->SetKeepOldResults(false);
    TRunLog log;
    Run(*search, true, log);
    ASSERT_EQ(Links(*search).size(), 25u);
    const std::string oldLink = Links(*search)[0];

    // A stopped run has not looked everywhere: it drops nothing (and the page it was
    // waiting for is abandoned with the transfer).
    search->SetKeywords("count10");
    fSim.ClearRequests();
    fSim.AddFault("oakland.craigslist.org/search/bik", 0, 1000);
    log.Attach(*search);
    search->FillOldResults(false);
    search->Search(nullptr, true);
    ASSERT_TRUE(fLoop.RunUntil([&] { return !fSim.Requests().empty(); }, 10s));
    search->StopSearch();
    ASSERT_TRUE(fLoop.RunUntil([&] { return log.Stopped() >= 2; }, 10s));
    EXPECT_EQ(Links(*search).size(), 25u);

    // A whole run keeps what it found, old or new, and only that.
    fSim.ClearFaults();
    Run(*search, true, log);
    auto links = Links(*search);
    EXPECT_EQ(links.size(), 10u);
    EXPECT_EQ(std::count(links.begin(), links.end(), oldLink), 0);
    EXPECT_EQ(CountNew(*search), 10) << "the stopped run never got the ten";

    // With old results kept, nothing goes.
    search->SetKeepOldResults(true);
    search->SetKeywords("count25");
    Run(*search, true, log);
    EXPECT_EQ(Links(*search).size(), 35u);
}

TEST_F(SearchRunTest, AnUnattendedRunThatKeepsNoOldResultsAnswersNoOldAdAgain) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count5");
    search->SetPagesCount(1);
    search->SetKeepOldResults(false);
    TRunLog log;
    Run(*search, true, log);
    Run(*search, false, log);
    EXPECT_EQ(Links(*search).size(), 5u);
    EXPECT_EQ(fEnvironment.automaticReplies.load(), 0) << "every ad was found before";
    EXPECT_EQ(log.Stopped(), 2);
}

TEST_F(SearchRunTest, DeletedResultsNeverReturn) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count10");
    TRunLog log;
    Run(*search, true, log);
    IEntry deleted;
    {
        TCLock lock(search->GetCriticalSection());
        deleted = search->GetSearchResults()[3];
    }
    search->DeleteResult(deleted);
    Run(*search, true, log);
    Run(*search, false, log);
    auto links = Links(*search);
    EXPECT_EQ(links.size(), 9u);
    EXPECT_EQ(std::count(links.begin(), links.end(), deleted->GetLink()), 0);
}

TEST_F(SearchRunTest, StopDuringADownloadEndsThatTransferAtOnce) {
    auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10)}, "count40");
    search->SetPagesCount(3);
    // The server takes 20 seconds to answer; the stop must not wait for it.
    fSim.AddFault("oakland.craigslist.org/search/bik", 0, 20000);
    TRunLog log;
    log.Attach(*search);
    search->Search(nullptr, true);
    ASSERT_TRUE(fLoop.RunUntil([&] { return !fSim.Requests().empty(); }, 10s));
    search->StopSearch();
    ASSERT_TRUE(fLoop.RunUntil([&] { return log.Stopped() > 0; }, 5s)) << "the stop waited for the server";
    fLoop.RunUntil([] { return false; }, 300ms);
    EXPECT_EQ(RequestedUrls().size(), 1u) << "no link after the stop";
    EXPECT_TRUE(Links(*search).empty()) << "the page never came";
    EXPECT_TRUE(log.errors.empty()) << "a stop is no error";
    EXPECT_EQ(log.Stopped(), 1);
    EXPECT_FALSE(search->GetSearching());
}

// Closing a running search frees it: stop-and-wait must leave nothing that still uses it,
// neither a site thread (still fetching, parsing or finishing) nor the run's end queued for
// the main thread. The sanitizer build sees any use of the freed search.
TEST_F(SearchRunTest, StopAndWaitLeavesNothingUsingTheSearchSoItCanBeFreed) {
    enum class TStopAt { Start, FirstRequest, FirstResults };
    for (const TStopAt stopAt : {TStopAt::Start, TStopAt::FirstRequest, TStopAt::FirstResults}) {
        SCOPED_TRACE(static_cast<int>(stopAt));
        fSim.ClearRequests();
        fSim.ClearFaults();
        fSim.AddFault("losangeles.craigslist.org", 200, 400);  // a slow site keeps the run going
        auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10)}, "count60");
        search->SetPagesCount(3);
        TRunLog log;
        log.Attach(*search);
        search->Search(nullptr, true);
        ASSERT_TRUE(search->GetSearching());
        if (stopAt == TStopAt::FirstRequest) {
            ASSERT_TRUE(fLoop.RunUntil([&] { return !fSim.Requests().empty(); }, 10s));
        }
        if (stopAt == TStopAt::FirstResults) {
            ASSERT_TRUE(fLoop.RunUntil([&] { return !Links(*search).empty(); }, 10s));
        }
        search->StopSearchAndWait();
        EXPECT_FALSE(search->GetSearching());
        for (const auto& site : search->GetSiteSearches()) EXPECT_FALSE(SiteSearchRun(site.get())->GetThreadRunning());
        EXPECT_EQ(log.Stopped(), 1) << "the run's end reached its owner before the wait returned";
        search.reset();
        // Anything still holding the freed search would touch it now.
        fLoop.RunUntil([] { return false; }, 600ms);
        EXPECT_EQ(log.Stopped(), 1);
    }
}

// Freeing a search in the middle of its run, however its owner let go of it, must first wait
// out its site thread, which uses its site part and the search up to its last step, and
// must not hold the search's lock meanwhile: that step waits for it. The sanitizer build
// sees any use of the freed search or part; the simulator sees any page fetched after.
TEST_F(SearchRunTest, FreeingASearchDuringItsRunWaitsOutItsSiteThread) {
    enum class TLetGo { FreeWhileAPageIsOnItsWay, FreeWhileTheThreadWaitsToEndTheRun, StopWaitForTheRunToEndFree };
    for (const TLetGo letGo : {TLetGo::FreeWhileAPageIsOnItsWay, TLetGo::FreeWhileTheThreadWaitsToEndTheRun,
                               TLetGo::StopWaitForTheRunToEndFree}) {
        SCOPED_TRACE(static_cast<int>(letGo));
        fSim.ClearRequests();
        fSim.ClearFaults();
        fSim.AddFault("craigslist.org/search/bik", 0, 800, false, false, 20);  // every page is slow
        TRunLog log;
        auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10)}, "count60");
        search->SetPagesCount(3);
        log.Attach(*search);
        search->Search(nullptr, true);
        ASSERT_TRUE(fLoop.RunUntil([&] { return !fSim.Requests().empty(); }, 10s));
        if (letGo == TLetGo::FreeWhileTheThreadWaitsToEndTheRun) {
            // The site's thread is stopped while this thread holds the search's lock: it ends
            // its page and then waits for the lock to end the run, as it would while another
            // thread frees the search.
            std::unique_lock lock(search->GetCriticalSection());
            search->StopSearch();
            TSiteSearchRun* site = SiteSearchRun(*search, ssCraigslist);
            const auto giveUp = std::chrono::steady_clock::now() + 10s;
            while (site->GetSearching() && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(1ms);
            ASSERT_FALSE(site->GetSearching()) << "the stopped site did not end its page";
            std::this_thread::sleep_for(20ms);
            EXPECT_TRUE(search->GetSearching()) << "the run cannot end while the lock is held";
        }
        if (letGo == TLetGo::StopWaitForTheRunToEndFree) {
            // As an owner that stops its searches and frees them once they no longer search.
            search->StopSearch();
            ASSERT_TRUE(fLoop.RunUntil([&] { return !search->GetSearching(); }, 10s));
        }
        search.reset();
        const size_t requestsWhenFreed = fSim.Requests().size();
        // A thread still working for the freed search would fetch its next page meanwhile.
        fLoop.RunUntil([] { return false; }, 1200ms);
        EXPECT_EQ(fSim.Requests().size(), requestsWhenFreed) << "a page was fetched for the freed search";
        EXPECT_LE(log.Stopped(), 1);
        EXPECT_TRUE(log.errors.empty()) << "a stop is no error";
    }
}

TEST_F(SearchRunTest, StopAndWaitWithoutARunReturnsAtOnce) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "x");
    const auto before = std::chrono::steady_clock::now();
    search->StopSearchAndWait();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    EXPECT_TRUE(fSim.Requests().empty());
}

TEST_F(SearchRunTest, NoSiteSwitchedOnStartsAndStopsAtOnce) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "x");
    search->GetSiteSearch(ssCraigslist)->SetDoSearch(false);
    search->GetSiteSearch(ssBackpage)->SetDoSearch(true);  // no adapter yet: nothing to start
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(log.events, (std::vector<std::string>{"started", "stopped"}));
    EXPECT_TRUE(fSim.Requests().empty());
}

TEST_F(SearchRunTest, NothingToSearchDoesNotStart) {
    TRunLog log;
    auto noCategory = MakeCraigSearch({fTrees.Place(12)}, {}, "x");
    log.Attach(*noCategory);
    noCategory->Search(nullptr, true);
    auto noPlace = MakeCraigSearch({}, {fTrees.Category(10)}, "x");
    log.Attach(*noPlace);
    noPlace->Search(nullptr, true);
    fLoop.RunUntil([] { return false; }, 50ms);
    EXPECT_TRUE(log.events.empty());
    EXPECT_FALSE(noPlace->GetSearching());
}

TEST_F(SearchRunTest, UnreachablePagesAreReportedOnlyWhenAskedFor) {
    const std::string page = "oakland.craigslist.org/search/bik?query=count5";
    for (bool show : {false, true}) {
        fEnvironment.showUnreachable = show;
        fSim.ClearFaults();
        fSim.AddFault(page, 503, 0, false, false, 2);  // the client, then the fall-back transfer
        auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count5");
        search->SetPagesCount(1);
        TRunLog log;
        Run(*search, true, log);
        EXPECT_TRUE(Links(*search).empty());
        if (show)
            EXPECT_EQ(log.errors,
                      (std::vector<std::string>{"Could not open URL: \"http://oakland.craigslist.org/search/bik\"."}));
        else
            EXPECT_TRUE(log.errors.empty());
    }
}

// A run whose pages all failed is not a run with no news: the summary says how many failed
// and why, whether or not each unreachable page is reported, and names no address.
TEST_F(SearchRunTest, FailedPagesAreSummedUpWithTheirCommonestReason) {
    const std::string page = "oakland.craigslist.org/search/bik?query=count5";
    fEnvironment.showUnreachable = false;
    fSim.AddFault(page, 500, 0, false, false, 4);  // the client, then the fall-back transfer, twice
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count5");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_TRUE(log.errors.empty());
    const std::string summary = RunFailureSummary(*search);
    EXPECT_EQ(summary.rfind("Craigslist: 1 of 1 page failed, most often: HTTP error 500", 0), 0u) << summary;
    EXPECT_EQ(summary.find("craigslist.org"), std::string::npos) << summary;

    fSim.ClearFaults();
    Run(*search, true, log);
    EXPECT_EQ(RunFailureSummary(*search), "") << "a whole run leaves nothing to say";
}

TEST_F(SearchRunTest, AProxyPageWithNoResultsSaysToCheckTheProxy) {
    // A category whose listing address is the simulator's raw page: a proxy's refusal.
    const std::string body = "<html><body>The proxy server refused the connection.</body></html>";
    std::string hex;
    for (unsigned char c : body) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    TCategories categories;
    categories.LoadFromText(std::string(R"(<categories><place id="1" parent_id="0" name="odd"><craigslist link="ccc" type="1"/>)") +
                                R"(<place id="2" parent_id="1" name="raw"><craigslist link="__sim/raw?type=text/html&amp;hex=)" +
                                hex + R"(" type="0"/></place></place></categories>)",
                            "Categories.cur");
    auto search = MakeCraigSearch({fTrees.Place(12)}, {categories.GetCategoryByID(2)}, "");
    search->SetOnlyCatListings(true);
    TRunLog log;
    Run(*search, true, log);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.errors[0], "Could not open URL: \"http://oakland.craigslist.org/__sim/raw\". \r\n"
                             "Check if any proxy servers are properly configured.");
}

TEST_F(SearchRunTest, AnOversizedPageIsAlwaysReported) {
    // A category whose listing address answers with a gzip bomb.
    TCategories categories;
    categories.LoadFromText(R"(<categories><place id="1" parent_id="0" name="odd"><craigslist link="ccc" type="1"/>)"
                            R"(<place id="2" parent_id="1" name="bomb"><craigslist link="__sim/bomb?mb=64" type="0"/>)"
                            R"(</place></place></categories>)",
                            "Categories.cur");
    fEnvironment.showUnreachable = false;  // an oversized page is not an unreachable one
    auto search = MakeCraigSearch({fTrees.Place(12)}, {categories.GetCategoryByID(2)}, "");
    search->SetOnlyCatListings(true);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(log.errors,
              (std::vector<std::string>{"the page at http://oakland.craigslist.org/__sim/bomb?mb=64 is larger than 16 MB"}));
    EXPECT_TRUE(Links(*search).empty());
}

TEST_F(SearchRunTest, CategoryListingsComeThroughTheFallBackTransferAndTheFilter) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "ignored");
    search->SetOnlyCatListings(true);
    TRunLog log;
    Run(*search, true, log);
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url, "http://oakland.craigslist.org/bik");
    EXPECT_TRUE(requests[0].Header("Keep-Alive").empty()) << "not the program's own client";
    const size_t all = Links(*search).size();
    EXPECT_EQ(static_cast<int>(all), ExpectedAds("http://oakland.craigslist.org/bik"));

    // The filter stands in for the keywords the listing cannot take.
    search->SetKeywords("");
    search->FillOldResults(true);
    search->GetFilter().TempQuery().SetFilterBy(2);  // the caption
    search->GetFilter().TempQuery().SetText("bike");
    Run(*search, true, log);
    const auto links = Links(*search);
    EXPECT_LT(links.size(), all);
    TCLock lock(search->GetCriticalSection());
    for (const auto& entry : search->GetSearchResults())
        EXPECT_NE(entry->GetName().find("bike"), std::string::npos) << entry->GetName();
}

TEST_F(SearchRunTest, NeighbourhoodsAndOptionsReachTheSite) {
    auto search = MakeCraigSearch({fTrees.Place(21), fTrees.Place(23)}, {fTrees.Category(10)}, "count3");
    search->SetPagesCount(1);
    search->SetHasImage(true);
    SetOption(*search, "price_max", "200");
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(RequestedUrls(), (std::vector<std::string>{"http://boston.craigslist.org/search/bik?query=count3&hasPic=1"
                                                         "&minAsk=min&maxAsk=200&nh=1&nh=3"}));
    TCLock lock(search->GetCriticalSection());
    ASSERT_EQ(search->GetSearchResults().size(), 3u);
    EXPECT_EQ(search->GetSearchResults()[0]->GetLocationString(), "boston - massachusetts - united states")
        << "a neighbourhood's results carry its city";
}

TEST_F(SearchRunTest, SubAreaResultsLinkToTheirCityHost) {
    auto search = MakeCraigSearch({fTrees.Place(11)}, {fTrees.Category(10)}, "count2");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(RequestedUrls(),
              (std::vector<std::string>{"http://sfbay.craigslist.org/search/bik/eby?query=count2&minAsk=min&maxAsk=max"}));
    for (const auto& link : Links(*search)) EXPECT_EQ(link.rfind("http://sfbay.craigslist.org/eby/bik/", 0), 0u) << link;
}

TEST_F(SearchRunTest, DistanceWidensThePlaces) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count1");
    search->SetPagesCount(1);
    search->SetDistance(20);  // San Francisco is some 8 miles from Oakland, Los Angeles far off
    TRunLog log;
    Run(*search, true, log);
    auto urls = RequestedUrls();
    std::sort(urls.begin(), urls.end());
    EXPECT_EQ(urls, (std::vector<std::string>{"http://oakland.craigslist.org/search/bik?query=count1&minAsk=min&maxAsk=max",
                                              "http://sfbay.craigslist.org/search/bik?query=count1&minAsk=min&maxAsk=max"}));
}

TEST_F(SearchRunTest, ProgressAveragesTheSwitchedOnSites) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "x");
    search->GetSiteSearch(ssBackpage)->SetDoSearch(true);
    SiteSearchRun(*search, ssCraigslist)->SetProgress(2.0 / 3.0);
    SiteSearchRun(*search, ssBackpage)->SetProgress(0);
    SiteSearchRun(*search, ssOodle)->SetProgress(1);  // switched off: not counted
    double reported = -1;
    search->OnProgress = [&](TSearch&, double aValue) { reported = aValue; };
    search->OnSiteSearchProgress(*search->GetSiteSearch(ssCraigslist), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(reported, 1.0 / 3.0);
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(false);
    search->OnSiteSearchProgress(*search->GetSiteSearch(ssCraigslist), 0.5);
    EXPECT_DOUBLE_EQ(reported, 0.0);
}

TEST_F(SearchRunTest, ProgressGoesFromZeroToTheLastLinksShare) {
    auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10)}, "count5");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    EXPECT_EQ(log.progress, (std::vector<double>{0.0, 0.5}));
}

TEST_F(SearchRunTest, AnAdPostedInTwoCitiesFoldsUnderTheFirstAndShowsOnce) {
    auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10)}, "crosspost count30");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, false, log);
    TCLock lock(search->GetCriticalSection());
    const auto& results = search->GetSearchResults();
    ASSERT_EQ(results.size(), 60u) << "folding never drops a link";
    int folded = 0, foldable = 0;
    for (const IEntry& entry : results) {
        const bool oakland = entry->GetLink().rfind("http://oakland.", 0) == 0;
        if (oakland && (entry->GetPrice() > 0 || !entry->GetImageUrl().empty())) ++foldable;
        if (!entry->IsFolded()) continue;
        ++folded;
        EXPECT_EQ(entry->GetLink().rfind("http://losangeles.", 0), 0u) << "the first city's copy stays the result";
        const IEntry original = search->GetSearchResults().FindByLink(entry->GetDuplicateOf());
        ASSERT_TRUE(original);
        EXPECT_EQ(search->GetAlsoIn(*original), std::vector<IEntry>{entry});
        EXPECT_FALSE(entry->GetIncludeInEmailDigest()) << "the digest tells of the ad once";
    }
    EXPECT_GT(foldable, 10);
    EXPECT_EQ(folded, foldable) << "every copy with a price or a picture to go by folds";
    TFilter& filter = search->GetFilter();
    filter.Execute(&results.Items());
    EXPECT_EQ(filter.GetResultsCount(), 60 - folded) << "the list shows each ad once";

    const IEntry original = results.FindByLink(std::find_if(results.begin(), results.end(), [](const IEntry& e) {
                                                   return e->IsFolded();
                                               })->get()->GetDuplicateOf());
    EXPECT_EQ(search->UnfoldResult(*original), 1);
    filter.Execute(&results.Items());
    EXPECT_EQ(filter.GetResultsCount(), 61 - folded) << "unfolding shows the copy as a row of its own";
}

TEST_F(SearchRunTest, ALowerPriceOnALaterRunIsADropNotANewResult) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count30");
    search->SetPagesCount(1);
    TRunLog log;
    Run(*search, true, log);
    std::map<std::string, double> pricesBefore;
    {
        TCLock lock(search->GetCriticalSection());
        for (const IEntry& entry : search->GetSearchResults()) pricesBefore[entry->GetLink()] = entry->GetPrice();
    }
    fSim.CutPrices(20);
    search->FillOldResults(false);
    Run(*search, false, log);
    TCLock lock(search->GetCriticalSection());
    ASSERT_EQ(search->GetSearchResults().size(), 30u);
    int dropped = 0;
    for (const IEntry& entry : search->GetSearchResults()) {
        EXPECT_FALSE(entry->GetNew()) << entry->GetLink();
        const double before = pricesBefore.at(entry->GetLink());
        if (before <= 1) {
            EXPECT_FALSE(entry->GetPriceDropped());
            continue;
        }
        ++dropped;
        EXPECT_DOUBLE_EQ(entry->GetPriceWas(), before);
        EXPECT_LT(entry->GetPrice(), before);
        EXPECT_TRUE(entry->GetIncludeInEmailDigest()) << "an unattended run tells of the drop";
    }
    EXPECT_GT(dropped, 5);
    EXPECT_TRUE(search->NewResultsAvailableFromLastSearch());
    EXPECT_EQ(fEnvironment.notifications.load(), 1);
}

TEST(SearchResultSeenAgain, AnEditedTitleOrDescriptionUpdatesTheResultWithoutMakingItNew) {
    TSearch search;
    TParsedResult ad;
    ad.link = "http://oakland.craigslist.org/bik/1.html";
    ad.name = "Trek bike";
    ad.price = 300;
    search.ProcessResult(ssCraigslist, ad, -1, -1);
    search.FillOldResults(false);
    ad.name = "Trek bike - like new";
    ad.description = "Barely ridden.";
    ad.price = 350;  // a higher price is no drop
    search.ProcessResult(ssCraigslist, ad, -1, -1);
    TCLock lock(search.GetCriticalSection());
    ASSERT_EQ(search.GetSearchResults().size(), 1u);
    const IEntry& entry = search.GetSearchResults()[0];
    EXPECT_EQ(entry->GetName(), "Trek bike - like new");
    EXPECT_EQ(entry->GetDescription(), "Barely ridden.");
    EXPECT_FALSE(entry->GetNew());
    EXPECT_FALSE(entry->GetPriceDropped());
    EXPECT_DOUBLE_EQ(entry->GetPrice(), 300);
}

TEST(ResultLinkTest, CraigslistPathsGoOnTheCityHostOtherLinksAreReadAgainstTheirPage) {
    const std::string page = "http://oakland.backpage.com/online/exports/Rss.xml?section=4&keyword=x 0 1";
    const std::tuple<std::string, bool, std::string> cases[] = {
        {"/eby/bik/1.html", true, "http://sfbay.craigslist.org/eby/bik/1.html"},
        {"https://other.example/ad/1", true, "https://other.example/ad/1"},
        {"/ad/1", false, "http://oakland.backpage.com/ad/1"},
        {"ad/2", false, "http://oakland.backpage.com/online/exports/ad/2"},
        {"./ad/3", false, "http://oakland.backpage.com/online/exports/ad/3"},
        {"?id=4", false, "http://oakland.backpage.com/online/exports/Rss.xml?id=4"},
        {"//cdn.example/ad/5", false, "http://cdn.example/ad/5"},
        {"HTTP://oakland.backpage.com/ad/6", false, "HTTP://oakland.backpage.com/ad/6"},
        {"", false, ""},
    };
    for (const auto& [link, craigslist, expected] : cases) {
        const std::string pageURL = craigslist ? "http://sfbay.craigslist.org/search/bik?query=x 0 0" : page;
        EXPECT_EQ(FullResultLink(link, pageURL, "craigslist.org", craigslist), expected) << link;
    }
    EXPECT_EQ(FullResultLink("ad/7", "http://host.example?x=1 0 0", "", false), "http://host.example/ad/7");
}

// The date window, fed straight into the merge.
class DateWindowTest : public ::testing::Test {
protected:
    bool Kept(TSearch& aSearch, double aNow, const std::string& aDate) {
        fEnvironment.now = aNow;
        const size_t before = aSearch.GetSearchResults().size();
        TParsedResult ad;
        ad.date = aDate;
        ad.name = "ad";
        ad.link = "http://x.craigslist.org/a/" + std::to_string(++fNext) + ".html";
        ad.price = 10;
        aSearch.ProcessResult(ssCraigslist, ad, 0, 0);
        return aSearch.GetSearchResults().size() > before;
    }

    test::TRunTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
    int fNext = 0;
};

TEST_F(DateWindowTest, FromAndToIncludeBothDays) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "");
    search->ExpandLocations();
    search->SetDateFrom(EncodeDate(2024, 3, 5));
    search->SetDateTo(EncodeDate(2024, 3, 10));
    const double now = EncodeDate(2024, 3, 20) + 0.25;
    const std::pair<const char*, bool> cases[] = {{"Mar 5", true}, {"Mar 10", true}, {"Mar 4", false},
                                                  {"Mar 11", false}, {"", true}};
    for (const auto& [date, kept] : cases) EXPECT_EQ(Kept(*search, now, date), kept) << date;
}

TEST_F(DateWindowTest, LastDays) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "");
    search->ExpandLocations();
    search->SetDoSearchLastDays(true);
    search->SetNumberOfLastDaysToSearch(1);
    const double march12 = EncodeDate(2024, 3, 12) + 0.75;
    EXPECT_TRUE(Kept(*search, march12, "Mar 12"));
    EXPECT_FALSE(Kept(*search, march12, "Mar 11")) << "yesterday is outside the last 1 day";
    EXPECT_TRUE(Kept(*search, march12, "")) << "an ad without a date always passes";

    search->SetNumberOfLastDaysToSearch(7);
    EXPECT_TRUE(Kept(*search, EncodeDate(2024, 1, 3), "Dec 30")) << "last year's December, four days ago";
    EXPECT_FALSE(Kept(*search, EncodeDate(2024, 1, 10), "Dec 30")) << "eleven days ago";
    EXPECT_FALSE(Kept(*search, EncodeDate(2024, 1, 3), "Feb 1")) << "next month is this year's, in the future";
    EXPECT_TRUE(Kept(*search, EncodeDate(2024, 3, 3), "Feb 29")) << "a leap day";
    EXPECT_TRUE(Kept(*search, EncodeDate(2023, 3, 3), "Feb 30")) << "a day the calendar lacks carries no date";
}

}  // namespace
}  // namespace trawlix
