#include "sites/feed_site_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/text_functions.h"
#include "model/property_container.h"

namespace trawlix {

std::string TFeedSiteSearch::OptionText(const std::string& aName) const {
    const TProp* prop = GetParentSearch()->GetPropertyContainer().GetPropByName(aName);
    return prop ? prop->GetRawValue() : std::string("0");
}

double TFeedSiteSearch::OptionNumber(const std::string& aName) const {
    const double value = StrToFloatDefSafe(OptionText(aName), 0);
    return std::isfinite(value) ? value : 0;
}

int TFeedSiteSearch::OptionInteger(const std::string& aName) const {
    const double value = std::trunc(OptionNumber(aName));
    return static_cast<int>(std::clamp(value, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

bool TFeedSiteSearch::OptionYes(const std::string& aName) const {
    const TProp* prop = GetParentSearch()->GetPropertyContainer().GetPropByName(aName);
    return prop && prop->GetPropType() == ptBoolean && prop->AsBoolean();
}

std::string TFeedSiteSearch::BedroomsText() const {
    const TProp* prop = GetParentSearch()->GetPropertyContainer().GetPropByName("bedrooms");
    return prop ? prop->AsString() : std::string("0+");
}

int TFeedSiteSearch::PagesToFetch() const {
    TSearch& search = *GetParentSearch();
    TCLock lock(search.GetCriticalSection());
    return search.GetCalledFromUser() ? search.GetPagesCount() : 1;
}

std::string MainCategoryName(const TPlace& aCategory) {
    return aCategory.GetParent() ? aCategory.GetParent()->GetName() : aCategory.GetName();
}

std::string WholeNumberText(double aValue) {
    // The default rounding mode rounds halves to the even neighbour.
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", std::nearbyint(aValue));
    return text;
}

std::string ReplaceZeroParam(const std::string& aURL, const std::string& aName, const std::string& aWord) {
    const std::string zero = "&" + aName + "=0";
    std::string result = aURL;
    for (size_t at = result.find(zero); at != std::string::npos; at = result.find(zero, at + 1)) {
        // "0.5" or "05" is a value of its own, not the unset 0.
        const size_t after = at + zero.size();
        if (after < result.size() && result[after] != '&') continue;
        result.replace(at + zero.size() - 1, 1, aWord);
    }
    return result;
}

}  // namespace trawlix
