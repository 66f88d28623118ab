#include "model/sqlite_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace trawlix {

namespace {

// The connection is shared by several threads; holding its own mutex between a failing
// call and sqlite3_errmsg keeps another thread from replacing the message in between.
class TConnectionLock {
public:
    explicit TConnectionLock(sqlite3* aDB) : fMutex(aDB ? sqlite3_db_mutex(aDB) : nullptr) { sqlite3_mutex_enter(fMutex); }
    ~TConnectionLock() { sqlite3_mutex_leave(fMutex); }
    TConnectionLock(const TConnectionLock&) = delete;
    TConnectionLock& operator=(const TConnectionLock&) = delete;

private:
    sqlite3_mutex* fMutex;
};

[[noreturn]] void RaiseLastError(sqlite3* aDB) {
    throw ESQLiteError(sqlite3_errmsg(aDB), sqlite3_extended_errcode(aDB));
}

void Check(sqlite3* aDB, int aResult) {
    if (aResult != SQLITE_OK) RaiseLastError(aDB);
}

struct TArgBinder {
    sqlite3_stmt* fStmt;
    int fPosition;

    int operator()(std::nullptr_t) const { return sqlite3_bind_null(fStmt, fPosition); }
    int operator()(int aValue) const { return sqlite3_bind_int(fStmt, fPosition, aValue); }
    int operator()(std::int64_t aValue) const { return sqlite3_bind_int64(fStmt, fPosition, aValue); }
    int operator()(double aValue) const { return sqlite3_bind_double(fStmt, fPosition, aValue); }
    int operator()(const std::string& aValue) const {
        return sqlite3_bind_text64(fStmt, fPosition, aValue.data(), aValue.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    int operator()(const TBlob& aValue) const {
        // An empty vector may have no storage; SQLite still needs a non-null pointer for a
        // zero-length blob, otherwise it stores NULL instead of an empty stream.
        static const std::uint8_t kEmpty = 0;
        const void* data = aValue.empty() ? &kEmpty : aValue.data();
        return sqlite3_bind_blob64(fStmt, fPosition, data, aValue.size(), SQLITE_TRANSIENT);
    }
};

// Prepares exactly one statement; text after it (other than blanks) is ignored by SQLite,
// so callers that pass arguments must give a single statement.
sqlite3_stmt* Prepare(sqlite3* aDB, const std::string& aSQL) {
    sqlite3_stmt* stmt = nullptr;
    TConnectionLock lock(aDB);
    if (sqlite3_prepare_v2(aDB, aSQL.c_str(), static_cast<int>(aSQL.size()), &stmt, nullptr) != SQLITE_OK)
        RaiseLastError(aDB);
    return stmt;
}

void BindAll(sqlite3* aDB, sqlite3_stmt* aStmt, const TSQLArgs& aArgs) {
    const int expected = aStmt ? sqlite3_bind_parameter_count(aStmt) : 0;
    if (static_cast<int>(aArgs.size()) != expected)
        throw ESQLiteError("The statement takes " + std::to_string(expected) + " argument(s) but " +
                               std::to_string(aArgs.size()) + " were given",
                           SQLITE_RANGE);
    for (std::size_t i = 0; i < aArgs.size(); ++i) {
        TConnectionLock lock(aDB);
        Check(aDB, std::visit(TArgBinder{aStmt, static_cast<int>(i) + 1}, aArgs[i]));
    }
}

std::string AsciiLower(std::string aText) {
    std::transform(aText.begin(), aText.end(), aText.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return aText;
}

}  // namespace

// --- TSQLiteQuery ------------------------------------------------------------------

TSQLiteQuery::TSQLiteQuery(sqlite3* aDB, const std::string& aSQL, const TSQLArgs& aArgs) : fDB(aDB) {
    fStmt = Prepare(aDB, aSQL);
    try {
        BindAll(aDB, fStmt, aArgs);
        Step();
    } catch (...) {
        sqlite3_finalize(fStmt);
        fStmt = nullptr;
        throw;
    }
}

TSQLiteQuery::~TSQLiteQuery() { sqlite3_finalize(fStmt); }

TSQLiteQuery::TSQLiteQuery(TSQLiteQuery&& aOther) noexcept
    : fDB(aOther.fDB), fStmt(aOther.fStmt), fEof(aOther.fEof) {
    aOther.fStmt = nullptr;
    aOther.fEof = true;
}

void TSQLiteQuery::Next() {
    if (!fEof) Step();
}

void TSQLiteQuery::Step() {
    if (!fStmt) {  // blank statement text: no rows at all
        fEof = true;
        return;
    }
    TConnectionLock lock(fDB);
    const int result = sqlite3_step(fStmt);
    if (result == SQLITE_ROW) {
        fEof = false;
    } else if (result == SQLITE_DONE) {
        fEof = true;
    } else {
        fEof = true;
        RaiseLastError(fDB);
    }
}

int TSQLiteQuery::ColumnCount() const { return fStmt ? sqlite3_column_count(fStmt) : 0; }

int TSQLiteQuery::FieldIndex(const std::string& aName) const {
    const std::string wanted = AsciiLower(aName);
    for (int i = 0; i < ColumnCount(); ++i) {
        const char* name = sqlite3_column_name(fStmt, i);
        if (name && AsciiLower(name) == wanted) return i;
    }
    return -1;
}

int TSQLiteQuery::RequireField(const std::string& aName) const {
    const int index = FieldIndex(aName);
    if (index < 0) throw ESQLiteError("no such column: " + aName, SQLITE_RANGE);
    return index;
}

bool TSQLiteQuery::FieldIsNull(int aIndex) const {
    return fEof || sqlite3_column_type(fStmt, aIndex) == SQLITE_NULL;
}

std::string TSQLiteQuery::FieldAsString(int aIndex) const { return std::string(FieldAsView(aIndex)); }

std::string_view TSQLiteQuery::FieldAsView(int aIndex) const {
    if (fEof) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(fStmt, aIndex));
    if (!text) return {};
    return std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(fStmt, aIndex)));
}

