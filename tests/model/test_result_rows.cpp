// Saving writes only the result rows that changed, keeps the file untouched when nothing
// did, and survives a rolled-back save and a compacted file.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "model/searches.h"
#include "model/test_search_fixture.h"

namespace trawlix {
namespace {

IEntry Result(int aNumber, const std::string& aDescription = "") {
    const std::string link = "http://la.craigslist.org/bik/" + std::to_string(aNumber) + ".html";
    return std::make_shared<TEntry>(ssCraigslist, "Dec 12", "Bike " + std::to_string(aNumber), link, 100 + aNumber,
                                    "los angeles", "bikes", false, 0, 45000.5, aDescription, "", "");
}

struct TRowWrites {
    std::int64_t inserted = 0, updated = 0, deleted = 0;
    bool operator==(const TRowWrites&) const = default;
};

std::ostream& operator<<(std::ostream& aOut, const TRowWrites& aWrites) {
    return aOut << aWrites.inserted << " inserted, " << aWrites.updated << " updated, " << aWrites.deleted
                << " deleted";
}

class ResultRowsTest : public test::SearchStoreTest {
protected:
    // Logs every write to the entries table of this connection.
    void WatchEntries() {
        auto& db = Storage().SQLLiteDB();
        db.ExecSQL("create temp table entry_writes (op text)");
        for (const char* op : {"insert", "update", "delete"})
            db.ExecSQL(std::string("create temp trigger watch_") + op + " after " + op +
                       " on entries begin insert into entry_writes values ('" + op + "'); end");
    }
    TRowWrites TakeWrites() {
        auto& db = Storage().SQLLiteDB();
        TRowWrites writes{Count("select count(*) from entry_writes where op = 'insert'"),
                          Count("select count(*) from entry_writes where op = 'update'"),
                          Count("select count(*) from entry_writes where op = 'delete'")};
        db.ExecSQL("delete from entry_writes");
        return writes;
    }
    // The stored rows of a search as "type link visited", in link order.
    std::multimap<std::string, std::string> StoredRows(int aSearchID) {
        std::multimap<std::string, std::string> rows;
        for (auto q = Storage().SQLLiteDB().GetTable(
                 "select link, type, visited, length(resized_image) from entries where search_id = ?", {aSearchID});
             !q.Eof(); q.Next())
            rows.emplace(q.FieldAsString(0), q.FieldAsString(1) + " " + q.FieldAsString(2) + " " + q.FieldAsString(3));
        return rows;
    }
    // The rows the search's lists call for.
    static std::multimap<std::string, std::string> ExpectedRows(TSearch& aSearch) {
        std::multimap<std::string, std::string> rows;
        const auto add = [&](const TResultList& aList, const char* aType) {
            for (const IEntry& entry : aList)
                rows.emplace(entry->GetLink(), std::string(aType) + " " + (entry->GetVisited() ? "-1" : "0") + " " +
                                                   std::to_string(entry->GetResizedImage().size()));
        };
        add(aSearch.GetSearchResults(), cEntryTypeSearchResult);
        add(aSearch.GetDeletedResults(), cEntryTypeDeletedResult);
        return rows;
    }
    // A search with five stored results, read back as the next start does.
    std::unique_ptr<TSearch> StoredSearchWithFiveResults() {
        TSearch search;
        search.SetName("Bikes");
        for (int i = 1; i <= 5; ++i) search.AddSearchResult(Result(i));
        search.SaveToDB(Storage());
        return TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    }
};

TEST_F(ResultRowsTest, ASaveWritesOnlyTheRowsThatChanged) {
    auto search = StoredSearchWithFiveResults();
    WatchEntries();
    const auto entry = [&](size_t aIndex) { return search->GetSearchResults()[aIndex]; };
    const struct {
        const char* what;
        std::function<void(TSearch&)> change;
        TRowWrites writes;
    } cases[] = {
        {"a definition change only", [](TSearch& s) { s.SetName("Red bikes"); }, {0, 0, 0}},
        {"two new results", [](TSearch& s) { s.AddSearchResult(Result(6)), s.AddSearchResult(Result(7)); }, {2, 0, 0}},
        {"one result seen", [&](TSearch&) { entry(1)->SetVisited(true); }, {0, 1, 0}},
        {"seen again: no change", [&](TSearch&) { entry(1)->SetVisited(true); }, {0, 0, 0}},
        {"a picture arrived", [&](TSearch&) { entry(2)->SetResizedImage(TBlob{1, 2, 3}); }, {0, 1, 0}},
        {"a result deleted by the user", [&](TSearch& s) { s.DeleteResult(entry(0)); }, {0, 1, 0}},
        {"a new result seen before its first save",
         [](TSearch& s) {
             IEntry result = Result(8);
             s.AddSearchResult(result);
             result->SetVisited(true);
         },
         {1, 0, 0}},
        {"all results cleared", [](TSearch& s) { s.FillOldResults(true); }, {0, 0, 8}},
    };
    for (const auto& c : cases) {
        c.change(*search);
        search->MarkModified();
        search->SaveToDB(Storage());
        EXPECT_EQ(TakeWrites(), c.writes) << c.what;
        EXPECT_EQ(StoredRows(search->GetID()), ExpectedRows(*search)) << c.what;
    }
}

TEST_F(ResultRowsTest, ASessionThatChangedNothingLeavesTheFileUntouched) {
    {
        TSearches searches(fDir.Path(), Storage(), Lookups());
        auto search = std::make_unique<TSearch>();
        search->SetName("Bikes");
        for (int i = 1; i <= 50; ++i) search->AddSearchResult(Result(i));
        searches.AddSearch(std::move(search));
        ASSERT_TRUE(searches.SaveMySearches());
    }
    fStorage.reset();
    const std::string bytes = test::ReadFile(DatabaseFile());
    const auto modified = std::filesystem::last_write_time(DatabaseFile());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        OpenStorage();
        TSearches searches(fDir.Path(), Storage(), Lookups());
        searches.LoadSearches();
        ASSERT_EQ(searches.GetAllSearches().size(), 1u);
        EXPECT_TRUE(searches.SaveMySearches());
        fStorage.reset();
    }
    EXPECT_EQ(std::filesystem::last_write_time(DatabaseFile()), modified);
    EXPECT_TRUE(test::ReadFile(DatabaseFile()) == bytes);
}

// A save of all searches that is rolled back takes back the rows of the searches written
// before the failure too: their next save must write those rows again, once.
TEST_F(ResultRowsTest, ARolledBackSaveIsWrittenWholeByTheNextOne) {
    TSearches searches(fDir.Path(), Storage(), Lookups());
    TSearch& first = searches.AddSearch(std::make_unique<TSearch>());
    TSearch& second = searches.AddSearch(std::make_unique<TSearch>());
    first.SetName("First");
    second.SetName("Second");
    ASSERT_TRUE(searches.SaveMySearches());
    first.AddSearchResult(Result(1));
    first.AddSearchResult(Result(2));
    second.AddSearchResult(Result(3));
    const std::string before = Storage().SQLLiteDB().GetTableString("select group_concat(link) from entries");
    Storage().SQLLiteDB().ExecSQL(
        "create temp trigger refuse before insert on entries when new.link like '%/3.html' "
        "begin select raise(abort, 'disk I/O error'); end");
    EXPECT_FALSE(searches.SaveMySearches());
    EXPECT_EQ(Storage().SQLLiteDB().GetTableString("select group_concat(link) from entries"), before);

    Storage().SQLLiteDB().ExecSQL("drop trigger refuse");
    ASSERT_TRUE(searches.SaveMySearches()) << searches.GetLastSaveError();
    EXPECT_EQ(StoredRows(first.GetID()), ExpectedRows(first));
    EXPECT_EQ(StoredRows(second.GetID()), ExpectedRows(second));
}

TEST_F(ResultRowsTest, TheFileIsCompactedOnlyWhenAQuarterOfItIsFree) {
    TSearches searches(fDir.Path(), Storage(), Lookups());
    TSearch& search = searches.AddSearch(std::make_unique<TSearch>());
    search.SetName("Bikes");
    const std::string longText(2000, 'x');
    for (int i = 1; i <= 400; ++i) search.AddSearchResult(Result(i, longText));
    ASSERT_TRUE(searches.SaveMySearches());
    const auto freePages = [&] { return Count("PRAGMA freelist_count"); };

    // A search a tenth the size goes: its free pages stay for later rows.
    TSearch& other = searches.AddSearch(std::make_unique<TSearch>());
    other.SetName("Other");
    for (int i = 1; i <= 40; ++i) other.AddSearchResult(Result(1000 + i, longText));
    ASSERT_TRUE(searches.SaveMySearches());
    ASSERT_EQ(searches.DeleteSearch(&other) != nullptr, true);
    search.MarkModified();
    ASSERT_TRUE(searches.SaveMySearches());
    const std::int64_t fewFree = freePages();
    EXPECT_GT(fewFree, 0);
    EXPECT_LE(fewFree * 4, Count("PRAGMA page_count"));

    // Most results go: the file is compacted, and the rows it renumbered are still the
    // search's own at the next save.
    search.FillOldResults(true);
    for (int i = 1; i <= 10; ++i) search.AddSearchResult(Result(2000 + i, longText));
    ASSERT_TRUE(searches.SaveMySearches());
    EXPECT_EQ(freePages(), 0);
    search.GetSearchResults()[3]->SetVisited(true);
    search.DeleteResult(search.GetSearchResults()[0]);
    search.AddSearchResult(Result(3000));
    ASSERT_TRUE(searches.SaveMySearches());
    EXPECT_EQ(StoredRows(search.GetID()), ExpectedRows(search));
}

}  // namespace
}  // namespace trawlix
