#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <thread>

#include "model/entry.h"
#include "model/entry_test_support.h"
#include "model/objects_storage.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace trawlix;

namespace {

IEntry MakeEntry(const std::string& aName = "2007 Honda Civic", const std::string& aLink =
                                                                      "https://sfbay.example.org/cto/4821.html") {
    return std::make_shared<TEntry>(ssEBay, "Dec 12", aName, aLink, 4500.5, "San Francisco", "cars+trucks", true, 77,
                                    40000.25, "clean title", "seller@example.org", "https://img.example.org/a.jpg");
}

// A copy of the installation's database in a fresh folder.
class EntryStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(trawlix::test::SourceDataDir() / "object_storage.cur", fDir / "object_storage.cur");
        fStorage = std::make_unique<TObjectsStorage>((fDir / "object_storage.cur").string());
    }

    TEntryList ReadRows(int aSearchID, const std::string& aType) {
        TEntryList entries;
        TSQLiteQuery query = fStorage->SQLLiteDB().GetTable(
            "select * from entries where (search_id = ?) and (type = ?)", {aSearchID, aType});
        const TEntryColumns columns(query);
        for (; !query.Eof(); query.Next()) entries.push_back(std::make_shared<TEntry>(query, columns));
        return entries;
    }

    IEntry SaveAndReadRow(const TEntry& aEntry) {
        aEntry.SaveToDBEntries(*fStorage, 5, cEntryTypeSearchResult);
        TEntryList rows = ReadRows(5, cEntryTypeSearchResult);
        EXPECT_EQ(rows.size(), 1u);
        return rows.empty() ? nullptr : rows.front();
    }

    test::TempDir fDir;
    std::unique_ptr<TObjectsStorage> fStorage;
};

TEST(Entry, NewEntryHasTheDocumentedDefaults) {
    TEntry entry;
    EXPECT_EQ(entry.GetFromSite(), ssCraigslist);
    EXPECT_DOUBLE_EQ(entry.GetPrice(), -1);
    EXPECT_TRUE(entry.GetNew());
    EXPECT_FALSE(entry.GetVisited());
    EXPECT_FALSE(entry.GetChecked());
    EXPECT_EQ(entry.GetMonth(), 0);
    EXPECT_EQ(entry.GetDay(), 0);
    EXPECT_EQ(entry.GetLocationID(), 0);
    EXPECT_FALSE(entry.HasOriginalImage());
    EXPECT_FALSE(entry.GetImageDownloading());
}

TEST(Entry, MonthAndDayComeFromTheDateText) {
    struct Case {
        std::string date;
        int month;
        int day;
    };
    const Case cases[] = {
        {"Dec 12", 12, 12}, {"jan 3", 1, 3}, {"Mar", 3, 1}, {"Foo 7", 1, 7}, {"Jun 0", 6, 1}, {"", 0, 0},
    };
    for (const auto& c : cases) {
        TEntry entry(ssCraigslist, c.date, "t", "l", 1, "", "", false, 0, 0, "", "", "");
        EXPECT_EQ(entry.GetMonth(), c.month) << c.date;
        EXPECT_EQ(entry.GetDay(), c.day) << c.date;
    }
}

TEST(Entry, CraigsIDIsTheFirstRunOfDigitsInTheLinksPath) {
    const std::pair<std::string, std::int64_t> cases[] = {
        {"http://boston2.craigslist.org/bik/5011234567.html", 5011234567},  // digits in the host are no id
        {"http://127.0.0.1:8099/bik/77.html", 77},
        {"http://host9.example.org", 1},
        {"/bik/42.html", 42},
        {"https://example.org/no-digits-here.html", 1},
        {"https://example.org/012.html", 12},
        {"https://example.org/cto/4821/99.html", 4821},
        {"https://example.org/5011234567.html", 5011234567},
        {"https://example.org/99999999999999999999999.html", 1},  // does not fit 64 bits
        {"", 1},
    };
    for (const auto& [link, id] : cases) {
        TEntry entry(ssCraigslist, "", "t", link, 1, "", "", false, 0, 0, "", "", "");
        EXPECT_EQ(entry.GetCraigsID(), id) << link;
    }
}

