#include "model/objects_storage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <set>
#include <thread>

#include "model/fixtures/sqlite_files.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

namespace fs = std::filesystem;
using test::CreateDatabase;
using test::TempDir;

std::set<std::string> ColumnsOf(TSQLiteDB& aDB, const std::string& aTable) {
    std::set<std::string> columns;
    for (TSQLiteQuery query = aDB.GetTable("select name from pragma_table_info(?)", {aTable}); !query.Eof();
         query.Next())
        columns.insert(query.FieldAsString(0));
    return columns;
}

// The whole schema as text, to show that an open changed nothing.
std::string SchemaOf(TSQLiteDB& aDB) {
    std::string schema;
    for (TSQLiteQuery query = aDB.GetTable("select sql from sqlite_master order by name"); !query.Eof(); query.Next())
        schema += query.FieldAsString(0) + ";\n";
    return schema;
}

std::vector<std::string> VersionRows(TSQLiteDB& aDB) {
    if (!aDB.TableExists("global_props")) return {"<no global_props>"};
    std::vector<std::string> rows;
    for (TSQLiteQuery query = aDB.GetTable("select value from global_props where name = 'version' order by id");
         !query.Eof(); query.Next())
        rows.push_back(query.FieldAsString(0));
    return rows;
}

const std::set<std::string> kUpgradedEntryColumns = {
    "search_id", "type",     "site",        "date_str", "name",      "price",          "location",
    "category",  "link",     "has_image",   "visited",  "new",       "location_id",    "description",
    "replied",   "image_url", "original_image", "resized_image", "price_was", "duplicate_of",
    "contact",   "no_contact", "place",      "latitude",      "longitude", "pictures",       "picture_hash"};

// A storage on a fresh copy of the installation's empty database.
class ObjectsStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(test::InstallationDatabase(), fFile);
        Open();
    }
    void Open() { fStorage = std::make_unique<TObjectsStorage>(fFile.string()); }
    void Reopen() {
        fStorage.reset();
        Open();
    }
    TSQLiteDB& DB() { return fStorage->SQLLiteDB(); }
    std::string RawValue(int aObjectID, const std::string& aName) {
        return DB().GetTableString("select value from props where object_id = ? and name = ?", {aObjectID, aName},
                                   "<missing>");
    }

    TempDir fDir;
    fs::path fFile = fDir / "object_storage.cur";
    std::unique_ptr<TObjectsStorage> fStorage;
};

// --- opening ---------------------------------------------------------------------------------

TEST(ObjectsStorageOpenTest, MissingAndEmptyFilesAreRefusedWithTheirMessages) {
    TempDir dir;
    const std::string missing = (dir / "absent.cur").string();
    const std::string empty = (dir / "empty.cur").string();
    test::WriteFile(empty, "");
    try {
        TObjectsStorage storage(missing);
        FAIL() << "opened a missing file";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "The file \"" + missing + "\" does not exist.");
    }
    try {
        TObjectsStorage storage(empty);
        FAIL() << "opened an empty file";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "The file \"" + empty + "\" is 0 at  size.");
    }
    EXPECT_FALSE(fs::exists(missing));
}

TEST(ObjectsStorageOpenTest, UnusableFilesAreRefused) {
    TempDir dir;
    const auto garbage = dir / "garbage.cur";
    test::WriteFile(garbage, std::string(2048, '\x7f'));
    EXPECT_THROW(TObjectsStorage storage(garbage.string()), ESQLiteError);

    const auto foreign = dir / "foreign.cur";
    CreateDatabase(foreign, "CREATE TABLE something (x);");
    try {
        TObjectsStorage storage(foreign.string());
        FAIL() << "opened a database without the object tables";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "The file \"" + foreign.string() + "\" is not a Trawlix database.");
    }
    // Refusing must not have upgraded (written to) the foreign file.
    TSQLiteDB db(foreign.string());
    EXPECT_FALSE(db.TableExists("global_props"));
}

