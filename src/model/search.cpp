#include "model/search.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <pugixml.hpp>

#include "engine/keyword_syntax.h"
#include "engine/text_functions.h"
#include "model/filter.h"
#include "model/categories.h"
#include "model/objects_storage.h"
#include "model/place_selection.h"
#include "model/zip_codes.h"

namespace trawlix {

namespace {

constexpr const char* cSearchType = "search";
constexpr const char* cLocationsType = "search_locations";
constexpr const char* cLocationItemType = "loc_id";
constexpr const char* cCategoriesType = "search_categories";
constexpr const char* cCategoryItemType = "cat_id";
constexpr const char* cFavouritesType = "favourites";
constexpr const char* cFavouriteType = "fav";
constexpr const char* cSiteSearchesType = "site_searches";
constexpr const char* cSiteSearchType = "site_search";
constexpr const char* cFilterType = "filter";
constexpr const char* cPropertyContainerType = "property_container";

bool ParseWholeNumber(const std::string& aText, int& aValue) {
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), aValue);
    return !aText.empty() && ec == std::errc() && end == aText.data() + aText.size();
}

}  // namespace

template <class T>
void TSearch::SetStored(T& aField, const T& aValue) {
    TCLock lock(fCriticalSection);
    if (aField == aValue) return;
    aField = aValue;
    ++fChangeCount;
}

// --- construction -------------------------------------------------------------------

TSearch::TSearch()
    : FLocations2(nullptr), fPropertyContainer(std::make_unique<TPropertyContainer>()),
      fFilter(std::make_unique<TFilter>()), fAlert(std::make_unique<TAlert>()) {
    CreateSiteSearches();
    fAlert->SetOnChange([this] { MarkModified(); });
}

TSearch::~TSearch() {
    TCLock lock(fCriticalSection);
    fFilter.reset();
    fSiteSearches.clear();
    fZIPCodeObject.reset();
    FLocations2.reset();
    fPropertyContainer.reset();
    fCategories.clear();
    FCompressedLocations.clear();
    fFavourites.Clear();
    fSearchResults.Clear();
    fDeletedResults.Clear();
}

void TSearch::CreateSiteSearches() {
    fSiteSearches.clear();
    for (int site = 0; site < cSiteSearchCount; ++site)
        fSiteSearches.push_back(MakeSiteSearch(static_cast<TSiteSearchEnum>(site), this));
}

std::unique_ptr<TSearch> TSearch::CreateFromDB(TObjectsStorage& aStorage, int aDBObjectID,
                                               const TSearchLookups& aLookups) {
    auto search = std::make_unique<TSearch>();
    search->ReadFromDB(aStorage, aDBObjectID, aLookups);
    search->fSavedChangeCount = search->fChangeCount;
    return search;
}

std::unique_ptr<TSearch> TSearch::CreateFromXMLNode(const pugi::xml_node& aNode, const TSearchLookups& aLookups) {
    auto search = std::make_unique<TSearch>();
    search->ReadFromXMLNode(aNode, aLookups);
    return search;
}

// --- reading from the storage ---------------------------------------------------------

