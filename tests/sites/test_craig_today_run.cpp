// Whole Craigslist runs against the simulator speaking today's site (JSON search, search
// page, reference areas over https through the proxy) and speaking the old pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/host_budget.h"
#include "engine/http_client.h"
#include "engine/poll_cache.h"
#include "engine/http_test_env.h"
#include "model/objects_storage.h"
#include "run/search_run_fixture.h"
#include "run/site_search_run.h"
#include "sites/craig_areas.h"
#include "sites/car_run_fixture.h"
#include "sites/craig_site_search.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

using test::MakeCraigSearch;
using test::SetOption;

// One ad as the simulator put it on its pages: title, price, first thumbnail.
struct TSimAd {
    std::string title;
    double price = -1;
    long long posted = 0;
    std::string place;
    double latitude = 0;
    double longitude = 0;
    std::vector<std::string> pictures;
};

// The strings of a JSON list that starts at aText's beginning ("[\"a\", \"b\"]").
std::vector<std::string> StringsOfList(const std::string& aText) {
    std::vector<std::string> strings;
    const size_t end = aText.find(']');
    for (size_t at = aText.find('"'); at < end; at = aText.find('"', aText.find('"', at + 1) + 1))
        strings.push_back(aText.substr(at + 1, aText.find('"', at + 1) - at - 1));
    return strings;
}

// The "link" of each ad in the simulator's JSON expectation, with title, price and posted time.
std::map<std::string, TSimAd> AdsOfExpectation(const std::string& aJson) {
    std::map<std::string, TSimAd> ads;
    auto field = [&](size_t aFrom, const std::string& aName) {
        const size_t at = aJson.find("\"" + aName + "\": ", aFrom);
        return at == std::string::npos ? std::string() : aJson.substr(at + aName.size() + 4, 40);
    };
    for (size_t at = aJson.find("{\"title\": "); at != std::string::npos; at = aJson.find("{\"title\": ", at + 1)) {
        TSimAd ad;
        const std::string title = field(at, "title");
        ad.title = title.substr(1, title.find('"', 1) - 1);
        ad.posted = std::stoll(field(at, "posted"));
        ad.price = std::stod(field(at, "price"));
        const std::string place = field(at, "place");
        ad.place = place.substr(1, place.find('"', 1) - 1);
        ad.latitude = std::stod(field(at, "latitude"));
        ad.longitude = std::stod(field(at, "longitude"));
        const size_t picturesAt = aJson.find("\"pictures\": ", at);
        ad.pictures = StringsOfList(aJson.substr(picturesAt + 12, aJson.find(']', picturesAt) - picturesAt - 11));
        const size_t linkAt = aJson.find("\"link\": \"", at) + 9;
        ads[aJson.substr(linkAt, aJson.find('"', linkAt) - linkAt)] = ad;
    }
    return ads;
}

class CraigTodayRunTest : public test::TSiteSimulatorTest {
protected:
    void SetUp() override {
        TSiteSimulatorTest::SetUp();
        ForgetCraigAreas();
        Era("today");
    }
    void TearDown() override { Era("classic"); }
    void Era(const std::string& aEra) { test::RawHttpGet(fSim.Port(), "/__sim/craigslist?era=" + aEra); }

    // Three cities (one with its sub-area), two categories, keywords, a price window, ZIP and
    // radius, and pictures only.
    std::unique_ptr<TSearch> CitiesSearch() {
        auto search = MakeCraigSearch({fTrees.Place(10), fTrees.Place(13), fTrees.Place(20)},
                                      {fTrees.Category(10), fTrees.Category(11)}, "red");
        SetOption(*search, "price_min", "50");
        SetOption(*search, "price_max", "700");
        search->SetHasImage(true);
        search->SetZIPCode("94110");
        search->SetDistance(25);
        search->SetPagesCount(1);
        return search;
    }
    std::map<std::string, IEntry> Run(TSearch& aSearch, bool aCalledFromUser = true) {
        std::vector<std::string> errors;
        EXPECT_TRUE(test::RunSearchToEnd(aSearch, fLoop, errors, std::chrono::seconds(30), aCalledFromUser));
        EXPECT_TRUE(errors.empty()) << errors.front();
        std::map<std::string, IEntry> results;
        TCLock lock(aSearch.GetCriticalSection());
        for (const IEntry& entry : aSearch.GetSearchResults()) results[entry->GetLink()] = entry;
        return results;
    }
    // What the simulator says every fetched page of today's site holds.
    std::map<std::string, TSimAd> ExpectedFromRequests(const std::string& aPart) {
        std::map<std::string, TSimAd> expected;
        for (const std::string& url : RequestedUrls())
            if (url.find(aPart) != std::string::npos)
                for (auto& [link, ad] : AdsOfExpectation(fSim.Expected(url))) expected[link] = ad;
        return expected;
    }

