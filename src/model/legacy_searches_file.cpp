#include "model/legacy_searches_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/text_functions.h"
#include "model/categories.h"
#include "model/filter.h"
#include "model/place_selection.h"
#include "model/search.h"

namespace trawlix {

namespace {

bool ReadWholeFile(const std::filesystem::path& aPath, std::string& aText) {
    std::ifstream in(aPath, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    aText = text.str();
    return true;
}

}  // namespace

std::string LoadOlderSearchesText(const std::filesystem::path& aDataFolder) {
    const auto file = aDataFolder / cOlderSearchesFileName;
    const auto backup = aDataFolder / cOlderSearchesBackupName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && std::filesystem::exists(backup, ec))
        std::filesystem::copy_file(backup, file, ec);
    if (!std::filesystem::exists(file, ec)) return cOlderSearchesEmptyText;
    std::string text;
    if (!ReadWholeFile(file, text)) {
        std::filesystem::remove(file, ec);
        return cOlderSearchesEmptyText;
    }
    return Trim(text).empty() ? std::string(cOlderSearchesEmptyText) : text;
}

void WriteOlderSearchesText(const std::filesystem::path& aDataFolder, const std::string& aText) {
    const auto file = aDataFolder / cOlderSearchesFileName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return;
    // Written beside and renamed, so that a failed write never leaves half a file.
    auto temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << aText;
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return;
        }
    }
    std::filesystem::rename(temporary, file, ec);
    if (ec) std::filesystem::remove(temporary, ec);
}

void ParseOlderSearchesText(const std::string& aText, pugi::xml_document& aDocument) {
    const std::string text = RemoveSpecialCharacters(aText);
    const auto parsed = aDocument.load_string(text.c_str(), pugi::parse_default | pugi::parse_declaration);
    if (!parsed) throw ESearchesFileError(std::string("The searches file ") + cOlderSearchesFileName +
                                          " cannot be read: " + parsed.description() + ".");
    if (!aDocument.document_element())
        throw ESearchesFileError(std::string("The searches file ") + cOlderSearchesFileName + " has no root element.");
}

std::string SerializeOlderSearches(const pugi::xml_document& aDocument) {
    std::ostringstream text;
    aDocument.save(text, "", pugi::format_raw, pugi::encoding_utf8);
    return text.str();
}

bool ParseOlderInteger(const std::string& aText, int& aValue) {
    const std::string text = Trim(aText);
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), aValue);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool ParseOlderFloat(const std::string& aText, double& aValue) {
    std::string text = Trim(aText);
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return false;
    const char* begin = text.data();
    if (text[0] == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), aValue);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(aValue);
}

bool ParseOlderFlag(const std::string& aText, bool& aValue) {
    const std::string text = LowerCase(Trim(aText));
    if (text == "true" || text == "false") {
        aValue = text == "true";
        return true;
    }
    double number = 0;
    if (!ParseOlderFloat(text, number)) return false;
    aValue = number != 0;
    return true;
}

pugi::xml_node TOlderSearchElement::Child(const char* aName) const {
    auto child = fNode.child(aName);
    if (!child)
        throw ESearchesFileError(std::string("A search in the searches file ") + cOlderSearchesFileName +
                                 " lacks the element \"" + aName + "\".");
    return child;
}

std::string TOlderSearchElement::Text(const char* aName) const { return Child(aName).child_value(); }

std::string TOlderSearchElement::UnescapedText(const char* aName) const { return UnEscapeXML(Text(aName)); }

int TOlderSearchElement::Integer(const char* aName) const {
    const std::string text = Text(aName);
    int value = 0;
    if (!ParseOlderInteger(text, value)) NotANumber(aName, text, "a whole number");
    return value;
}

double TOlderSearchElement::Float(const char* aName) const {
    const std::string text = Text(aName);
    double value = 0;
    if (!ParseOlderFloat(text, value)) NotANumber(aName, text, "a number");
    return value;
}

bool TOlderSearchElement::Flag(const char* aName) const {
    const std::string text = Text(aName);
    bool value = false;
    if (!ParseOlderFlag(text, value)) NotANumber(aName, text, "True, False or a number");
    return value;
}

void TOlderSearchElement::NotANumber(const char* aName, const std::string& aText, const char* aKind) const {
    throw ESearchesFileError(std::string("The element \"") + aName + "\" of a search in the searches file " +
                             cOlderSearchesFileName + " holds \"" + aText + "\", which is not " + aKind + ".");
}

// --- a search of the older file ---------------------------------------------------------

std::unique_ptr<TSearch> TSearch::CreateFromXMLNode(const pugi::xml_node& aNode, const TSearchLookups& aLookups) {
    auto search = std::make_unique<TSearch>();
    search->ReadFromXMLNode(aNode, aLookups);
    return search;
}

