#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace trawlix {

using TBlob = std::vector<std::uint8_t>;

// Every SQLite failure surfaces as this exception, with SQLite's own message.
class ESQLiteError : public std::runtime_error {
public:
    ESQLiteError(const std::string& aMessage, int aCode) : std::runtime_error(aMessage), fCode(aCode) {}
    int Code() const { return fCode; }
    // Another connection holds a lock on the file: the data is fine, only not available now.
    bool IsBusy() const;
    // A connection that may only read met a save cut short, which only a writer can undo.
    bool NeedsRollbackByWriter() const;

private:
    int fCode;
};

// One positional argument of a statement.
using TSQLArg = std::variant<std::nullptr_t, int, std::int64_t, double, std::string, TBlob>;
using TSQLArgs = std::vector<TSQLArg>;

// A prepared statement stepped row by row. Columns are read by index or by name.
class TSQLiteQuery {
public:
    TSQLiteQuery(sqlite3* aDB, const std::string& aSQL, const TSQLArgs& aArgs);
    ~TSQLiteQuery();
    TSQLiteQuery(TSQLiteQuery&& aOther) noexcept;
    TSQLiteQuery(const TSQLiteQuery&) = delete;
    TSQLiteQuery& operator=(const TSQLiteQuery&) = delete;
    TSQLiteQuery& operator=(TSQLiteQuery&&) = delete;

    // True once the query has no current row (an empty result, or stepped past the last
    // row); while false the Field* readers see the current row. Next moves to the following row.
    bool Eof() const { return fEof; }
    void Next();

    int ColumnCount() const;
    int FieldIndex(const std::string& aName) const;  // -1 when the column does not exist
    bool FieldExists(const std::string& aName) const { return FieldIndex(aName) >= 0; }
    bool FieldIsNull(int aIndex) const;

    std::string FieldAsString(int aIndex) const;
    // The current row's text without a copy; valid until the query moves on.
    std::string_view FieldAsView(int aIndex) const;
    std::int64_t FieldAsInteger(int aIndex) const;
    double FieldAsDouble(int aIndex) const;
    TBlob FieldAsBlob(int aIndex) const;

    std::string FieldAsString(const std::string& aName) const { return FieldAsString(RequireField(aName)); }
    std::int64_t FieldAsInteger(const std::string& aName) const { return FieldAsInteger(RequireField(aName)); }
    double FieldAsDouble(const std::string& aName) const { return FieldAsDouble(RequireField(aName)); }
    TBlob FieldAsBlob(const std::string& aName) const { return FieldAsBlob(RequireField(aName)); }

private:
    int RequireField(const std::string& aName) const;
    void Step();

    sqlite3* fDB = nullptr;
    sqlite3_stmt* fStmt = nullptr;
    bool fEof = true;
};

// The database file: statements with positional arguments, queries, transactions.
class TSQLiteDB {
public:
    static constexpr int cDefaultBusyTimeoutMs = 5000;

    enum class TAccess { ReadWrite, ReadOnly };
    // aBusyTimeoutMs: how long a statement waits for another program's lock before it fails.
    // ReadOnly: the connection cannot change the file, whatever statement it is given.
    explicit TSQLiteDB(const std::string& aFileName, int aBusyTimeoutMs = cDefaultBusyTimeoutMs,
                       TAccess aAccess = TAccess::ReadWrite);
    ~TSQLiteDB();
    TSQLiteDB(const TSQLiteDB&) = delete;
    TSQLiteDB& operator=(const TSQLiteDB&) = delete;

    void ExecSQL(const std::string& aSQL, const TSQLArgs& aArgs = {});
    TSQLiteQuery GetTable(const std::string& aSQL, const TSQLArgs& aArgs = {});
    // First column of the first row, or the default when there is no row.
    std::int64_t GetTableValue(const std::string& aSQL, const TSQLArgs& aArgs = {}, std::int64_t aDefault = 0);
    std::string GetTableString(const std::string& aSQL, const TSQLArgs& aArgs = {},
                               const std::string& aDefault = {});
    bool TableExists(const std::string& aName);
    // SQLite's structural check of the whole file ("PRAGMA quick_check"): empty when the file
    // is sound, else SQLite's first complaint.
    std::string QuickCheck();

    void BeginTransaction();
    void Commit();
    void Rollback();
    // True while a transaction is open on the connection (SQLite may end one by itself
    // after some errors, so the answer comes from SQLite, not from our own bookkeeping).
    bool InTransaction() const;

    sqlite3* Handle() const { return fDB; }
    const std::string& FileName() const { return fFileName; }

private:
    sqlite3* fDB = nullptr;
    std::string fFileName;
};

}  // namespace trawlix
