#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/critical_section.h"
#include "model/sqlite_db.h"

namespace trawlix {

class TObjectsStorage;

// The file opens but fails SQLite's structural check: reading it would lose data silently.
class EDatabaseDamaged : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A group of writes that could not be stored as a whole; nothing of it was kept.
class EStorageWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A snapshot of one row of the object tree.
class TDBObject {
public:
    TDBObject(TObjectsStorage* aStorage, int aID, int aParentID, std::string aType, std::string aData)
        : fStorage(aStorage), fID(aID), fParentID(aParentID), fType(std::move(aType)), fData(std::move(aData)) {}

    TObjectsStorage* GetStorage() const { return fStorage; }
    const std::string& GetData() const { return fData; }
    int GetID() const { return fID; }
    int GetParentID() const { return fParentID; }
    const std::string& GetObjectType() const { return fType; }

private:
    TObjectsStorage* fStorage;
    int fID;
    int fParentID;
    std::string fType;
    std::string fData;
};

using IDBObject = std::shared_ptr<TDBObject>;
using TDBObjectList = std::vector<IDBObject>;

// The typed object tree on SQLite through which every persistent class stores itself,
// plus the fixed tables reached through SQLLiteDB(). Write operations never raise:
// they roll back their own transaction level and return.
class TObjectsStorage {
public:
    // Opens, checks and upgrades the file; raises on a missing, empty or unreadable file,
    // EDatabaseDamaged on one that fails the structural check, and ESQLiteError (IsBusy)
    // when another program holds the file for longer than aBusyTimeoutMs. Opened ReadOnly,
    // the file is neither upgraded nor changed in any way: the program that writes does that.
    explicit TObjectsStorage(const std::string& aFileName, int aBusyTimeoutMs = TSQLiteDB::cDefaultBusyTimeoutMs,
                             TSQLiteDB::TAccess aAccess = TSQLiteDB::TAccess::ReadWrite);
    ~TObjectsStorage();
    TObjectsStorage(const TObjectsStorage&) = delete;
    TObjectsStorage& operator=(const TObjectsStorage&) = delete;

    // Counted transactions: only the outermost level talks to SQLite.
    void BeginTransaction();
    void Commit();
    // Never raises: it runs on error paths and in destructors.
    void RollBack() noexcept;
    int TransactionLevel() const;
    // Writes that failed since the storage was opened, and the reason of the last one. The
    // single writes never raise; a caller that groups them compares the count around its group.
    int FailedWrites() const;
    std::string LastWriteError() const;
    // Inside a group of writes (a TStorageTransaction of this thread) a failed single write
    // raises EStorageWriteError after rolling its level back: the group is lost anyway, and
    // going on would only meet the same error again (a locked database makes every write wait).
    static void EnterWriteGroup() noexcept;
    static void LeaveWriteGroup() noexcept;

    int AddObject(const std::string& aType, int aParentID, const std::string& aData, bool aAddIfTypeExists);

    void SetObjectProp(int aObjectID, const std::string& aName, const std::string& aValue);
    void SetObjectProp(int aObjectID, const std::string& aName, const char* aValue) {
        SetObjectProp(aObjectID, aName, std::string(aValue));
    }
    void SetObjectProp(int aObjectID, const std::string& aName, int aValue);
    void SetObjectProp(int aObjectID, const std::string& aName, bool aValue);
    void SetObjectProp(int aObjectID, const std::string& aName, double aValue);
    void SetObjectProp(int aObjectID, const std::string& aName, const TBlob& aValue);

    bool ObjectExists(int aID);
    TDBObjectList GetObjects(const std::string& aType, int aParentID);
    IDBObject GetObject(const std::string& aType, int aParentID);  // null when none

