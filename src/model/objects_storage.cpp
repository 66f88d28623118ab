#include "model/objects_storage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "model/version.h"

namespace trawlix {

namespace {

const char* const kGlobalPropsTable = "CREATE TABLE global_props (id INTEGER PRIMARY KEY, name TEXT, value TEXT);";
const char* const kReplyHistoryTable =
    "CREATE TABLE email_reply_history (id INTEGER PRIMARY KEY, user_id NUMERIC, timestamp NUMERIC, "
    "source TEXT, dest TEXT, msg_subject TEXT, msg_body TEXT, ad_url TEXT);";

constexpr char kEscapedApostrophe = '\x01';
constexpr char kEscapedQuote = '\x02';

std::string Quoted(const std::string& aPath) { return "\"" + aPath + "\""; }

void RequireNonEmptyFile(const std::string& aFileName) {
    std::error_code error;
    const auto status = std::filesystem::status(aFileName, error);
    if (error || !std::filesystem::exists(status))
        throw std::runtime_error("The file " + Quoted(aFileName) + " does not exist.");
    const auto size = std::filesystem::file_size(aFileName, error);
    if (!error && size == 0) throw std::runtime_error("The file " + Quoted(aFileName) + " is 0 at  size.");
}

// The program never creates these tables; without them nothing can be stored, so such a
// file is refused at once and the caller can fall back to its backup.
void RequireObjectTables(TSQLiteDB& aDB) {
    for (const char* table : {"objects", "props", "entries"})
        if (!aDB.TableExists(table))
            throw std::runtime_error("The file " + Quoted(aDB.FileName()) + " is not a Trawlix database.");
}

// A damaged page can still open and even answer some queries, while the rows on it are
// silently missing; checking the structure first keeps such a file from being used (and
// from being copied over a good backup).
void RequireSoundFile(TSQLiteDB& aDB) {
    std::string complaint;
    try {
        complaint = aDB.QuickCheck();
    } catch (const ESQLiteError& e) {
        if (e.IsBusy()) throw;
        complaint = e.what();
    }
    if (!complaint.empty())
        throw EDatabaseDamaged("The file " + Quoted(aDB.FileName()) + " is damaged: " + complaint);
}

std::string_view Trimmed(std::string_view aText) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!aText.empty() && isBlank(aText.front())) aText.remove_prefix(1);
    while (!aText.empty() && isBlank(aText.back())) aText.remove_suffix(1);
    return aText;
}

template <typename TNumber>
std::optional<TNumber> ParseWhole(std::string_view aText) {
    aText = Trimmed(aText);
    // from_chars refuses a leading plus sign, which older files may carry.
    if (aText.size() > 1 && aText.front() == '+' && aText[1] != '-') aText.remove_prefix(1);
    TNumber value{};
    const char* end = aText.data() + aText.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<TNumber>)
        result = std::from_chars(aText.data(), end, value, std::chars_format::general);
    else
        result = std::from_chars(aText.data(), end, value);
    if (aText.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::optional<double> ParseStoredFloat(const std::string& aText) {
    std::string normalised = aText;
    std::replace(normalised.begin(), normalised.end(), ',', '.');
    return ParseWhole<double>(normalised);
}

// "8.53" -> 853: the stored version with its separators removed, read as an integer.
int VersionNumber(std::string aText) {
    std::erase_if(aText, [](char c) { return c == '.' || c == ','; });
    const auto number = ParseWhole<int>(aText);
    if (!number) throw std::invalid_argument("'" + aText + "' is not a valid version number");
    return *number;
}

int ToObjectID(std::int64_t aValue) {
    if (aValue < std::numeric_limits<int>::min() || aValue > std::numeric_limits<int>::max())
        throw std::out_of_range("Object id " + std::to_string(aValue) + " is out of range");
    return static_cast<int>(aValue);
}

// The selection shared by GetObjects and DeleteObjects: a parent of 0 or less and an
// empty type each mean "any".
struct TObjectsCondition {
    std::string fWhere;  // " where ..." or empty
    TSQLArgs fArgs;
};

TObjectsCondition ObjectsCondition(const std::string& aType, int aParentID) {
    std::vector<std::string> parts;
    TObjectsCondition condition;
    if (aParentID > 0) {
        parts.emplace_back("(parent_id = ?)");
        condition.fArgs.emplace_back(aParentID);
    }
    if (!aType.empty()) {
        parts.emplace_back("(type = ?)");
        condition.fArgs.emplace_back(aType);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) condition.fWhere += (i == 0 ? " where " : " and ") + parts[i];
    return condition;
}

}  // namespace

