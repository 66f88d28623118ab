// Commands about the user's searches: list, create, show, change, delete, clone, their
// results and their remembered filter queries.
#include <algorithm>
#include <chrono>
#include <charconv>
#include <cmath>
#include <sstream>

#include "app/session.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/search_arg.h"
#include "model/categories.h"
#include "model/filter.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/option_groups.h"
#include "model/property_container.h"
#include "model/searches.h"
#include "model/zip_codes.h"

namespace trawlix::cli {

namespace {

std::string OneSearchArgument(ArgParser& aArgs, const std::string& aCommand) {
    auto positionals = aArgs.Positionals();
    if (positionals.size() != 1) throw UsageError(aCommand + " needs exactly one SEARCH");
    return positionals[0];
}

std::string SitesText(const TSearch& aSearch, const std::string& aSeparator) {
    std::string text;
    for (const auto& part : aSearch.GetSiteSearches())
        if (part->GetDoSearch()) text += (text.empty() ? "" : aSeparator) + SiteArgName(part->GetSite());
    return text;
}

std::string SitesJson(const TSearch& aSearch) {
    std::string json = "[";
    for (const auto& part : aSearch.GetSiteSearches())
        if (part->GetDoSearch()) json += (json.size() > 1 ? "," : "") + JsonString(SiteArgName(part->GetSite()));
    return json + "]";
}

template <class TItems, class TToJson>
std::string JsonArray(const TItems& aItems, TToJson aToJson) {
    std::string json = "[";
    for (const auto& item : aItems) json += (json.size() > 1 ? "," : "") + aToJson(item);
    return json + "]";
}

// --- dates --------------------------------------------------------------------------------

// Days since 30 December 1899, the stored date form.
double DateToStored(const std::string& aText) {
    int year = 0, month = 0, day = 0;
    char dash1 = 0, dash2 = 0;
    std::istringstream in(aText);
    in >> year >> dash1 >> month >> dash2 >> day;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
    if (in.fail() || !in.eof() || dash1 != '-' || dash2 != '-' || !date.ok())
        throw UsageError("a date must be written YYYY-MM-DD, not \"" + aText + "\"");
    return (sys_days(date) - sys_days(1899y / December / 30)).count();
}

std::string StoredToDate(double aValue) {
    if (aValue == 0) return "";
    using namespace std::chrono;
    const year_month_day date{sys_days(1899y / December / 30) + days(static_cast<int>(std::floor(aValue)))};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

// --- applying options -----------------------------------------------------------------------

bool YesNo(const std::string& aText, const std::string& aOption) {
    if (aText == "yes") return true;
    if (aText == "no") return false;
    throw UsageError(aOption + " takes yes or no, not \"" + aText + "\"");
}

// Every leaf under the given nodes, as ticking them in a tree editor would select them.
TPlaceList SelectedLeaves(const std::vector<std::string>& aIds, const std::function<TPlace*(int)>& aLookup,
                          const std::string& aWhat) {
    TPlaceList given;
    for (const auto& text : aIds) {
        TPlace* place = aLookup(ParseInt(text, "--" + aWhat));
        if (!place) throw CommandError("There is no " + aWhat + " with the id " + text + ".");
        given.push_back(place);
    }
    TPlaceList leaves;
    GetCategoriesFromCompressed(given, leaves);
    return leaves;
}

TPlaceList Compress(const TPlaceList& aTopLevel, const TPlaceList& aLeaves, const std::string& aWhat) {
    TPlaceList compressed = GetCompressedLocations(TPlaceSelectionTree(aTopLevel, aLeaves));
    TPlaceList expanded;
    GetCategoriesFromCompressed(compressed, expanded);
    for (TPlace* leaf : aLeaves)
        if (std::find(expanded.begin(), expanded.end(), leaf) == expanded.end())
            throw CommandError("The " + aWhat + " with the id " + std::to_string(leaf->GetID()) +
                               " cannot be selected.");
    return compressed;
}

TPlace* TopLevelOf(TPlace* aPlace) {
    while (aPlace->GetParent()) aPlace = aPlace->GetParent();
    return aPlace;
}

// Brings the option set in line with the categories and sites, as the options grid does.
void RefreshOptions(TSearch& aSearch) {
    TStringList topLevelNames;
    for (TPlace* category : aSearch.GetCategories()) topLevelNames.push_back(TopLevelOf(category)->GetName());
    FillProperties(aSearch.GetPropertyContainer(),
                   TPropertySelection::FromCategoryNames(topLevelNames, aSearch.GetSiteSearch(ssCarsCom)->GetDoSearch(),
                                                         aSearch.GetSiteSearch(ssAutotrader)->GetDoSearch()));
}

void ApplySites(TSearch& aSearch, const std::string& aList) {
    std::vector<bool> on(cSiteSearchCount, false);
    std::istringstream in(aList);
    for (std::string name; std::getline(in, name, ',');) {
        auto site = SiteFromArgName(name);
        if (!site) throw UsageError("unknown site \"" + name + "\"");
        on[*site] = true;
    }
    for (const auto& part : aSearch.GetSiteSearches()) part->SetDoSearch(on[part->GetSite()]);
}

void ApplyOption(TSearch& aSearch, const std::string& aAssignment) {
    const auto equals = aAssignment.find('=');
    if (equals == std::string::npos) throw UsageError("--option takes NAME=VALUE, not \"" + aAssignment + "\"");
    const std::string name = aAssignment.substr(0, equals);
    const std::string value = aAssignment.substr(equals + 1);
    auto& container = aSearch.GetPropertyContainer();
    TProp* prop = container.GetPropByName(name);
    if (!prop) throw CommandError("The search has no option \"" + name + "\" for its categories and sites.");
    std::string error = CheckPriceRange(container, name, value);
    if (error.empty()) prop->SetValue(value, error);
    if (!error.empty()) throw CommandError(error);
}

void ApplyZIPCode(CommandContext& aContext, TSearch& aSearch, const std::string& aText) {
    const std::string code = PadZIPCode(aText);
    if (code.empty()) {
        aSearch.SetZIPCode("");
        aSearch.SetZIPCodeObject(nullptr);
        return;
    }
    const TZIPCodes* codes = aContext.session->GetZIPCodes();
    auto found = codes ? codes->GetCode(code) : nullptr;
    if (!found) throw CommandError("The ZIP code you have entered is invalid. Please fix it or delete it.");
    aSearch.SetZIPCode(code);
    aSearch.SetZIPCodeObject(std::move(found));
}

// Takes the search options off aArgs and applies those given; the rest stays as it is.
void ApplySearchOptions(CommandContext& aContext, ArgParser& aArgs, TSearch& aSearch) {
    TSession& session = *aContext.session;
    if (auto name = aArgs.Value("--name")) {
        if (name->empty()) throw UsageError("--name must not be empty");
        aSearch.SetName(*name);
    }
    if (auto keywords = aArgs.Value("--keywords")) aSearch.SetKeywords(*keywords);
    if (auto ids = aArgs.Values("--location"); !ids.empty()) {
        if (!session.GetPlaces()) throw CommandError("The places are not loaded.");
        const TPlaces& places = *session.GetPlaces();
        aSearch.SetCompressedLocations(Compress(
            places.GetCountries(), SelectedLeaves(ids, [&](int id) { return places.GetPlaceByID(id); }, "location"),
            "location"));
    }
    if (auto ids = aArgs.Values("--category"); !ids.empty()) {
        if (!session.GetCategories()) throw CommandError("The categories are not loaded.");
        const TCategories& categories = *session.GetCategories();
        aSearch.SetCategories(Compress(
            categories.GetMainCategories(),
            SelectedLeaves(ids, [&](int id) { return categories.GetCategoryByID(id); }, "category"), "category"));
    }
    auto zip = aArgs.Value("--zip");
    auto distance = aArgs.IntValue("--distance");
    if (distance && *distance < 0) throw UsageError("--distance must not be negative");
    if (zip) ApplyZIPCode(aContext, aSearch, *zip);
    if (distance) aSearch.SetDistance(*distance);
    if (auto sites = aArgs.Value("--sites")) ApplySites(aSearch, *sites);
    if (auto pages = aArgs.IntValue("--pages")) {
        if (*pages < 1) throw UsageError("--pages must be at least 1");
        aSearch.SetPagesCount(*pages);
    }
    if (aArgs.Flag("--titles-only")) aSearch.SetOnlySearchTitles(true);
    if (aArgs.Flag("--no-titles-only")) aSearch.SetOnlySearchTitles(false);
    if (aArgs.Flag("--has-image")) aSearch.SetHasImage(true);
    if (aArgs.Flag("--no-has-image")) aSearch.SetHasImage(false);
    if (aArgs.Flag("--raw-category")) aSearch.SetOnlyCatListings(true);
    if (aArgs.Flag("--no-raw-category")) aSearch.SetOnlyCatListings(false);
    auto lastDays = aArgs.IntValue("--last-days");
    auto from = aArgs.Value("--from");
    auto to = aArgs.Value("--to");
    if (lastDays && (from || to)) throw UsageError("--last-days and --from/--to exclude each other");
    if (from.has_value() != to.has_value()) throw UsageError("--from and --to go together");
    if (lastDays) {
        if (*lastDays < 1) throw UsageError("--last-days must be at least 1");
        aSearch.SetDoSearchLastDays(true);
        aSearch.SetNumberOfLastDaysToSearch(*lastDays);
    }
    if (from) {
        const double fromDate = DateToStored(*from), toDate = DateToStored(*to);
        if (toDate < fromDate) throw UsageError("--to must not be before --from");
        aSearch.SetDoSearchLastDays(false);
        aSearch.SetDateFrom(fromDate);
        aSearch.SetDateTo(toDate);
    }
    if (auto keep = aArgs.Value("--keep-old-results")) aSearch.SetKeepOldResults(YesNo(*keep, "--keep-old-results"));
    if (auto clear = aArgs.Value("--clear-old-results"))
        aSearch.SetClearOldResults(YesNo(*clear, "--clear-old-results"));
    RefreshOptions(aSearch);
    for (const auto& option : aArgs.Values("--option")) ApplyOption(aSearch, option);
}

// --- commands ---------------------------------------------------------------------------------

int ListSearches(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("searches takes no arguments");
    TSearches& searches = SessionSearches(aContext);
    if (json) {
        aContext.out << JsonArray(searches.GetAllSearches(), [](const auto& search) {
            TCLock lock(search->GetCriticalSection());
            return JsonObject()
                .Add("id", search->GetID())
                .Add("order", search->GetOrder())
                .Add("name", search->GetName())
                .AddRaw("sites", SitesJson(*search))
                .Add("results", static_cast<long long>(search->GetSearchResults().size()))
                .Add("deleted", static_cast<long long>(search->GetDeletedResults().size()))
                .Add("favourites", static_cast<long long>(search->GetFavourites().size()))
                .Str();
        }) << "\n";
        return 0;
    }
    aContext.out << "id\torder\tname\tsites\tresults\tdeleted\tfavourites\n";
    for (const auto& search : searches.GetAllSearches()) {
        TCLock lock(search->GetCriticalSection());
        aContext.out << search->GetID() << "\t" << search->GetOrder() << "\t" << search->GetName() << "\t"
                     << SitesText(*search, ",") << "\t" << search->GetSearchResults().size() << "\t"
                     << search->GetDeletedResults().size() << "\t" << search->GetFavourites().size() << "\n";
    }
    return 0;
}

int AddSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    if (std::find(aContext.args.begin(), aContext.args.end(), "--name") == aContext.args.end())
        throw UsageError("add-search needs --name");
    TSearches& searches = SessionSearches(aContext);
    auto search = std::make_unique<TSearch>();
    ApplySearchOptions(aContext, args, *search);
    if (!args.Positionals().empty()) throw UsageError("add-search takes no SEARCH");
    search->SetOrder(static_cast<int>(searches.GetAllSearches().size()));
    TSearch& added = searches.AddSearch(std::move(search));
    searches.SaveSearch(added);
    if (!added.Saved()) throw CommandError("The search could not be stored.");
    aContext.out << added.GetID() << "\n";
    return 0;
}

int SetSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    TSearches& searches = SessionSearches(aContext);
    // The SEARCH is the one argument that is not an option or an option's value.
    std::vector<std::string> rest = aContext.args;
    ArgParser probe(rest);
    for (const char* option : {"--name", "--keywords", "--zip", "--distance", "--sites", "--pages", "--last-days",
                               "--from", "--to", "--keep-old-results", "--clear-old-results"})
        probe.Values(option);
    for (const char* option : {"--location", "--category", "--option"}) probe.Values(option);
    for (const char* flag : {"--titles-only", "--no-titles-only", "--has-image", "--no-has-image", "--raw-category",
                             "--no-raw-category"})
        probe.Flag(flag);
    TSearch& search = FindSearchArg(aContext, OneSearchArgument(probe, "set-search"));
    ApplySearchOptions(aContext, args, search);
    searches.SaveSearch(search);
    return 0;
}

void PrintOptions(std::ostream& aOut, const TSearch& aSearch) {
    for (const auto& prop : aSearch.GetPropertyContainer().GetProps())
        aOut << "option\t" << prop->GetName() << "\t" << prop->AsString() << "\t" << prop->GetCaption()
             << (prop->GetCategory().empty() ? "" : "\t(" + prop->GetCategory() + ")") << "\n";
}

std::string PlaceIds(const TPlaceList& aPlaces, const std::string& aSeparator) {
    std::string text;
    for (const TPlace* place : aPlaces) text += (text.empty() ? "" : aSeparator) + std::to_string(place->GetID());
    return text;
}

std::string PlacesJson(const TPlaceList& aPlaces) {
    return JsonArray(aPlaces, [](const TPlace* place) {
        return JsonObject().Add("id", place->GetID()).Add("name", place->ToString()).Str();
    });
}

JsonObject SearchJson(const TSearch& s) {
    TCLock lock(s.GetCriticalSection());
    JsonObject json;
    json.Add("id", s.GetID())
        .Add("order", s.GetOrder())
        .Add("name", s.GetName())
        .AddRaw("locations", PlacesJson(s.GetCompressedLocations()))
        .AddRaw("categories", PlacesJson(s.GetCategories()))
        .Add("keywords", s.GetKeywords())
        .Add("backpage_keywords", s.GetBackpageKeywords())
        .Add("all_these", s.GetAllThese())
        .Add("exact", s.GetExact())
        .Add("or1", s.GetOR1())
        .Add("or2", s.GetOR2())
        .Add("or3", s.GetOR3())
        .Add("none_of_these", s.GetNoneOfThese())
        .Add("zip_code", s.GetZIPCode())
        .Add("distance", s.GetDistance())
        .AddRaw("sites", SitesJson(s))
        .Add("pages", s.GetPagesCount())
        .Add("titles_only", s.GetOnlySearchTitles())
        .Add("has_image", s.GetHasImage())
        .Add("raw_category", s.GetOnlyCatListings())
        .Add("do_search_last_days", s.GetDoSearchLastDays())
        .Add("last_days", s.GetNumberOfLastDaysToSearch())
        .Add("date_from", StoredToDate(s.GetDateFrom()))
        .Add("date_to", StoredToDate(s.GetDateTo()))
        .Add("keep_old_results", s.GetKeepOldResults())
        .Add("clear_old_results", s.GetClearOldResults())
        .Add("group_results_by", s.GetGroupResultsBy())
        .Add("entry_selected", s.GetEntrySelected())
        .Add("show_preview", s.GetShowPreview())
        .Add("preview_height_ratio", static_cast<double>(s.GetPreviewHeightRatio()))
        .Add("new_results_available", s.GetNewResultsAvailable().Available)
        .Add("notifications_were_sent_at", s.GetNotificationsWereSentAt())
        .Add("results", static_cast<long long>(s.GetSearchResults().size()))
        .Add("deleted", static_cast<long long>(s.GetDeletedResults().size()))
        .Add("favourites", static_cast<long long>(s.GetFavourites().size()))
        .AddRaw("options", JsonArray(s.GetPropertyContainer().GetProps(), [](const auto& prop) {
                    return JsonObject()
                        .Add("name", prop->GetName())
                        .Add("caption", prop->GetCaption())
                        .Add("category", prop->GetCategory())
                        .Add("value", prop->AsString())
                        .Add("raw_value", prop->GetRawValue())
                        .Str();
                }));
    TCLock filterLock(s.GetFilter().GetCriticalSection());
    json.AddRaw("filter", JsonArray(s.GetFilter().GetQueries(), [](const auto& query) {
        return JsonObject()
            .Add("field", cFilterByStr[query->GetFilterBy()])
            .Add("not", query->GetIsNOT())
            .Add("text", query->GetText())
            .Add("caption", query->GetCaption())
            .Str();
    }));
    return json;
}

int ShowSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    TSearch& s = FindSearchArg(aContext, OneSearchArgument(args, "show-search"));
    if (json) {
        aContext.out << SearchJson(s).Str() << "\n";
        return 0;
    }
    TCLock lock(s.GetCriticalSection());
    auto& out = aContext.out;
    const auto yesNo = [](bool aValue) { return aValue ? "yes" : "no"; };
    out << "id\t" << s.GetID() << "\norder\t" << s.GetOrder() << "\nname\t" << s.GetName() << "\nlocations\t"
        << PlaceIds(s.GetCompressedLocations(), ",") << "\ncategories\t" << PlaceIds(s.GetCategories(), ",")
        << "\nkeywords\t" << s.GetKeywords() << "\nbackpage keywords\t" << s.GetBackpageKeywords()
        << "\npattern\t" << s.GetAllThese() << " | " << s.GetExact() << " | " << s.GetOR1() << " | " << s.GetOR2()
        << " | " << s.GetOR3() << " | " << s.GetNoneOfThese() << "\nzip code\t" << s.GetZIPCode() << "\ndistance\t"
        << s.GetDistance() << "\nsites\t" << SitesText(s, ",") << "\npages\t" << s.GetPagesCount()
        << "\ntitles only\t" << yesNo(s.GetOnlySearchTitles()) << "\nhas image\t" << yesNo(s.GetHasImage())
        << "\nraw category\t" << yesNo(s.GetOnlyCatListings()) << "\nlast days\t"
        << (s.GetDoSearchLastDays() ? std::to_string(s.GetNumberOfLastDaysToSearch()) : "no") << "\nfrom\t"
        << StoredToDate(s.GetDateFrom()) << "\nto\t" << StoredToDate(s.GetDateTo()) << "\nkeep old results\t"
        << yesNo(s.GetKeepOldResults()) << "\nclear old results\t" << yesNo(s.GetClearOldResults())
        << "\ngroup results by\t" << s.GetGroupResultsBy() << "\nentry selected\t" << s.GetEntrySelected()
        << "\nshow preview\t" << yesNo(s.GetShowPreview()) << "\npreview height ratio\t"
        << s.GetPreviewHeightRatio() << "\nnew results available\t" << yesNo(s.GetNewResultsAvailable().Available)
        << "\nresults\t" << s.GetSearchResults().size() << "\ndeleted\t" << s.GetDeletedResults().size()
        << "\nfavourites\t" << s.GetFavourites().size() << "\n";
    PrintOptions(out, s);
    TCLock filterLock(s.GetFilter().GetCriticalSection());
    for (const auto& query : s.GetFilter().GetQueries()) out << "filter\t" << query->GetCaption() << "\n";
    return 0;
}

int DeleteSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    TSearches& searches = SessionSearches(aContext);
    TSearch& search = FindSearchArg(aContext, OneSearchArgument(args, "delete-search"));
    // A run still going would fetch and merge into the freed search.
    search.StopSearchAndWait();
    searches.DeleteSearch(&search);
    return 0;
}

int CloneSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    TSearches& searches = SessionSearches(aContext);
    TSearch& search = FindSearchArg(aContext, OneSearchArgument(args, "clone-search"));
    auto copy = searches.CloneSearch(search);
    copy->SetOrder(static_cast<int>(searches.GetAllSearches().size()));
    TSearch& added = searches.AddSearch(std::move(copy));
    searches.SaveSearch(added);
    if (!added.Saved()) throw CommandError("The copy could not be stored.");
    aContext.out << added.GetID() << "\n";
    return 0;
}

void PrintEntry(std::ostream& aOut, const TEntry& aEntry, const std::string* aNote) {
    const auto yesNo = [](bool aValue) { return aValue ? "yes" : "no"; };
    aOut << cSiteSearchStr[aEntry.GetFromSite()] << "\t" << aEntry.GetDate() << "\t" << aEntry.GetName() << "\t"
         << aEntry.GetPrice() << "\t" << aEntry.GetLocationString() << "\t" << aEntry.GetCategoryString() << "\t"
         << aEntry.GetLink() << "\t" << yesNo(aEntry.GetHasImage()) << "\t" << yesNo(aEntry.GetVisited()) << "\t"
         << yesNo(aEntry.GetNew()) << "\t" << yesNo(aEntry.GetReplied()) << "\t" << aEntry.GetLocationID() << "\t"
         << aEntry.GetDescription() << "\t" << aEntry.GetContact() << "\t" << aEntry.GetImageUrl();
    if (aNote) aOut << "\t" << *aNote;
    aOut << "\n";
}

