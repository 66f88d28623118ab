// Saving searches as the user works: a save is stored whole or not at all, says when it
// failed, and only what changed is written.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "model/searches.h"
#include "model/test_search_fixture.h"

namespace trawlix {
namespace {

IEntry Result(int aNumber) {
    const std::string link = "http://la.craigslist.org/bik/" + std::to_string(aNumber) + ".html";
    return std::make_shared<TEntry>(ssCraigslist, "Dec 12", "Bike " + std::to_string(aNumber), link, 100 + aNumber,
                                    "los angeles", "bikes", false, 0, 45000.5, "", "", "");
}

class SearchSavingTest : public test::SearchStoreTest {
protected:
    std::unique_ptr<TSearches> Load() {
        auto searches = std::make_unique<TSearches>(fDir.Path(), Storage(), Lookups());
        searches->LoadSearches();
        return searches;
    }
    // Makes the storage refuse a kind of write, as a full disk or a locked file would.
    void Refuse(const std::string& aTable, const std::string& aWhen = "1") {
        Storage().SQLLiteDB().ExecSQL("create temp trigger refuse_" + aTable + " before insert on " + aTable +
                                      " when " + aWhen + " begin select raise(abort, 'disk I/O error'); end");
    }
    void Allow(const std::string& aTable) { Storage().SQLLiteDB().ExecSQL("drop trigger refuse_" + aTable); }
    std::string StoredName(int aID) { return Storage().GetObjectPropText(aID, "name"); }
    std::int64_t StoredResults(int aID) {
        return Storage().SQLLiteDB().GetTableValue("select count(*) from entries where search_id = ?", {aID});
    }
};

TEST_F(SearchSavingTest, AFailedResultLeavesTheStoredSearchAsItWasAndRaises) {
    TSearch search;
    search.SetName("Bikes");
    search.AddSearchResult(Result(1));
    search.SaveToDB(Storage());
    const int id = search.GetID();
    ASSERT_GT(id, 0);
    EXPECT_FALSE(search.GetModified());

    search.SetName("Red bikes");
    for (int i = 2; i <= 4; ++i) search.AddSearchResult(Result(i));
    Refuse("entries", "new.name = 'Bike 3'");
    try {
        search.SaveToDB(Storage());
        FAIL() << "a refused result must fail the save";
    } catch (const ESearchSaveError& e) {
        EXPECT_NE(std::string(e.what()).find("\"Red bikes\" could not be stored: disk I/O error"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(Storage().TransactionLevel(), 0);
    ReopenStorage();
    EXPECT_EQ(StoredName(id), "Bikes");
    EXPECT_EQ(StoredResults(id), 1);
    // Still in memory and still to be saved.
    EXPECT_TRUE(search.GetModified());
    EXPECT_EQ(search.GetSearchResults().size(), 4u);

    search.SaveToDB(Storage());
    EXPECT_FALSE(search.GetModified());
    ReopenStorage();
    EXPECT_EQ(StoredName(id), "Red bikes");
    EXPECT_EQ(StoredResults(id), 4);
}

TEST_F(SearchSavingTest, AFirstSaveThatFailsLeavesTheSearchUnsaved) {
    const auto objectsBefore = Storage().GetObjectsCount();
    Refuse("props");
    TSearch search;
    search.SetName("Lamps");
    EXPECT_THROW(search.SaveToDB(Storage()), ESearchSaveError);
    EXPECT_FALSE(search.Saved());
    EXPECT_EQ(Storage().GetObjectsCount(), objectsBefore);
    Allow("props");
    search.SaveToDB(Storage());
    EXPECT_TRUE(search.Saved());
    EXPECT_EQ(StoredName(search.GetID()), "Lamps");
}

TEST_F(SearchSavingTest, DeletingReportsARefusalAndKeepsTheSearch) {
    auto searches = Load();
    TSearch& search = searches->AddSearch(std::make_unique<TSearch>());
    searches->SaveSearch(search);
    const int id = search.GetID();
    Storage().SQLLiteDB().ExecSQL(
        "create temp trigger keep before delete on objects begin select raise(abort, 'database is locked'); end");
    EXPECT_THROW(searches->DeleteSearch(&search), ESearchSaveError);
    EXPECT_EQ(searches->GetAllSearches().size(), 1u);
    EXPECT_TRUE(Storage().ObjectExists(id));
}

TEST_F(SearchSavingTest, OnlyChangesMarkASearchModified) {
    TSearch search;
    search.SetName("Boats");
    search.SetPagesCount(3);
    search.SaveToDB(Storage());
    const struct {
        const char* what;
        std::function<void(TSearch&)> change;
        bool modifies;
    } cases[] = {
        {"same name", [](TSearch& s) { s.SetName("Boats"); }, false},
        {"same pages", [](TSearch& s) { s.SetPagesCount(3); }, false},
        {"selection of the run", [](TSearch& s) { s.SetFillInLV(true); }, false},
        {"new name", [](TSearch& s) { s.SetName("Kayaks"); }, true},
        {"keywords", [](TSearch& s) { s.SetKeywords("red kayak"); }, true},
        {"order", [](TSearch& s) { s.SetOrder(4); }, true},
        {"a result", [](TSearch& s) { s.AddSearchResult(Result(1)); }, true},
        {"a favourite", [](TSearch& s) { s.AddFavourite(std::make_shared<TFavourite>(*Result(2), "")); }, true},
        {"clearing", [](TSearch& s) { s.FillOldResults(true); }, true},
        {"an edit told of", [](TSearch& s) { s.MarkModified(); }, true},
    };
    for (const auto& c : cases) {
        c.change(search);
        EXPECT_EQ(search.GetModified(), c.modifies) << c.what;
        search.SaveToDB(Storage());
    }
    // A search read back is saved as it is.
    EXPECT_FALSE(TSearch::CreateFromDB(Storage(), search.GetID(), Lookups())->GetModified());
}

TEST_F(SearchSavingTest, SaveMySearchesWritesOnlyWhatChangedAndSaysWhyItFailed) {
    {
        auto searches = Load();
        for (const char* name : {"One", "Two"}) {
            auto search = std::make_unique<TSearch>();
            search->SetName(name);
            searches->AddSearch(std::move(search));
        }
        ASSERT_TRUE(searches->SaveMySearches());
    }
    auto searches = Load();
    ASSERT_EQ(searches->GetAllSearches().size(), 2u);
    // Nothing changed: nothing is written, so a refusing storage does not matter.
    Refuse("props");
    Refuse("entries");
    EXPECT_TRUE(searches->SaveMySearches());

    TSearch& two = *searches->GetAllSearches()[1];
    two.SetName("Two renamed");
    two.AddSearchResult(Result(7));
    EXPECT_FALSE(searches->SaveMySearches());
    EXPECT_NE(searches->GetLastSaveError().find("disk I/O error"), std::string::npos) << searches->GetLastSaveError();
    EXPECT_TRUE(two.GetModified());
    EXPECT_EQ(StoredName(two.GetID()), "Two");

    Allow("props");
    Allow("entries");
    EXPECT_TRUE(searches->SaveMySearches());
    EXPECT_TRUE(searches->GetLastSaveError().empty());
    EXPECT_FALSE(two.GetModified());
    EXPECT_EQ(StoredName(two.GetID()), "Two renamed");
    EXPECT_EQ(StoredResults(two.GetID()), 1);
}

// A reply that answers at once, as an account does once the server accepted the mail.
class TAcceptingMessage : public IEntryReplyMessage {
public:
    void SendTo(const std::string&, int, const std::string&, const std::string&,
                std::function<void(bool, const std::string&)> aOnResult) override {
        aOnResult(true, "");
    }
};

// Fields the user or a send changes on one result, without its search hearing of it, are
// stored by the next save of changed searches and read back after a restart.
TEST_F(SearchSavingTest, EveryEntryFieldChangedOnItsOwnIsStored) {
    const struct {
        const char* what;
        std::function<void(TEntry&)> change;
        std::function<bool(const TEntry&)> readBack;
    } cases[] = {
        {"visited", [](TEntry& e) { e.SetVisited(true); }, [](const TEntry& e) { return e.GetVisited(); }},
        {"contact", [](TEntry& e) { e.SetContact("seller@example.com"); },
         [](const TEntry& e) { return e.GetContact() == "seller@example.com"; }},
        {"no contact", [](TEntry& e) { e.SetNoContact(true); }, [](const TEntry& e) { return e.GetNoContact(); }},
        {"replied by a reply",
         [](TEntry& e) {
             e.SetContact("a@example.com");
             ASSERT_EQ(e.Reply(std::make_shared<TAcceptingMessage>(), true, 1).state, TReplyOutcome::Sent);
         },
         [](const TEntry& e) { return e.GetRepliedStored(); }},
        {"favourite note",
         [](TEntry& e) {
             auto* favourite = dynamic_cast<TFavourite*>(&e);
             ASSERT_NE(favourite, nullptr);
             favourite->SetNote("call after six");
         },
         [](const TEntry& e) {
             auto* favourite = dynamic_cast<const TFavourite*>(&e);
             return favourite && favourite->GetNote() == "call after six";
         }},
    };
    int id = 0;
    {
        auto searches = Load();
        TSearch& search = searches->AddSearch(std::make_unique<TSearch>());
        search.SetName("Bikes");
        for (int i = 1; i <= 4; ++i) search.AddSearchResult(Result(i));
        search.AddFavourite(std::make_shared<TFavourite>(*Result(5), ""));
        searches->SaveChangedSearches();
        ASSERT_FALSE(search.GetModified());
        id = search.GetID();
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            TEntry& entry = i < 4 ? *search.GetSearchResults()[i] : *search.GetFavourites()[0];
            cases[i].change(entry);
            EXPECT_TRUE(search.GetModified()) << cases[i].what;
            EXPECT_EQ(searches->SaveChangedSearches(), 1) << cases[i].what;
        }
    }
    ReopenStorage();
    auto stored = TSearch::CreateFromDB(Storage(), id, Lookups());
    ASSERT_EQ(stored->GetSearchResults().size(), 4u);
    ASSERT_EQ(stored->GetFavourites().size(), 1u);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const TEntry& entry = i < 4 ? *stored->GetSearchResults()[i] : *stored->GetFavourites()[0];
        EXPECT_TRUE(cases[i].readBack(entry)) << cases[i].what;
    }
}

// The background saver stores searches while the main thread adds results, adds searches
// and deletes them; every search ends up stored as it is in memory.
TEST_F(SearchSavingTest, ChangedSearchesAreSavedBesideTheThreadThatEditsThem) {
    auto searches = Load();
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread saver([&] {
        while (!done) {
            try {
                searches->SaveChangedSearches();
            } catch (const std::exception&) {
                ++failures;
            }
        }
    });
    int next = 0;
    for (int round = 0; round < 30; ++round) {
        auto search = std::make_unique<TSearch>();
        search->SetName("Search " + std::to_string(round));
        TSearch& added = searches->AddSearch(std::move(search));
        for (int i = 0; i < 20; ++i) added.AddSearchResult(Result(++next));
        if (round % 3 == 2) searches->DeleteSearch(searches->GetAllSearches().front().get());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    done = true;
    saver.join();
    EXPECT_EQ(failures, 0);
    searches->SaveChangedSearches();
    const auto stored = Load();
    ASSERT_EQ(stored->GetAllSearches().size(), searches->GetAllSearches().size());
    for (const auto& search : searches->GetAllSearches()) {
        EXPECT_FALSE(search->GetModified());
        EXPECT_EQ(StoredResults(search->GetID()), 20) << search->GetName();
    }
}

// A process killed at any moment of a save leaves a database that opens, and each search
// in it is either as before the save or as after it, never in between.
TEST_F(SearchSavingTest, AKillDuringASaveLeavesTheEarlierOrTheLaterSearch) {
    constexpr int kBefore = 50;
    constexpr int kAfter = 3000;
    int id = 0;
    {
        TSearch search;
        search.SetName("Before");
        for (int i = 0; i < kBefore; ++i) search.AddSearchResult(Result(i));
        search.SaveToDB(Storage());
        id = search.GetID();
    }
    fStorage.reset();
    for (int attempt = 0; attempt < 8; ++attempt) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            TObjectsStorage storage(DatabaseFile().string());
            auto search = TSearch::CreateFromDB(storage, id, Lookups());
            search->SetName("After");
            search->FillOldResults(true);
            for (int i = 0; i < kAfter; ++i) search->AddSearchResult(Result(i));
            [[maybe_unused]] auto written = write(ready[1], "x", 1);
            for (;;) {
                search->MarkModified();
                search->SaveToDB(storage);
            }
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        // Somewhere inside one of the saves that follow each other.
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + 37 * attempt));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        OpenStorage();
        EXPECT_EQ(Storage().SQLLiteDB().GetTableString("pragma integrity_check"), "ok");
        const std::string name = StoredName(id);
        const auto results = StoredResults(id);
        if (name == "Before")
            EXPECT_EQ(results, kBefore);
        else
            EXPECT_TRUE(name == "After" && results == kAfter) << name << " with " << results << " results";
        fStorage.reset();
    }
    OpenStorage();
}

}  // namespace
}  // namespace trawlix
