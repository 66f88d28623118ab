#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sites/car_site_search.h"

namespace trawlix {

struct TCarsComSitePlaceItem;

// Cars.com: one results page per ZIP code and radius that the place tree gives a place,
// filled from the search's Cars.com options; 250 ads a page.
class TCarsComSiteSearch : public TCarSiteSearch {
public:
    explicit TCarsComSiteSearch(TSearch* aParentSearch);

    std::unique_ptr<TBaseResultsParser> CreateResultsParser() override;
    std::string GetLinkWithoutPage(const std::string& aSourceLink) override;
    std::string RemoveRandomParam(const std::string& aSourceLink) override;

    // The results page for one ZIP code of a place. Call with the search's lock held;
    // raises when the search lacks one of the options it reads.
    void MakeSearchLink(const TCarsComSitePlaceItem& aLocation, int aPageToDisplay, std::string& Result);

protected:
    std::vector<std::string> MakePlaceLinks(const TPlace& aLocation, int aPageToDisplay) override;
};

}  // namespace trawlix