void TSearch::ReadFromDB(TObjectsStorage& aStorage, int aDBObjectID, const TSearchLookups& aLookups) {
    TCLock lock(fCriticalSection);
    fID = aDBObjectID;
    auto& s = aStorage;
    FUserID = s.GetObjectPropInt(fID, "user_id", 0);
    FName = s.GetObjectPropText(fID, "name");

    ReadPlacesFromDB(
        s, cLocationsType, cLocationItemType,
        [&](int aID) { return aLookups.places ? aLookups.places->GetPlaceByID(aID) : nullptr; }, FCompressedLocations);
    ReadPlacesFromDB(
        s, cCategoriesType, cCategoryItemType,
        [&](int aID) { return aLookups.categories ? aLookups.categories->GetCategoryByID(aID) : nullptr; },
        fCategories);

    fKeywords = s.GetObjectPropText(fID, "pos_keywords");
    fBackpageKeywords = s.GetObjectPropText(fID, "backpage_keywords");
    FOnlySearchTitles = s.GetObjectPropBool(fID, "only_titles");
    FHasImage = s.GetObjectPropBool(fID, "has_image");
    fOnlyCatListings = s.GetObjectPropBool(fID, "only_cat_listings");
    fZIPCode = s.GetObjectPropText(fID, "zip_code");
    fDistance = s.GetObjectPropInt(fID, "distance", 0);
    fDateFrom = s.GetObjectPropFloat(fID, "date_from");
    fDateTo = s.GetObjectPropFloat(fID, "date_to");
    if (s.ObjectPropExists(fID, "do_search_last_days")) {
        fDoSearchLastDays = s.GetObjectPropBool(fID, "do_search_last_days");
        fNumberOfLastDaysToSearch = s.GetObjectPropInt(fID, "number_of_last_days_to_search", -1);
    } else if (s.GetObjectPropBool(fID, "todays_only")) {
        fDoSearchLastDays = true;
        fNumberOfLastDaysToSearch = 1;
    }
    ReadOptionsFromDB(s);

    FAllThese = s.GetObjectPropText(fID, "adv_all_these");
    FExact = s.GetObjectPropText(fID, "adv_exact");
    FOR1 = s.GetObjectPropText(fID, "adv_or1");
    FOR2 = s.GetObjectPropText(fID, "adv_or2");
    FOR3 = s.GetObjectPropText(fID, "adv_or3");
    FNoneOfThese = s.GetObjectPropText(fID, "adv_none_of_these");

    FKeepOldResults = s.GetObjectPropBool(fID, "keep_old_results");
    FEntrySelected = s.GetObjectPropText(fID, "entry_selected");
    FShowPreview = s.GetObjectPropBool(fID, "show_preview");
    FPreviewHeightRatio = static_cast<float>(s.GetObjectPropFloat(fID, "preview_height_ratio"));
    fPagesCount = s.GetObjectPropInt(fID, "pages_count", 0);
    fClearOldResults = s.GetObjectPropBool(fID, "clear_old_results");

    if (auto favourites = s.GetObject(cFavouritesType, fID))
        for (const auto& fav : s.GetObjects(cFavouriteType, favourites->GetID()))
            fFavourites.Add(std::make_shared<TFavourite>(s, fav->GetID()));
    fNewResultsAvailable.Available = s.GetObjectPropBool(fID, "new_results_available");
    ReadResultsFromDB(s, cEntryTypeSearchResult, fSearchResults);
    ReadResultsFromDB(s, cEntryTypeDeletedResult, fDeletedResults);
    fGroupResultsBy = s.GetObjectPropInt(fID, "group_results_by", 0);

    if (auto siteSearches = s.GetObject(cSiteSearchesType, fID))
        for (const auto& part : s.GetObjects(cSiteSearchType, siteSearches->GetID())) {
            TSiteSearchEnum site;
            const int number = s.GetObjectPropInt(part->GetID(), "site", -1);
            if (SiteFromNumber(number, site)) GetSiteSearch(site)->LoadFromDB(s, part->GetID());
        }

    if (auto filter = s.GetObject(cFilterType, fID)) fFilter->FromDB(s, filter->GetID());
    if (auto container = s.GetObject(cPropertyContainerType, fID))
        fPropertyContainer->LoadFromDB(s, container->GetID());
    else
        ConvertOlderOptions();

    fNotificationsWereSentAt = s.GetObjectPropFloat(fID, "notofications_were_sent_at");
    fAlert->FromDB(s, fID);
    fOrder = s.GetObjectPropInt(fID, "order", 0);
    LookUpZIPCode(aLookups);
}

