#pragma once

#include <memory>

#include "model/base_site_search.h"

namespace trawlix {

// The site part of a search for aSite: the site's adapter where there is one, a plain
// part (kept settings, never run) for a site without one.
std::unique_ptr<TBaseSiteSearch> CreateSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch);

// Makes every new search get the site adapters as its site parts, and offers the car
// sites' option groups.
void InstallSiteSearchFactory();

}  // namespace trawlix
