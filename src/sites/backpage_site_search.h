#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/site_places.h"
#include "sites/feed_site_search.h"

namespace trawlix {

class TSiteCategories;

// Backpage: one RSS feed per city site and Backpage category; no paging.
class TBackpageSiteSearch : public TFeedSiteSearch {
public:
    explicit TBackpageSiteSearch(TSearch* aParentSearch);

    // One feed per query: no pages to follow.
    bool SearchesMultiplePages() const override { return false; }
    std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) override;

    // The feed URL for a city item and a category item; empty for a city without a site
    // address. Raises when the category item names no known Backpage category. Call with
    // the search's lock held.
    std::string MakeSearchLink(const TBackpageSitePlaceItem& aLocation, const TBackpageSitePlaceItem& aCategory);

    // The Backpage categories to read; null (the default) takes the session's.
    void SetBackpageCategories(const TSiteCategories* aCategories) { fBackpageCategories = aCategories; }

private:
    std::string CategoryParams(const std::string& aId) const;
    std::string KeywordParam() const;
    std::string OptionParams(const TPlace& aCategory) const;

    const TSiteCategories* fBackpageCategories = nullptr;
};

}  // namespace trawlix
