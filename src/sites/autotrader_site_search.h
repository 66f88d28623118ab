#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sites/car_site_search.h"

namespace trawlix {

// Autotrader: one results page per place, around the place's own ZIP code within 25
// miles, filled from the search's Autotrader options; 100 ads a page.
class TAutotraderSiteSearch : public TCarSiteSearch {
public:
    explicit TAutotraderSiteSearch(TSearch* aParentSearch);

    std::unique_ptr<TBaseResultsParser> CreateResultsParser() override;
    std::string GetLinkWithoutPage(const std::string& aSourceLink) override;
    std::string RemoveRandomParam(const std::string& aSourceLink) override;

    // The results page for one place; empty when the place has no ZIP code. Call with the
    // search's lock held; raises when the search lacks one of the options it reads.
    void MakeSearchLink(const TPlace& aLocation, int aPageToDisplay, std::string& Result);

protected:
    std::vector<std::string> MakePlaceLinks(const TPlace& aLocation, int aPageToDisplay) override;
};

}  // namespace trawlix
