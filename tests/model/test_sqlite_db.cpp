#include "model/sqlite_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "model/fixtures/sqlite_files.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

using test::CreateDatabase;
using test::TempDir;

class SQLiteDBTest : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDatabase(fFile, "CREATE TABLE t (i INTEGER, r REAL, s TEXT, b BLOB, v);");
        fDB = std::make_unique<TSQLiteDB>(fFile.string());
    }

    std::int64_t Count() { return fDB->GetTableValue("select count(*) from t"); }

    TempDir fDir;
    std::filesystem::path fFile = fDir / "test.db";
    std::unique_ptr<TSQLiteDB> fDB;
};

TEST_F(SQLiteDBTest, BindsEveryArgumentKindByPosition) {
    const TBlob bytes{0x00, 0xFF, 0x27, 0x00, 0x10};
    fDB->ExecSQL("insert into t (i, r, s, b, v) values (?, ?, ?, ?, ?)",
                 {42, 2.25, std::string("it's \"quoted\"\n\xE6\x9D\xB1"), bytes, nullptr});
    fDB->ExecSQL("insert into t (i, v) values (?, ?)", {std::int64_t{1} << 40, std::string("second")});

    TSQLiteQuery query = fDB->GetTable("select i, r, s, b, v from t order by rowid");
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsInteger(0), 42);
    EXPECT_DOUBLE_EQ(query.FieldAsDouble(1), 2.25);
    EXPECT_EQ(query.FieldAsString(2), "it's \"quoted\"\n\xE6\x9D\xB1");
    EXPECT_EQ(query.FieldAsBlob(3), bytes);
    EXPECT_TRUE(query.FieldIsNull(4));
    EXPECT_EQ(query.FieldAsString(4), "");

    query.Next();
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsInteger(0), std::int64_t{1} << 40);
    EXPECT_EQ(query.FieldAsString("V"), "second");
    EXPECT_TRUE(query.FieldIsNull(3));

    query.Next();
    EXPECT_TRUE(query.Eof());
    query.Next();  // stepping past the end stays at the end
    EXPECT_TRUE(query.Eof());
}

TEST_F(SQLiteDBTest, EmptyBlobIsStoredAsEmptyNotNull) {
    fDB->ExecSQL("insert into t (b) values (?)", {TBlob{}});
    EXPECT_EQ(fDB->GetTableString("select typeof(b) from t"), "blob");
    EXPECT_TRUE(fDB->GetTable("select b from t").FieldAsBlob(0).empty());
}

TEST_F(SQLiteDBTest, ArgumentsNeverBecomeStatementText) {
    const std::string hostile = "x'); drop table t; --";
    fDB->ExecSQL("insert into t (s) values (?)", {hostile});
    EXPECT_TRUE(fDB->TableExists("t"));
    EXPECT_EQ(fDB->GetTableString("select s from t"), hostile);
}

TEST_F(SQLiteDBTest, ColumnsAreFoundByNameWithoutRegardToCase) {
    fDB->ExecSQL("insert into t (i, s) values (7, 'seven')");
    TSQLiteQuery query = fDB->GetTable("select i as Number, s from t");
    EXPECT_EQ(query.ColumnCount(), 2);
    EXPECT_EQ(query.FieldIndex("number"), 0);
    EXPECT_EQ(query.FieldIndex("S"), 1);
    EXPECT_TRUE(query.FieldExists("NUMBER"));
    EXPECT_FALSE(query.FieldExists("missing"));
    EXPECT_EQ(query.FieldAsInteger("Number"), 7);
    EXPECT_THROW(query.FieldAsString("missing"), ESQLiteError);
}

TEST_F(SQLiteDBTest, FirstValueQueriesFallBackToTheirDefault) {
    EXPECT_EQ(fDB->GetTableValue("select i from t", {}, -5), -5);
    EXPECT_EQ(fDB->GetTableString("select s from t", {}, "none"), "none");
    fDB->ExecSQL("insert into t (i, s) values (3, 'a'), (9, 'b')");
    EXPECT_EQ(fDB->GetTableValue("select i from t where s = ?", {std::string("b")}, -5), 9);
    EXPECT_EQ(fDB->GetTableString("select s from t order by i desc", {}, "none"), "b");
}

