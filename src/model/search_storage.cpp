#include "model/search.h"

#include <charconv>

#include "model/categories.h"
#include "model/entry_loader.h"
#include "model/filter.h"
#include "model/objects_storage.h"
#include "model/place_selection.h"

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

std::unique_ptr<TSearch> TSearch::CreateFromDB(TObjectsStorage& aStorage, int aDBObjectID,
                                               const TSearchLookups& aLookups) {
    auto search = std::make_unique<TSearch>();
    search->ReadFromDB(aStorage, aDBObjectID, aLookups);
    search->fSavedChangeCount = search->fChangeCount;
    search->fSavedEntryEpoch = TEntry::GetChangeEpoch();
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
    ReadDigestMarks(s);
    ReadResultsFromDB(s, cEntryTypeDeletedResult, fDeletedResults);
    fResultRows.Loaded(fSearchResults.Items(), fDeletedResults.Items());
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

namespace {

std::string JoinLines(const std::vector<std::string>& aLines) {
    std::string text;
    for (const std::string& line : aLines) text += line + "\n";
    return text;
}

std::vector<std::string> SplitLines(const std::string& aText) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < aText.size(); start = end + 1) {
        end = aText.find('\n', start);
        if (end == std::string::npos) end = aText.size();
        if (end > start) lines.push_back(aText.substr(start, end - start));
    }
    return lines;
}

}  // namespace

// The results waiting for the next digest and for their automatic reply, one link a line:
// a digest or a reply that could not go out before the program ended still goes out after
// the next start.
void TSearch::WriteDigestMarks(TObjectsStorage& aStorage) {
    std::vector<std::string> digest, replies;
    for (const IEntry& entry : fSearchResults) {
        if (entry->GetIncludeInEmailDigest()) digest.push_back(entry->GetLink());
        if (entry->GetAwaitingAutoReply()) replies.push_back(entry->GetLink());
    }
    aStorage.SetObjectProp(fID, cDigestMarksProp, JoinLines(digest));
    aStorage.SetObjectProp(fID, cAutoReplyMarksProp, JoinLines(replies));
    for (TDigestPart part : {TDigestPart::SMS, TDigestPart::Email})
        aStorage.SetObjectProp(fID, part == TDigestPart::SMS ? cDigestSMSToldProp : cDigestEmailToldProp,
                               JoinLines({DigestTold(part).begin(), DigestTold(part).end()}));
    std::vector<std::string> destinationTold;
    for (const auto& [key, links] : fDigestDestinationTold)
        for (const std::string& link : links) destinationTold.push_back(key + " " + link);
    aStorage.SetObjectProp(fID, cDigestDestinationToldProp, JoinLines(destinationTold));
}

void TSearch::ReadDigestMarks(TObjectsStorage& aStorage) {
    for (const std::string& link : SplitLines(aStorage.GetObjectPropText(fID, cDigestMarksProp)))
        if (IEntry entry = GetResultByLink(fSearchResults, link)) entry->SetIncludeInEmailDigest(true);
    for (const std::string& link : SplitLines(aStorage.GetObjectPropText(fID, cAutoReplyMarksProp)))
        if (IEntry entry = GetResultByLink(fSearchResults, link)) entry->SetAwaitingAutoReply(true);
    for (TDigestPart part : {TDigestPart::SMS, TDigestPart::Email})
        for (const std::string& link : SplitLines(aStorage.GetObjectPropText(
                 fID, part == TDigestPart::SMS ? cDigestSMSToldProp : cDigestEmailToldProp)))
            DigestTold(part).insert(link);
    for (const std::string& line : SplitLines(aStorage.GetObjectPropText(fID, cDigestDestinationToldProp))) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos) fDigestDestinationTold[line.substr(0, space)].insert(line.substr(space + 1));
    }
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
    const std::string where = " from entries where (search_id = ?) and (type = '" + aType + "')";
    auto rows = aStorage.SQLLiteDB().GetTable("select rowid, *" + where, {fID});
    if (rows.Eof()) return;
    // Counted on the index first, so that the list and its link index are made once.
    const auto count = static_cast<std::size_t>(aStorage.SQLLiteDB().GetTableValue("select count(*)" + where, {fID}));
    aList.Reserve(aList.size() + count);
    // The list is the search's own while it loads: nothing else reaches it yet.
    LoadEntries(rows, count, [&aList](IEntry aEntry) { aList.Add(std::move(aEntry)); });
}

// --- saving ---------------------------------------------------------------------------

// What the definition's save hands on to be written without the search's lock.
struct TSearch::TListsToSave {
    int searchID = 0;
    bool newObject = false;
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
            ForgetStoredResultRows();
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
        // Rows kept under an id that is not this object's are not this search's to update.
        if (lists.newObject) fResultRows.Forget();
        fResultRows.Save(aStorage.SQLLiteDB(), lists.searchID, lists.results, lists.deleted, aProcessMessages);
        transaction.Commit();
        return lists.changeCount;
    } catch (const std::exception& e) {
        // The object a first save created is gone with the rollback: the search is still unsaved.
        SetLocked(fCriticalSection, fID, previousID);
        ForgetStoredResultRows();
        if (dynamic_cast<const ESearchSaveError*>(&e)) throw;
        throw ESearchSaveError("The search \"" + GetName() + "\" could not be stored: " + e.what());
    }
}

TSearch::TListsToSave TSearch::WriteDefinition(TObjectsStorage& aStorage) {
    TCLock lock(fCriticalSection);
    auto& s = aStorage;
    const bool newObject = fID <= 0 || !s.ObjectExists(fID);
    if (newObject) fID = s.AddObject(cSearchType, -1, "", true);
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
    WriteDigestMarks(s);
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
    lists.newObject = newObject;
    lists.changeCount = fChangeCount;
    // Read before the rows are written: a change made while they are still counts as unsaved.
    fWrittenEntryEpoch = TEntry::GetChangeEpoch();
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

void TSearch::ForgetStoredResultRows() { fResultRows.Forget(); }

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
    // The copy read the original's rows; its first save writes rows of its own.
    copy->ForgetStoredResultRows();
    copy->SetName("(Cloned search)");
    return copy;
}

}  // namespace trawlix