    test::TScopedEnv fCa{cCABundleVariable, (test::TSiteSimulator::ScriptPath().parent_path() / "fixtures" / "tls" /
                                             "sites-ca.pem").string()};
    THeadlessMainLoop fLoop;
    test::TempDir fData;
    test::TScopedSimulatorDownloads fDownloads{gSim->Port(), fLoop, fData.Path()};
    test::TRunTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(CraigTodayRunTest, TheJsonSearchGivesExactlyTheMatchingAdsAndThePageRouteTheSame) {
    auto search = CitiesSearch();
    const auto results = Run(*search);
    const auto urls = RequestedUrls();
    ASSERT_TRUE(std::any_of(urls.begin(), urls.end(), [](const std::string& u) { return u == "https://reference.craigslist.org/Areas"; }));
    // Places near the ZIP code join the search; a city the areas list lacks is read from its search page.
    const auto expected = ExpectedFromRequests("craigslist.org");
    const auto fromJson = ExpectedFromRequests("sapi.craigslist.org");
    EXPECT_GT(fromJson.size(), 5u);
    ASSERT_GT(expected.size(), 5u) << "the search must find something to compare";
    // The JSON batch of an area holds every sub-area: the east bay's link keeps only its own.
    std::set<std::string> want;
    for (const auto& [link, ad] : expected) want.insert(link);
    std::set<std::string> got;
    for (const auto& [link, entry] : results) got.insert(link);
    EXPECT_EQ(got, want);
    for (const auto& [link, entry] : results) {
        const TSimAd& ad = expected.at(link);
        EXPECT_EQ(test::PyJsonText(entry->GetName()), "\"" + ad.title + "\"");
        EXPECT_EQ(entry->GetPrice(), ad.price);
        EXPECT_GE(entry->GetPrice(), 50);
        EXPECT_LE(entry->GetPrice(), 700);
        EXPECT_TRUE(entry->GetHasImage());
        EXPECT_EQ(entry->GetImageUrl().rfind("https://images.craigslist.org/", 0), 0u) << entry->GetImageUrl();
        // The JSON search gives the posted time; the search page has none.
        if (fromJson.count(link)) {
            EXPECT_GT(entry->GetLocalDateTime(), 45000) << "the posted time is kept";
        }
        EXPECT_NE(entry->GetName().find("red"), std::string::npos);
    }
    EXPECT_EQ(SiteSearchRun(*search, ssCraigslist)->GetAnswerFormat(), "json");
    for (const std::string& url : urls)
        if (url.find("sapi.") != std::string::npos) {
            EXPECT_NE(url.find("&min_price=50&max_price=700&postal=94110&search_distance=25"), std::string::npos) << url;
            EXPECT_NE(url.find("&hasPic=1"), std::string::npos) << url;
        }

    // The JSON search refusing: the search pages give the same ads.
    fSim.ClearRequests();
    fSim.Block("sapi.craigslist.org", "403");
    auto again = CitiesSearch();
    const auto fromPages = Run(*again);
    std::set<std::string> pageLinks;
    for (const auto& [link, entry] : fromPages) pageLinks.insert(link);
    EXPECT_EQ(pageLinks, want);
    for (const auto& [link, entry] : fromPages) EXPECT_EQ(entry->GetPrice(), expected.at(link).price) << link;
    EXPECT_EQ(SiteSearchRun(*again, ssCraigslist)->GetAnswerFormat(), "page");
    EXPECT_EQ(SiteSearchRun(*again, ssCraigslist)->GetLastRunProblem(), "") << "the page route served: no problem";
}

// A watcher polls: its budget and shared answers for the test's lifetime.
struct TScopedWatcherPolling {
    TScopedWatcherPolling() { SetSitePolling(std::make_shared<THostBudget>(60000), std::make_shared<TPollCache>(std::chrono::minutes(1))); }
    ~TScopedWatcherPolling() { SetSitePolling(nullptr, nullptr); }
};

std::vector<std::string> JsonSearchUrls(const std::vector<std::string>& aUrls) {
    std::vector<std::string> found;
    std::copy_if(aUrls.begin(), aUrls.end(), std::back_inserter(found),
                 [](const std::string& aUrl) { return aUrl.find("sapi.craigslist.org") != std::string::npos; });
    return found;
}

std::set<std::string> Links(const std::map<std::string, IEntry>& aResults) {
    std::set<std::string> links;
    for (const auto& [link, entry] : aResults) links.insert(link);
    return links;
}

// Searches of one area and category polled by a watcher ask today's JSON search once, for
// the area and category alone, newest first; each keeps exactly the ads of that answer its
// own request would have given (words, prices and pictures checked here). A search whose
// words the answer cannot show (the site also reads the ad's text) keeps its own request.
TEST_F(CraigTodayRunTest, AWatchersSearchesOfOneAreaAndCategoryShareOneJsonRequest) {
    struct TCase {
        const char* keywords;
        const char* minPrice;
        bool pictures;
    };
    const std::vector<TCase> cases = {{"red", "", false}, {"bike -old", "400", true}, {"(lamp|desk)", "", false}};
    const auto makeSearch = [&](const TCase& aCase) {
        auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, aCase.keywords);
        search->SetOnlySearchTitles(true);
        if (*aCase.minPrice) SetOption(*search, "price_min", aCase.minPrice);
        search->SetHasImage(aCase.pictures);
        search->SetPagesCount(1);
        return search;
    };
    std::vector<std::set<std::string>> polled;
    std::string sharedUrl;
    {
        TScopedWatcherPolling polling;
        for (const TCase& c : cases) polled.push_back(Links(Run(*makeSearch(c), false)));
        const auto asked = JsonSearchUrls(RequestedUrls());
        ASSERT_EQ(asked.size(), 1u) << "one request serves every search of the area and category";
        sharedUrl = asked.front();
        EXPECT_EQ(sharedUrl.find("query="), std::string::npos) << sharedUrl;
        EXPECT_EQ(sharedUrl.find("min_price"), std::string::npos) << sharedUrl;
    }
    // The span of posting times the shared batch covers: each search alone, cut to it, gives
    // the same ads.
    const auto answer = AdsOfExpectation(fSim.Expected(sharedUrl));
    ASSERT_FALSE(answer.empty());
    long long oldest = answer.begin()->second.posted;
    long long newest = oldest;
    for (const auto& [link, ad] : answer) {
        oldest = std::min(oldest, ad.posted);
        newest = std::max(newest, ad.posted);
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        fSim.ClearRequests();
        auto alone = makeSearch(cases[i]);
        const auto found = Links(Run(*alone));
        const auto ownUrls = JsonSearchUrls(RequestedUrls());
        ASSERT_FALSE(ownUrls.empty());
        std::map<std::string, TSimAd> ownAnswer;
        for (const std::string& url : ownUrls) {
            EXPECT_NE(url, sharedUrl);
            ownAnswer.merge(AdsOfExpectation(fSim.Expected(url)));
        }
        std::set<std::string> want;
        for (const std::string& link : found) {
            const long long posted = ownAnswer.at(link).posted;
            if (posted >= oldest && posted <= newest) want.insert(link);
        }
        EXPECT_FALSE(want.empty()) << cases[i].keywords;
        EXPECT_EQ(polled[i], want) << cases[i].keywords;
    }