TEST_F(ObjectsStorageTest, ADamagedPageIsRefusedBeforeAnythingIsReadOrWritten) {
    // Enough rows for the props table to have a page of its own, as a used database has.
    for (int i = 0; i < 50; ++i) fStorage->SetObjectProp(fStorage->AddObject("search", -1, "", true), "name", "s");
    fStorage.reset();
    test::CorruptTablePage(fFile, "props");
    const std::string damaged = test::ReadFile(fFile);
    try {
        TObjectsStorage storage(fFile.string());
        FAIL() << "opened a file with a damaged page";
    } catch (const EDatabaseDamaged& error) {
        EXPECT_EQ(std::string(error.what()).rfind("The file \"" + fFile.string() + "\" is damaged: ", 0), 0u)
            << error.what();
    }
    EXPECT_TRUE(test::ReadFile(fFile) == damaged) << "refusing wrote nothing";
}

TEST_F(ObjectsStorageTest, AFileLockedByAnotherProgramIsBusyNotBroken) {
    fStorage.reset();
    TSQLiteDB other(fFile.string());
    other.ExecSQL("BEGIN EXCLUSIVE");
    try {
        TObjectsStorage storage(fFile.string(), 100);
        FAIL() << "opened a file locked by another connection";
    } catch (const ESQLiteError& error) {
        EXPECT_TRUE(error.IsBusy()) << error.what();
    }
    other.ExecSQL("COMMIT");
    EXPECT_NO_THROW(TObjectsStorage storage(fFile.string(), 100));
}

TEST_F(ObjectsStorageTest, InstallationDatabaseIsUpgradedOnFirstOpen) {
    EXPECT_EQ(ColumnsOf(DB(), "entries"), kUpgradedEntryColumns);
    EXPECT_TRUE(DB().TableExists("email_reply_history"));
    EXPECT_EQ(VersionRows(DB()), std::vector<std::string>{"8.53"});
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    EXPECT_FALSE(DB().InTransaction());

    const std::string schema = SchemaOf(DB());
    Reopen();
    EXPECT_EQ(SchemaOf(DB()), schema);
    EXPECT_EQ(VersionRows(DB()), std::vector<std::string>{"8.53"});
}

struct UpgradeCase {
    const char* name;
    std::string extraSQL;  // run on top of the installation schema
    std::set<std::string> entryColumns;
    bool replyHistory;
    std::vector<std::string> versionRows;
};

class ObjectsStorageUpgradeTest : public ::testing::TestWithParam<UpgradeCase> {};

TEST_P(ObjectsStorageUpgradeTest, UpgradesOlderLayouts) {
    const UpgradeCase& c = GetParam();
    TempDir dir;
    const auto file = dir / "object_storage.cur";
    CreateDatabase(file, test::InstallationSchema() + c.extraSQL);
    {
        TObjectsStorage storage(file.string());
        EXPECT_EQ(ColumnsOf(storage.SQLLiteDB(), "entries"), c.entryColumns);
        EXPECT_EQ(storage.SQLLiteDB().TableExists("email_reply_history"), c.replyHistory);
        EXPECT_EQ(VersionRows(storage.SQLLiteDB()), c.versionRows);
        // Whatever happened to the upgrade, the storage works.
        const int id = storage.AddObject("probe", -1, "", true);
        EXPECT_GT(id, 0);
        storage.SetObjectProp(id, "p", std::string("v"));
        EXPECT_EQ(storage.GetObjectPropText(id, "p"), "v");
        EXPECT_FALSE(storage.SQLLiteDB().InTransaction());
    }
    TSQLiteDB reopened(file.string());
    EXPECT_EQ(ColumnsOf(reopened, "entries"), c.entryColumns);
}

const std::set<std::string> kBaseEntryColumns = {"search_id", "type",     "site",     "date_str", "name",
                                                 "price",     "location", "category", "link",     "has_image",
                                                 "visited",   "new",      "location_id"};

std::set<std::string> With(std::set<std::string> aColumns, std::initializer_list<const char*> aMore) {
    for (const char* column : aMore) aColumns.insert(column);
    return aColumns;
}

const char* const kGlobalProps = "CREATE TABLE global_props (id INTEGER PRIMARY KEY, name TEXT, value TEXT);"
                                 "ALTER TABLE entries ADD COLUMN description TEXT;";

