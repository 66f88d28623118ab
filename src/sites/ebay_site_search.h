#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/site_places.h"
#include "sites/feed_site_search.h"

namespace trawlix {

// eBay Classifieds: one RSS feed per city item, category item and page, on the city's
// sub-domain.
class TEBaySiteSearch : public TFeedSiteSearch {
public:
    explicit TEBaySiteSearch(TSearch* aParentSearch);

    // Every page is a query of its own, with its own link.
    bool SearchesMultiplePages() const override { return false; }
    std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) override;

    // The feed URL for a city item, a category item and a page (from 1); empty when the
    // city item names no sub-domain. Call with the search's lock held.
    std::string MakeSearchLink(const TEBaySitePlaceItem& aLocation, const TEBaySitePlaceItem& aCategory,
                               int aPageToDisplay);

private:
    std::string OptionParams(const TEBaySitePlaceItem& aCategory) const;
    std::string PriceParams() const;
};

// A bedroom count as eBay Classifieds spells it: "ONE" to "NINE", empty for anything else.
std::string EBayBedroomsWord(const std::string& aBedrooms);

}  // namespace trawlix
