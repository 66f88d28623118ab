#include "cli/search_arg.h"

#include <array>
#include <charconv>

#include "app/session.h"
#include "model/searches.h"

namespace trawlix::cli {

namespace {

const std::array<std::string, cSiteSearchCount> cSiteArgNames = {"craigslist", "backpage", "oodle",
                                                                  "ebay",       "carscom",  "autotrader"};

}  // namespace

TSearches& SessionSearches(CommandContext& aContext) {
    TSearches* searches = aContext.session ? aContext.session->GetMySearches() : nullptr;
    if (!searches) throw CommandError("The searches could not be loaded.");
    return *searches;
}

TSearch& FindSearchArg(CommandContext& aContext, const std::string& aText) {
    TSearches& searches = SessionSearches(aContext);
    int id = 0;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), id);
    if (ec == std::errc() && end == aText.data() + aText.size())
        if (TSearch* search = searches.GetSearchByID(id)) return *search;
    if (TSearch* search = searches.GetSearchByName(aText)) return *search;
    throw CommandError("No search has the id or name \"" + aText + "\".");
}

const std::string& SiteArgName(TSiteSearchEnum aSite) { return cSiteArgNames.at(aSite); }

std::optional<TSiteSearchEnum> SiteFromArgName(const std::string& aName) {
    for (int site = 0; site < cSiteSearchCount; ++site)
        if (cSiteArgNames[site] == aName) return static_cast<TSiteSearchEnum>(site);
    return std::nullopt;
}

JsonObject ResultJson(const TEntry& aEntry) {
    JsonObject json;
    json.Add("site", cSiteSearchStr[aEntry.GetFromSite()])
        .Add("date", aEntry.GetDate())
        .Add("name", aEntry.GetName())
        .Add("price", aEntry.GetPrice())
        .Add("location", aEntry.GetLocationString())
        .Add("category", aEntry.GetCategoryString())
        .Add("link", aEntry.GetLink())
        .Add("has_image", aEntry.GetHasImage())
        .Add("visited", aEntry.GetVisited())
        .Add("new", aEntry.GetNew())
        .Add("replied", aEntry.GetReplied())
        .Add("location_id", aEntry.GetLocationID())
        .Add("description", aEntry.GetDescription())
        .Add("contact", aEntry.GetContact())
        .Add("image_url", aEntry.GetImageUrl())
        .Add("duplicate_of", aEntry.GetDuplicateOf())
        .AddPlaceAndPictures(aEntry.GetPlace(), aEntry.GetHasGeo(), aEntry.GetLatitude(), aEntry.GetLongitude(),
                             aEntry.GetPictureUrls());
    if (aEntry.GetPriceDropped())
        json.Add("price_was", aEntry.GetPriceWas());
    else
        json.AddRaw("price_was", "null");
    return json;
}

}  // namespace trawlix::cli
