// What tells the six site adapters apart when a search runs: the adapter every search gets
// for each site, the parser its thread reads the pages with, whether a query spreads over
// several pages of one link, and which part of a link names the page.
#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

#include "engine/results_parser.h"
#include "run/search_run_fixture.h"
#include "run/search_thread.h"
#include "sites/autotrader_results_parser.h"
#include "sites/autotrader_site_search.h"
#include "sites/backpage_site_search.h"
#include "sites/cars_com_results_parser.h"
#include "sites/cars_com_site_search.h"
#include "sites/craig_results_parser.h"
#include "sites/craig_site_search.h"
#include "sites/ebay_site_search.h"
#include "sites/oodle_site_search.h"

namespace trawlix {
namespace {

template <class T, class TBase>
bool Is(TBase* aObject) {
    return dynamic_cast<T*>(aObject) != nullptr;
}

// The shared results parser itself, not a site's own.
bool IsSharedParser(TBaseResultsParser* aParser) { return aParser && typeid(*aParser) == typeid(TBaseResultsParser); }

TEST(SiteAdaptersTest, EachSiteRunsWithItsAdapterParserAndPaging) {
    test::TRunTrees trees;
    test::TScopedRunEnvironment environment{&trees.places};
    struct TCase {
        TSiteSearchEnum site;
        std::function<bool(TBaseSiteSearch*)> isAdapter;
        std::function<bool(TBaseResultsParser*)> isParser;
        bool multiplePages;
        std::string link, linkWithoutPage;  // empty: not asked
    } cases[] = {
        {ssCraigslist, Is<TCraigSiteSearch, TBaseSiteSearch>, Is<TCraigSiteResultsParser, TBaseResultsParser>, true,
         "", ""},
        {ssBackpage, Is<TBackpageSiteSearch, TBaseSiteSearch>, IsSharedParser, false,
         "http://a/online/exports/Rss.xml?o=1&page=2", "http://a/online/exports/Rss.xml?o=1&page=2"},
        {ssOodle, Is<TOodleSiteSearch, TBaseSiteSearch>, IsSharedParser, true,
         "http://sale.oodle.com/oakland-ca/?s=date&v=rss&o=50&q=a", "http://sale.oodle.com/oakland-ca/?s=date&v=rss&q=a"},
        {ssEBay, Is<TEBaySiteSearch, TBaseSiteSearch>, IsSharedParser, false,
         "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&page=1&output=rss",
         "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&page=1&output=rss"},
        {ssCarsCom, Is<TCarsComSiteSearch, TBaseSiteSearch>, Is<TCarsComSiteResultsParser, TBaseResultsParser>, true,
         "", ""},
        {ssAutotrader, Is<TAutotraderSiteSearch, TBaseSiteSearch>,
         Is<TAutotraderSiteResultsParser, TBaseResultsParser>, true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(cSiteSearchStr[c.site]);
        TSearch search;
        search.SetPagesCount(4);
        EXPECT_TRUE(c.isAdapter(search.GetSiteSearch(c.site)));
        TSiteSearchRun& part = *SiteSearchRun(search, c.site);
        auto thread = part.CreateSearchThread();
        ASSERT_NE(thread, nullptr);
        EXPECT_TRUE(c.isParser(thread->GetResultsParser()));
        EXPECT_EQ(thread->GetSearchMultiplePages(), c.multiplePages);
        EXPECT_EQ(thread->GetPagesCount(), 4) << "the thread follows the search's pages count";
        if (!c.link.empty()) {
            EXPECT_EQ(part.GetLinkWithoutPage(c.link), c.linkWithoutPage);
        }
    }
}

}  // namespace
}  // namespace trawlix
