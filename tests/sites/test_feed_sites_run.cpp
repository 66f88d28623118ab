// Whole runs of the feed sites, fetched through the site simulator acting as the proxy.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <string>
#include <vector>
#include <utility>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/http_test_env.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "sites/feed_sites_fixture.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

using namespace std::chrono_literals;
using test::MakeFeedSearch;
using TAd = std::pair<std::string, std::string>;  // title, link

void AppendUTF8(std::string& aText, unsigned aCode) {
    if (aCode < 0x80) {
        aText += static_cast<char>(aCode);
    } else if (aCode < 0x800) {
        aText += static_cast<char>(0xC0 | (aCode >> 6));
        aText += static_cast<char>(0x80 | (aCode & 0x3F));
    } else {
        aText += static_cast<char>(0xE0 | (aCode >> 12));
        aText += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
        aText += static_cast<char>(0x80 | (aCode & 0x3F));
    }
}

// The JSON string that starts at aAt (just after its opening quote), unescaped.
std::string JsonString(const std::string& aJson, size_t aAt) {
    std::string text;
    for (size_t i = aAt; i < aJson.size() && aJson[i] != '"'; ++i) {
        if (aJson[i] != '\\') {
            text += aJson[i];
            continue;
        }
        const char escaped = aJson.at(++i);
        if (escaped == 'u') {
            AppendUTF8(text, static_cast<unsigned>(std::stoul(aJson.substr(i + 1, 4), nullptr, 16)));
            i += 4;
        } else {
            text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
        }
    }
    return text;
}

// Every value of aField in the simulator's JSON, in order.
std::vector<std::string> JsonFields(const std::string& aJson, const std::string& aField) {
    std::vector<std::string> values;
    const std::string key = "\"" + aField + "\": \"";
    for (size_t at = aJson.find(key); at != std::string::npos; at = aJson.find(key, at + 1))
        values.push_back(JsonString(aJson, at + key.size()));
    return values;
}

class FeedSitesRunTest : public test::TSiteSimulatorTest {
protected:
    static void SetUpTestSuite() { StartSimulator("2024-03-12"); }

    void SetUp() override {
        TSiteSimulatorTest::SetUp();
        fEnvironment.now = EncodeDate(2024, 3, 12) + 0.5;
    }

    // Runs the search as the start button does and waits for its end.
    void Run(TSearch& aSearch) {
        ASSERT_TRUE(test::RunSearchToEnd(aSearch, fLoop, fErrors, 20s)) << "the run did not end";
    }
    // The ads the simulator put on the pages, page by page.
    std::vector<TAd> ExpectedAds(const std::vector<std::string>& aUrls) const {
        std::vector<TAd> ads;
        for (const auto& url : aUrls) {
            const std::string json = fSim.Expected(url);
            const auto titles = JsonFields(json, "title"), links = JsonFields(json, "link");
            EXPECT_EQ(titles.size(), links.size()) << json;
            for (size_t i = 0; i < titles.size() && i < links.size(); ++i) ads.emplace_back(titles[i], links[i]);
        }
        return ads;
    }
    static std::vector<TAd> KeptAds(const TSearch& aSearch, TSiteSearchEnum aSite) {
        TCLock lock(aSearch.GetCriticalSection());
        std::vector<TAd> ads;
        for (const auto& entry : aSearch.GetSearchResults()) {
            EXPECT_EQ(entry->GetFromSite(), aSite) << entry->GetLink();
            EXPECT_EQ(entry->GetLocationString(), "oakland - united states") << entry->GetLink();
            ads.emplace_back(entry->GetName(), entry->GetLink());
        }
        return ads;
    }

