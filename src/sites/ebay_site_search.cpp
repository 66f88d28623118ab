#include "sites/ebay_site_search.h"

#include "engine/text_functions.h"
#include "run/search_run_environment.h"

namespace trawlix {

namespace {

std::string EBayDomain() { return GetSearchRunEnvironment()->eBayClassifiedsDomain(); }

}  // namespace

std::string EBayBedroomsWord(const std::string& aBedrooms) {
    static const char* const cWords[] = {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT", "NINE"};
    if (aBedrooms.size() != 1 || aBedrooms[0] < '1' || aBedrooms[0] > '9') return {};
    return cWords[aBedrooms[0] - '1'];
}

TEBaySiteSearch::TEBaySiteSearch(TSearch* aParentSearch) : TFeedSiteSearch(ssEBay, aParentSearch) {}

std::vector<std::string> TEBaySiteSearch::MakeSearchLinks(TBaseSearchThread& aThread) {
    return MakeItemLinks(aThread, PagesToFetch(), &TPlace::GetEBaySitePlace,
                         [this](const TEBaySitePlaceItem& aLocation, const TEBaySitePlaceItem& aCategory, int aPage) {
                             return MakeSearchLink(aLocation, aCategory, aPage);
                         });
}

std::string TEBaySiteSearch::MakeSearchLink(const TEBaySitePlaceItem& aLocation, const TEBaySitePlaceItem& aCategory,
                                            int aPageToDisplay) {
    if (aLocation.Link.empty()) return {};
    std::string result = "http://" + aLocation.Link + "." + EBayDomain() + "/classified-ads/?";
    result += aCategory.CatID.empty() ? aCategory.Params : "catId=" + aCategory.CatID;
    result += OptionParams(aCategory);
    const std::string keywords = GetParentSearch()->GetKeywords();
    if (!Trim(keywords).empty()) result += "&q=" + URLEncode(keywords);
    if (aPageToDisplay > 1) result += "&page=" + std::to_string(aPageToDisplay - 1);
    result += "&output=rss";
    return ReplaceAll(result, " ", "+");
}

std::string TEBaySiteSearch::OptionParams(const TEBaySitePlaceItem& aCategory) const {
    const std::string group =
        aCategory.Parent && aCategory.Parent->GetParent() ? MainCategoryName(*aCategory.Parent->GetParent()) : "";
    if (group == "for sale") return PriceParams();
    if (group != "housing") return {};
    std::string params;
    const std::string bedrooms = BedroomsText();
    if (bedrooms != "0+") params += "&housingmeta.noOfBedrooms=" + EBayBedroomsWord(bedrooms);
    return params + PriceParams();
}

std::string TEBaySiteSearch::PriceParams() const {
    std::string params;
    const double min = OptionNumber("price_min");
    const double max = OptionNumber("price_max");
    if (min > 0) params += "&minPrice=" + WholeNumberText(min);
    if (max > 0) params += "&maxPrice=" + WholeNumberText(max);
    return params;
}

}  // namespace trawlix