INSTANTIATE_TEST_SUITE_P(
    Layouts, ObjectsStorageUpgradeTest,
    ::testing::Values(
        UpgradeCase{"NoGlobalProps", "", kUpgradedEntryColumns, true, {"8.53"}},
        UpgradeCase{"Version810", std::string(kGlobalProps) +
                                      "ALTER TABLE entries ADD COLUMN replied TEXT;"
                                      "INSERT INTO global_props (name, value) VALUES ('version', '8.10');",
                    kUpgradedEntryColumns, false, {"8.10", "8.53"}},
        UpgradeCase{"Version800WithReplyHistory",
                    std::string(kGlobalProps) +
                        "ALTER TABLE entries ADD COLUMN replied TEXT;"
                        "CREATE TABLE email_reply_history (id INTEGER PRIMARY KEY, user_id NUMERIC);"
                        "INSERT INTO global_props (name, value) VALUES ('version', '8,00');",
                    kUpgradedEntryColumns, true, {"8,00", "8.53"}},
        UpgradeCase{"Current", std::string(kGlobalProps) + "INSERT INTO global_props (name, value) VALUES ('version', '8.53');",
                    With(kBaseEntryColumns, {"description", "price_was", "duplicate_of", "contact", "no_contact", "place",
                                               "latitude", "longitude", "pictures", "picture_hash"}),
                    false,
                    {"8.53"}},
        UpgradeCase{"VersionNotANumber",
                    std::string(kGlobalProps) + "INSERT INTO global_props (name, value) VALUES ('version', 'beta');",
                    With(kBaseEntryColumns, {"description"}), false, {"beta"}},
        // A column the upgrade wants to add is already there: the whole upgrade, including the
        // new global_props table, is rolled back rather than left half done.
        UpgradeCase{"FailsHalfway", "ALTER TABLE entries ADD COLUMN replied TEXT;",
                    With(kBaseEntryColumns, {"replied"}), false, {"<no global_props>"}}),
    [](const ::testing::TestParamInfo<UpgradeCase>& aInfo) { return std::string(aInfo.param.name); });

TEST(ObjectsStorageLegacyTest, ValuesWrittenByAnOlderVersionReadBack) {
    TempDir dir;
    const auto file = dir / "object_storage.cur";
    CreateDatabase(file, test::ReadFile(test::TestsDir() / "model" / "fixtures" / "legacy_v7_store.sql"));
    TObjectsStorage storage(file.string());

    EXPECT_EQ(ColumnsOf(storage.SQLLiteDB(), "entries"), kUpgradedEntryColumns);
    EXPECT_TRUE(storage.SQLLiteDB().TableExists("email_reply_history"));
    EXPECT_EQ(storage.SQLLiteDB().GetTableString("select link from entries where search_id = 2"),
              "http://boston.example/bik/1.html");

    const IDBObject search = storage.GetObject("search", -1);
    ASSERT_TRUE(search);
    EXPECT_EQ(search->GetID(), 2);
    EXPECT_EQ(search->GetParentID(), 1);
    EXPECT_EQ(search->GetData(), "Bob's \"bikes\"");
    EXPECT_EQ(search->GetStorage(), &storage);
    EXPECT_EQ(storage.GetObjectPropText(2, "name"), "Bob's bikes");
    EXPECT_DOUBLE_EQ(storage.GetObjectPropFloat(2, "max_price"), 1250.75);
    EXPECT_TRUE(storage.GetObjectPropBool(2, "alert_on"));
    EXPECT_FALSE(storage.GetObjectPropBool(2, "paused"));
    EXPECT_EQ(storage.GetObjectPropInt(2, "pages", 0), 3);
    // A root container is found again rather than made twice.
    EXPECT_EQ(storage.AddObject("searches", -1, "", false), 1);
}

// --- objects -----------------------------------------------------------------------------------

TEST_F(ObjectsStorageTest, RootTypeIsFoundWhateverItsParentAndKeepsItsData) {
    const int first = fStorage->AddObject("accounts", -1, "original", false);
    ASSERT_GT(first, 0);
    EXPECT_EQ(DB().GetTableValue("select parent_id from objects where id = ?", {first}), -1);
    EXPECT_EQ(fStorage->AddObject("accounts", -1, "changed", false), first);
    EXPECT_EQ(fStorage->AddObject("accounts", 0, "changed", false), first);

    const int parent = fStorage->AddObject("searches", -1, "", false);
    const int nested = fStorage->AddObject("search", parent, "", true);
    EXPECT_EQ(fStorage->AddObject("search", -1, "", false), nested);  // any parent
    EXPECT_EQ(fStorage->AddObject("search", parent, "", false), nested);

    EXPECT_EQ(fStorage->GetObject("accounts", -1)->GetData(), "original");
    EXPECT_EQ(fStorage->GetObjectsCount(), 3);
}