TEST(Entry, AssignCopiesTheAdButNotTheTickOrTransientFlags) {
    IEntry source = MakeEntry();
    source->SetChecked(true);
    source->SetIncludeInEmailDigest(true);
    source->SetNoContact(true);
    source->SetImageDownloading(true);
    source->SetVisited(true);
    source->SetReplied(true);
    source->SetOriginalImage({1, 2, 3});
    source->SetResizedImage({4, 5});

    TEntry copy(source);
    trawlix::test::ExpectSameStoredFields(*source, copy);
    EXPECT_EQ(copy.GetContact(), "seller@example.org");
    EXPECT_EQ(copy.GetCraigsID(), 4821);
    EXPECT_FALSE(copy.GetChecked());
    EXPECT_FALSE(copy.GetIncludeInEmailDigest());
    EXPECT_TRUE(copy.GetNoContact()) << "stored with the row: the address was looked for";
    EXPECT_FALSE(copy.GetImageDownloading());
    EXPECT_DOUBLE_EQ(copy.GetLocalDateTime(), 0);

    // The copy's pictures are its own.
    source->SetOriginalImage({9});
    EXPECT_EQ(copy.GetOriginalImage(), (TBlob{1, 2, 3}));
}

TEST(Entry, SettingAPictureReplacesTheOldOne) {
    TEntry entry;
    entry.SetOriginalImage({0xFF, 0xD8, 1});
    entry.SetOriginalImage({0xFF, 0xD8, 2, 3});
    EXPECT_EQ(entry.GetOriginalImage(), (TBlob{0xFF, 0xD8, 2, 3}));
    entry.SetResizedImage({7});
    entry.SetResizedImage({});
    EXPECT_FALSE(entry.HasResizedImage());
}

TEST(Entry, LocationIsLookedUpOnceAndKeptEvenWhenUnknown) {
    TEntry entry(ssCraigslist, "", "t", "l", 1, "", "", false, 4242, 0, "", "", "");
    int calls = 0;
    int askedFor = 0;
    TPlaceLookup lookup = [&](int aID) -> const TPlace* {
        ++calls;
        askedFor = aID;
        return nullptr;
    };
    EXPECT_EQ(entry.GetLocation(lookup), nullptr);
    EXPECT_EQ(entry.GetLocation(lookup), nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(askedFor, 4242);
}

TEST(Entry, LockedFieldsSurviveConcurrentWriters) {
    IEntry entry = MakeEntry();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            entry->SetContact(i % 2 ? "a@example.org" : "bb@example.org");
            entry->SetOriginalImage(TBlob(static_cast<size_t>(i % 7 + 1), 0xAB));
        }
        stop = true;
    });
    while (!stop) {
        const std::string contact = entry->GetContact();
        EXPECT_TRUE(contact == "a@example.org" || contact == "bb@example.org" || contact == "seller@example.org");
        for (auto byte : entry->GetOriginalImage()) ASSERT_EQ(byte, 0xAB);
    }
    writer.join();
}

TEST_F(EntryStorageTest, RowRoundTripKeepsEveryStoredField) {
    IEntry entry = MakeEntry();
    entry->SetVisited(true);
    entry->SetNew(false);
    entry->SetReplied(true);
    entry->SetOriginalImage({0xFF, 0xD8, 0xFF, 0xE0, 0, 16});
    entry->SetResizedImage({0xFF, 0xD8, 0x01});
    entry->DropPrice(entry->GetPrice() - 10);
    entry->SetDuplicateOf("https://boston.craigslist.org/bik/1.html");
    entry->SetNoContact(true);
    entry->SetPlace("SOMA / south beach");
    entry->SetGeo(37.7793, -122.4193);
    entry->SetPictureUrls({"https://images.craigslist.org/00a0a_abc_600x450.jpg",
                           "https://images.craigslist.org/00b0b_def_600x450.jpg"});
    entry->SetPictureHash(0xF0E1D2C3B4A59687ull);
    IEntry loaded = SaveAndReadRow(*entry);
    ASSERT_TRUE(loaded);
    trawlix::test::ExpectSameStoredFields(*entry, *loaded);
    EXPECT_EQ(loaded->GetCraigsID(), 4821);
    // The looked-up address and whether it was looked for are kept, so a restart neither
    // forgets an address nor downloads the ad's page again.
    EXPECT_EQ(loaded->GetContact(), "seller@example.org");
    EXPECT_TRUE(loaded->GetNoContact());
}