int Results(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const bool deleted = args.Flag("--deleted");
    const bool favourites = args.Flag("--favourites");
    if (deleted && favourites) throw UsageError("--deleted and --favourites exclude each other");
    TSearch& search = FindSearchArg(aContext, OneSearchArgument(args, "results"));
    TCLock lock(search.GetCriticalSection());
    auto& out = aContext.out;
    if (favourites) {
        if (json) {
            out << JsonArray(search.GetFavourites(), [](const IFavorite& aFavourite) {
                return ResultJson(*aFavourite).Add("note", aFavourite->GetNote()).Str();
            }) << "\n";
            return 0;
        }
        out << "site\tdate\tname\tprice\tlocation\tcategory\tlink\thas image\tvisited\tnew\treplied\tlocation id\t"
               "description\tcontact\timage url\tnote\n";
        for (const auto& favourite : search.GetFavourites()) {
            const std::string note = favourite->GetNote();
            PrintEntry(out, *favourite, &note);
        }
        return 0;
    }
    const TResultList& list = deleted ? search.GetDeletedResults() : search.GetSearchResults();
    if (json) {
        out << JsonArray(list, [&](const IEntry& aEntry) {
            // Deleted results keep no folds: only a current result has others under it.
            const std::vector<IEntry> alsoIn = deleted ? std::vector<IEntry>() : search.GetAlsoIn(*aEntry);
            return ResultJson(*aEntry)
                .AddRaw("also_in", JsonArray(alsoIn, [](const IEntry& aFolded) { return JsonString(aFolded->GetLink()); }))
                .Str();
        }) << "\n";
        return 0;
    }
    out << "site\tdate\tname\tprice\tlocation\tcategory\tlink\thas image\tvisited\tnew\treplied\tlocation id\t"
           "description\tcontact\timage url\n";
    for (const auto& entry : list) PrintEntry(out, *entry, nullptr);
    return 0;
}

