// Which class carries each site's part of a search.
#include "model/base_site_search.h"
#include "sites/craig_site_search.h"

namespace trawlix {

std::unique_ptr<TBaseSiteSearch> CreateSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch) {
    switch (aSite) {
        case ssCraigslist:
            return std::make_unique<TCraigSiteSearch>(aParentSearch);
        default:
            // Sites without an adapter yet keep their settings but never start a thread.
            return std::make_unique<TBaseSiteSearch>(aSite, aParentSearch);
    }
}

}  // namespace trawlix
