#include "model/search.h"
#include "model/entry_test_support.h"

#include <gtest/gtest.h>

#include "engine/keyword_syntax.h"
#include "mail/filter.h"
#include "model/place_selection.h"
#include "model/property_container.h"
#include "model/test_search_fixture.h"
#include "model/zip_codes.h"

namespace trawlix {
namespace {

using test::SearchStoreTest;

IEntry MakeEntry(const std::string& aLink, const std::string& aName = "Red bike", TSiteSearchEnum aSite = ssCraigslist) {
    auto entry = std::make_shared<TEntry>(aSite, "Dec 12", aName, aLink, 120.5, "los angeles - california",
                                          "bikes - for sale", true, 100, 0, "A fine bike", "", "http://img/1.jpg");
    entry->SetVisited(true);
    entry->SetReplied(true);
    entry->SetOriginalImage(TBlob{0xFF, 0xD8, 0xFF, 0xD9});
    return entry;
}

template <class TList>
void ExpectSameEntries(const TList& aExpected, const TList& aActual) {
    ASSERT_EQ(aExpected.size(), aActual.size());
    for (size_t i = 0; i < aExpected.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        trawlix::test::ExpectSameStoredFields(*aExpected[i], *aActual[i]);
    }
}

void ExpectSameOptions(const TPropertyContainer& aExpected, const TPropertyContainer& aActual) {
    ASSERT_EQ(aExpected.Count(), aActual.Count());
    for (const auto& prop : aExpected.GetProps()) {
        SCOPED_TRACE(prop->GetName());
        const TProp* other = aActual.GetPropByName(prop->GetName());
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(prop->GetRawValue(), other->GetRawValue());
        EXPECT_EQ(prop->GetCaption(), other->GetCaption());
        EXPECT_EQ(prop->GetCategory(), other->GetCategory());
        EXPECT_EQ(prop->GetPropType(), other->GetPropType());
        EXPECT_EQ(prop->GetModifiedValues(), other->GetModifiedValues());
        TStringList expectedChoices, actualChoices;
        prop->GetPickList(expectedChoices);
        other->GetPickList(actualChoices);
        EXPECT_EQ(expectedChoices, actualChoices);
    }
}

// Every stored field of a search, compared one by one.
void ExpectSameSearch(const TSearch& aExpected, const TSearch& aActual) {
    EXPECT_EQ(aExpected.GetName(), aActual.GetName());
    EXPECT_EQ(aExpected.GetOrder(), aActual.GetOrder());
    EXPECT_EQ(aExpected.GetCompressedLocations(), aActual.GetCompressedLocations());
    EXPECT_EQ(aExpected.GetCategories(), aActual.GetCategories());
    EXPECT_EQ(aExpected.GetKeywords(), aActual.GetKeywords());
    EXPECT_EQ(aExpected.GetBackpageKeywords(), aActual.GetBackpageKeywords());
    EXPECT_EQ(aExpected.GetOnlySearchTitles(), aActual.GetOnlySearchTitles());
    EXPECT_EQ(aExpected.GetHasImage(), aActual.GetHasImage());
    EXPECT_EQ(aExpected.GetOnlyCatListings(), aActual.GetOnlyCatListings());
    EXPECT_EQ(aExpected.GetZIPCode(), aActual.GetZIPCode());
    EXPECT_EQ(aExpected.GetDistance(), aActual.GetDistance());
    EXPECT_DOUBLE_EQ(aExpected.GetDateFrom(), aActual.GetDateFrom());
    EXPECT_DOUBLE_EQ(aExpected.GetDateTo(), aActual.GetDateTo());
    EXPECT_EQ(aExpected.GetDoSearchLastDays(), aActual.GetDoSearchLastDays());
    EXPECT_EQ(aExpected.GetNumberOfLastDaysToSearch(), aActual.GetNumberOfLastDaysToSearch());
    EXPECT_EQ(aExpected.GetAllThese(), aActual.GetAllThese());
    EXPECT_EQ(aExpected.GetExact(), aActual.GetExact());
    EXPECT_EQ(aExpected.GetOR1(), aActual.GetOR1());
    EXPECT_EQ(aExpected.GetOR2(), aActual.GetOR2());
    EXPECT_EQ(aExpected.GetOR3(), aActual.GetOR3());
    EXPECT_EQ(aExpected.GetNoneOfThese(), aActual.GetNoneOfThese());
    EXPECT_EQ(aExpected.GetKeepOldResults(), aActual.GetKeepOldResults());
    EXPECT_EQ(aExpected.GetClearOldResults(), aActual.GetClearOldResults());
    EXPECT_EQ(aExpected.GetPagesCount(), aActual.GetPagesCount());
    EXPECT_EQ(aExpected.GetGroupResultsBy(), aActual.GetGroupResultsBy());
    EXPECT_EQ(aExpected.GetEntrySelected(), aActual.GetEntrySelected());
    EXPECT_EQ(aExpected.GetShowPreview(), aActual.GetShowPreview());
    EXPECT_FLOAT_EQ(aExpected.GetPreviewHeightRatio(), aActual.GetPreviewHeightRatio());
    EXPECT_EQ(aExpected.GetNewResultsAvailable().Available, aActual.GetNewResultsAvailable().Available);
    EXPECT_DOUBLE_EQ(aExpected.GetNotificationsWereSentAt(), aActual.GetNotificationsWereSentAt());
    for (int site = 0; site < cSiteSearchCount; ++site)
        EXPECT_EQ(aExpected.GetSiteSearch(TSiteSearchEnum(site))->GetDoSearch(),
                  aActual.GetSiteSearch(TSiteSearchEnum(site))->GetDoSearch())
            << "site " << site;
    ExpectSameEntries(aExpected.GetSearchResults().Items(), aActual.GetSearchResults().Items());
    ExpectSameEntries(aExpected.GetDeletedResults().Items(), aActual.GetDeletedResults().Items());
    ExpectSameEntries(aExpected.GetFavourites().Items(), aActual.GetFavourites().Items());
    for (size_t i = 0; i < aExpected.GetFavourites().size() && i < aActual.GetFavourites().size(); ++i)
        EXPECT_EQ(aExpected.GetFavourites()[i]->GetNote(), aActual.GetFavourites()[i]->GetNote());
    const auto& expectedQueries = aExpected.GetFilter().GetQueries();
    const auto& actualQueries = aActual.GetFilter().GetQueries();
    ASSERT_EQ(expectedQueries.size(), actualQueries.size());
    for (size_t i = 0; i < expectedQueries.size(); ++i) {
        EXPECT_EQ(expectedQueries[i]->GetFilterBy(), actualQueries[i]->GetFilterBy());
        EXPECT_EQ(expectedQueries[i]->GetIsNOT(), actualQueries[i]->GetIsNOT());
        EXPECT_EQ(expectedQueries[i]->GetText(), actualQueries[i]->GetText());
    }
    ExpectSameOptions(aExpected.GetPropertyContainer(), aActual.GetPropertyContainer());
}

// A search with every field away from its default.
std::unique_ptr<TSearch> MakeFullSearch(const SearchStoreTest& aTest, TPlaces& aPlaces, TCategories& aCategories) {
    (void)aTest;
    auto search = std::make_unique<TSearch>();
    search->SetName("Bob's \"best\" bikes");
    search->SetOrder(3);
    search->SetCompressedLocations({aPlaces.GetPlaceByID(100), aPlaces.GetPlaceByID(11)});
    search->SetCategories({aCategories.GetCategoryByID(2), aCategories.GetCategoryByID(4)});
    search->SetKeywords("  | red bike |  ");
    search->SetBackpageKeywords("bmx");
    search->SetOnlySearchTitles(true);
    search->SetHasImage(true);
    search->SetOnlyCatListings(true);
    search->SetZIPCode("02134");
    search->SetDistance(25);
    search->SetDateFrom(45000.25);
    search->SetDateTo(45010.75);
    search->SetDoSearchLastDays(true);
    search->SetNumberOfLastDaysToSearch(7);
    search->SetAllThese("bike");
    search->SetExact("mountain bike");
    search->SetOR1("red");
    search->SetOR2("(big city)");
    search->SetOR3("blue");
    search->SetNoneOfThese("kids");
    search->SetKeepOldResults(false);
    search->SetClearOldResults(true);
    search->SetPagesCount(5);
    search->SetGroupResultsBy(2);
    search->SetEntrySelected("http://la.craigslist.org/bik/2.html");
    search->SetShowPreview(true);
    search->SetPreviewHeightRatio(0.375f);
    search->SetNewResultsAvailable({true, 0});
    search->SetNotificationsWereSentAt(45005.5);
    search->GetSiteSearch(ssBackpage)->SetDoSearch(false);
    search->GetSiteSearch(ssAutotrader)->SetDoSearch(false);

    search->AddSearchResult(MakeEntry("http://la.craigslist.org/bik/1.html", "It's a \"bike\""));
    search->AddSearchResult(MakeEntry("http://la.craigslist.org/bik/2.html", "Second", ssOodle));
    // Keeping old results off lets a run append a link again.
    search->AddSearchResult(MakeEntry("http://la.craigslist.org/bik/1.html", "Again"));
    search->AddDeletedResult(MakeEntry("http://la.craigslist.org/bik/9.html", "Spam"));
    search->AddFavourite(std::make_shared<TFavourite>(*MakeEntry("http://la.craigslist.org/bik/5.html", "Kept~é"),
                                                      "call after 6"));

    auto& filter = search->GetFilter();
    filter.TempQuery().SetText("Bike");
    filter.TempQuery().SetFilterBy(2);
    filter.PostTempQuery(true);
    filter.TempQuery().SetText("wanted");
    filter.TempQuery().SetIsNOT(true);
    filter.PostTempQuery(true);

    bool exists = false;
    auto& options = search->GetPropertyContainer();
    std::string error;
    options.AddProp("", "price_min", "Price Min", ptDouble, {}, {"0=undefined"}, exists)->SetValue("12,5", error);
    options.AddProp("", "bedrooms", "Bedrooms", ptPickList, {"0+", "1", "2", "3"}, {}, exists)->SetValue("2", error);
    options.AddProp("Jobs", "telecommute", "Telecommute", ptBoolean, {"yes", "no"}, {"no=undefined"}, exists)
        ->SetValue("yes", error);
    options.AddProp("Cars.com", "carscom_keywords", "Keywords", ptString, {}, {"=undefined"}, exists)
        ->SetValue("civic", error);
    return search;
}

class SearchTest : public SearchStoreTest {
protected:
    std::unique_ptr<TSearch> SavedAndRead(TSearch& aSearch) {
        aSearch.SaveToDB(Storage());
        ReopenStorage();
        return TSearch::CreateFromDB(Storage(), aSearch.GetID(), Lookups());
    }
    int ChildCount(int aParentID, const std::string& aType) {
        return static_cast<int>(Storage().GetObjects(aType, aParentID).size());
    }
};

TEST_F(SearchTest, NewSearchHasItsDefaults) {
    TSearch search;
    ASSERT_EQ(search.GetSiteSearches().size(), 6u);
    for (int site = 0; site < cSiteSearchCount; ++site) {
        EXPECT_EQ(search.GetSiteSearches()[site]->GetSite(), site);
        EXPECT_TRUE(search.GetSiteSearches()[site]->GetDoSearch());
        EXPECT_EQ(search.GetSiteSearches()[site]->GetParentSearch(), &search);
    }
    EXPECT_EQ(search.GetPagesCount(), 2);
    EXPECT_TRUE(search.GetKeepOldResults());
    EXPECT_FALSE(search.GetClearOldResults());
    EXPECT_EQ(search.GetNumberOfLastDaysToSearch(), 1);
    EXPECT_FALSE(search.GetDoSearchLastDays());
    EXPECT_EQ(search.GetID(), 0);
    EXPECT_FALSE(search.Saved());
    EXPECT_EQ(search.GetUserID(), 0);
    EXPECT_EQ(search.GetPropertyContainer().Count(), 0);
}

TEST_F(SearchTest, SavedSearchReadsBackFieldByField) {
    auto search = MakeFullSearch(*this, fPlaces, fCategories);
    auto read = SavedAndRead(*search);
    ASSERT_TRUE(search->Saved());
    EXPECT_EQ(read->GetID(), search->GetID());
    EXPECT_EQ(read->GetUserID(), cLocalUserID);
    EXPECT_EQ(read->GetKeywords(), "red bike");
    // Only the cleaned line is stored; the typed one starts empty.
    EXPECT_EQ(read->GetNonValidatedKeywords(), "");
    ExpectSameSearch(*search, *read);
    // The entries table drops the tilde and what follows it in code; a favourite keeps its name.
    EXPECT_EQ(read->GetFavourites()[0]->GetName(), "Kept~é");
}

TEST_F(SearchTest, AStoredZIPCodeIsLookedUpAsTheSearchLoads) {
    TZIPCodes zipCodes;
    zipCodes.LoadFromText("02134=42.35;-71.1\n97201=45.5;-122.7\n", "ZIPCodes.cur");
    TSearchLookups lookups = Lookups();
    lookups.zipCodes = &zipCodes;
    const std::pair<std::string, bool> cases[] = {{"02134", true}, {"2134", true}, {"99999", false}, {"", false}};
    for (const auto& [stored, found] : cases) {
        TSearch search;
        search.SetZIPCode(stored);
        search.SaveToDB(Storage());
        auto read = TSearch::CreateFromDB(Storage(), search.GetID(), lookups);
        const TZipCode* code = read->GetZIPCodeObject();
        ASSERT_EQ(code != nullptr, found) << stored;
        if (!code) continue;
        EXPECT_DOUBLE_EQ(code->GetLatitude(), 42.35);
        EXPECT_DOUBLE_EQ(code->GetLongitude(), -71.1);
    }
}

TEST_F(SearchTest, SavingTwiceKeepsOneListOfLocationsAndOneSetOfRows) {
    auto search = MakeFullSearch(*this, fPlaces, fCategories);
    search->SaveToDB(Storage());
    const int id = search->GetID();
    search->SaveToDB(Storage());
    EXPECT_EQ(search->GetID(), id);
    const auto locations = Storage().GetObjects("search_locations", id);
    ASSERT_EQ(locations.size(), 1u);
    EXPECT_EQ(ChildCount(locations[0]->GetID(), "loc_id"), 2);
    const auto favourites = Storage().GetObjects("favourites", id);
    ASSERT_EQ(favourites.size(), 1u);
    EXPECT_EQ(ChildCount(favourites[0]->GetID(), "fav"), 1);
    const auto siteSearches = Storage().GetObjects("site_searches", id);
    ASSERT_EQ(siteSearches.size(), 1u);
    EXPECT_EQ(ChildCount(siteSearches[0]->GetID(), "site_search"), 6);
    EXPECT_EQ(Count("select count(*) from entries where type = 'search_result'"), 3);
    EXPECT_EQ(Count("select count(*) from entries where type = 'deleted_result'"), 1);
    EXPECT_EQ(Count("select count(*) from objects where type = 'search'"), 1);
}

TEST_F(SearchTest, SearchWhoseObjectIsGoneIsStoredUnderANewObject) {
    TSearch search;
    search.SetName("first");
    search.SaveToDB(Storage());
    const int first = search.GetID();
    Storage().DeleteObject(first, true);
    ASSERT_FALSE(Storage().ObjectExists(first));
    search.SaveToDB(Storage());
    EXPECT_GT(search.GetID(), 0);
    EXPECT_TRUE(Storage().ObjectExists(search.GetID()));
    EXPECT_EQ(Storage().GetObjectPropText(search.GetID(), "name"), "first");
    EXPECT_EQ(Storage().GetObjects("search", -1).size(), 1u);
}

TEST_F(SearchTest, UnknownOrMalformedStoredIdsAreDropped) {
    TSearch search;
    search.SetCompressedLocations({Place(100), Place(20)});
    search.SetCategories({Category(2)});
    search.SaveToDB(Storage());
    const int locations = Storage().GetObject("search_locations", search.GetID())->GetID();
    Storage().AddObject("loc_id", locations, "4242", true);  // not in the places file
    Storage().AddObject("loc_id", locations, "abc", true);
    Storage().AddObject("loc_id", locations, "110", true);
    const int categories = Storage().GetObject("search_categories", search.GetID())->GetID();
    Storage().AddObject("cat_id", categories, "77", true);

    auto read = TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    EXPECT_EQ(read->GetCompressedLocations(), (TPlaceList{Place(100), Place(20), Place(110)}));
    EXPECT_EQ(read->GetCategories(), TPlaceList{Category(2)});
}

TEST_F(SearchTest, OlderStoredSearchesAreConverted) {
    const int id = Storage().AddObject("search", -1, "", true);
    Storage().SetObjectProp(id, "user_id", -1);
    Storage().SetObjectProp(id, "todays_only", true);
    Storage().SetObjectProp(id, "personals_max_age", 40);
    Storage().SetObjectProp(id, "housing_min_rent", 500.0);
    Storage().SetObjectProp(id, "for_sale_min_price", 20.0);
    Storage().SetObjectProp(id, "housing_bathrooms", 3);
    Storage().SetObjectProp(id, "housing_dogs", true);
    Storage().SetObjectProp(id, "jobs_non_profit", true);

    auto read = TSearch::CreateFromDB(Storage(), id, Lookups());
    EXPECT_TRUE(read->GetDoSearchLastDays());
    EXPECT_EQ(read->GetNumberOfLastDaysToSearch(), 1);
    const auto& options = read->GetPropertyContainer();
    ASSERT_NE(options.GetPropByName("age_max"), nullptr);
    EXPECT_EQ(options.GetPropByName("age_max")->GetRawValue(), "40");
    EXPECT_EQ(options.GetPropByName("age_min"), nullptr);
    // The for-sale price overrides the rent.
    EXPECT_DOUBLE_EQ(options.GetPropByName("price_min")->AsDouble(), 20.0);
    EXPECT_EQ(options.GetPropByName("bedrooms")->AsString(), "3");
    EXPECT_TRUE(options.GetPropByName("dogs")->AsBoolean());
    EXPECT_EQ(options.GetPropByName("cats"), nullptr);
    ASSERT_NE(options.GetPropByName("non_profit"), nullptr);
    EXPECT_TRUE(options.GetPropByName("non_profit")->AsBoolean());
}

TEST_F(SearchTest, LastDaysPropertyWinsOverTheOlderTodaysOnly) {
    const int id = Storage().AddObject("search", -1, "", true);
    Storage().SetObjectProp(id, "todays_only", true);
    Storage().SetObjectProp(id, "do_search_last_days", false);
    auto read = TSearch::CreateFromDB(Storage(), id, Lookups());
    EXPECT_FALSE(read->GetDoSearchLastDays());
    EXPECT_EQ(read->GetNumberOfLastDaysToSearch(), -1);
}

TEST_F(SearchTest, DamagedStoredSearchLoadsWithDefaultsAndKeepsTheRest) {
    auto search = MakeFullSearch(*this, fPlaces, fCategories);
    search->SaveToDB(Storage());
    const int id = search->GetID();
    auto& db = Storage().SQLLiteDB();
    db.ExecSQL("update props set value = 'lots' where object_id = ? and name in ('distance', 'pages_count', 'order')",
               {id});
    db.ExecSQL("update props set value = 'x,y' where object_id = ? and name = 'date_from'", {id});
    db.ExecSQL("insert into entries (search_id, type, site, link) values (?, 'search_result', 'abc', 'bad')", {id});
    const int parts = Storage().GetObject("site_searches", id)->GetID();
    const int unknownSite = Storage().AddObject("site_search", parts, "", true);
    Storage().SetObjectProp(unknownSite, "site", 17);
    Storage().SetObjectProp(unknownSite, "do_search", false);
    const int container = Storage().GetObject("property_container", id)->GetID();
    Storage().AddObject("prop", container, "", true);  // a row without a type

    std::unique_ptr<TSearch> read;
    ASSERT_NO_THROW(read = TSearch::CreateFromDB(Storage(), id, Lookups()));
    EXPECT_EQ(read->GetDistance(), 0);
    EXPECT_EQ(read->GetPagesCount(), 0);
    EXPECT_EQ(read->GetOrder(), 0);
    EXPECT_EQ(read->GetDateFrom(), 0);
    EXPECT_EQ(read->GetSearchResults().size(), 3u);
    EXPECT_EQ(read->GetPropertyContainer().Count(), 4);
    EXPECT_TRUE(read->GetSiteSearch(ssCraigslist)->GetDoSearch());
    EXPECT_FALSE(read->GetSiteSearch(ssBackpage)->GetDoSearch());
}

TEST_F(SearchTest, CloneIsUnsavedAndCarriesEachResultOnce) {
    auto search = MakeFullSearch(*this, fPlaces, fCategories);
    TSearchLookups lookups = Lookups();
    // Saved once before, as at the last exit: the clone's save must not double the rows.
    search->SaveToDB(Storage());
    auto copy = search->Clone(Storage(), lookups);
    EXPECT_EQ(copy->GetID(), 0);
    EXPECT_EQ(copy->GetName(), "(Cloned search)");
    EXPECT_EQ(copy->GetSearchResults().size(), 3u);
    EXPECT_EQ(copy->GetDeletedResults().size(), 1u);
    EXPECT_EQ(Count("select count(*) from entries"), 4);
    copy->SetName(search->GetName());
    ExpectSameSearch(*search, *copy);

    copy->SaveToDB(Storage());
    EXPECT_GT(copy->GetID(), search->GetID());
    EXPECT_EQ(Count("select count(*) from entries"), 8);
}

TEST_F(SearchTest, DeleteFromDBRemovesTheObjectTreeAndItsRows) {
    auto search = MakeFullSearch(*this, fPlaces, fCategories);
    TSearch other;
    other.AddSearchResult(MakeEntry("http://other/1"));
    other.SaveToDB(Storage());
    search->SaveToDB(Storage());
    const int objectsOfOther = Storage().GetObjectsCount() - static_cast<int>(Count(
        "with recursive tree(id) as (select " + std::to_string(search->GetID()) +
        " union all select objects.id from objects join tree on objects.parent_id = tree.id) select count(*) from tree"));

    search->DeleteFromDB(Storage());
    EXPECT_FALSE(Storage().ObjectExists(search->GetID()));
    EXPECT_EQ(Storage().GetObjectsCount(), objectsOfOther);
    EXPECT_EQ(Count("select count(*) from entries"), 1);

    TSearch unsaved;
    unsaved.DeleteFromDB(Storage());  // nothing stored, nothing to do
    EXPECT_EQ(Storage().GetObjectsCount(), objectsOfOther);
}

TEST_F(SearchTest, KeywordsKeepTheTypedLineAndItsCleanedForm) {
    TSearch search;
    search.SetKeywords("  |red bike|  ");
    EXPECT_EQ(search.GetKeywords(), "red bike");
    EXPECT_EQ(search.GetNonValidatedKeywords(), "  |red bike|  ");
    search.SetKeywords("red\r\nbike");
    EXPECT_EQ(search.GetKeywords(), "red bike");
    EXPECT_EQ(search.GetKeywords(), ValidateKeywords("red\r\nbike"));

    // A read search knows only the cleaned line: typing the empty line it "had" changes nothing.
    search.SaveToDB(Storage());
    auto read = TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    read->SetKeywords("");
    EXPECT_EQ(read->GetKeywords(), "red bike");
    read->SetKeywords("blue");
    EXPECT_EQ(read->GetKeywords(), "blue");
}

TEST_F(SearchTest, DeletingAResultMovesItAndLookupsFollow) {
    TSearch search;
    auto first = MakeEntry("http://a/1");
    auto second = MakeEntry("http://a/1");
    search.AddSearchResult(first);
    search.AddSearchResult(second);
    EXPECT_EQ(TSearch::GetResultByLink(search.GetSearchResults(), "http://a/1"), first);
    search.DeleteResult(first);
    EXPECT_EQ(TSearch::GetResultByLink(search.GetSearchResults(), "http://a/1"), second);
    EXPECT_EQ(TSearch::GetResultByLink(search.GetDeletedResults(), "http://a/1"), first);
    EXPECT_EQ(TSearch::GetResultByLink(search.GetSearchResults(), "http://A/1"), nullptr);
}

TEST_F(SearchTest, FillOldResultsMarksOrClears) {
    TSearch search;
    auto entry = MakeEntry("http://a/1");
    search.AddSearchResult(entry);
    search.AddDeletedResult(MakeEntry("http://a/2"));
    search.GetFilter().Execute(&search.GetSearchResults().Items());
    ASSERT_EQ(search.GetFilter().GetResultsCount(), 1);

    search.FillOldResults(false);
    EXPECT_FALSE(entry->GetNew());
    EXPECT_EQ(search.GetSearchResults().size(), 1u);
    EXPECT_EQ(search.GetDeletedResults().size(), 1u);

    search.FillOldResults(true);
    EXPECT_TRUE(search.GetSearchResults().empty());
    EXPECT_TRUE(search.GetDeletedResults().empty());
    EXPECT_EQ(search.GetFilter().GetResultsCount(), 0);
    EXPECT_EQ(TSearch::GetResultByLink(search.GetSearchResults(), "http://a/1"), nullptr);
}

TEST_F(SearchTest, FavouritesAreFoundByExactLink) {
    TSearch search;
    auto favourite = std::make_shared<TFavourite>(*MakeEntry("http://a/5"), "note");
    search.AddFavourite(favourite);
    EXPECT_EQ(search.GetFavoriteByLink("http://a/5"), favourite);
    EXPECT_TRUE(search.FavoriteExists("http://a/5"));
    EXPECT_FALSE(search.FavoriteExists("http://a/5/"));
    EXPECT_TRUE(search.RemoveFavourite(favourite));
    EXPECT_FALSE(search.FavoriteExists("http://a/5"));
}

TEST_F(SearchTest, LocationsAreExpandedOnDemandAndAfterAChange) {
    TSearch search;
    search.SetCompressedLocations({Place(1)});
    EXPECT_EQ(search.GetSearchLocations().Count(), 7);
    search.SetCompressedLocations({Place(110)});
    EXPECT_EQ(search.GetSearchLocations().Count(), 1);
    EXPECT_EQ(search.GetSearchLocations().GetItem(0)->GetPlace(), Place(110));
}

TEST_F(SearchTest, NewResultsFromTheLastRunFollowTheRunCounter) {
    TSearch search;
    search.SetSearchProcessID(4);
    search.SetNewResultsAvailable({true, 4});
    EXPECT_TRUE(search.NewResultsAvailableFromLastSearch());
    search.SetSearchProcessID(5);
    EXPECT_FALSE(search.NewResultsAvailableFromLastSearch());
}

}  // namespace
}  // namespace trawlix