TEST_F(ObjectsStorageTest, LookupUnderAParentOnlySeesThatParent) {
    const int a = fStorage->AddObject("search", -1, "", true);
    const int b = fStorage->AddObject("search", -1, "", true);
    const int alertOfA = fStorage->AddObject("alert", a, "", false);
    const int alertOfB = fStorage->AddObject("alert", b, "", false);
    EXPECT_NE(alertOfA, alertOfB);
    EXPECT_EQ(fStorage->AddObject("alert", b, "", false), alertOfB);
}

TEST_F(ObjectsStorageTest, AddingWithTypeExistsAllowedAlwaysAddsWithRisingIds) {
    const int first = fStorage->AddObject("message", 5, "a", true);
    const int second = fStorage->AddObject("message", 5, "a", true);
    EXPECT_GT(first, 0);
    EXPECT_EQ(second, first + 1);
    EXPECT_TRUE(fStorage->ObjectExists(second));
    EXPECT_FALSE(fStorage->ObjectExists(second + 1));
}

TEST_F(ObjectsStorageTest, GetObjectsSelectsByTypeAndParentInIdOrder) {
    const int root1 = fStorage->AddObject("root", -1, "", true);
    const int root2 = fStorage->AddObject("root", -1, "", true);
    const int x1 = fStorage->AddObject("x", root2, "1", true);
    const int y1 = fStorage->AddObject("y", root1, "", true);
    const int x2 = fStorage->AddObject("x", root1, "2", true);

    const auto ids = [](const TDBObjectList& aList) {
        std::vector<int> result;
        for (const IDBObject& object : aList) result.push_back(object->GetID());
        return result;
    };
    EXPECT_EQ(ids(fStorage->GetObjects("x", -1)), (std::vector<int>{x1, x2}));
    EXPECT_EQ(ids(fStorage->GetObjects("x", 0)), (std::vector<int>{x1, x2}));
    EXPECT_EQ(ids(fStorage->GetObjects("x", root1)), (std::vector<int>{x2}));
    EXPECT_EQ(ids(fStorage->GetObjects("", root1)), (std::vector<int>{y1, x2}));
    EXPECT_EQ(ids(fStorage->GetObjects("", -1)), (std::vector<int>{root1, root2, x1, y1, x2}));
    EXPECT_TRUE(fStorage->GetObjects("none", -1).empty());

    const IDBObject first = fStorage->GetObject("x", -1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetID(), x1);
    EXPECT_EQ(first->GetParentID(), root2);
    EXPECT_EQ(first->GetObjectType(), "x");
    EXPECT_EQ(first->GetData(), "1");
    EXPECT_EQ(fStorage->GetObject("none", -1), nullptr);
}

// --- properties ------------------------------------------------------------------------------------