    // Words the site would also look for in the ad's text: that search asks on its own.
    fSim.ClearRequests();
    TScopedWatcherPolling polling;
    auto wholeText = makeSearch(cases[0]);
    wholeText->SetOnlySearchTitles(false);
    Run(*wholeText, false);
    const auto asked = JsonSearchUrls(RequestedUrls());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked.front().find("query=red"), std::string::npos) << asked.front();
}

TEST_F(CraigTodayRunTest, PlacesCoordinatesAndPicturesAreKeptThroughASaveAndAReopen) {
    auto search = CitiesSearch();
    const auto results = Run(*search);
    const auto fromJson = ExpectedFromRequests("sapi.craigslist.org");
    int checked = 0;
    for (const auto& [link, ad] : fromJson) {
        if (!results.count(link)) continue;  // another sub-area's ad of the area's batch
        ++checked;
        const IEntry& entry = results.at(link);
        EXPECT_EQ(entry->GetPlace(), ad.place) << link;
        EXPECT_TRUE(entry->GetHasGeo()) << link;
        EXPECT_DOUBLE_EQ(entry->GetLatitude(), ad.latitude) << link;
        EXPECT_DOUBLE_EQ(entry->GetLongitude(), ad.longitude) << link;
        EXPECT_EQ(entry->GetPictureUrls(), ad.pictures) << link;
        EXPECT_FALSE(ad.pictures.empty()) << "the search asks for ads with pictures";
    }
    ASSERT_GT(checked, 5);

    const std::filesystem::path file = fData.Path() / "object_storage.cur";
    std::filesystem::copy_file(test::SourceDataDir() / "object_storage.cur", file);
    auto storage = std::make_unique<TObjectsStorage>(file.string());
    search->SaveToDB(*storage);
    const int id = search->GetID();
    storage = std::make_unique<TObjectsStorage>(file.string());
    const auto loaded = TSearch::CreateFromDB(*storage, id, {&fTrees.places, &fTrees.categories});
    ASSERT_EQ(loaded->GetSearchResults().size(), results.size());
    for (const IEntry& back : loaded->GetSearchResults()) {
        const IEntry& entry = results.at(back->GetLink());
        EXPECT_EQ(back->GetPlace(), entry->GetPlace());
        EXPECT_EQ(back->GetHasGeo(), entry->GetHasGeo());
        EXPECT_DOUBLE_EQ(back->GetLatitude(), entry->GetLatitude());
        EXPECT_DOUBLE_EQ(back->GetLongitude(), entry->GetLongitude());
        EXPECT_EQ(back->GetPictureUrls(), entry->GetPictureUrls());
    }
}