void TSearch::LookUpZIPCode(const TSearchLookups& aLookups) {
    // Every reader of a stored search (the window, links, a run from the command line)
    // then searches around the ZIP code, not only the window whose ZIP box builds it.
    fZIPCodeObject.reset();
    if (aLookups.zipCodes && !Trim(fZIPCode).empty()) fZIPCodeObject = aLookups.zipCodes->GetCode(PadZIPCode(fZIPCode));
}

void TSearch::ReadPlacesFromDB(TObjectsStorage& aStorage, const std::string& aListType, const std::string& aItemType,
                               const std::function<TPlace*(int)>& aLookup, TPlaceList& aList) {
    aList.clear();
    auto listObject = aStorage.GetObject(aListType, fID);
    if (!listObject) return;
    for (const auto& item : aStorage.GetObjects(aItemType, listObject->GetID())) {
        int id = 0;
        if (!ParseWholeNumber(item->GetData(), id)) continue;
        if (TPlace* place = aLookup(id)) aList.push_back(place);
    }
}

void TSearch::ReadOptionsFromDB(TObjectsStorage& aStorage) {
    auto& o = fOlderOptions;
    o.fPersonalsMinAge = aStorage.GetObjectPropInt(fID, "personals_min_age", 0);
    o.fPersonalsMaxAge = aStorage.GetObjectPropInt(fID, "personals_max_age", 0);
    o.fHousingMinRent = aStorage.GetObjectPropFloat(fID, "housing_min_rent");
    o.fHousingMaxRent = aStorage.GetObjectPropFloat(fID, "housing_max_rent");
    o.fHousingBathrooms = aStorage.GetObjectPropInt(fID, "housing_bathrooms", 0);
    o.fHousingCats = aStorage.GetObjectPropBool(fID, "housing_cats");
    o.fHousingDogs = aStorage.GetObjectPropBool(fID, "housing_dogs");
    o.fForSaleMinPrice = aStorage.GetObjectPropFloat(fID, "for_sale_min_price");
    o.fForSaleMaxPrice = aStorage.GetObjectPropFloat(fID, "for_sale_max_price");
    o.fJobsTelecommute = aStorage.GetObjectPropBool(fID, "jobs_telecommute");
    o.fJobsContract = aStorage.GetObjectPropBool(fID, "jobs_contract");
    o.fJobsInternship = aStorage.GetObjectPropBool(fID, "jobs_internship");
    o.fJobsPartTime = aStorage.GetObjectPropBool(fID, "jobs_part_time");
    o.fJobsNonProfit = aStorage.GetObjectPropBool(fID, "jobs_non_profit");
}

void TSearch::ReadResultsFromDB(TObjectsStorage& aStorage, const std::string& aType, TResultList& aList) {
    auto rows = aStorage.SQLLiteDB().GetTable(
        "select * from entries where (search_id = ?) and (type = '" + aType + "')", {fID});
    if (rows.Eof()) return;
    // Columns are looked up by name once, not for every row.
    const TEntryColumns columns(rows);
    for (; !rows.Eof(); rows.Next()) {
        // A damaged row (a site that is no site) is left out; the search keeps its other results.
        try {
            aList.Add(std::make_shared<TEntry>(rows, columns));
        } catch (const EEntryLoadError&) {
        }
    }
}

void TSearch::ConvertOlderOptions() { ConvertOlderSearchOptions(*fPropertyContainer, fOlderOptions); }

// --- reading from the older searches file ---------------------------------------------

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

// --- saving ---------------------------------------------------------------------------

// What the definition's save hands on to be written without the search's lock.
struct TSearch::TListsToSave {
    int searchID = 0;
    int changeCount = 0;
    std::vector<IFavorite> favourites;
    std::vector<IEntry> results;
    std::vector<IEntry> deleted;
};

void TSearch::SaveToDB(TObjectsStorage& aStorage, const TProcessMessages& aProcessMessages) {
    int changeCount = 0;
    {
        TStorageTransaction transaction(aStorage);
        changeCount = WriteToDB(aStorage, aProcessMessages);
        try {
            transaction.Commit();
        } catch (const std::exception& e) {
            throw ESearchSaveError("The search \"" + GetName() + "\" could not be stored: " + e.what());
        }
    }
    MarkSaved(changeCount);
}