    bool ObjectPropExists(int aObjectID, const std::string& aName);
    std::string GetObjectPropText(int aObjectID, const std::string& aName, const std::string& aDefault = {});
    int GetObjectPropInt(int aObjectID, const std::string& aName, int aDefault);
    double GetObjectPropFloat(int aObjectID, const std::string& aName);
    bool GetObjectPropBool(int aObjectID, const std::string& aName);
    TBlob GetObjectPropBlob(int aObjectID, const std::string& aName);

    void DeleteObjects(const std::string& aType, int aParentID, bool aRecursive);
    void DeleteObject(int aID, bool aRecursive);

    int GetObjectsCount();
    TSQLiteDB& SQLLiteDB() { return *fSQLLiteDB; }

    // Runs "VACUUM" when free pages make up more than a quarter of the file (compacting a
    // large file rewrites all of it, which only pays when much of it is empty); answers
    // whether it ran. Compacting renumbers the rows of the entries table. Raises SQLite errors.
    bool CompactWhenWasteful();

private:
    void UpgradeSchema();
    void ApplyUpgradeSteps();
    void DiscardOpenTransaction() noexcept;
    // Runs one write inside its own counted transaction level; false when it failed and
    // that level was rolled back.
    bool TryWrite(const std::function<void()>& aWork);
    void NoteFailedWrite(const char* aReason) noexcept;
    int FindObjectOfType(const std::string& aType, int aParentID);
    TDBObjectList SelectObjects(const std::string& aType, int aParentID, const std::string& aLimit);
    void DeleteObjectRows(int aID, bool aRecursive);
    std::vector<int> SelectIDs(const std::string& aSQL, const TSQLArgs& aArgs);
    void WritePropValue(int aObjectID, const std::string& aName, const TSQLArg& aValue);
    std::optional<std::string> ReadPropText(int aObjectID, const std::string& aName);

    std::unique_ptr<TSQLiteDB> fSQLLiteDB;
    TCCriticalSection fCriticalSection{"TObjectsStorage.fCriticalSection"};
    mutable TCCriticalSection fTransactionCriticalSection{"TObjectsStorage.fTransactionCriticalSection"};
    int fTransactionLevel = 0;
    int fFailedWrites = 0;
    std::string fLastWriteError;
};

// Holds one counted transaction level: commits when asked, rolls back when left without.
// A group is stored whole or not at all: when a write inside it failed, Commit raises
// EStorageWriteError and the level is rolled back instead.
class TStorageTransaction {
public:
    explicit TStorageTransaction(TObjectsStorage& aStorage)
        : fStorage(aStorage), fFailedWritesAtStart(aStorage.FailedWrites()) {
        fStorage.BeginTransaction();
        TObjectsStorage::EnterWriteGroup();
    }
    ~TStorageTransaction() {
        TObjectsStorage::LeaveWriteGroup();
        if (!fDone) fStorage.RollBack();
    }
    TStorageTransaction(const TStorageTransaction&) = delete;
    TStorageTransaction& operator=(const TStorageTransaction&) = delete;
    void Commit() {
        if (fStorage.FailedWrites() != fFailedWritesAtStart) throw EStorageWriteError(fStorage.LastWriteError());
        fDone = true;
        fStorage.Commit();
    }

private:
    TObjectsStorage& fStorage;
    int fFailedWritesAtStart;
    bool fDone = false;
};

// The stored encodings shared by every reader and writer of the file.
std::string EscapeSQL(const std::string& aText);    // ' -> U+0001, " -> U+0002
std::string UnEscapeSQL(const std::string& aText);  // the reverse
void UnEscapeSQLInPlace(std::string& aText);
// Whether the stored text holds a character that UnEscapeSQL changes.
bool HasSQLEscapes(std::string_view aText);
std::string BoolToStorageText(bool aValue);         // "-1" / "0"
bool StorageTextToBool(const std::string& aText);   // numbers (non-zero true), True/False; else false
std::string FloatToStorageText(double aValue);      // up to 15 significant digits
double StorageTextToFloat(const std::string& aText);  // either decimal separator; 0 when it does not convert

}  // namespace trawlix