int FieldIndex(const std::string& aText) {
    for (size_t i = 0; i < cFilterByStr.size(); ++i)
        if (aText == cFilterByStr[i]) return static_cast<int>(i);
    int index = -1;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), index);
    if (ec != std::errc() || end != aText.data() + aText.size() || index < 0 ||
        index >= static_cast<int>(cFilterByStr.size()))
        throw UsageError("--field takes 0 to 6 or a field name, not \"" + aText + "\"");
    return index;
}

int Filter(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto field = args.Value("--field");
    const bool negated = args.Flag("--not");
    auto positionals = args.Positionals();
    if (positionals.size() < 2) throw UsageError("filter needs SEARCH and add, remove or list");
    TSearch& search = FindSearchArg(aContext, positionals[0]);
    const std::string action = positionals[1];
    const std::string text = positionals.size() > 2 ? positionals[2] : "";
    if (positionals.size() > 3) throw UsageError("put the query TEXT in quotes");
    TFilter& filter = search.GetFilter();
    TCLock lock(filter.GetCriticalSection());
    if (action == "list") {
        for (const auto& query : filter.GetQueries())
            aContext.out << query->GetFilterBy() << "\t" << (query->GetIsNOT() ? "not" : "") << "\t" << query->GetText()
                         << "\t" << query->GetCaption() << "\n";
        return 0;
    }
    // A query is compared in the form the filter keeps its text in.
    TFilterQuery wanted(&filter);
    wanted.SetText(text);
    if (wanted.GetText().empty()) throw UsageError("filter " + action + " needs a TEXT");
    if (field) wanted.SetFilterBy(FieldIndex(*field));
    wanted.SetIsNOT(negated);
    if (action == "add") {
        TFilterQuery& query = filter.TempQuery();
        query.SetText(text);
        query.SetFilterBy(wanted.GetFilterBy());
        query.SetIsNOT(negated);
        filter.PostTempQuery(true);
    } else if (action == "remove") {
        const TFilterQuery* found = nullptr;
        for (const auto& query : filter.GetQueries())
            if (query->GetText() == wanted.GetText() && (!field || query->GetFilterBy() == wanted.GetFilterBy()) &&
                (!negated || query->GetIsNOT())) {
                found = query.get();
                break;
            }
        if (!found) throw CommandError("The search has no remembered query \"" + text + "\".");
        filter.DeleteQuery(found);
    } else {
        throw UsageError("filter takes add, remove or list, not \"" + action + "\"");
    }
    SessionSearches(aContext).SaveSearch(search);
    return 0;
}