int TSearch::WriteToDB(TObjectsStorage& aStorage, const TProcessMessages& aProcessMessages) {
    const int previousID = GetID();
    try {
        TStorageTransaction transaction(aStorage);
        const TListsToSave lists = WriteDefinition(aStorage);
        SaveFavourites(aStorage, lists.searchID, lists.favourites, aProcessMessages);
        SaveResults(aStorage, lists.searchID, lists.results, lists.deleted, aProcessMessages);
        transaction.Commit();
        return lists.changeCount;
    } catch (const std::exception& e) {
        // The object a first save created is gone with the rollback: the search is still unsaved.
        SetLocked(fCriticalSection, fID, previousID);
        if (dynamic_cast<const ESearchSaveError*>(&e)) throw;
        throw ESearchSaveError("The search \"" + GetName() + "\" could not be stored: " + e.what());
    }
}

TSearch::TListsToSave TSearch::WriteDefinition(TObjectsStorage& aStorage) {
    TCLock lock(fCriticalSection);
    auto& s = aStorage;
    if (fID <= 0 || !s.ObjectExists(fID)) fID = s.AddObject(cSearchType, -1, "", true);
    if (fID <= 0) throw EStorageWriteError(s.LastWriteError());
    FUserID = cLocalUserID;
    s.SetObjectProp(fID, "user_id", FUserID);
    s.SetObjectProp(fID, "name", FName);
    SavePlaceList(s, cLocationsType, cLocationItemType, FCompressedLocations);
    SavePlaceList(s, cCategoriesType, cCategoryItemType, fCategories);

    s.SetObjectProp(fID, "pos_keywords", fKeywords);
    s.SetObjectProp(fID, "backpage_keywords", fBackpageKeywords);
    s.SetObjectProp(fID, "only_titles", FOnlySearchTitles);
    s.SetObjectProp(fID, "has_image", FHasImage);
    s.SetObjectProp(fID, "only_cat_listings", fOnlyCatListings);
    s.SetObjectProp(fID, "zip_code", fZIPCode);
    s.SetObjectProp(fID, "distance", fDistance);
    s.SetObjectProp(fID, "date_from", fDateFrom);
    s.SetObjectProp(fID, "date_to", fDateTo);
    s.SetObjectProp(fID, "do_search_last_days", fDoSearchLastDays);
    s.SetObjectProp(fID, "number_of_last_days_to_search", fNumberOfLastDaysToSearch);
    s.SetObjectProp(fID, "adv_all_these", FAllThese);
    s.SetObjectProp(fID, "adv_exact", FExact);
    s.SetObjectProp(fID, "adv_or1", FOR1);
    s.SetObjectProp(fID, "adv_or2", FOR2);
    s.SetObjectProp(fID, "adv_or3", FOR3);
    s.SetObjectProp(fID, "adv_none_of_these", FNoneOfThese);

    s.SetObjectProp(fID, "keep_old_results", FKeepOldResults);
    s.SetObjectProp(fID, "entry_selected", FEntrySelected);
    s.SetObjectProp(fID, "show_preview", FShowPreview);
    s.SetObjectProp(fID, "preview_height_ratio", static_cast<double>(FPreviewHeightRatio));
    s.SetObjectProp(fID, "pages_count", fPagesCount);
    s.SetObjectProp(fID, "clear_old_results", fClearOldResults);
    s.SetObjectProp(fID, "new_results_available", fNewResultsAvailable.Available);
    s.SetObjectProp(fID, "group_results_by", fGroupResultsBy);
    SaveSiteSearches(s);
    fFilter->SaveToDB(s, fID);
    s.SetObjectProp(fID, "notofications_were_sent_at", fNotificationsWereSentAt);
    fAlert->SaveToDB(s, fID);
    s.SetObjectProp(fID, "order", fOrder);
    fPropertyContainer->SaveToDB(s, fID);

    // The lists as they are now; their entries are written after the lock is let go.
    TListsToSave lists;
    lists.searchID = fID;
    lists.changeCount = fChangeCount;
    lists.favourites.assign(fFavourites.begin(), fFavourites.end());
    lists.results.assign(fSearchResults.begin(), fSearchResults.end());
    lists.deleted.assign(fDeletedResults.begin(), fDeletedResults.end());
    return lists;
}