TEST_F(EntryStorageTest, ApostrophesAndQuotesSurviveTheRowAndAreStoredEscaped) {
    const std::string name = "Joe's \"mint\" bike";
    IEntry loaded = SaveAndReadRow(*MakeEntry(name));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetName(), name);
    EXPECT_EQ(fStorage->SQLLiteDB().GetTableString("select name from entries"), "Joe\x01s \x02mint\x02 bike");
}

TEST_F(EntryStorageTest, RowAndFavouriteKeepEveryCharacterOfTheTitle) {
    const std::string name = "Caf\xC3\xA9 table ~ oak \xE2\x82\xAC";
    IEntry loaded = SaveAndReadRow(*MakeEntry(name));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetName(), name);

    TStorageTransaction transaction(*fStorage);
    const int id = fStorage->AddObject("fav", 1, "", true);
    TFavourite(*MakeEntry(name), "keep").SaveToDB(*fStorage, id);
    transaction.Commit();
    EXPECT_EQ(TFavourite(*fStorage, id).GetName(), name);
}

TEST_F(EntryStorageTest, EntryWithoutPicturesStoresTwoEmptyBlobs) {
    IEntry loaded = SaveAndReadRow(*MakeEntry());
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->HasOriginalImage());
    EXPECT_FALSE(loaded->HasResizedImage());
    EXPECT_EQ(fStorage->SQLLiteDB().GetTableValue(
                  "select count(*) from entries where typeof(original_image) = 'blob' and length(original_image) = 0 "
                  "and typeof(resized_image) = 'blob' and length(resized_image) = 0"),
              1);
}

TEST_F(EntryStorageTest, WriterStoresManyRowsWithTheirSearchAndType) {
    TEntriesWriter writer(fStorage->SQLLiteDB());
    for (int i = 0; i < 10; ++i)
        writer.Insert(*MakeEntry("ad " + std::to_string(i), "https://example.org/" + std::to_string(i)), 3,
                      i < 7 ? cEntryTypeSearchResult : cEntryTypeDeletedResult);
    TEntryList results = ReadRows(3, cEntryTypeSearchResult);
    ASSERT_EQ(results.size(), 7u);
    EXPECT_EQ(results[6]->GetName(), "ad 6");
    EXPECT_EQ(ReadRows(3, cEntryTypeDeletedResult).size(), 3u);
    EXPECT_TRUE(ReadRows(4, cEntryTypeSearchResult).empty());
}

TEST_F(EntryStorageTest, DamagedRowValuesReadAsTheirDefaults) {
    fStorage->SQLLiteDB().ExecSQL(
        "insert into entries (search_id, type, site, date_str, name, price, location, category, link, has_image, "
        "visited, new, location_id) values (1, 'search_result', 2, 'Feb 3', 'x', 'cheap', '', '', 'l', 'T', "
        "'True', 'maybe', 'abc')");
    TEntryList rows = ReadRows(1, cEntryTypeSearchResult);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]->GetFromSite(), ssOodle);
    EXPECT_DOUBLE_EQ(rows[0]->GetPrice(), 0);
    EXPECT_FALSE(rows[0]->GetHasImage());
    EXPECT_TRUE(rows[0]->GetVisited());
    EXPECT_FALSE(rows[0]->GetNew());
    EXPECT_EQ(rows[0]->GetLocationID(), 0);
    EXPECT_EQ(rows[0]->GetMonth(), 2);
}

TEST_F(EntryStorageTest, RowWithASiteThatIsNoSiteNumberRaises) {
    for (const char* site : {"'abc'", "9", "-1", "''"}) {
        fStorage->SQLLiteDB().ExecSQL("delete from entries");
        fStorage->SQLLiteDB().ExecSQL(
            std::string("insert into entries (search_id, type, site, name, price, link) values (1, 'search_result', ") +
            site + ", 'x', '1', 'l')");
        TSQLiteQuery query = fStorage->SQLLiteDB().GetTable("select * from entries");
        ASSERT_FALSE(query.Eof());
        EXPECT_THROW(TEntry{query}, EEntryLoadError) << site;
    }
}