// --- encodings -------------------------------------------------------------------------

std::string EscapeSQL(const std::string& aText) {
    std::string result = aText;
    for (char& c : result) {
        if (c == '\'') c = kEscapedApostrophe;
        else if (c == '"') c = kEscapedQuote;
    }
    return result;
}

std::string UnEscapeSQL(const std::string& aText) {
    std::string result = aText;
    UnEscapeSQLInPlace(result);
    return result;
}

void UnEscapeSQLInPlace(std::string& aText) {
    for (char& c : aText) {
        if (c == kEscapedApostrophe) c = '\'';
        else if (c == kEscapedQuote) c = '"';
    }
}

bool HasSQLEscapes(std::string_view aText) {
    // Two scans for one character each are much faster than one for either of two.
    return aText.find(kEscapedApostrophe) != std::string_view::npos ||
           aText.find(kEscapedQuote) != std::string_view::npos;
}

std::string BoolToStorageText(bool aValue) { return aValue ? "-1" : "0"; }

bool StorageTextToBool(const std::string& aText) {
    std::string word(Trimmed(aText));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (word == "true") return true;
    if (word == "false") return false;
    // "nan" and "inf" are not numbers a writer of this file ever meant as a boolean.
    const auto number = ParseStoredFloat(word);
    return number && std::isfinite(*number) && *number != 0.0;
}

std::string FloatToStorageText(double aValue) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, aValue, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

double StorageTextToFloat(const std::string& aText) { return ParseStoredFloat(aText).value_or(0.0); }

// --- opening and upgrading ---------------------------------------------------------------

TObjectsStorage::TObjectsStorage(const std::string& aFileName, int aBusyTimeoutMs, TSQLiteDB::TAccess aAccess) {
    RequireNonEmptyFile(aFileName);
    fSQLLiteDB = std::make_unique<TSQLiteDB>(aFileName, aBusyTimeoutMs, aAccess);
    RequireSoundFile(*fSQLLiteDB);
    RequireObjectTables(*fSQLLiteDB);
    if (aAccess == TSQLiteDB::TAccess::ReadWrite) UpgradeSchema();
}

TObjectsStorage::~TObjectsStorage() = default;

// One transaction of its own, outside the counter; any failure leaves the file as it was
// and the upgrade is simply tried again on the next start.
void TObjectsStorage::UpgradeSchema() {
    TSQLiteDB& db = *fSQLLiteDB;
    try {
        db.BeginTransaction();
        ApplyUpgradeSteps();
        db.Commit();
    } catch (const std::exception&) {
        try {
            if (db.InTransaction()) db.Rollback();
        } catch (const std::exception&) {
            // Closing the connection discards whatever is left open.
        }
    }
}

void TObjectsStorage::ApplyUpgradeSteps() {
    TSQLiteDB& db = *fSQLLiteDB;
    if (!db.TableExists("global_props")) {
        db.ExecSQL(kGlobalPropsTable);
        db.ExecSQL("ALTER TABLE entries ADD COLUMN description TEXT;");
    }
    // Added beside the version steps, so that files of this version made before them gain them too.
    for (const char* column : {"price_was", "duplicate_of", "contact", "no_contact", "place", "latitude", "longitude",
                               "pictures", "picture_hash"})
        if (!db.GetTable(std::string("select * from entries limit 0"), {}).FieldExists(column))
            db.ExecSQL(std::string("ALTER TABLE entries ADD COLUMN ") + column + " TEXT;");
    const int version = VersionNumber(
        db.GetTableString("select value from global_props where name = 'version' order by value desc", {}, "0.00"));
    if (version >= kVersionNumber) return;
    if (version < 736) db.ExecSQL("ALTER TABLE entries ADD COLUMN replied TEXT;");
    if (version <= 800 && !db.TableExists("email_reply_history")) db.ExecSQL(kReplyHistoryTable);
    if (version < 826) {
        db.ExecSQL("ALTER TABLE entries ADD COLUMN image_url TEXT;");
        db.ExecSQL("ALTER TABLE entries ADD COLUMN original_image BLOB;");
        db.ExecSQL("ALTER TABLE entries ADD COLUMN resized_image BLOB;");
    }
    db.ExecSQL("insert into global_props (name, value) values ('version', ?)", {std::string(kVersion)});
}