void TSearch::SavePlaceList(TObjectsStorage& aStorage, const std::string& aListType, const std::string& aItemType,
                            const TPlaceList& aList) {
    const int listID = aStorage.AddObject(aListType, fID, "", false);
    if (listID <= 0) return;
    aStorage.DeleteObjects(aItemType, listID, true);
    for (const TPlace* place : aList) aStorage.AddObject(aItemType, listID, std::to_string(place->GetID()), true);
}

void TSearch::SaveFavourites(TObjectsStorage& aStorage, int aSearchID, const std::vector<IFavorite>& aFavourites,
                             const TProcessMessages& aProcessMessages) {
    const int listID = aStorage.AddObject(cFavouritesType, aSearchID, "", false);
    if (listID <= 0) throw EStorageWriteError(aStorage.LastWriteError());
    aStorage.DeleteObjects(cFavouriteType, listID, true);
    for (const auto& favourite : aFavourites) {
        if (aProcessMessages) aProcessMessages();
        const int favID = aStorage.AddObject(cFavouriteType, listID, "", true);
        if (favID <= 0) throw EStorageWriteError(aStorage.LastWriteError());
        favourite->SaveToDB(aStorage, favID);
    }
}

void TSearch::SaveResults(TObjectsStorage& aStorage, int aSearchID, const std::vector<IEntry>& aResults,
                          const std::vector<IEntry>& aDeleted, const TProcessMessages& aProcessMessages) {
    // Rows written by an earlier save of this search go first, so that saving twice
    // (as cloning does) never doubles the results. A failed insert fails the whole save:
    // a search stored with half its results would look complete on the next start.
    aStorage.SQLLiteDB().ExecSQL("delete from entries where search_id = ?", {aSearchID});
    TEntriesWriter writer(aStorage.SQLLiteDB());
    const auto saveList = [&](const std::vector<IEntry>& aList, const char* aType) {
        for (const auto& entry : aList) {
            if (aProcessMessages) aProcessMessages();
            writer.Insert(*entry, aSearchID, aType);
        }
    };
    saveList(aResults, cEntryTypeSearchResult);
    saveList(aDeleted, cEntryTypeDeletedResult);
}

void TSearch::SaveSiteSearches(TObjectsStorage& aStorage) {
    const int listID = aStorage.AddObject(cSiteSearchesType, fID, "", false);
    if (listID <= 0) return;
    aStorage.DeleteObjects(cSiteSearchType, listID, true);
    for (const auto& part : fSiteSearches) part->SaveToDB(aStorage, listID);
}

void TSearch::DeleteFromDB(TObjectsStorage& aStorage) {
    TCLock lock(fCriticalSection);
    if (fID <= 0) return;
    try {
        TStorageTransaction transaction(aStorage);
        aStorage.DeleteObject(fID, true);
        // Left behind, the rows would be read by a later search that is given the same id.
        aStorage.SQLLiteDB().ExecSQL("delete from entries where search_id = ?", {fID});
        transaction.Commit();
    } catch (const std::exception& e) {
        throw ESearchSaveError("The search \"" + FName + "\" could not be deleted: " + e.what());
    }
}

std::unique_ptr<TSearch> TSearch::Clone(TObjectsStorage& aStorage, const TSearchLookups& aLookups) {
    SaveToDB(aStorage);
    auto copy = CreateFromDB(aStorage, GetID(), aLookups);
    copy->SetID(0);
    copy->SetName("(Cloned search)");
    return copy;
}

