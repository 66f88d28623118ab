#include "sites/craig_site_search.h"

#include "engine/download.h"
#include "engine/text_functions.h"
#include "model/place_selection.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_thread.h"
#include "sites/craig_results_parser.h"
#include "sites/feed_site_search.h"

namespace trawlix {

namespace {

constexpr int cNeighbourhoodType = 4;

bool IsNeighbourhood(const TPlace& aPlace) {
    return aPlace.GetCraigSitePlace().GetPlaceType() == cNeighbourhoodType && aPlace.GetParent();
}

// Keywords as the query parameter: spaces as "+", a lone "+" when there are none.
std::string QueryText(const std::string& aKeywords) {
    std::string text = ReplaceAll(URLEncode(ReplaceAll(aKeywords, "\r\n", " ")), "%20", "+");
    return text.empty() ? "+" : text;
}

}  // namespace

TCraigSiteSearch::TCraigSiteSearch(TSearch* aParentSearch) : TSiteSearchRun(ssCraigslist, aParentSearch) {}

std::unique_ptr<TBaseResultsParser> TCraigSiteSearch::CreateResultsParser() {
    return std::make_unique<TCraigSiteResultsParser>();
}

std::vector<std::string> TCraigSiteSearch::MakeSearchLinks(TBaseSearchThread& aThread) {
    TSearch& search = *GetParentSearch();
    int pages = 1;
    {
        TCLock lock(search.GetCriticalSection());
        if (!search.GetOnlyCatListings()) pages = search.GetPagesCount();
        if (!search.GetCalledFromUser()) pages = 1;
    }
    std::vector<std::string> links;
    std::string previous;
    ForEachPlaceAndCategory(aThread, pages, [&](const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                                int aCategoryIndex, int aPage) {
        const std::string url = MakeSearchLink(aPlace, aCategory, aPage);
        if (url.empty() || url == previous) return;
        previous = url;
        links.push_back(url + " " + std::to_string(aPlaceIndex) + " " + std::to_string(aCategoryIndex) + " " +
                        std::to_string(aPage));
    });
    return links;
}

std::string TCraigSiteSearch::MakeSearchLink(const TPlace& aLocation, const TPlace& aCategory, int aPageToDisplay) {
    TSearch& search = *GetParentSearch();
    const TCraigSitePlace& category = aCategory.GetCraigSitePlace();
    if (category.GetDisabled()) return {};
    const TPlace& city = IsNeighbourhood(aLocation) ? *aLocation.GetParent() : aLocation;
    std::string base = city.GetCraigSitePlace().GetLink();
    if (base.find("http") == std::string::npos) return {};

    if (search.GetOnlyCatListings()) return ReplaceAll(base + category.GetLink(), " ", "+");

    // A sub-area's home page ends in its code ("/eby/"): the code moves behind the category.
    std::string subArea = ReadFromRight(base, 2, "/");
    if (subArea.find('.') != std::string::npos) {
        subArea.clear();
    } else {
        const size_t scheme = base.find("://");
        const std::string prefix = scheme == std::string::npos ? "http://" : base.substr(0, scheme + 3);
        base = prefix + ReadFromRight(base, 3, "/") + "/";
    }
    std::string result = base + "search/" + category.GetLink();
    if (!subArea.empty()) result += "/" + subArea;
    result += "?query=" + QueryText(search.GetKeywords());
    if (search.GetOnlySearchTitles()) result += "&srchType=T";
    if (search.GetHasImage()) result += "&hasPic=1";
    result += CategoryOptions(aCategory);
    if (aPageToDisplay > 1) result += "&s=" + std::to_string((aPageToDisplay - 1) * 100);
    // Only a 0 that is the whole value means "unset": a minimum of 0.5 stays 0.5.
    result = ReplaceZeroParam(ReplaceZeroParam(result, "minAsk", "min"), "maxAsk", "max");
    result += NeighbourhoodParams(aLocation);
    return ReplaceAll(result, " ", "+");
}

std::string TCraigSiteSearch::CategoryOptions(const TPlace& aCategory) const {
    const TPropertyContainer& options = GetParentSearch()->GetPropertyContainer();
    // An option the container lacks counts as not set: the query goes out unrestricted
    // rather than not at all.
    auto raw = [&](const std::string& aName) {
        const TProp* prop = options.GetPropByName(aName);
        return prop ? prop->GetRawValue() : std::string("0");
    };
    auto yes = [&](const std::string& aName) {
        const TProp* prop = options.GetPropByName(aName);
        return prop && prop->AsBoolean();
    };
    const std::string group = MainCategoryName(aCategory);
    std::string params;
    if (group == "personals") {
        params += "&minAsk=" + raw("age_min") + "&maxAsk=" + raw("age_max");
    } else if (group == "housing") {
        const TProp* bedrooms = options.GetPropByName("bedrooms");
        const std::string bedroomsText = bedrooms ? bedrooms->AsString() : "0+";
        if (bedroomsText != "0+") params += "&bedrooms=" + bedroomsText;
        params += "&minAsk=" + raw("price_min") + "&maxAsk=" + raw("price_max");
        if (yes("cats")) params += "&addTwo=purrr";
        if (yes("dogs")) params += "&addThree=wooof";
    } else if (group == "for sale") {
        params += "&minAsk=" + raw("price_min") + "&maxAsk=" + raw("price_max");
    } else if (group == "jobs") {
        const std::pair<const char*, const char*> jobOptions[] = {{"telecommute", "&addOne=telecommuting"},
                                                                  {"contract", "&addTwo=contract"},
                                                                  {"internship", "&addThree=internship"},
                                                                  {"part_time", "&addFour=part-time"},
                                                                  {"non_profit", "&addFive=non-profit"}};
        std::string jobParams;
        int set = 0;
        for (const auto& [name, param] : jobOptions)
            if (yes(name)) {
                jobParams += param;
                ++set;
            }
        if (set < 5) params += jobParams;
    }
    return params;
}

std::string TCraigSiteSearch::NeighbourhoodParams(const TPlace& aLocation) {
    if (!IsNeighbourhood(aLocation)) return {};
    const TPlace& city = *aLocation.GetParent();
    TPlaceList checked;
    GetCheckedNeighbourhoods(city, checked);
    // All of them selected is the whole city.
    if (checked.size() >= city.GetChildren().size()) return {};
    std::string params;
    for (const TPlace* neighbourhood : checked) params += "&nh=" + neighbourhood->GetCraigSitePlace().GetLink();
    return params;
}

void TCraigSiteSearch::GetCheckedNeighbourhoods(const TPlace& aPlace, TPlaceList& aList) {
    aList.clear();
    const TPlaceWrapperList& selected = GetParentSearch()->GetSearchLocations();
    for (TPlace* child : aPlace.GetChildren())
        if (selected.GetPlaceWrapperByPlace(child)) aList.push_back(child);
}

ICHTTPClient TCraigSiteSearch::GetDownloader() {
    TSearch& search = *GetParentSearch();
    TCLock lock(search.GetCriticalSection());
    // Category listings go through the system's transfer; queries through the shared client.
    if (search.GetOnlyCatListings()) return nullptr;
    return GetSiteDownloader(ssCraigslist);
}

std::string TCraigSiteSearch::GetLinkWithoutPage(const std::string& aSourceLink) {
    return RemoveURLParam(aSourceLink, "s");
}

// --- reporting ads --------------------------------------------------------------------------

std::string CraigFlagURL(const std::string& aLink, TCraigFlagCode aCode, const std::string& aDomain) {
    const size_t domainAt = aDomain.empty() ? std::string::npos : aLink.find("." + aDomain);
    if (domainAt == std::string::npos) return {};
    const std::string fileName = aLink.substr(aLink.rfind('/') + 1);
    const std::string postingID = fileName.substr(0, fileName.find('.'));
    if (postingID.empty()) return {};
    return aLink.substr(0, domainAt) + "." + aDomain + "/flag/?flagCode=" + std::to_string(static_cast<int>(aCode)) +
           "&postingID=" + postingID;
}

int FlagCraigslistEntries(const std::vector<IEntry>& aEntries, TCraigFlagCode aCode, const std::string& aDomain) {
    int sent = 0;
    for (const IEntry& entry : aEntries) {
        if (!entry || entry->GetFromSite() != ssCraigslist) continue;
        const std::string url = CraigFlagURL(entry->GetLink(), aCode, aDomain);
        if (url.empty()) continue;
        if (!DownloadFile(url, GetSiteDownloader(ssCraigslist)).empty()) ++sent;
    }
    return sent;
}

}  // namespace trawlix