TEST(EntryOlderLayout, RowsWithoutTheLaterColumnsReadWithEmptyValues) {
    test::TempDir dir;
    test::WriteFile(dir / "old.db", "");  // SQLite turns an empty file into a database
    TSQLiteDB db((dir / "old.db").string());
    db.ExecSQL(
        "create table entries (search_id, type, site, date_str, name, price, location, category, link, has_image, "
        "visited, new, location_id)");
    db.ExecSQL(
        "insert into entries values (1, 'search_result', 0, 'Jan 5', 'Old ad', '12,5', 'Boston', 'bikes', "
        "'https://example.org/77.html', '-1', '0', '-1', 12)");
    TSQLiteQuery query = db.GetTable("select * from entries");
    ASSERT_FALSE(query.Eof());
    TEntry entry(query);
    EXPECT_EQ(entry.GetName(), "Old ad");
    EXPECT_DOUBLE_EQ(entry.GetPrice(), 12.5);
    EXPECT_EQ(entry.GetImageUrl(), "");
    EXPECT_EQ(entry.GetDescription(), "");
    EXPECT_FALSE(entry.GetReplied());
    EXPECT_FALSE(entry.GetPriceDropped());
    EXPECT_FALSE(entry.IsFolded());
    EXPECT_FALSE(entry.HasOriginalImage());
    EXPECT_TRUE(entry.GetHasImage());
    EXPECT_EQ(entry.GetLocationID(), 12);
    EXPECT_EQ(entry.GetPlace(), "");
    EXPECT_FALSE(entry.GetHasGeo());
    EXPECT_TRUE(entry.GetPictureUrls().empty());
    EXPECT_EQ(entry.GetPictureHash(), 0u);
}

TEST(Entry, PlaceCoordinatesPicturesAndHashMarkTheRowChangedOnlyWhenTheyChange) {
    const std::vector<std::string> pictures = {"https://img.example.org/1.jpg", "https://img.example.org/2.jpg"};
    struct TCase {
        const char* what;
        std::function<void(TEntry&)> set;
    } cases[] = {
        {"place", [](TEntry& aEntry) { aEntry.SetPlace("mission district"); }},
        {"coordinates", [](TEntry& aEntry) { aEntry.SetGeo(37.76, -122.42); }},
        {"pictures", [&](TEntry& aEntry) { aEntry.SetPictureUrls(pictures); }},
        {"hash", [](TEntry& aEntry) { aEntry.SetPictureHash(0x1234); }},
    };
    for (const auto& c : cases) {
        TEntry entry;
        const auto before = entry.GetChangeCount();
        c.set(entry);
        EXPECT_EQ(entry.GetChangeCount(), before + 1) << c.what;
        c.set(entry);
        EXPECT_EQ(entry.GetChangeCount(), before + 1) << c.what << " set again to the same value";
    }
}

TEST(Entry, CoordinatesOffTheGlobeAndEmptyOrSplitPictureAddressesAreLeftOut) {
    TEntry entry;
    entry.SetGeo(95, 10);
    EXPECT_FALSE(entry.GetHasGeo());
    entry.SetGeo(-33.87, 151.21);
    EXPECT_TRUE(entry.GetHasGeo());
    entry.SetGeo(0, 200);
    EXPECT_FALSE(entry.GetHasGeo()) << "coordinates found wrong replace the earlier ones";
    entry.SetPictureUrls({"", "https://img.example.org/a.jpg", "https://img.example.org/b\t.jpg"});
    EXPECT_EQ(entry.GetPictureUrls(), std::vector<std::string>{"https://img.example.org/a.jpg"});
}