// --- results ----------------------------------------------------------------------------

void TSearch::AddSearchResult(IEntry aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fSearchResults.Add(std::move(aEntry));
}

void TSearch::AddDeletedResult(IEntry aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fDeletedResults.Add(std::move(aEntry));
}

void TSearch::AddFavourite(IFavorite aFavourite) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fFavourites.Add(std::move(aFavourite));
}

bool TSearch::RemoveFavourite(const IFavorite& aFavourite) {
    TCLock lock(fCriticalSection);
    if (!fFavourites.Remove(aFavourite)) return false;
    ++fChangeCount;
    return true;
}

void TSearch::DeleteResult(const IEntry& aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fDeletedResults.Add(aEntry);
    fSearchResults.Remove(aEntry);
}

void TSearch::FillOldResults(bool aClear) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    if (aClear) {
        fSearchResults.Clear();
        {
            TCLock filterLock(fFilter->GetCriticalSection());
            fFilter->ClearResults();
        }
        fDeletedResults.Clear();
        return;
    }
    for (const auto& entry : fSearchResults) entry->SetNew(false);
}

IEntry TSearch::GetResultByLink(const TResultList& aList, const std::string& aLink) { return aList.FindByLink(aLink); }

IFavorite TSearch::GetFavoriteByLink(const std::string& aLink) const {
    TCLock lock(fCriticalSection);
    return fFavourites.FindByLink(aLink);
}

bool TSearch::FavoriteExists(const std::string& aLink) const {
    TCLock lock(fCriticalSection);
    return fFavourites.ContainsLink(aLink);
}

// --- locations and site parts -----------------------------------------------------------

TPlaceWrapperList& TSearch::GetSearchLocations() {
    TCLock lock(fCriticalSection);
    if (!FLocations2 || FLocationsChanged) {
        if (!FLocations2) FLocations2 = std::make_unique<TPlaceWrapperList>();
        GetLocationsFromCompressed(FCompressedLocations, *FLocations2);
        FLocationsChanged = false;
    }
    return *FLocations2;
}

TBaseSiteSearch* TSearch::GetSiteSearch(TSiteSearchEnum aSite) const {
    for (const auto& part : fSiteSearches)
        if (part->GetSite() == aSite) return part.get();
    return nullptr;
}

// --- plain accessors ----------------------------------------------------------------------

int TSearch::GetID() const { return Locked(fCriticalSection, fID); }
void TSearch::SetID(int aValue) { SetStored(fID, aValue); }
int TSearch::GetUserID() const { return Locked(fCriticalSection, FUserID); }
void TSearch::SetUserID(int aValue) { SetStored(FUserID, aValue); }
int TSearch::GetFolderID() const { return Locked(fCriticalSection, FFolderID); }
std::string TSearch::GetName() const { return Locked(fCriticalSection, FName); }
void TSearch::SetName(const std::string& aValue) { SetStored(FName, aValue); }
int TSearch::GetOrder() const { return Locked(fCriticalSection, fOrder); }
void TSearch::SetOrder(int aValue) { SetStored(fOrder, aValue); }

TPlaceList TSearch::GetCompressedLocations() const { return Locked(fCriticalSection, FCompressedLocations); }
void TSearch::SetCompressedLocations(const TPlaceList& aValue) {
    TCLock lock(fCriticalSection);
    SetStored(FCompressedLocations, aValue);
    FLocationsChanged = true;
}
void TSearch::SetLocationsChanged(bool aValue) { SetLocked(fCriticalSection, FLocationsChanged, aValue); }
std::string TSearch::GetZIPCode() const { return Locked(fCriticalSection, fZIPCode); }
void TSearch::SetZIPCode(const std::string& aValue) { SetStored(fZIPCode, aValue); }
int TSearch::GetDistance() const { return Locked(fCriticalSection, fDistance); }
void TSearch::SetDistance(int aValue) { SetStored(fDistance, aValue); }
const TZipCode* TSearch::GetZIPCodeObject() const {
    TCLock lock(fCriticalSection);
    return fZIPCodeObject.get();
}
void TSearch::SetZIPCodeObject(std::unique_ptr<TZipCode> aValue) {
    TCLock lock(fCriticalSection);
    fZIPCodeObject = std::move(aValue);
}

