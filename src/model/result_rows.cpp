#include "model/result_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <memory>

namespace trawlix {

namespace {

void SortUnique(std::vector<std::int64_t>& aRowIDs) {
    // Rows are read and appended in id order, so the list is nearly always sorted already.
    if (!std::is_sorted(aRowIDs.begin(), aRowIDs.end())) std::sort(aRowIDs.begin(), aRowIDs.end());
    aRowIDs.erase(std::unique(aRowIDs.begin(), aRowIDs.end()), aRowIDs.end());
}

}  // namespace

void TResultRows::Loaded(const std::vector<IEntry>& aResults, const std::vector<IEntry>& aDeleted) {
    fStored.clear();
    fStored.reserve(aResults.size() + aDeleted.size());
    const auto collect = [&](const std::vector<IEntry>& aList, bool aDeletedList) {
        for (const IEntry& entry : aList) {
            entry->fRowIsDeletedResult = aDeletedList;
            entry->fSavedChangeCount = entry->GetChangeCount();
            if (entry->fRowID > 0) fStored.push_back(entry->fRowID);
        }
    };
    collect(aResults, false);
    collect(aDeleted, true);
    SortUnique(fStored);
    fKnown = true;
}

void TResultRows::Save(TSQLiteDB& aDB, int aSearchID, const std::vector<IEntry>& aResults,
                       const std::vector<IEntry>& aDeleted, const std::function<void()>& aProcessMessages) {
    if (!fKnown) {
        aDB.ExecSQL("delete from entries where search_id = ?", {aSearchID});
        fStored.clear();
        // Every entry gets a new row.
        for (const auto* list : {&aResults, &aDeleted})
            for (const IEntry& entry : *list) entry->fRowID = 0;
    }
    std::vector<std::int64_t> present;
    present.reserve(aResults.size() + aDeleted.size());
    {
        TEntriesWriter writer(aDB);
        WriteChanged(writer, aSearchID, aResults, false, present, aProcessMessages);
        WriteChanged(writer, aSearchID, aDeleted, true, present, aProcessMessages);
    }
    SortUnique(present);
    std::vector<std::int64_t> gone;
    std::set_difference(fStored.begin(), fStored.end(), present.begin(), present.end(), std::back_inserter(gone));
    DeleteRows(aDB, gone);
    fStored = std::move(present);
    fKnown = true;
}

void TResultRows::WriteChanged(TEntriesWriter& aWriter, int aSearchID, const std::vector<IEntry>& aList,
                               bool aDeletedList, std::vector<std::int64_t>& aPresent,
                               const std::function<void()>& aProcessMessages) {
    const char* type = aDeletedList ? cEntryTypeDeletedResult : cEntryTypeSearchResult;
    int written = 0;
    for (const IEntry& entry : aList) {
        // Read before the row is written: a change made meanwhile stays unsaved.
        const std::uint32_t changes = entry->GetChangeCount();
        const bool isNew = entry->fRowID <= 0;
        const bool changed = changes != entry->fSavedChangeCount || entry->fRowIsDeletedResult != aDeletedList;
        if (isNew)
            entry->fRowID = aWriter.Insert(*entry, aSearchID, type);
        else if (changed)
            aWriter.Update(*entry, entry->fRowID, aSearchID, type);
        // The window stays responsive through a long first save.
        if ((isNew || changed) && ++written % 256 == 0 && aProcessMessages) aProcessMessages();
        entry->fSavedChangeCount = changes;
        entry->fRowIsDeletedResult = aDeletedList;
        aPresent.push_back(entry->fRowID);
    }
}

void TResultRows::DeleteRows(TSQLiteDB& aDB, const std::vector<std::int64_t>& aRowIDs) {
    if (aRowIDs.empty()) return;
    sqlite3* db = aDB.Handle();
    sqlite3_stmt* raw = nullptr;
    const auto fail = [db] { throw ESQLiteError(sqlite3_errmsg(db), sqlite3_extended_errcode(db)); };
    if (sqlite3_prepare_v2(db, "delete from entries where rowid = ?", -1, &raw, nullptr) != SQLITE_OK) fail();
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, &sqlite3_finalize);
    for (std::int64_t rowID : aRowIDs) {
        sqlite3_bind_int64(raw, 1, rowID);
        if (sqlite3_step(raw) != SQLITE_DONE) fail();
        sqlite3_reset(raw);
    }
}

}  // namespace trawlix