TEST_F(CraigTodayRunTest, RequestsGoOutAsABrowsersOverHttpsAndKeepTheSitesCookie) {
    auto search = MakeCraigSearch({fTrees.Place(13)}, {fTrees.Category(10)}, "bike");
    search->SetPagesCount(1);
    Run(*search);
    const auto requests = fSim.Requests();
    ASSERT_GE(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.url.rfind("https://", 0), 0u) << request.url;
        EXPECT_EQ(request.Header("User-Agent"), cBrowserUserAgent);
        EXPECT_FALSE(request.Header("Accept-Language").empty());
    }
    EXPECT_NE(requests.back().Header("Cookie").find("cl_b="), std::string::npos) << "the site's cookie goes back";
}

TEST_F(CraigTodayRunTest, ChangedOrBlockedAnswersAreSiteProblemsWithWords) {
    struct TCase {
        std::string as;
        std::string problemPart;
    } cases[] = {
        {"403", "Craigslist answered 403 Forbidden"},
        {"captcha", "Craigslist answered a captcha"},
        {"changed", "Craigslist gave 1 of 1 page the program cannot read: the search page holds no result list"},
    };
    for (const auto& c : cases) {
        fSim.ClearFaults();
        fSim.Block("craigslist.org", c.as);
        auto search = MakeCraigSearch({fTrees.Place(13)}, {fTrees.Category(10)}, "bike");
        search->SetPagesCount(1);
        std::vector<std::string> errors;
        ASSERT_TRUE(test::RunSearchToEnd(*search, fLoop, errors));
        const std::string problem = SiteSearchRun(*search, ssCraigslist)->GetLastRunProblem();
        EXPECT_NE(problem.find(c.problemPart), std::string::npos) << c.as << ": " << problem;
    }
}

TEST_F(CraigTodayRunTest, ACutOffJsonAnswerFallsBackOnTheSearchPage) {
    auto whole = MakeCraigSearch({fTrees.Place(13)}, {fTrees.Category(10)}, "bike");
    whole->SetPagesCount(1);
    const auto fromJson = Run(*whole);
    ASSERT_FALSE(fromJson.empty());
    fSim.AddFault("sapi.craigslist.org", 0, 0, false, true, 5);
    auto cut = MakeCraigSearch({fTrees.Place(13)}, {fTrees.Category(10)}, "bike");
    cut->SetPagesCount(1);
    const auto fromPage = Run(*cut);
    EXPECT_EQ(SiteSearchRun(*cut, ssCraigslist)->GetAnswerFormat(), "page");
    EXPECT_EQ(SiteSearchRun(*cut, ssCraigslist)->GetLastRunProblem(), "");
    ASSERT_EQ(fromPage.size(), fromJson.size());
    for (const auto& [link, entry] : fromJson) EXPECT_EQ(fromPage.count(link), 1u) << link;
}

TEST_F(CraigTodayRunTest, TheOldPagesStillServeTheSameSearch) {
    Era("classic");
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "count30");
    search->SetPagesCount(1);
    const auto results = Run(*search);
    EXPECT_EQ(results.size(), 30u);
    EXPECT_EQ(RequestedUrls(),
              (std::vector<std::string>{"http://oakland.craigslist.org/search/bik?query=count30&minAsk=min&maxAsk=max"}));
    EXPECT_EQ(SiteSearchRun(*search, ssCraigslist)->GetAnswerFormat(), "classic");
}

}  // namespace
}  // namespace trawlix