TPlaceList TSearch::GetCategories() const { return Locked(fCriticalSection, fCategories); }
void TSearch::SetCategories(const TPlaceList& aValue) { SetStored(fCategories, aValue); }
std::string TSearch::GetKeywords() const { return Locked(fCriticalSection, fKeywords); }
std::string TSearch::GetNonValidatedKeywords() const { return Locked(fCriticalSection, fNonValidatedKeywords); }
void TSearch::SetKeywords(const std::string& aValue) {
    TCLock lock(fCriticalSection);
    if (aValue == fNonValidatedKeywords) return;
    SetStored(fKeywords, ValidateKeywords(aValue));
    fNonValidatedKeywords = aValue;
}
std::string TSearch::GetBackpageKeywords() const { return Locked(fCriticalSection, fBackpageKeywords); }
void TSearch::SetBackpageKeywords(const std::string& aValue) { SetStored(fBackpageKeywords, aValue); }
bool TSearch::GetOnlySearchTitles() const { return Locked(fCriticalSection, FOnlySearchTitles); }
void TSearch::SetOnlySearchTitles(bool aValue) { SetStored(FOnlySearchTitles, aValue); }
bool TSearch::GetHasImage() const { return Locked(fCriticalSection, FHasImage); }
void TSearch::SetHasImage(bool aValue) { SetStored(FHasImage, aValue); }
bool TSearch::GetOnlyCatListings() const { return Locked(fCriticalSection, fOnlyCatListings); }
void TSearch::SetOnlyCatListings(bool aValue) { SetStored(fOnlyCatListings, aValue); }
double TSearch::GetDateFrom() const { return Locked(fCriticalSection, fDateFrom); }
void TSearch::SetDateFrom(double aValue) { SetStored(fDateFrom, aValue); }
double TSearch::GetDateTo() const { return Locked(fCriticalSection, fDateTo); }
void TSearch::SetDateTo(double aValue) { SetStored(fDateTo, aValue); }
bool TSearch::GetDoSearchLastDays() const { return Locked(fCriticalSection, fDoSearchLastDays); }
void TSearch::SetDoSearchLastDays(bool aValue) { SetStored(fDoSearchLastDays, aValue); }
int TSearch::GetNumberOfLastDaysToSearch() const { return Locked(fCriticalSection, fNumberOfLastDaysToSearch); }
void TSearch::SetNumberOfLastDaysToSearch(int aValue) {
    SetStored(fNumberOfLastDaysToSearch, aValue);
}
std::string TSearch::GetAllThese() const { return Locked(fCriticalSection, FAllThese); }
void TSearch::SetAllThese(const std::string& aValue) { SetStored(FAllThese, aValue); }
std::string TSearch::GetExact() const { return Locked(fCriticalSection, FExact); }
void TSearch::SetExact(const std::string& aValue) { SetStored(FExact, aValue); }
std::string TSearch::GetOR1() const { return Locked(fCriticalSection, FOR1); }
void TSearch::SetOR1(const std::string& aValue) { SetStored(FOR1, aValue); }
std::string TSearch::GetOR2() const { return Locked(fCriticalSection, FOR2); }
void TSearch::SetOR2(const std::string& aValue) { SetStored(FOR2, aValue); }
std::string TSearch::GetOR3() const { return Locked(fCriticalSection, FOR3); }
void TSearch::SetOR3(const std::string& aValue) { SetStored(FOR3, aValue); }
std::string TSearch::GetNoneOfThese() const { return Locked(fCriticalSection, FNoneOfThese); }
void TSearch::SetNoneOfThese(const std::string& aValue) { SetStored(FNoneOfThese, aValue); }
TOlderSearchOptions TSearch::GetOlderOptions() const { return Locked(fCriticalSection, fOlderOptions); }