// --- counted transactions ------------------------------------------------------------------

void TObjectsStorage::BeginTransaction() {
    TCLock lock(fCriticalSection);
    TCLock levelLock(fTransactionCriticalSection);
    // The level only rises once SQLite has really opened the transaction.
    if (fTransactionLevel == 0) fSQLLiteDB->BeginTransaction();
    ++fTransactionLevel;
}

void TObjectsStorage::Commit() {
    TCLock lock(fCriticalSection);
    TCLock levelLock(fTransactionCriticalSection);
    if (fTransactionLevel <= 0) return;  // nothing open: an unbalanced call must not drive the level negative
    if (--fTransactionLevel > 0) return;
    try {
        fSQLLiteDB->Commit();
    } catch (const std::exception&) {
        // The level is already 0; a transaction left open now would swallow every later
        // write, so it is abandoned and the caller learns that nothing was saved.
        if (fSQLLiteDB->InTransaction()) DiscardOpenTransaction();
        throw;
    }
}

void TObjectsStorage::RollBack() noexcept {
    TCLock lock(fCriticalSection);
    TCLock levelLock(fTransactionCriticalSection);
    if (fTransactionLevel <= 0) return;
    if (--fTransactionLevel > 0) return;
    // SQLite ends the transaction by itself after some errors (disk full, I/O).
    if (fSQLLiteDB->InTransaction()) DiscardOpenTransaction();
}

// Called from error paths and destructors, where a second error has nowhere to go.
void TObjectsStorage::DiscardOpenTransaction() noexcept {
    try {
        fSQLLiteDB->Rollback();
    } catch (const std::exception&) {
    }
}

int TObjectsStorage::TransactionLevel() const {
    TCLock levelLock(fTransactionCriticalSection);
    return fTransactionLevel;
}

int TObjectsStorage::FailedWrites() const {
    TCLock levelLock(fTransactionCriticalSection);
    return fFailedWrites;
}

std::string TObjectsStorage::LastWriteError() const {
    TCLock levelLock(fTransactionCriticalSection);
    return fLastWriteError;
}

void TObjectsStorage::NoteFailedWrite(const char* aReason) noexcept {
    TCLock levelLock(fTransactionCriticalSection);
    ++fFailedWrites;
    try {
        fLastWriteError = aReason;
    } catch (...) {
    }
}

namespace {
// Groups of writes open on this thread.
thread_local int tWriteGroups = 0;
}  // namespace

void TObjectsStorage::EnterWriteGroup() noexcept { ++tWriteGroups; }
void TObjectsStorage::LeaveWriteGroup() noexcept { --tWriteGroups; }