TEST_F(EntryStorageTest, FavouriteObjectRoundTripKeepsItsNoteAndPictures) {
    IEntry entry = MakeEntry("It's \"great\"");
    entry->SetOriginalImage({0xFF, 0xD8, 9});
    entry->SetPlace("back bay");
    entry->SetGeo(42.35, -71.08);
    entry->SetPictureUrls({"https://img.example.org/1.jpg", "https://img.example.org/2.jpg"});
    entry->SetPictureHash(42);
    TFavourite favourite(*entry, "call after 6 o'clock");
    TStorageTransaction transaction(*fStorage);
    const int id = fStorage->AddObject("fav", 1, "", true);
    favourite.SaveToDB(*fStorage, id);

    TFavourite loaded(*fStorage, id);
    trawlix::test::ExpectSameStoredFields(favourite, loaded);
    EXPECT_EQ(loaded.GetNote(), "call after 6 o'clock");

    // The base class writes no note.
    const int plainID = fStorage->AddObject("fav", 1, "", true);
    static_cast<const TEntry&>(favourite).TEntry::SaveToDB(*fStorage, plainID);
    transaction.Commit();
    EXPECT_FALSE(fStorage->ObjectPropExists(plainID, "note"));
}

TEST_F(EntryStorageTest, FavouriteObjectWithMissingOrUnknownValuesUsesDefaults) {
    const int id = fStorage->AddObject("fav", 1, "", true);
    fStorage->SetObjectProp(id, "site", 17);
    fStorage->SetObjectProp(id, "link", "https://example.org/5.html");
    TFavourite loaded(*fStorage, id);
    EXPECT_EQ(loaded.GetFromSite(), ssCraigslist);
    EXPECT_EQ(loaded.GetName(), "");
    EXPECT_DOUBLE_EQ(loaded.GetPrice(), 0);
    EXPECT_FALSE(loaded.GetNew());
    EXPECT_EQ(loaded.GetNote(), "");
    EXPECT_EQ(loaded.GetCraigsID(), 5);
}

TEST(EntryXML, OlderFileElementsAreRead) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(
        "<favourites><fav site='4'><date>Nov 30</date><name>A &amp;#38; B&amp;#39;s</name><price>12,5</price>"
        "<location>Austin</location><category>cars</category><link>https://example.org/8.html?a=1&amp;#38;b=2</link>"
        "<has_image>True</has_image><visited>0</visited><new>-1</new><location_id>31</location_id>"
        "<note>ring &amp;#34;twice&amp;#34;</note></fav>"
        "<e><date></date><name>n</name><price>7</price><location/><category/><link>l</link>"
        "<has_image>False</has_image><visited>1</visited><new>0</new></e></favourites>"));
    pugi::xml_node fav = doc.child("favourites").first_child();
    TFavourite favourite(fav);
    EXPECT_EQ(favourite.GetFromSite(), ssCarsCom);
    EXPECT_EQ(favourite.GetName(), "A & B's");
    EXPECT_DOUBLE_EQ(favourite.GetPrice(), 12.5);
    EXPECT_EQ(favourite.GetLink(), "https://example.org/8.html?a=1&b=2");
    EXPECT_TRUE(favourite.GetHasImage());
    EXPECT_FALSE(favourite.GetVisited());
    EXPECT_TRUE(favourite.GetNew());
    EXPECT_EQ(favourite.GetLocationID(), 31);
    EXPECT_EQ(favourite.GetMonth(), 11);
    EXPECT_EQ(favourite.GetDay(), 30);
    EXPECT_EQ(favourite.GetNote(), "ring \"twice\"");

    TEntry plain(fav.next_sibling());
    EXPECT_EQ(plain.GetFromSite(), ssCraigslist);
    EXPECT_EQ(plain.GetLocationID(), 0);
    EXPECT_TRUE(plain.GetVisited());
    EXPECT_EQ(plain.GetMonth(), 0);
}

TEST(EntryXML, MissingOrBadElementsRaiseNamingTheElement) {
    const std::pair<std::string, std::string> cases[] = {
        {"<e><date/><price>1</price><location/><category/><link/><has_image/><visited/><new/></e>", "\"name\""},
        {"<e><date/><name/><price>abc</price><location/><category/><link/><has_image/><visited/><new/></e>",
         "\"price\""},
        {"<e site='12'><date/><name/><price>1</price><location/><category/><link/><has_image/><visited/><new/></e>",
         "12"},
    };
    for (const auto& [xml, named] : cases) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(xml.c_str()));
        try {
            TEntry entry(doc.first_child());
            ADD_FAILURE() << "no error for " << xml;
        } catch (const EEntryLoadError& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
    }
}

}  // namespace
