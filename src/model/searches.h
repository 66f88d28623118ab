#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/search.h"

namespace trawlix {

class TObjectsStorage;

// The user's searches, in tab order. Created and loaded on the session's initialisation
// thread, used and saved on the main thread afterwards.
class TSearches {
public:
    // A stored search that could not be read back: it stays in the storage untouched.
    struct TUnreadableSearch {
        int id = 0;
        std::string name;    // as stored, or "#id" when even the name cannot be read
        std::string reason;
    };

    // Prepares the older searches file's text (it is only parsed when the storage is empty).
    TSearches(std::filesystem::path aDataFolder, TObjectsStorage& aStorage, TSearchLookups aLookups);
    // Writes the older file's text back when the file exists.
    ~TSearches();
    TSearches(const TSearches&) = delete;
    TSearches& operator=(const TSearches&) = delete;

    // From the older file when the storage holds no objects at all, else every stored
    // search; only the local user's, sorted by order. A search the storage cannot give back
    // is left out and listed by UnreadableSearches; an older file with a missing required
    // element raises ESearchesFileError.
    void LoadSearches();
    const std::vector<TUnreadableSearch>& UnreadableSearches() const { return fUnreadable; }
    // Saves every search that changed since it was stored, all in one transaction, drops
    // result rows that belong to no stored search (an unreadable one keeps its rows), and
    // compacts the database when more than a quarter of it is free pages. False when the save was rolled back:
    // GetLastSaveError says why, and every search keeps its changes for the next try.
    bool SaveMySearches(const TProcessMessages& aProcessMessages = {});
    std::string GetLastSaveError() const;
    // Saves one search in its own transaction; raises ESearchSaveError.
    void SaveSearch(TSearch& aSearch);
    // Saves aSearch and reads a copy of it back (TSearch::Clone) without a background save
    // in between; raises ESearchSaveError.
    std::unique_ptr<TSearch> CloneSearch(TSearch& aSearch);
    // The background saver's step: each search that changed, in its own transaction. Any
    // thread may call it while the main thread edits, adds and deletes searches. Raises
    // ESearchSaveError for the first search that could not be stored; the ones after it
    // wait for the next step. Answers how many were stored.
    int SaveChangedSearches();
    // Runs aWork under the lock every save of the searches takes: another writer of the
    // same file (the reply history) then never joins or splits a save's transaction.
    void RunUnderSaveLock(const std::function<void()>& aWork);
    bool AnyModified() const;
    // Deletes the stored search and hands it back to the caller, who frees it. Raises
    // ESearchSaveError, leaving the search in the list, when the storage refused.
    std::unique_ptr<TSearch> DeleteSearch(TSearch* aSearch);
    TSearch& AddSearch(std::unique_ptr<TSearch> aSearch);
    // Makes the list follow aOrder (the tab order): each search's order becomes its index.
    void Reorder(const std::vector<TSearch*>& aOrder);

    TSearch* GetSearchByID(int aSearchID) const;
    TSearch* GetSearchByName(const std::string& aSearchName) const;
    bool HasEnabledAlerts() const;

    const std::vector<std::unique_ptr<TSearch>>& GetAllSearches() const { return FAllSearches; }
    const std::string& GetXML() const { return XML; }
    const TSearchLookups& GetLookups() const { return fLookups; }
    TObjectsStorage& GetStorage() const { return fStorage; }

private:
    // After a save: compacts the file when it is mostly free pages; the searches then
    // rewrite their result rows at their next save, the compacting having renumbered them.
    void CompactWhenWasteful();
    void LoadFromOlderFile();
    void LoadFromStorage();
    std::string StoredNameOf(int aSearchID);
    std::vector<TSearch*> ModifiedSearches() const;
    bool Listed(const TSearch* aSearch) const;
    void SetLastSaveError(const std::string& aError);

    // Guards the list itself for the background saver; the main thread changes it only
    // under this lock and reads it freely.
    mutable TCCriticalSection fListLock{"TSearches.fListLock"};
    // One save or delete reaches the storage at a time: a counted transaction is shared by
    // every thread, so two saves at once would commit or roll back each other's writes.
    mutable TCCriticalSection fSaveLock{"TSearches.fSaveLock"};
    std::string fLastSaveError;

    std::filesystem::path fDataFolder;
    TObjectsStorage& fStorage;
    TSearchLookups fLookups;
    std::string XML;
    std::vector<std::unique_ptr<TSearch>> FAllSearches;
    std::vector<TUnreadableSearch> fUnreadable;
};

}  // namespace trawlix