TEST_F(SQLiteDBTest, TableExistsIgnoresCaseAndOnlyCountsTables) {
    fDB->ExecSQL("CREATE VIEW some_view AS SELECT * FROM t; CREATE INDEX t_i ON t (i);");
    EXPECT_TRUE(fDB->TableExists("t"));
    EXPECT_TRUE(fDB->TableExists("T"));
    EXPECT_FALSE(fDB->TableExists("some_view"));
    EXPECT_FALSE(fDB->TableExists("t_i"));
    EXPECT_FALSE(fDB->TableExists("it's"));
}

TEST_F(SQLiteDBTest, TransactionsCommitOrRollBack) {
    fDB->BeginTransaction();
    EXPECT_TRUE(fDB->InTransaction());
    fDB->ExecSQL("insert into t (i) values (1)");
    fDB->Rollback();
    EXPECT_FALSE(fDB->InTransaction());
    EXPECT_EQ(Count(), 0);

    fDB->BeginTransaction();
    fDB->ExecSQL("insert into t (i) values (1)");
    fDB->Commit();
    fDB.reset();
    fDB = std::make_unique<TSQLiteDB>(fFile.string());
    EXPECT_EQ(Count(), 1);
}

TEST_F(SQLiteDBTest, ErrorsCarrySQLiteMessageAndCode) {
    struct Case {
        const char* sql;
        const char* message;
        int code;
    };
    const Case cases[] = {
        {"selec 1", "near \"selec\": syntax error", SQLITE_ERROR},
        {"select * from nowhere", "no such table: nowhere", SQLITE_ERROR},
        {"COMMIT", "cannot commit - no transaction is active", SQLITE_ERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        try {
            fDB->ExecSQL(c.sql);
            ADD_FAILURE() << "no error raised";
        } catch (const ESQLiteError& error) {
            EXPECT_STREQ(error.what(), c.message);
            EXPECT_EQ(error.Code() & 0xFF, c.code);
        }
    }
    fDB->ExecSQL("CREATE UNIQUE INDEX t_unique ON t (i)");
    fDB->ExecSQL("insert into t (i) values (?)", {1});
    try {
        fDB->ExecSQL("insert into t (i) values (?)", {1});
        ADD_FAILURE() << "no error raised";
    } catch (const ESQLiteError& error) {
        EXPECT_EQ(error.Code(), SQLITE_CONSTRAINT_UNIQUE);
        EXPECT_STREQ(error.what(), "UNIQUE constraint failed: t.i");
    }
}

TEST_F(SQLiteDBTest, ArgumentCountMustMatchTheParameters) {
    EXPECT_THROW(fDB->ExecSQL("insert into t (i, s) values (?, ?)", {1}), ESQLiteError);
    EXPECT_THROW(fDB->ExecSQL("insert into t (i) values (?)", {1, 2}), ESQLiteError);
    EXPECT_THROW(fDB->GetTable("select 1", {1}), ESQLiteError);
    EXPECT_EQ(Count(), 0);
}

TEST_F(SQLiteDBTest, ScriptsWithoutArgumentsRunEveryStatement) {
    fDB->ExecSQL("insert into t (i) values (1); insert into t (i) values (2);");
    EXPECT_EQ(Count(), 2);
    TSQLiteQuery blank = fDB->GetTable("  ");
    EXPECT_TRUE(blank.Eof());
}

TEST_F(SQLiteDBTest, MovedQueryKeepsItsRow) {
    fDB->ExecSQL("insert into t (i) values (5), (6)");
    TSQLiteQuery first = fDB->GetTable("select i from t order by i");
    TSQLiteQuery moved(std::move(first));
    EXPECT_TRUE(first.Eof());  // NOLINT(bugprone-use-after-move): the moved-from query is empty by design
    ASSERT_FALSE(moved.Eof());
    EXPECT_EQ(moved.FieldAsInteger(0), 5);
    moved.Next();
    EXPECT_EQ(moved.FieldAsInteger(0), 6);
}

TEST(SQLiteDBOpenTest, MissingFileIsAnErrorAndIsNotCreated) {
    TempDir dir;
    const auto path = dir / "absent.db";
    EXPECT_THROW(TSQLiteDB db(path.string()), ESQLiteError);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SQLiteDBOpenTest, FileThatIsNotADatabaseIsRefusedOnOpen) {
    TempDir dir;
    const auto path = dir / "garbage.db";
    test::WriteFile(path, std::string(4096, 'x'));
    try {
        TSQLiteDB db(path.string());
        FAIL() << "opened a file that is not a database";
    } catch (const ESQLiteError& error) {
        EXPECT_STREQ(error.what(), "file is not a database");
        EXPECT_EQ(error.Code(), SQLITE_NOTADB);
    }
}

}  // namespace
}  // namespace trawlix