void TSearch::ReadFromXMLNode(const pugi::xml_node& aNode, const TSearchLookups& aLookups) {
    TCLock lock(fCriticalSection);
    const TOlderSearchElement e(aNode);
    FUserID = e.Integer("user_id");
    fID = e.Integer("srch_id");
    FFolderID = e.Integer("fld_id");
    FName = e.UnescapedText("srch_name");

    const auto readIds = [&](const char* aName, const std::function<TPlace*(int)>& aLookup, TPlaceList& aList) {
        aList.clear();
        for (const auto& child : e.Child(aName).children()) {
            if (child.type() != pugi::node_element) continue;
            int id = 0;
            if (!ParseOlderInteger(child.child_value(), id))
                throw ESearchesFileError(std::string("The element \"") + aName + "\" of a search in the searches file " +
                                         cOlderSearchesFileName + " holds the id \"" + child.child_value() +
                                         "\", which is not a whole number.");
            if (TPlace* place = aLookup(id)) aList.push_back(place);
        }
    };
    readIds(
        "search_locations", [&](int aID) { return aLookups.places ? aLookups.places->GetPlaceByID(aID) : nullptr; },
        FCompressedLocations);
    readIds(
        "search_categories",
        [&](int aID) { return aLookups.categories ? aLookups.categories->GetCategoryByID(aID) : nullptr; },
        fCategories);

    fKeywords = e.UnescapedText("pos_keywords");
    if (e.Has("backpage_keywords")) fBackpageKeywords = e.UnescapedText("backpage_keywords");
    FOnlySearchTitles = e.Flag("only_titles");
    FHasImage = e.Flag("has_image");
    if (e.Has("only_cat_listings")) fOnlyCatListings = e.Flag("only_cat_listings");
    if (e.Has("zip_code")) fZIPCode = e.Text("zip_code");
    fDistance = e.Integer("distance");
    if (e.Has("date_from")) fDateFrom = e.Float("date_from");
    if (e.Has("date_to")) fDateTo = e.Float("date_to");
    if (e.Has("do_search_last_days")) {
        fDoSearchLastDays = e.Flag("do_search_last_days");
        fNumberOfLastDaysToSearch = e.Has("number_of_last_days_to_search") ? e.Integer("number_of_last_days_to_search") : -1;
    } else if (e.Has("todays_only") && e.Flag("todays_only")) {
        fDoSearchLastDays = true;
        fNumberOfLastDaysToSearch = 1;
    }

    auto& o = fOlderOptions;
    o.fPersonalsMinAge = static_cast<int>(std::lround(e.Float("personals_min_age")));
    o.fPersonalsMaxAge = static_cast<int>(std::lround(e.Float("personals_max_age")));
    o.fHousingMinRent = e.Float("housing_min_rent");
    o.fHousingMaxRent = e.Float("housing_max_rent");
    o.fForSaleMinPrice = e.Float("for_sale_min_price");
    o.fForSaleMaxPrice = e.Float("for_sale_max_price");
    o.fHousingBathrooms = e.Integer("housing_bathrooms");
    o.fHousingCats = e.Flag("housing_cats");
    o.fHousingDogs = e.Flag("housing_dogs");
    o.fJobsTelecommute = e.Flag("jobs_telecommute");
    o.fJobsContract = e.Flag("jobs_contract");
    o.fJobsInternship = e.Flag("jobs_internship");
    o.fJobsPartTime = e.Flag("jobs_part_time");
    o.fJobsNonProfit = e.Flag("jobs_non_profit");

    if (e.Has("adv_all_these")) {
        FAllThese = e.UnescapedText("adv_all_these");
        FExact = e.UnescapedText("adv_exact");
        FOR1 = e.UnescapedText("adv_or1");
        FOR2 = e.UnescapedText("adv_or2");
        FOR3 = e.UnescapedText("adv_or3");
        FNoneOfThese = e.UnescapedText("adv_none_of_these");
    }

    if (e.Has("pages_count")) fPagesCount = e.Integer("pages_count");
    if (e.Has("clear_old_results")) fClearOldResults = e.Flag("clear_old_results");
    FKeepOldResults = e.Flag("keep_old_results");
    FShowPreview = e.Flag("show_preview");
    FEntrySelected = e.Text("entry_selected");
    FPreviewHeightRatio = static_cast<float>(e.Float("preview_height_ratio"));

    for (const auto& child : e.Child("favourites").children())
        if (child.type() == pugi::node_element) fFavourites.Add(std::make_shared<TFavourite>(child));
    for (const auto& child : e.Child("search_results").children())
        if (child.type() == pugi::node_element) fSearchResults.Add(std::make_shared<TEntry>(child));
    for (const auto& child : e.Child("deleted_results").children())
        if (child.type() == pugi::node_element) fDeletedResults.Add(std::make_shared<TEntry>(child));
    fNewResultsAvailable.Available = e.Flag("new_results_available");
    if (e.Has("group_results_by")) fGroupResultsBy = e.Integer("group_results_by");

    if (e.Has("site_searches"))
        for (const auto& child : e.Child("site_searches").children()) {
            if (child.type() != pugi::node_element) continue;
            int number = -1;
            TSiteSearchEnum site;
            if (ParseOlderInteger(child.attribute("site").as_string(), number) && SiteFromNumber(number, site))
                GetSiteSearch(site)->LoadFromXMLNode(child);
        }
    if (e.Has("filter")) fFilter->LoadFromXMLNode(e.Child("filter"));
    if (e.Has("notofications_were_sent_at")) fNotificationsWereSentAt = e.Float("notofications_were_sent_at");
    if (e.Has("alert")) fAlert->FromXMLNode(e.Child("alert"));

    // The older options go into the container now: its first save stores an (empty)
    // container, after which the storage would no longer offer them for conversion.
    ConvertOlderOptions();
    LookUpZIPCode(aLookups);
}

}  // namespace trawlix