bool TObjectsStorage::TryWrite(const std::function<void()>& aWork) {
    TCLock lock(fCriticalSection);
    std::string failure;
    try {
        BeginTransaction();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (failure.empty()) {
        try {
            aWork();
        } catch (const std::exception& e) {
            failure = e.what();
            RollBack();
        }
    }
    if (failure.empty()) {
        try {
            Commit();
            return true;
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    NoteFailedWrite(failure.c_str());
    if (tWriteGroups > 0) throw EStorageWriteError(failure);
    return false;
}

// --- objects ---------------------------------------------------------------------------------

int TObjectsStorage::AddObject(const std::string& aType, int aParentID, const std::string& aData,
                               bool aAddIfTypeExists) {
    int id = 0;
    const bool written = TryWrite([&] {
        if (!aAddIfTypeExists) {
            id = FindObjectOfType(aType, aParentID);
            if (id > 0) return;
        }
        fSQLLiteDB->ExecSQL("insert into objects (parent_id, type, data) values (?, ?, ?)",
                            {aParentID, aType, EscapeSQL(aData)});
        // max(id) rather than the connection's last insert id: statements on the fixed
        // tables run on the same connection without the storage lock.
        id = ToObjectID(fSQLLiteDB->GetTableValue("select max(id) from objects"));
    });
    return written ? id : 0;
}

int TObjectsStorage::FindObjectOfType(const std::string& aType, int aParentID) {
    if (aParentID <= 0)
        return ToObjectID(fSQLLiteDB->GetTableValue("select id from objects where type = ? order by id", {aType}));
    return ToObjectID(fSQLLiteDB->GetTableValue(
        "select id from objects where (type = ?) and (parent_id = ?) order by id", {aType, aParentID}));
}

bool TObjectsStorage::ObjectExists(int aID) {
    TCLock lock(fCriticalSection);
    return fSQLLiteDB->GetTableValue("select count(*) from objects where id = ?", {aID}) > 0;
}

TDBObjectList TObjectsStorage::GetObjects(const std::string& aType, int aParentID) {
    return SelectObjects(aType, aParentID, "");
}

IDBObject TObjectsStorage::GetObject(const std::string& aType, int aParentID) {
    TDBObjectList objects = SelectObjects(aType, aParentID, " limit 1");
    return objects.empty() ? nullptr : objects.front();
}

TDBObjectList TObjectsStorage::SelectObjects(const std::string& aType, int aParentID, const std::string& aLimit) {
    TCLock lock(fCriticalSection);
    const TObjectsCondition condition = ObjectsCondition(aType, aParentID);
    TSQLiteQuery query = fSQLLiteDB->GetTable(
        "select id, parent_id, type, data from objects" + condition.fWhere + " order by id" + aLimit, condition.fArgs);
    TDBObjectList objects;
    for (; !query.Eof(); query.Next())
        objects.push_back(std::make_shared<TDBObject>(this, ToObjectID(query.FieldAsInteger(0)),
                                                      ToObjectID(query.FieldAsInteger(1)), query.FieldAsString(2),
                                                      UnEscapeSQL(query.FieldAsString(3))));
    return objects;
}

bool TObjectsStorage::CompactWhenWasteful() {
    const std::int64_t freePages = fSQLLiteDB->GetTableValue("PRAGMA freelist_count");
    const std::int64_t pages = fSQLLiteDB->GetTableValue("PRAGMA page_count");
    if (freePages * 4 <= pages) return false;
    fSQLLiteDB->ExecSQL("VACUUM");
    return true;
}

int TObjectsStorage::GetObjectsCount() {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fSQLLiteDB->GetTableValue("select count(*) from objects"));
}

void TObjectsStorage::DeleteObject(int aID, bool aRecursive) {
    TryWrite([&] { DeleteObjectRows(aID, aRecursive); });
}

void TObjectsStorage::DeleteObjects(const std::string& aType, int aParentID, bool aRecursive) {
    TryWrite([&] {
        const TObjectsCondition condition = ObjectsCondition(aType, aParentID);
        if (aRecursive)
            for (int id : SelectIDs("select id from objects" + condition.fWhere, condition.fArgs))
                DeleteObjectRows(id, true);
        fSQLLiteDB->ExecSQL("delete from props where object_id in (select id from objects" + condition.fWhere + ")",
                            condition.fArgs);
        fSQLLiteDB->ExecSQL("delete from objects" + condition.fWhere, condition.fArgs);
    });
}

// Walks the subtree with a work list instead of recursion, so a deep or damaged tree
// cannot exhaust the stack; each row is gone before its children are looked up, so a
// parent cycle in the stored data ends too.
void TObjectsStorage::DeleteObjectRows(int aID, bool aRecursive) {
    std::vector<int> pending{aID};
    while (!pending.empty()) {
        const int id = pending.back();
        pending.pop_back();
        fSQLLiteDB->ExecSQL("delete from objects where id = ?", {id});
        fSQLLiteDB->ExecSQL("delete from props where object_id = ?", {id});
        if (!aRecursive) continue;
        for (int child : SelectIDs("select id from objects where parent_id = ?", {id})) pending.push_back(child);
    }
}

std::vector<int> TObjectsStorage::SelectIDs(const std::string& aSQL, const TSQLArgs& aArgs) {
    std::vector<int> ids;
    for (TSQLiteQuery query = fSQLLiteDB->GetTable(aSQL, aArgs); !query.Eof(); query.Next())
        ids.push_back(ToObjectID(query.FieldAsInteger(0)));
    return ids;
}

// --- properties ---------------------------------------------------------------------------------

void TObjectsStorage::SetObjectProp(int aObjectID, const std::string& aName, const std::string& aValue) {
    TryWrite([&] { WritePropValue(aObjectID, aName, EscapeSQL(aValue)); });
}

void TObjectsStorage::SetObjectProp(int aObjectID, const std::string& aName, int aValue) {
    SetObjectProp(aObjectID, aName, std::to_string(aValue));
}

void TObjectsStorage::SetObjectProp(int aObjectID, const std::string& aName, bool aValue) {
    SetObjectProp(aObjectID, aName, BoolToStorageText(aValue));
}

void TObjectsStorage::SetObjectProp(int aObjectID, const std::string& aName, double aValue) {
    SetObjectProp(aObjectID, aName, FloatToStorageText(aValue));
}

void TObjectsStorage::SetObjectProp(int aObjectID, const std::string& aName, const TBlob& aValue) {
    TryWrite([&] { WritePropValue(aObjectID, aName, aValue); });
}

void TObjectsStorage::WritePropValue(int aObjectID, const std::string& aName, const TSQLArg& aValue) {
    const bool exists =
        !fSQLLiteDB->GetTable("select id from props where (object_id = ?) and (name = ?)", {aObjectID, aName}).Eof();
    if (exists)
        fSQLLiteDB->ExecSQL("update props set value = ? where (object_id = ?) and (name = ?)",
                            {aValue, aObjectID, aName});
    else
        fSQLLiteDB->ExecSQL("insert into props (object_id, name, value) values (?, ?, ?)",
                            {aObjectID, aName, aValue});
}

std::optional<std::string> TObjectsStorage::ReadPropText(int aObjectID, const std::string& aName) {
    TCLock lock(fCriticalSection);
    TSQLiteQuery query =
        fSQLLiteDB->GetTable("select value from props where (object_id = ?) and (name = ?)", {aObjectID, aName});
    if (query.Eof()) return std::nullopt;
    return UnEscapeSQL(query.FieldAsString(0));
}

bool TObjectsStorage::ObjectPropExists(int aObjectID, const std::string& aName) {
    TCLock lock(fCriticalSection);
    try {
        return fSQLLiteDB->GetTableValue("select count(*) from props where (object_id = ?) and (name = ?)",
                                         {aObjectID, aName}) > 0;
    } catch (const std::exception&) {
        return false;
    }
}

std::string TObjectsStorage::GetObjectPropText(int aObjectID, const std::string& aName, const std::string& aDefault) {
    return ReadPropText(aObjectID, aName).value_or(aDefault);
}

int TObjectsStorage::GetObjectPropInt(int aObjectID, const std::string& aName, int aDefault) {
    const auto text = ReadPropText(aObjectID, aName);
    if (!text) return aDefault;
    return ParseWhole<int>(*text).value_or(aDefault);
}

double TObjectsStorage::GetObjectPropFloat(int aObjectID, const std::string& aName) {
    const auto text = ReadPropText(aObjectID, aName);
    return text ? StorageTextToFloat(*text) : 0.0;
}

bool TObjectsStorage::GetObjectPropBool(int aObjectID, const std::string& aName) {
    const auto text = ReadPropText(aObjectID, aName);
    return text && StorageTextToBool(*text);
}

TBlob TObjectsStorage::GetObjectPropBlob(int aObjectID, const std::string& aName) {
    TCLock lock(fCriticalSection);
    TSQLiteQuery query =
        fSQLLiteDB->GetTable("select value from props where (object_id = ?) and (name = ?)", {aObjectID, aName});
    return query.Eof() ? TBlob{} : query.FieldAsBlob(0);
}

}  // namespace trawlix