bool TSearch::GetKeepOldResults() const { return Locked(fCriticalSection, FKeepOldResults); }
void TSearch::SetKeepOldResults(bool aValue) { SetStored(FKeepOldResults, aValue); }
bool TSearch::GetClearOldResults() const { return Locked(fCriticalSection, fClearOldResults); }
void TSearch::SetClearOldResults(bool aValue) { SetStored(fClearOldResults, aValue); }
int TSearch::GetPagesCount() const { return Locked(fCriticalSection, fPagesCount); }
void TSearch::SetPagesCount(int aValue) { SetStored(fPagesCount, aValue); }
int TSearch::GetGroupResultsBy() const { return Locked(fCriticalSection, fGroupResultsBy); }
void TSearch::SetGroupResultsBy(int aValue) { SetStored(fGroupResultsBy, aValue); }
std::string TSearch::GetEntrySelected() const { return Locked(fCriticalSection, FEntrySelected); }
void TSearch::SetEntrySelected(const std::string& aValue) { SetStored(FEntrySelected, aValue); }
bool TSearch::GetShowPreview() const { return Locked(fCriticalSection, FShowPreview); }
void TSearch::SetShowPreview(bool aValue) { SetStored(FShowPreview, aValue); }
float TSearch::GetPreviewHeightRatio() const { return Locked(fCriticalSection, FPreviewHeightRatio); }
void TSearch::SetPreviewHeightRatio(float aValue) { SetStored(FPreviewHeightRatio, aValue); }
double TSearch::GetNotificationsWereSentAt() const { return Locked(fCriticalSection, fNotificationsWereSentAt); }
void TSearch::SetNotificationsWereSentAt(double aValue) {
    SetStored(fNotificationsWereSentAt, aValue);
}

TNewResultsAvailable TSearch::GetNewResultsAvailable() const { return Locked(fCriticalSection, fNewResultsAvailable); }
void TSearch::SetNewResultsAvailable(const TNewResultsAvailable& aValue) {
    SetStored(fNewResultsAvailable, aValue);
}
bool TSearch::NewResultsAvailableFromLastSearch() const {
    TCLock lock(fCriticalSection);
    return fNewResultsAvailable.Available && fNewResultsAvailable.SetAtSearchProcessID == fSearchProcessID;
}
int TSearch::GetSearchProcessID() const { return Locked(fCriticalSection, fSearchProcessID); }
bool TSearch::GetModified() const {
    TCLock lock(fCriticalSection);
    return fChangeCount != fSavedChangeCount;
}
void TSearch::MarkModified() {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
}
int TSearch::GetChangeCount() const { return Locked(fCriticalSection, fChangeCount); }
void TSearch::MarkSaved(int aChangeCount) {
    TCLock lock(fCriticalSection);
    // A slower save of an older state must not hide a newer one that was already stored.
    fSavedChangeCount = std::max(fSavedChangeCount, aChangeCount);
}
void TSearch::SetSearchProcessID(int aValue) { SetLocked(fCriticalSection, fSearchProcessID, aValue); }
bool TSearch::GetCalledFromUser() const { return Locked(fCriticalSection, fCalledFromUser); }
void TSearch::SetCalledFromUser(bool aValue) { SetLocked(fCriticalSection, fCalledFromUser, aValue); }
bool TSearch::GetFillInLV() const { return Locked(fCriticalSection, fFillInLV); }
void TSearch::SetFillInLV(bool aValue) { SetLocked(fCriticalSection, fFillInLV, aValue); }
bool TSearch::GetSearching() const { return Locked(fCriticalSectionSearching, fSearching); }
void TSearch::SetSearching(bool aValue) { SetLocked(fCriticalSectionSearching, fSearching, aValue); }

}  // namespace trawlix