    test::TScopedEnv fHttpProxy{"http_proxy", "http://127.0.0.1:" + std::to_string(gSim->Port())};
    THeadlessMainLoop fLoop;
    test::TempDir fData;
    test::TScopedSimulatorDownloads fDownloads{gSim->Port(), fLoop, fData.Path()};
    std::vector<std::string> fErrors;  // what the runs told the user
    test::TFeedTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(FeedSitesRunTest, EachSiteKeepsTheAdsOfItsFeeds) {
    struct TCase {
        TSiteSearchEnum site;
        std::vector<std::string> urls;
        size_t ads;
    } cases[] = {
        {ssBackpage,
         {"http://oakland.backpage.com/online/exports/Rss.xml?section=4&category=101&keyword=count12"
          "&priceMin=min&priceMax=max"},
         12},
        {ssOodle,
         {"http://sale.oodle.com/oakland-ca/bicycles/?s=date&v=rss&o=0&q=count30",
          "http://sale.oodle.com/oakland-ca/bicycles/?s=date&v=rss&o=25&q=count30"},
         30},
        {ssEBay,
         {"http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&q=count30&output=rss",
          "http://eastbay.ebayclassifieds.com/classified-ads/?catId=1001&q=count30&output=rss",
          "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&q=count30&page=1&output=rss",
          "http://eastbay.ebayclassifieds.com/classified-ads/?catId=1001&q=count30&page=1&output=rss"},
         60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cSiteSearchStr[c.site]);
        fSim.ClearRequests();
        auto search = MakeFeedSearch(c.site, fTrees, {12}, {10}, c.site == ssBackpage ? "count12" : "count30");
        search->SetPagesCount(2);
        Run(*search);
        EXPECT_EQ(RequestedUrls(), c.urls);
        const auto expected = ExpectedAds(c.urls);
        EXPECT_EQ(expected.size(), c.ads);
        EXPECT_EQ(KeptAds(*search, c.site), expected);
    }
}

TEST_F(FeedSitesRunTest, AnUnknownBackpageCategoryEndsOnlyTheBackpageRun) {
    auto search = MakeFeedSearch(ssEBay, fTrees, {12}, {13, 10}, "count4");
    search->GetSiteSearch(ssBackpage)->SetDoSearch(true);
    search->SetPagesCount(1);
    Run(*search);
    const std::vector<std::string> ebay = {
        "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&q=count4&output=rss",
        "http://eastbay.ebayclassifieds.com/classified-ads/?catId=1001&q=count4&output=rss"};
    EXPECT_EQ(RequestedUrls(), ebay) << "nothing is fetched for Backpage";
    EXPECT_EQ(KeptAds(*search, ssEBay), ExpectedAds(ebay));
    EXPECT_FALSE(search->GetSearching());
    EXPECT_EQ(fErrors, (std::vector<std::string>{"The Backpage category \"999\" is not known."}))
        << "the user hears why Backpage gave nothing";
}

TEST_F(FeedSitesRunTest, AFeedWithBrokenMarkupGivesWhatItCanAndTheOtherSitesGoOn) {
    auto search = MakeFeedSearch(ssEBay, fTrees, {12}, {10}, "count3");
    search->GetSiteSearch(ssBackpage)->SetDoSearch(true);
    search->SetBackpageKeywords("fixture-feed-broken-markup");
    search->SetPagesCount(1);
    Run(*search);
    ASSERT_EQ(fSim.Requests().size(), 3u) << "one Backpage feed, two eBay Classifieds feeds";
    std::vector<std::string> backpageLinks;
    int ebayAds = 0;
    {
        TCLock lock(search->GetCriticalSection());
        for (const auto& entry : search->GetSearchResults()) {
            if (entry->GetFromSite() == ssBackpage) backpageLinks.push_back(entry->GetLink());
            if (entry->GetFromSite() == ssEBay) ++ebayAds;
        }
    }
    EXPECT_EQ(backpageLinks, (std::vector<std::string>{"http://oakland.backpage.com/ad/1", "http://oakland.backpage.com/ad/2",
                                                       "http://oakland.backpage.com/ad/3"}));
    EXPECT_EQ(ebayAds, 6);
}

TEST_F(FeedSitesRunTest, LinksAreReadAgainstTheirFeedAndItemsWithoutOneAreLeftOutAndCounted) {
    auto search = MakeFeedSearch(ssBackpage, fTrees, {12}, {10}, "");
    search->SetBackpageKeywords("fixture-feed-relative-links");
    search->SetPagesCount(1);
    Run(*search);
    ASSERT_EQ(fSim.Requests().size(), 1u);
    std::vector<std::string> links;
    {
        TCLock lock(search->GetCriticalSection());
        for (const auto& entry : search->GetSearchResults()) links.push_back(entry->GetLink());
    }
    EXPECT_EQ(links, (std::vector<std::string>{"http://oakland.backpage.com/ad/10",
                                               "http://oakland.backpage.com/online/exports/ad/11",
                                               "http://oakland.backpage.com/view?id=12&src=rss",
                                               "http://oakland.backpage.com/view?id=13&amp=1"}));
    EXPECT_EQ(SiteSearchRun(*search, ssBackpage)->GetItemsSkipped(), 2);
}

TEST_F(FeedSitesRunTest, ARunEndsOnlyWhenItsSlowestSiteHasEnded) {
    // Craigslist has no address for the place and ends at once; eBay Classifieds is slow.
    // A helper keeps taking the search's lock, so that the quick site's end and the start
    // of the slow one come in every order unless the start keeps them apart.
    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        fSim.ClearFaults();
        fSim.AddFault("oakland.ebayclassifieds.com", 0, 150);
        auto search = MakeFeedSearch(ssEBay, fTrees, {12}, {10}, "count3");
        search->GetSiteSearch(ssCraigslist)->SetDoSearch(true);
        search->SetPagesCount(1);
        std::atomic<bool> stopHammering{false};
        std::thread hammer([&] {
            while (!stopHammering) {
                {
                    TCLock lock(search->GetCriticalSection());
                    std::this_thread::sleep_for(200us);
                }
                std::this_thread::sleep_for(50us);
            }
        });
        std::atomic<int> stops{0};
        std::atomic<bool> ebaySearchingAtStop{false};
        std::atomic<size_t> resultsAtStop{0};
        search->OnSearchStopped = [&](TSearch& aSearch) {
            ebaySearchingAtStop = SiteSearchRun(aSearch, ssEBay)->GetSearching();
            TCLock lock(aSearch.GetCriticalSection());
            resultsAtStop = aSearch.GetSearchResults().size();
            ++stops;
        };
        search->Search(nullptr, true);
        const bool ended = fLoop.RunUntil([&] { return stops > 0; }, 20s);
        stopHammering = true;
        hammer.join();
        ASSERT_TRUE(ended);
        EXPECT_FALSE(ebaySearchingAtStop) << "the run was declared over while a site still searched";
        EXPECT_EQ(resultsAtStop, 6u);
        ASSERT_TRUE(fLoop.RunUntil([&] { return !SiteSearchRun(*search, ssEBay)->GetSearching(); }, 20s));
        fLoop.RunUntil([] { return false; }, 50ms);
        EXPECT_EQ(stops, 1);
        search->OnSearchStopped = nullptr;
    }
}

}  // namespace
}  // namespace trawlix