const std::string cSearchOptionsUsage =
    "[--keywords TEXT] [--location ID]... [--category ID]... [--zip CODE --distance MILES] "
    "[--sites craigslist,backpage,oodle,ebay,carscom,autotrader] [--pages N] [--[no-]titles-only] "
    "[--[no-]has-image] [--[no-]raw-category] [--last-days N | --from YYYY-MM-DD --to YYYY-MM-DD] "
    "[--keep-old-results yes|no] [--clear-old-results yes|no] [--option NAME=VALUE]...";

CommandRegistrar gSearches({"searches", "searches [--json]", false, true, ListSearches, AlwaysReadsOnly});
CommandRegistrar gAddSearch({"add-search", "add-search --name NAME " + cSearchOptionsUsage, true, true, AddSearch});
CommandRegistrar gShowSearch({"show-search", "show-search SEARCH [--json]", false, true, ShowSearch, AlwaysReadsOnly});
CommandRegistrar gSetSearch({"set-search", "set-search SEARCH [--name NAME] " + cSearchOptionsUsage, true, true,
                             SetSearch});
CommandRegistrar gDeleteSearch({"delete-search", "delete-search SEARCH", true, true, DeleteSearch});
CommandRegistrar gCloneSearch({"clone-search", "clone-search SEARCH", true, true, CloneSearch});
CommandRegistrar gResults({"results", "results SEARCH [--deleted | --favourites] [--json]", false, true, Results,
                           AlwaysReadsOnly});
CommandRegistrar gFilter({"filter", "filter SEARCH add|remove|list [--field N|NAME] [--not] [TEXT]", true, true,
                          Filter});

}  // namespace

}  // namespace trawlix::cli