TEST_F(ObjectsStorageTest, TextIsStoredEscapedAndReadsBackUnchanged) {
    const int id = fStorage->AddObject("note", -1, "say \"hi\" it's", true);
    const std::string text = "O'Brien said \"go\"; drop table objects; -- Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC";
    fStorage->SetObjectProp(id, "text", text);

    EXPECT_EQ(RawValue(id, "text"),
              "O\x01" "Brien said \x02go\x02; drop table objects; -- Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(DB().GetTableString("select data from objects where id = ?", {id}), "say \x02hi\x02 it\x01s");
    EXPECT_EQ(fStorage->GetObjectPropText(id, "text"), text);
    EXPECT_EQ(fStorage->GetObject("note", -1)->GetData(), "say \"hi\" it's");

    // U+0001 is the stored form of an apostrophe, so it cannot survive as itself.
    fStorage->SetObjectProp(id, "control", std::string("a\x01" "b"));
    EXPECT_EQ(fStorage->GetObjectPropText(id, "control"), "a'b");
}

TEST_F(ObjectsStorageTest, MissingAndEmptyTextAreDistinct) {
    const int id = fStorage->AddObject("o", -1, "", true);
    EXPECT_EQ(fStorage->GetObjectPropText(id, "p", "fallback"), "fallback");
    EXPECT_FALSE(fStorage->ObjectPropExists(id, "p"));
    fStorage->SetObjectProp(id, "p", "");
    EXPECT_TRUE(fStorage->ObjectPropExists(id, "p"));
    EXPECT_EQ(fStorage->GetObjectPropText(id, "p", "fallback"), "");
}

TEST_F(ObjectsStorageTest, WritingAPropertyAgainReplacesIt) {
    const int id = fStorage->AddObject("o", -1, "", true);
    fStorage->SetObjectProp(id, "p", "one");
    fStorage->SetObjectProp(id, "p", 2);
    EXPECT_EQ(fStorage->GetObjectPropInt(id, "p", 0), 2);
    EXPECT_EQ(DB().GetTableValue("select count(*) from props where object_id = ?", {id}), 1);
}

TEST_F(ObjectsStorageTest, TypedValuesUseTheSharedTextForms) {
    const int id = fStorage->AddObject("o", -1, "", true);
    fStorage->SetObjectProp(id, "yes", true);
    fStorage->SetObjectProp(id, "no", false);
    fStorage->SetObjectProp(id, "half", 1.5);
    fStorage->SetObjectProp(id, "tenth", 0.1 + 0.2);
    fStorage->SetObjectProp(id, "count", -17);
    EXPECT_EQ(RawValue(id, "yes"), "-1");
    EXPECT_EQ(RawValue(id, "no"), "0");
    EXPECT_EQ(RawValue(id, "half"), "1.5");
    EXPECT_EQ(RawValue(id, "tenth"), "0.3");  // 15 significant digits
    EXPECT_EQ(RawValue(id, "count"), "-17");
    EXPECT_TRUE(fStorage->GetObjectPropBool(id, "yes"));
    EXPECT_FALSE(fStorage->GetObjectPropBool(id, "no"));
    EXPECT_DOUBLE_EQ(fStorage->GetObjectPropFloat(id, "half"), 1.5);
    EXPECT_EQ(fStorage->GetObjectPropInt(id, "count", 0), -17);
}

TEST_F(ObjectsStorageTest, StoredTextIsDecodedOrFallsBack) {
    struct Case {
        std::string text;
        bool asBool;
        double asFloat;
        int asInt;  // default 99
    };
    const Case cases[] = {
        {"-1", true, -1.0, -1},          {"0", false, 0.0, 0},
        {"1", true, 1.0, 1},             {"TRUE", true, 0.0, 99},
        {"false", false, 0.0, 99},       {"T", false, 0.0, 99},
        {"", false, 0.0, 99},            {"abc", false, 0.0, 99},
        {"1,5", true, 1.5, 99},          {"1.5", true, 1.5, 99},
        {" 42 ", true, 42.0, 42},        {"+7", true, 7.0, 7},
        {"99999999999", true, 99999999999.0, 99}, {"1.234,5", false, 0.0, 99},
        {"1E20", true, 1e20, 99},        {"0x10", false, 0.0, 99},
        {"nan", false, std::numeric_limits<double>::quiet_NaN(), 99},
    };
    const int id = fStorage->AddObject("o", -1, "", true);
    for (const Case& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        fStorage->SetObjectProp(id, "v", c.text);
        EXPECT_EQ(fStorage->GetObjectPropBool(id, "v"), c.asBool);
        EXPECT_THAT(fStorage->GetObjectPropFloat(id, "v"), ::testing::NanSensitiveDoubleEq(c.asFloat));
        EXPECT_EQ(fStorage->GetObjectPropInt(id, "v", 99), c.asInt);
    }
    EXPECT_FALSE(fStorage->GetObjectPropBool(id, "missing"));
    EXPECT_EQ(fStorage->GetObjectPropFloat(id, "missing"), 0.0);
    EXPECT_EQ(fStorage->GetObjectPropInt(id, "missing", 5), 5);
}

TEST(StorageEncodingTest, FloatsRoundTripThroughTheirText) {
    for (double value : {0.0, -2.5, 1234567.891, 1e-7, 3.14159265358979, 1e300}) {
        SCOPED_TRACE(value);
        EXPECT_DOUBLE_EQ(StorageTextToFloat(FloatToStorageText(value)), value);
    }
    EXPECT_EQ(FloatToStorageText(2.0), "2");
    EXPECT_EQ(FloatToStorageText(1.0 / 3.0), "0.333333333333333");
}

TEST_F(ObjectsStorageTest, StreamWrittenTwiceLeavesOneRowWithTheSecond) {
    const int id = fStorage->AddObject("picture", -1, "", true);
    const TBlob first{1, 2, 3};
    const TBlob second{0, 0x27, 0x22, 0, 0xFF};
    fStorage->SetObjectProp(id, "image", first);
    fStorage->SetObjectProp(id, "image", second);
    EXPECT_EQ(fStorage->GetObjectPropBlob(id, "image"), second);
    EXPECT_EQ(DB().GetTableValue("select count(*) from props where object_id = ? and name = 'image'", {id}), 1);

    fStorage->SetObjectProp(id, "empty", TBlob{});
    EXPECT_TRUE(fStorage->ObjectPropExists(id, "empty"));
    EXPECT_TRUE(fStorage->GetObjectPropBlob(id, "empty").empty());
    EXPECT_TRUE(fStorage->GetObjectPropBlob(id, "missing").empty());
}

// --- deleting ---------------------------------------------------------------------------------------

class ObjectsStorageTreeTest : public ObjectsStorageTest {
protected:
    void SetUp() override {
        ObjectsStorageTest::SetUp();
        fRoot = fStorage->AddObject("searches", -1, "", false);
        fSearch = fStorage->AddObject("search", fRoot, "", true);
        fOther = fStorage->AddObject("search", fRoot, "", true);
        fAlert = fStorage->AddObject("alert", fSearch, "", true);
        fQuery = fStorage->AddObject("query", fAlert, "", true);
        for (int id : {fRoot, fSearch, fOther, fAlert, fQuery}) fStorage->SetObjectProp(id, "p", id);
    }
    std::int64_t PropsOf(int aID) {
        return DB().GetTableValue("select count(*) from props where object_id = ?", {aID});
    }
    int fRoot = 0, fSearch = 0, fOther = 0, fAlert = 0, fQuery = 0;
};

TEST_F(ObjectsStorageTreeTest, DeleteObjectRemovesTheSubtreeWithItsProperties) {
    fStorage->DeleteObject(fSearch, true);
    for (int id : {fSearch, fAlert, fQuery}) {
        EXPECT_FALSE(fStorage->ObjectExists(id));
        EXPECT_EQ(PropsOf(id), 0);
    }
    EXPECT_TRUE(fStorage->ObjectExists(fOther));
    EXPECT_EQ(PropsOf(fOther), 1);
}

TEST_F(ObjectsStorageTreeTest, NonRecursiveDeletesLeaveTheChildren) {
    fStorage->DeleteObject(fAlert, false);
    EXPECT_FALSE(fStorage->ObjectExists(fAlert));
    EXPECT_EQ(PropsOf(fAlert), 0);
    EXPECT_TRUE(fStorage->ObjectExists(fQuery));

    fStorage->DeleteObjects("search", fRoot, false);
    EXPECT_FALSE(fStorage->ObjectExists(fSearch));
    EXPECT_FALSE(fStorage->ObjectExists(fOther));
    EXPECT_EQ(PropsOf(fSearch), 0);
    EXPECT_TRUE(fStorage->ObjectExists(fRoot));
    EXPECT_TRUE(fStorage->ObjectExists(fQuery));
}

TEST_F(ObjectsStorageTreeTest, RecursiveDeleteObjectsTakesEveryDescendant) {
    fStorage->DeleteObjects("search", -1, true);
    EXPECT_EQ(fStorage->GetObjectsCount(), 1);
    EXPECT_TRUE(fStorage->ObjectExists(fRoot));
    EXPECT_EQ(DB().GetTableValue("select count(*) from props"), 1);
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
}

TEST_F(ObjectsStorageTest, DeleteSurvivesDeepTreesAndParentCycles) {
    int parent = fStorage->AddObject("chain", -1, "", true);
    const int top = parent;
    fStorage->BeginTransaction();
    for (int i = 0; i < 20000; ++i) parent = fStorage->AddObject("chain", parent, "", true);
    fStorage->Commit();
    // Damaged data: the top of the chain claims its own last descendant as parent.
    DB().ExecSQL("update objects set parent_id = ? where id = ?", {parent, top});
    fStorage->DeleteObject(top, true);
    EXPECT_EQ(fStorage->GetObjectsCount(), 0);
}

// --- transactions ---------------------------------------------------------------------------------------

TEST_F(ObjectsStorageTest, InnerRollBackOnlyLowersTheLevel) {
    const int id = fStorage->AddObject("o", -1, "", true);
    fStorage->BeginTransaction();
    fStorage->SetObjectProp(id, "outer", "1");
    fStorage->BeginTransaction();
    EXPECT_EQ(fStorage->TransactionLevel(), 2);
    fStorage->SetObjectProp(id, "inner", "2");
    fStorage->RollBack();
    EXPECT_EQ(fStorage->TransactionLevel(), 1);
    EXPECT_TRUE(DB().InTransaction());
    fStorage->Commit();
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    Reopen();
    EXPECT_EQ(fStorage->GetObjectPropText(id, "outer"), "1");
    EXPECT_EQ(fStorage->GetObjectPropText(id, "inner"), "2");
}

TEST_F(ObjectsStorageTest, OuterRollBackDiscardsEverythingInside) {
    const int id = fStorage->AddObject("o", -1, "", true);
    {
        TStorageTransaction outer(*fStorage);
        fStorage->SetObjectProp(id, "p", "lost");
        const int added = fStorage->AddObject("o2", -1, "", true);
        EXPECT_GT(added, 0);
        // leaving without Commit rolls back
    }
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    Reopen();
    EXPECT_FALSE(fStorage->ObjectPropExists(id, "p"));
    EXPECT_EQ(fStorage->GetObjectsCount(), 1);
}

TEST_F(ObjectsStorageTest, UnbalancedCallsDoNotDriveTheLevelNegative) {
    fStorage->Commit();
    fStorage->RollBack();
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    fStorage->BeginTransaction();
    EXPECT_EQ(fStorage->TransactionLevel(), 1);
    EXPECT_TRUE(DB().InTransaction());
    fStorage->Commit();
    EXPECT_FALSE(DB().InTransaction());
}

TEST_F(ObjectsStorageTest, FailedCommitIsReportedAndLeavesNoTransactionOpen) {
    // A deferred foreign key is checked only at COMMIT, which then fails.
    DB().ExecSQL(
        "PRAGMA foreign_keys = ON;"
        "CREATE TABLE parent_rows (id INTEGER PRIMARY KEY);"
        "CREATE TABLE child_rows (parent INTEGER REFERENCES parent_rows (id) DEFERRABLE INITIALLY DEFERRED);");
    const int kept = fStorage->AddObject("kept", -1, "", true);
    fStorage->BeginTransaction();
    fStorage->SetObjectProp(kept, "p", "in the failed transaction");
    DB().ExecSQL("insert into child_rows (parent) values (?)", {12345});
    EXPECT_THROW(fStorage->Commit(), ESQLiteError);
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    EXPECT_FALSE(DB().InTransaction());
    EXPECT_FALSE(fStorage->ObjectPropExists(kept, "p"));

    // Later writes commit on their own again.
    fStorage->SetObjectProp(kept, "p", "later");
    Reopen();
    EXPECT_EQ(fStorage->GetObjectPropText(kept, "p"), "later");
}

// --- failures of writes ------------------------------------------------------------------------------------

TEST_F(ObjectsStorageTest, WritesNeverRaiseOnAReadOnlyDatabase) {
    const int id = fStorage->AddObject("o", -1, "", true);
    fStorage->SetObjectProp(id, "p", "before");
    DB().ExecSQL("PRAGMA query_only = ON");

    EXPECT_EQ(fStorage->AddObject("new", -1, "", true), 0);
    EXPECT_EQ(fStorage->AddObject("o", -1, "", false), id);  // found, nothing to write
    EXPECT_NO_THROW(fStorage->SetObjectProp(id, "p", "after"));
    EXPECT_NO_THROW(fStorage->SetObjectProp(id, "blob", TBlob{1}));
    EXPECT_NO_THROW(fStorage->DeleteObject(id, true));
    EXPECT_NO_THROW(fStorage->DeleteObjects("o", -1, true));
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    EXPECT_FALSE(DB().InTransaction());
    EXPECT_EQ(fStorage->GetObjectPropText(id, "p"), "before");
    EXPECT_TRUE(fStorage->ObjectExists(id));

    DB().ExecSQL("PRAGMA query_only = OFF");
    EXPECT_GT(fStorage->AddObject("new", -1, "", true), 0);
}

TEST_F(ObjectsStorageTest, WritesNeverRaiseWhenTheTablesAreGone) {
    DB().ExecSQL("DROP TABLE objects");
    EXPECT_EQ(fStorage->AddObject("o", -1, "", false), 0);
    EXPECT_EQ(fStorage->AddObject("o", -1, "", true), 0);
    EXPECT_NO_THROW(fStorage->DeleteObject(1, true));
    EXPECT_NO_THROW(fStorage->DeleteObjects("o", -1, true));
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
    // Reads report the failure to their caller.
    EXPECT_THROW(fStorage->GetObjects("o", -1), ESQLiteError);
    EXPECT_THROW(fStorage->GetObjectsCount(), ESQLiteError);

    DB().ExecSQL("DROP TABLE props");
    EXPECT_NO_THROW(fStorage->SetObjectProp(1, "p", "v"));
    EXPECT_NO_THROW(fStorage->SetObjectProp(1, "p", TBlob{1, 2}));
    EXPECT_FALSE(fStorage->ObjectPropExists(1, "p"));
    EXPECT_THROW(fStorage->GetObjectPropText(1, "p"), ESQLiteError);
    EXPECT_EQ(fStorage->TransactionLevel(), 0);
}

TEST_F(ObjectsStorageTest, FailedWriteInsideAnOuterTransactionKeepsTheOthers) {
    const int id = fStorage->AddObject("o", -1, "", true);
    DB().ExecSQL("CREATE TRIGGER no_bad BEFORE INSERT ON objects WHEN NEW.type = 'bad' "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    fStorage->BeginTransaction();
    fStorage->SetObjectProp(id, "before", "1");
    EXPECT_EQ(fStorage->AddObject("bad", -1, "", true), 0);
    EXPECT_EQ(fStorage->TransactionLevel(), 1);
    fStorage->SetObjectProp(id, "after", "2");
    fStorage->Commit();
    Reopen();
    EXPECT_EQ(fStorage->GetObjectPropText(id, "before"), "1");
    EXPECT_EQ(fStorage->GetObjectPropText(id, "after"), "2");
    EXPECT_TRUE(fStorage->GetObjects("bad", -1).empty());
}

// --- threads ---------------------------------------------------------------------------------------------

TEST_F(ObjectsStorageTest, SeveralThreadsShareTheStorage) {
    constexpr int kThreads = 4;
    constexpr int kObjectsPerThread = 150;
    const int root = fStorage->AddObject("root", -1, "", false);
    std::atomic<int> failures{0};

    // One thread holds an outer transaction open while the others write: their writes run
    // inside it and are committed with it.
    fStorage->BeginTransaction();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kObjectsPerThread; ++i) {
                const int id = fStorage->AddObject("item", root, "", true);
                if (id <= 0) {
                    ++failures;
                    continue;
                }
                fStorage->SetObjectProp(id, "thread", t);
                fStorage->SetObjectProp(id, "index", i);
                if (fStorage->GetObjectPropInt(id, "thread", -1) != t) ++failures;
                if (i % 10 == 0) fStorage->DeleteObjects("scratch", id, true);
                (void)fStorage->GetObjects("item", root);
            }
        });
    for (std::thread& thread : threads) thread.join();
    fStorage->Commit();

    EXPECT_EQ(failures.load(), 0);
    Reopen();
    const TDBObjectList items = fStorage->GetObjects("item", root);
    ASSERT_EQ(items.size(), static_cast<std::size_t>(kThreads * kObjectsPerThread));
    std::set<std::pair<int, int>> seen;
    for (const IDBObject& item : items)
        seen.emplace(fStorage->GetObjectPropInt(item->GetID(), "thread", -1),
                     fStorage->GetObjectPropInt(item->GetID(), "index", -1));
    EXPECT_EQ(seen.size(), items.size());
    EXPECT_EQ(seen.begin()->first, 0);
    EXPECT_EQ(seen.rbegin()->first, kThreads - 1);
}

}  // namespace
}  // namespace trawlix
