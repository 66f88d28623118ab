#include "sites/craig_site_search.h"

#include <algorithm>
#include <array>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/text_functions.h"
#include "model/place_selection.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_run_environment.h"
#include "run/search_thread.h"
#include "sites/craig_areas.h"
#include "sites/craig_json_search.h"
#include "sites/craig_results_parser.h"
#include "sites/craig_search_page.h"
#include "sites/feed_site_search.h"

namespace trawlix {

namespace {

constexpr int cNeighbourhoodType = 4;

bool IsNeighbourhood(const TPlace& aPlace) {
    return aPlace.GetCraigSitePlace().GetPlaceType() == cNeighbourhoodType && aPlace.GetParent();
}

// The five job options, each with its parameter.
using TJobOptions = std::array<std::pair<const char*, const char*>, 5>;

// The parameters of the job options that are set; none when all five are, which is no filter.
std::string JobParams(const TPropertyContainer& aOptions, const TJobOptions& aTable) {
    std::string params;
    int set = 0;
    for (const auto& [name, param] : aTable)
        if (const TProp* prop = aOptions.GetPropByName(name); prop && prop->AsBoolean()) {
            params += param;
            ++set;
        }
    return set < static_cast<int>(aTable.size()) ? params : std::string();
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
    {
        std::lock_guard lock(fTodayMutex);
        fTodayRequests.clear();
    }
    ForEachPlaceAndCategory(aThread, pages, [&](const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                                int aCategoryIndex, int aPage) {
        const std::string url = MakeSearchLink(aPlace, aCategory, aPage);
        if (url.empty() || url == previous) return;
        previous = url;
        if (auto today = MakeTodayRequest(aPlace, aCategory, aPage)) {
            std::lock_guard lock(fTodayMutex);
            fTodayRequests[url] = std::move(*today);
        }
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
        params += JobParams(options, {{{"telecommute", "&addOne=telecommuting"},
                                       {"contract", "&addTwo=contract"},
                                       {"internship", "&addThree=internship"},
                                       {"part_time", "&addFour=part-time"},
                                       {"non_profit", "&addFive=non-profit"}}});
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

namespace {

// "sfbay" of "http://sfbay.craigslist.org/eby/".
std::string HostLabel(const std::string& aLink) {
    const size_t scheme = aLink.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t dot = aLink.find('.', start);
    return dot == std::string::npos ? std::string() : LowerCase(aLink.substr(start, dot - start));
}

std::string Trimmed(std::string aText, char aMark) {
    while (!aText.empty() && aText.back() == aMark) aText.pop_back();
    while (!aText.empty() && aText.front() == aMark) aText.erase(0, 1);
    return aText;
}

}  // namespace

std::optional<TCraigTodayRequest> TCraigSiteSearch::MakeTodayRequest(const TPlace& aLocation, const TPlace& aCategory,
                                                                     int aPageToDisplay) {
    TSearch& search = *GetParentSearch();
    const TCraigSitePlace& category = aCategory.GetCraigSitePlace();
    // Personals were closed in 2018: only a server of the old pages still has them.
    if (category.GetDisabled() || MainCategoryName(aCategory) == "personals") return std::nullopt;
    const TPlace& city = IsNeighbourhood(aLocation) ? *aLocation.GetParent() : aLocation;
    const std::string base = city.GetCraigSitePlace().GetLink();
    if (base.find("http") == std::string::npos) return std::nullopt;
    TCraigTodayRequest request;
    request.host = HostLabel(base);
    const std::string lastSegment = ReadFromRight(base, 2, "/");
    if (lastSegment.find('.') == std::string::npos) request.subArea = LowerCase(lastSegment);
    request.category = Trimmed(category.GetLink(), '/');
    if (request.host.empty() || request.category.empty()) return std::nullopt;
    request.page = aPageToDisplay;
    if (!search.GetOnlyCatListings()) request.keywords = TCraigKeywordQuery::FromKeywords(ReplaceAll(search.GetKeywords(), "\r\n", " "));
    std::string params;
    if (search.GetOnlySearchTitles()) params += "&srchType=T";
    if (search.GetHasImage()) params += "&hasPic=1";
    params += TodayOptions(aCategory);
    if (!search.GetZIPCode().empty() && search.GetDistance() > 0)
        params += "&postal=" + URLEncode(search.GetZIPCode()) + "&search_distance=" + std::to_string(search.GetDistance());
    request.params = params;
    // A watcher's poll shares one answer per area and category; a run the user started asks
    // for exactly its own ads.
    if (!search.GetCalledFromUser() && SitePollingActive()) request.ShareWhenCheckable();
    if (IsNeighbourhood(aLocation)) {
        TPlaceList checked;
        GetCheckedNeighbourhoods(city, checked);
        if (checked.size() < city.GetChildren().size())
            for (const TPlace* neighbourhood : checked) request.neighbourhoods.push_back(LowerCase(neighbourhood->GetName()));
    }
    return request;
}

// The search's options under today's parameter names; an unset price (a 0 that is the whole
// value) goes out as no limit, a price of 0.5 as 0.5.
std::string TCraigSiteSearch::TodayOptions(const TPlace& aCategory) const {
    const TPropertyContainer& options = GetParentSearch()->GetPropertyContainer();
    auto raw = [&](const std::string& aName) {
        const TProp* prop = options.GetPropByName(aName);
        const std::string value = prop ? Trim(prop->GetRawValue()) : std::string();
        return value == "0" ? std::string() : value;
    };
    auto yes = [&](const std::string& aName) {
        const TProp* prop = options.GetPropByName(aName);
        return prop && prop->AsBoolean();
    };
    auto price = [&](std::string& aParams) {
        if (const std::string low = raw("price_min"); !low.empty()) aParams += "&min_price=" + URLEncode(low);
        if (const std::string high = raw("price_max"); !high.empty()) aParams += "&max_price=" + URLEncode(high);
    };
    const std::string group = MainCategoryName(aCategory);
    std::string params;
    if (group == "housing") {
        const TProp* bedrooms = options.GetPropByName("bedrooms");
        std::string count = bedrooms ? bedrooms->AsString() : "0+";
        count.erase(std::remove_if(count.begin(), count.end(), [](char c) { return c < '0' || c > '9'; }), count.end());
        if (!count.empty() && count != "0") params += "&min_bedrooms=" + count;
        price(params);
        if (yes("cats")) params += "&pets_cat=1";
        if (yes("dogs")) params += "&pets_dog=1";
    } else if (group == "for sale") {
        price(params);
    } else if (group == "jobs") {
        params += JobParams(options, {{{"telecommute", "&is_telecommuting=1"},
                                       {"contract", "&employment_type=3"},
                                       {"internship", "&is_internship=1"},
                                       {"part_time", "&employment_type=2"},
                                       {"non_profit", "&is_nonprofit=1"}}});
    }
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

namespace {

bool LooksLikeClassicPage(const std::string& aHtml) {
    return aHtml.find("class=\"row\"") != std::string::npos || aHtml.find("Displaying") != std::string::npos ||
           aHtml.find("Nothing found for that search") != std::string::npos;
}

// A refusal, or an answer past the size limit, says more than a transfer that failed otherwise.
void KeepRefusal(const TDownloadFailure& aFailure, TDownloadFailure& aRefusal) {
    if (IsRefusalStatus(aFailure.httpStatus) && !IsRefusalStatus(aRefusal.httpStatus)) aRefusal = aFailure;
    if (aFailure.tooLarge && aRefusal.text.empty()) aRefusal = aFailure;
}

// The parser's side of the answers: a parser of another kind (never given to this adapter)
// gets a context of its own that nobody reads.
TCraigAnswerContext& ContextOf(TBaseResultsParser& aParser) {
    if (auto* craig = dynamic_cast<TCraigSiteResultsParser*>(&aParser)) return craig->GetContext();
    thread_local TCraigAnswerContext unused;
    return unused;
}

}  // namespace

// The JSON search, then the search page; an empty text when neither gave an answer the
// program reads (aRefusal then holds a refusal either met, aContext.problem what was wrong).
std::string TCraigSiteSearch::TryTodayRoutes(TCraigAnswerContext& aContext, TDownloadFailure& aRefusal) {
    const TCraigTodayRequest& request = aContext.request;
    const std::string& domain = aContext.domain;
    const ICHTTPClient client = GetSiteDownloader(ssCraigslist);
    std::string areasProblem;
    const auto areas = LoadCraigAreas(GetDownloadScratchFolder(), domain, client, areasProblem);
    const TCraigArea* area = areas ? areas->FindByHost(request.host) : nullptr;
    if (area && (request.subArea.empty() || TCraigAreas::HasSubArea(*area, request.subArea))) {
        TDownloadFailure failure;
        std::string answer = FetchFromCraigslist(CraigJsonSearchURL(request, area->areaId, domain), client, failure);
        KeepRefusal(failure, aRefusal);
        if (!answer.empty()) {
            const std::string problem = ReadCraigJsonSearch(answer).problem;
            if (problem.empty()) {
                aContext.route = "json";
                return answer;
            }
            aContext.problem = problem;
        }
    }
    TDownloadFailure failure;
    std::string page = FetchFromCraigslist(CraigSearchPageURL(request, domain), client, failure);
    KeepRefusal(failure, aRefusal);
    if (page.empty()) return {};
    if (HasCraigStaticList(page) || LooksLikeClassicPage(page)) {
        aContext.route = HasCraigStaticList(page) ? "page" : "classic";
        aContext.problem.clear();
        return page;
    }
    if (aContext.problem.empty()) aContext.problem = "the search page holds no result list";
    return {};
}

std::string TCraigSiteSearch::DownloadPage(const std::string& aURL, const std::string&, TBaseResultsParser& aParser,
                                           TDownloadFailure& aFailure) {
    TCraigAnswerContext& context = ContextOf(aParser);
    context.route = "classic";
    context.problem.clear();
    context.domain = GetSearchRunEnvironment()->craigslistDomain();
    {
        std::lock_guard lock(fTodayMutex);
        const auto found = fTodayRequests.find(aURL);
        context.hasRequest = found != fTodayRequests.end();
        if (context.hasRequest) context.request = found->second;
    }
    TDownloadFailure refusal;
    if (context.hasRequest) {
        std::string answer = TryTodayRoutes(context, refusal);
        if (!answer.empty()) return answer;
    }
    // The link as the old pages had it, for a server that still speaks them.
    context.hasRequest = false;
    std::string page = TSiteSearchRun::DownloadPage(aURL, aURL, aParser, aFailure);
    if (page.empty() && !IsRefusalStatus(aFailure.httpStatus) && (IsRefusalStatus(refusal.httpStatus) || refusal.tooLarge))
        aFailure = refusal;
    return page;
}

void TCraigSiteSearch::PageParsed(TBaseResultsParser& aParser, int aAdsFound, bool aBlockPage) {
    const TCraigAnswerContext& context = ContextOf(aParser);
    SetAnswerFormat(context.route);
    for (int i = 0; i < context.itemsSkipped; ++i) AddItemSkipped();
    // Today's routes gave answers of an unknown shape, and the old page no ads either.
    if (aAdsFound == 0 && !aBlockPage && !context.problem.empty()) AddUnreadablePage(context.problem);
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