std::int64_t TSQLiteQuery::FieldAsInteger(int aIndex) const {
    return fEof ? 0 : sqlite3_column_int64(fStmt, aIndex);
}

double TSQLiteQuery::FieldAsDouble(int aIndex) const { return fEof ? 0.0 : sqlite3_column_double(fStmt, aIndex); }

TBlob TSQLiteQuery::FieldAsBlob(int aIndex) const {
    if (fEof) return {};
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(fStmt, aIndex));
    const int size = sqlite3_column_bytes(fStmt, aIndex);
    if (!data || size <= 0) return {};
    return TBlob(data, data + size);
}

// --- TSQLiteDB -----------------------------------------------------------------------

bool ESQLiteError::IsBusy() const {
    const int primary = fCode & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool ESQLiteError::NeedsRollbackByWriter() const { return fCode == SQLITE_READONLY_ROLLBACK; }

TSQLiteDB::TSQLiteDB(const std::string& aFileName, int aBusyTimeoutMs, TAccess aAccess) : fFileName(aFileName) {
    // Never create: a missing database is an error of the caller, not a new empty file.
    const int flags =
        (aAccess == TAccess::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX;
    const int result = sqlite3_open_v2(aFileName.c_str(), &fDB, flags, nullptr);
    if (result != SQLITE_OK) {
        const std::string message = fDB ? sqlite3_errmsg(fDB) : sqlite3_errstr(result);
        const int code = fDB ? sqlite3_extended_errcode(fDB) : result;
        sqlite3_close_v2(fDB);
        fDB = nullptr;
        throw ESQLiteError(message, code);
    }
    sqlite3_extended_result_codes(fDB, 1);
    // Other programs (a second instance, the sqlite3 shell) may hold the file briefly.
    sqlite3_busy_timeout(fDB, aBusyTimeoutMs);
    try {
        // SQLite opens lazily; reading the schema now makes a file that is not a database
        // fail here rather than at some later statement.
        GetTableValue("select count(*) from sqlite_master");
    } catch (...) {
        sqlite3_close_v2(fDB);
        fDB = nullptr;
        throw;
    }
}

TSQLiteDB::~TSQLiteDB() { sqlite3_close_v2(fDB); }

void TSQLiteDB::ExecSQL(const std::string& aSQL, const TSQLArgs& aArgs) {
    if (aArgs.empty()) {
        // Without arguments the text may be a whole script of statements.
        char* error = nullptr;
        TConnectionLock lock(fDB);
        if (sqlite3_exec(fDB, aSQL.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(fDB);
            sqlite3_free(error);
            throw ESQLiteError(message, sqlite3_extended_errcode(fDB));
        }
        return;
    }
    TSQLiteQuery query(fDB, aSQL, aArgs);
    while (!query.Eof()) query.Next();
}

TSQLiteQuery TSQLiteDB::GetTable(const std::string& aSQL, const TSQLArgs& aArgs) {
    return TSQLiteQuery(fDB, aSQL, aArgs);
}

std::int64_t TSQLiteDB::GetTableValue(const std::string& aSQL, const TSQLArgs& aArgs, std::int64_t aDefault) {
    TSQLiteQuery query(fDB, aSQL, aArgs);
    return query.Eof() ? aDefault : query.FieldAsInteger(0);
}

std::string TSQLiteDB::GetTableString(const std::string& aSQL, const TSQLArgs& aArgs, const std::string& aDefault) {
    TSQLiteQuery query(fDB, aSQL, aArgs);
    return query.Eof() ? aDefault : query.FieldAsString(0);
}

bool TSQLiteDB::TableExists(const std::string& aName) {
    TSQLiteQuery query(fDB, "select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                       {AsciiLower(aName)});
    return !query.Eof();
}

std::string TSQLiteDB::QuickCheck() {
    TSQLiteQuery query(fDB, "PRAGMA quick_check", {});
    if (query.Eof()) return "no answer from the check";
    const std::string first = query.FieldAsString(0);
    return first == "ok" ? std::string() : first;
}

void TSQLiteDB::BeginTransaction() { ExecSQL("BEGIN TRANSACTION"); }

void TSQLiteDB::Commit() { ExecSQL("COMMIT"); }

void TSQLiteDB::Rollback() { ExecSQL("ROLLBACK"); }

bool TSQLiteDB::InTransaction() const { return sqlite3_get_autocommit(fDB) == 0; }

}  // namespace trawlix
