#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/site_places.h"
#include "sites/feed_site_search.h"

namespace trawlix {

// Oodle: one RSS feed per region item, category item and page; the category picks the
// sub-domain and path segments around the region, the options become path segments.
class TOodleSiteSearch : public TFeedSiteSearch {
public:
    explicit TOodleSiteSearch(TSearch* aParentSearch);

    std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) override;
    std::string GetLinkWithoutPage(const std::string& aSourceLink) override;

    // The feed URL for a region item, a category item and a page (from 1); empty when the
    // items name no sub-domain or region. Call with the search's lock held.
    std::string MakeSearchLink(const TOodleSitePlaceItem& aLocation, const TOodleSitePlaceItem& aCategory,
                               int aPageToDisplay);

private:
    std::string OptionSegments(const TOodleSitePlaceItem& aCategory) const;
    std::string AgeSegment() const;
    std::string PriceSegment() const;
};

// Feed items per Oodle page.
inline constexpr int cOodleResultsPerPage = 25;

}  // namespace trawlix
