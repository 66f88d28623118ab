#include "model/searches.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "model/filter.h"
#include "model/legacy_searches_file.h"
#include "model/test_search_fixture.h"

namespace trawlix {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SearchFixtures;
using test::WriteFile;

class SearchesTest : public test::SearchStoreTest {
protected:
    fs::path DataFolder() const { return fDir.Path(); }
    std::unique_ptr<TSearches> Load() {
        auto searches = std::make_unique<TSearches>(DataFolder(), Storage(), Lookups());
        searches->LoadSearches();
        return searches;
    }
    void PutOlderFile(const std::string& aText) { WriteFile(DataFolder() / cOlderSearchesFileName, aText); }
    int StoreSearch(const std::string& aName, int aOrder, int aUserID = cLocalUserID) {
        TSearch search;
        search.SetName(aName);
        search.SetOrder(aOrder);
        search.SaveToDB(Storage());
        Storage().SetObjectProp(search.GetID(), "user_id", aUserID);
        return search.GetID();
    }
    static std::vector<std::string> Names(const TSearches& aSearches) {
        std::vector<std::string> names;
        for (const auto& search : aSearches.GetAllSearches()) names.push_back(search->GetName());
        return names;
    }
};

TEST_F(SearchesTest, OlderFileIsReadOnlyIntoAnEmptyStorage) {
    PutOlderFile(ReadFile(SearchFixtures() / cOlderSearchesFileName));
    auto searches = Load();
    // The search of user 7 is not the local user's.
    ASSERT_EQ(Names(*searches), std::vector<std::string>{"Bikes & parts 'cheap'"});
    const TSearch& search = *searches->GetAllSearches()[0];
    EXPECT_EQ(search.GetID(), -1);
    EXPECT_EQ(search.GetFolderID(), 5);
    EXPECT_EQ(search.GetCompressedLocations(), (TPlaceList{Place(100), Place(11)}));
    EXPECT_EQ(search.GetCategories(), TPlaceList{Category(2)});
    EXPECT_EQ(search.GetKeywords(), "red bike");
    EXPECT_TRUE(search.GetOnlySearchTitles());
    EXPECT_FALSE(search.GetHasImage());
    EXPECT_EQ(search.GetZIPCode(), "02134");
    EXPECT_EQ(search.GetDistance(), 25);
    EXPECT_DOUBLE_EQ(search.GetDateFrom(), 40000.5);
    EXPECT_TRUE(search.GetDoSearchLastDays());
    EXPECT_EQ(search.GetNumberOfLastDaysToSearch(), 1);
    EXPECT_EQ(search.GetOR3(), "blue");
    EXPECT_EQ(search.GetPagesCount(), 3);
    EXPECT_FALSE(search.GetKeepOldResults());
    EXPECT_FLOAT_EQ(search.GetPreviewHeightRatio(), 0.5f);
    EXPECT_EQ(search.GetGroupResultsBy(), 2);
    EXPECT_TRUE(search.GetNewResultsAvailable().Available);
    EXPECT_EQ(search.GetSearchResults().size(), 2u);
    EXPECT_EQ(search.GetDeletedResults().size(), 1u);
    ASSERT_EQ(search.GetFavourites().size(), 1u);
    EXPECT_EQ(search.GetFavourites()[0]->GetNote(), "call after 6");
    EXPECT_TRUE(search.GetSiteSearch(ssCraigslist)->GetDoSearch());
    EXPECT_FALSE(search.GetSiteSearch(ssBackpage)->GetDoSearch());
    ASSERT_EQ(search.GetFilter().GetQueries().size(), 1u);
    EXPECT_EQ(search.GetFilter().GetQueries()[0]->GetText(), "bike");
    // Older options become container properties at once.
    const auto& options = search.GetPropertyContainer();
    ASSERT_NE(options.GetPropByName("age_max"), nullptr);
    EXPECT_EQ(options.GetPropByName("age_max")->GetRawValue(), "40");
    EXPECT_DOUBLE_EQ(options.GetPropByName("price_min")->AsDouble(), 12.5);
    EXPECT_TRUE(options.GetPropByName("non_profit")->AsBoolean());
    // The text kept for writing back is the parsed document, without the line breaks.
    EXPECT_EQ(searches->GetXML().find('\n'), std::string::npos);
    EXPECT_NE(searches->GetXML().find("<srch_name>"), std::string::npos);
}

TEST_F(SearchesTest, OlderSearchKeepsItsOptionsThroughTheFirstSaveAndLaterStarts) {
    PutOlderFile(ReadFile(SearchFixtures() / cOlderSearchesFileName));
    auto searches = Load();
    ASSERT_TRUE(searches->SaveMySearches());
    searches.reset();
    ReopenStorage();

    auto again = Load();
    ASSERT_EQ(again->GetAllSearches().size(), 1u);
    const TSearch& search = *again->GetAllSearches()[0];
    EXPECT_GT(search.GetID(), 0);
    EXPECT_EQ(search.GetSearchResults().size(), 2u);
    EXPECT_EQ(search.GetFavourites()[0]->GetNote(), "call after 6");
    ASSERT_NE(search.GetPropertyContainer().GetPropByName("age_max"), nullptr);
    EXPECT_EQ(search.GetPropertyContainer().GetPropByName("age_max")->GetRawValue(), "40");
}

TEST_F(SearchesTest, OlderFileIsIgnoredOnceTheStorageHoldsObjects) {
    PutOlderFile(ReadFile(SearchFixtures() / cOlderSearchesFileName));
    Storage().AddObject("email_accounts_-1", -1, "", false);
    auto searches = Load();
    EXPECT_TRUE(searches->GetAllSearches().empty());
}

TEST_F(SearchesTest, OlderFileWithAMissingRequiredElementNamesIt) {
    std::string text = ReadFile(SearchFixtures() / cOlderSearchesFileName);
    const std::string element = "<distance>25</distance>";
    text.erase(text.find(element), element.size());
    PutOlderFile(text);
    TSearches searches(DataFolder(), Storage(), Lookups());
    try {
        searches.LoadSearches();
        FAIL() << "a missing element was accepted";
    } catch (const ESearchesFileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"distance\""), std::string::npos) << e.what();
    }
}

