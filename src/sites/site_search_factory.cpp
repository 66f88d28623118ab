// Which class carries each site's part of a search.
#include "sites/site_search_factory.h"

#include "sites/autotrader_site_search.h"
#include "sites/backpage_site_search.h"
#include "sites/cars_com_site_search.h"
#include "sites/craig_site_search.h"
#include "sites/ebay_site_search.h"
#include "sites/oodle_site_search.h"

namespace trawlix {

std::unique_ptr<TBaseSiteSearch> CreateSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch) {
    switch (aSite) {
        case ssCraigslist:
            return std::make_unique<TCraigSiteSearch>(aParentSearch);
        case ssBackpage:
            return std::make_unique<TBackpageSiteSearch>(aParentSearch);
        case ssOodle:
            return std::make_unique<TOodleSiteSearch>(aParentSearch);
        case ssEBay:
            return std::make_unique<TEBaySiteSearch>(aParentSearch);
        case ssCarsCom:
            return std::make_unique<TCarsComSiteSearch>(aParentSearch);
        case ssAutotrader:
            return std::make_unique<TAutotraderSiteSearch>(aParentSearch);
        default:
            // Sites without an adapter yet keep their settings but never start a thread.
            return std::make_unique<TBaseSiteSearch>(aSite, aParentSearch);
    }
}

void InstallSiteSearchFactory() {
    SetSiteSearchFactory(CreateSiteSearch);
    SetSiteOptionGroups({CarsComOptionGroup(), AutotraderOptionGroup()});
}

}  // namespace trawlix
