#include "sites/backpage_site_search.h"

#include <stdexcept>

#include "engine/text_functions.h"
#include "model/categories.h"
#include "run/search_run_environment.h"

namespace trawlix {

TBackpageSiteSearch::TBackpageSiteSearch(TSearch* aParentSearch) : TFeedSiteSearch(ssBackpage, aParentSearch) {}

std::vector<std::string> TBackpageSiteSearch::MakeSearchLinks(TBaseSearchThread& aThread) {
    return MakeItemLinks(aThread, 1, &TPlace::GetBackpageSitePlace,
                         [this](const TBackpageSitePlaceItem& aLocation, const TBackpageSitePlaceItem& aCategory, int) {
                             return MakeSearchLink(aLocation, aCategory);
                         });
}

std::string TBackpageSiteSearch::MakeSearchLink(const TBackpageSitePlaceItem& aLocation,
                                                const TBackpageSitePlaceItem& aCategory) {
    // Checked first: a category the file does not know is bad data whatever the city.
    const std::string categoryParams = CategoryParams(aCategory.Link);
    if (aLocation.Link.empty()) return {};
    std::string result = aLocation.Link + "/online/exports/Rss.xml?" + categoryParams;
    result += KeywordParam();
    if (GetParentSearch()->GetHasImage()) result += "&hasImage=yes";
    if (aCategory.Parent && aCategory.Parent->GetParent()) result += OptionParams(*aCategory.Parent->GetParent());
    result = ReplaceZeroParam(result, "priceMin", "min");
    result = ReplaceZeroParam(result, "priceMax", "max");
    return ReplaceAll(result, " ", "+");
}

std::string TBackpageSiteSearch::CategoryParams(const std::string& aId) const {
    const TSiteCategories* categories = fBackpageCategories;
    if (!categories) categories = GetSearchRunEnvironment()->backpageCategories();
    const auto* category =
        categories ? dynamic_cast<const TBackpageCategory*>(categories->GetCategoryById(aId)) : nullptr;
    if (!category) throw std::runtime_error("The Backpage category \"" + aId + "\" is not known.");
    return category->GetParams();
}

std::string TBackpageSiteSearch::KeywordParam() const {
    const TSearch& search = *GetParentSearch();
    std::string keywords = search.GetBackpageKeywords();
    if (Trim(keywords).empty()) keywords = search.GetKeywords();
    if (Trim(keywords).empty()) return {};
    return "&keyword=" + URLEncode(keywords);
}

std::string TBackpageSiteSearch::OptionParams(const TPlace& aCategory) const {
    const std::string group = MainCategoryName(aCategory);
    const std::string prices = "&priceMin=" + OptionText("price_min") + "&priceMax=" + OptionText("price_max");
    if (group == "for sale") return prices;
    if (group != "housing") return {};
    std::string params;
    const std::string bedrooms = BedroomsText();
    if (bedrooms != "0+") params += "&bedrooms=" + bedrooms;
    params += prices;
    if (OptionYes("cats")) params += "&petsAccepted=Cats+Ok";
    if (OptionYes("dogs")) params += "&petsAccepted=Dogs+Ok";
    return params;
}

}  // namespace trawlix