TEST_F(SearchesTest, OlderFileWithATextWhereANumberBelongsNamesTheElement) {
    std::string text = ReadFile(SearchFixtures() / cOlderSearchesFileName);
    const std::string element = "<housing_bathrooms>0</housing_bathrooms>";
    text.replace(text.find(element), element.size(), "<housing_bathrooms>two</housing_bathrooms>");
    PutOlderFile(text);
    TSearches searches(DataFolder(), Storage(), Lookups());
    EXPECT_THROW(
        try { searches.LoadSearches(); } catch (const ESearchesFileError& e) {
            EXPECT_NE(std::string(e.what()).find("\"housing_bathrooms\" of a search"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find("\"two\""), std::string::npos);
            throw;
        },
        ESearchesFileError);
}

TEST_F(SearchesTest, OlderFileTextIsPreparedAndWrittenBack) {
    // Missing: the backup takes its place.
    WriteFile(DataFolder() / cOlderSearchesBackupName, "<searches id_counter=\"0\"><search/></searches>");
    {
        TSearches searches(DataFolder(), Storage(), Lookups());
        EXPECT_EQ(searches.GetXML(), "<searches id_counter=\"0\"><search/></searches>");
    }
    EXPECT_TRUE(fs::exists(DataFolder() / cOlderSearchesFileName));

    // Blank: the empty document, written back at the end.
    PutOlderFile("  \n ");
    {
        TSearches searches(DataFolder(), Storage(), Lookups());
        EXPECT_EQ(searches.GetXML(), cOlderSearchesEmptyText);
    }
    EXPECT_EQ(ReadFile(DataFolder() / cOlderSearchesFileName), cOlderSearchesEmptyText);

    // Absent with no backup: nothing is created.
    fs::remove(DataFolder() / cOlderSearchesFileName);
    fs::remove(DataFolder() / cOlderSearchesBackupName);
    {
        TSearches searches(DataFolder(), Storage(), Lookups());
        searches.LoadSearches();
        EXPECT_TRUE(searches.GetAllSearches().empty());
    }
    EXPECT_FALSE(fs::exists(DataFolder() / cOlderSearchesFileName));
}

TEST_F(SearchesTest, OnlyTheLocalUsersSearchesAreListedByTheirOrder) {
    StoreSearch("third", 2);
    StoreSearch("foreign", 0, 7);
    StoreSearch("first", 0);
    StoreSearch("second", 1);
    const int noUser = StoreSearch("no user", 0);
    Storage().SQLLiteDB().ExecSQL("delete from props where object_id = ? and name = 'user_id'", {noUser});
    auto searches = Load();
    EXPECT_EQ(Names(*searches), (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(SearchesTest, SearchesSurviveASaveAndANewStart) {
    auto searches = Load();
    auto& bikes = searches->AddSearch(std::make_unique<TSearch>());
    bikes.SetName("bikes");
    bikes.AddSearchResult(std::make_shared<TEntry>(ssCraigslist, "Dec 1", "bike", "http://a/1", 10, "la", "bikes",
                                                   false, 100, 0, "", "", ""));
    bikes.AddFavourite(std::make_shared<TFavourite>(*bikes.GetSearchResults()[0], "my note"));
    auto& cars = searches->AddSearch(std::make_unique<TSearch>());
    cars.SetName("cars");
    searches->Reorder({&cars, &bikes});
    ASSERT_TRUE(searches->SaveMySearches());
    // Saving again replaces the rows instead of adding to them.
    ASSERT_TRUE(searches->SaveMySearches());
    EXPECT_EQ(Count("select count(*) from entries"), 1);
    searches.reset();
    ReopenStorage();

    auto again = Load();
    EXPECT_EQ(Names(*again), (std::vector<std::string>{"cars", "bikes"}));
    TSearch* readBikes = again->GetSearchByName("bikes");
    ASSERT_NE(readBikes, nullptr);
    EXPECT_EQ(readBikes->GetSearchResults().size(), 1u);
    EXPECT_EQ(readBikes->GetFavoriteByLink("http://a/1")->GetNote(), "my note");
    EXPECT_EQ(again->GetSearchByID(readBikes->GetID()), readBikes);
    EXPECT_EQ(again->GetSearchByID(0), nullptr);
    EXPECT_EQ(again->GetSearchByName(""), nullptr);
}

TEST_F(SearchesTest, DeletedSearchIsGoneFromListAndStorage) {
    StoreSearch("keep", 0);
    StoreSearch("drop", 1);
    auto searches = Load();
    TSearch* drop = searches->GetSearchByName("drop");
    const int id = drop->GetID();
    auto owned = searches->DeleteSearch(drop);
    EXPECT_EQ(owned.get(), drop);
    EXPECT_FALSE(Storage().ObjectExists(id));
    EXPECT_EQ(Names(*searches), std::vector<std::string>{"keep"});
    EXPECT_EQ(searches->DeleteSearch(drop), nullptr);
}

TEST_F(SearchesTest, ResultRowsOfAnUnreadableTableDoNotStopTheStart) {
    StoreSearch("good", 0);
    const int bad = StoreSearch("bad", 1);
    // An entries table that lost its columns: its rows cannot become results.
    Storage().SQLLiteDB().ExecSQL("alter table entries rename to entries_old");
    Storage().SQLLiteDB().ExecSQL("create table entries (search_id INTEGER, type TEXT)");
    Storage().SQLLiteDB().ExecSQL("insert into entries values (?, 'search_result')", {bad});
    std::unique_ptr<TSearches> searches;
    ASSERT_NO_THROW(searches = Load());
    EXPECT_EQ(Names(*searches), (std::vector<std::string>{"good", "bad"}));
    EXPECT_TRUE(searches->GetSearchByName("bad")->GetSearchResults().empty());
}

TEST_F(SearchesTest, AnUnreadableSearchIsNamedAndItsRowsSurviveASaveOfTheOthers) {
    StoreSearch("good", 0);
    const int bad = StoreSearch("bad", 1);
    Storage().SetObjectProp(bad, "pos_keywords", std::string(5000, 'k'));
    for (int i = 0; i < 3; ++i)
        Storage().SQLLiteDB().ExecSQL("insert into entries (search_id, type, name) values (?, 'search_result', ?)",
                                      {bad, "kept " + std::to_string(i)});
    // SQLite refuses to hand over a value longer than its limit: the search cannot be read
    // back, while the rest of the file is sound.
    sqlite3_limit(Storage().SQLLiteDB().Handle(), SQLITE_LIMIT_LENGTH, 1000);
    auto searches = Load();
    EXPECT_EQ(Names(*searches), std::vector<std::string>{"good"});
    ASSERT_EQ(searches->UnreadableSearches().size(), 1u);
    EXPECT_EQ(searches->UnreadableSearches()[0].id, bad);
    EXPECT_EQ(searches->UnreadableSearches()[0].name, "bad");
    EXPECT_FALSE(searches->UnreadableSearches()[0].reason.empty());

    ASSERT_TRUE(searches->SaveMySearches());
    EXPECT_EQ(Count("select count(*) from entries where search_id = " + std::to_string(bad)), 3);
    EXPECT_TRUE(Storage().ObjectExists(bad));
    sqlite3_limit(Storage().SQLLiteDB().Handle(), SQLITE_LIMIT_LENGTH, 1000000000);
    EXPECT_EQ(Names(*Load()), (std::vector<std::string>{"good", "bad"})) << "readable again, nothing lost";
}

}  // namespace
}  // namespace trawlix
