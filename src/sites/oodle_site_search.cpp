#include "sites/oodle_site_search.h"

#include "engine/text_functions.h"
#include "run/search_run_environment.h"

namespace trawlix {

namespace {

std::string OodleDomain() { return GetSearchRunEnvironment()->oodleDomain(); }

// "a | b" asks for either word; Oodle spells that "OR". A bar without spaces round it
// still separates two words.
std::string OodleKeywords(const std::string& aKeywords) {
    std::string result;
    for (size_t i = 0; i < aKeywords.size(); ++i) {
        if (aKeywords[i] != '|') {
            result += aKeywords[i];
            continue;
        }
        if (!result.empty() && result.back() != ' ') result += ' ';
        result += "OR";
        if (i + 1 < aKeywords.size() && aKeywords[i + 1] != ' ') result += ' ';
    }
    return result;
}

// An open range ("25 and over", "up to 500") is a path segment like any other: it ends
// in "/" so that the next segment stays apart.
std::string RangeSegment(const std::string& aName, const std::string& aMin, const std::string& aMax) {
    if (aMin.empty()) return aName + "_" + aMax + "-/";
    if (aMax.empty()) return aName + "_" + aMin + "+/";
    return aName + "_" + aMin + "_" + aMax + "/";
}

}  // namespace

TOodleSiteSearch::TOodleSiteSearch(TSearch* aParentSearch) : TFeedSiteSearch(ssOodle, aParentSearch) {}

std::vector<std::string> TOodleSiteSearch::MakeSearchLinks(TBaseSearchThread& aThread) {
    return MakeItemLinks(aThread, PagesToFetch(), &TPlace::GetOodleSitePlace,
                         [this](const TOodleSitePlaceItem& aLocation, const TOodleSitePlaceItem& aCategory,
                                int aPage) { return MakeSearchLink(aLocation, aCategory, aPage); });
}

std::string TOodleSiteSearch::MakeSearchLink(const TOodleSitePlaceItem& aLocation,
                                             const TOodleSitePlaceItem& aCategory, int aPageToDisplay) {
    if (aCategory.Link1.empty() || aLocation.Link1.empty()) return {};
    std::string result = "http://" + aCategory.Link1 + "." + OodleDomain() + "/";
    if (!aCategory.Link2.empty()) result += aCategory.Link2 + "/";
    result += aLocation.Link1 + "/";
    if (!aCategory.Link3.empty()) result += aCategory.Link3 + "/";
    result += OptionSegments(aCategory);
    result += "?s=date&v=rss&o=" + std::to_string((aPageToDisplay - 1) * cOodleResultsPerPage);
    const std::string keywords = GetParentSearch()->GetKeywords();
    if (!Trim(keywords).empty()) result += "&q=" + URLEncode(OodleKeywords(keywords));
    return ReplaceAll(result, " ", "+");
}

std::string TOodleSiteSearch::OptionSegments(const TOodleSitePlaceItem& aCategory) const {
    const std::string group =
        aCategory.Parent && aCategory.Parent->GetParent() ? MainCategoryName(*aCategory.Parent->GetParent()) : "";
    std::string segments;
    if (aCategory.Link1 == "personals") {
        segments += AgeSegment();
        if (GetParentSearch()->GetHasImage()) segments += "has_photo_thumbnail/";
    } else if (group == "housing") {
        const std::string bedrooms = BedroomsText();
        if (bedrooms != "0+") segments += bedrooms + "-bedrooms/";
        if (OptionYes("cats")) segments += "pets_allowed_cats/";
        if (OptionYes("dogs")) segments += "pets_allowed_dogs/";
        segments += PriceSegment();
    } else if (group == "for sale") {
        segments += PriceSegment();
    } else if (aCategory.Link1 == "jobs") {
        const std::pair<const char*, const char*> jobOptions[] = {{"contract", "employee_type_contractor/"},
                                                                  {"internship", "employee_type_intern/"},
                                                                  {"part_time", "employee_type_part_time/"},
                                                                  {"non_profit", "employee_type_volunteer/"}};
        for (const auto& [name, segment] : jobOptions)
            if (OptionYes(name)) segments += segment;
    }
    return segments;
}

std::string TOodleSiteSearch::AgeSegment() const {
    const int min = OptionInteger("age_min");
    const int max = OptionInteger("age_max");
    if (min <= 0 && max <= 0) return {};
    return RangeSegment("age", min < 1 ? "" : std::to_string(min), max < 1 ? "" : std::to_string(max));
}

std::string TOodleSiteSearch::PriceSegment() const {
    const double min = OptionNumber("price_min");
    const double max = OptionNumber("price_max");
    if (min <= 0 && max <= 0) return {};
    return RangeSegment("price", min > 0 ? WholeNumberText(min) : "", max > 0 ? WholeNumberText(max) : "");
}

std::string TOodleSiteSearch::GetLinkWithoutPage(const std::string& aSourceLink) {
    return RemoveURLParam(aSourceLink, "o");
}

}  // namespace trawlix
