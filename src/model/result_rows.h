#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "model/entry.h"

namespace trawlix {

// The rows of the entries table that hold one search's results, so that a save writes only
// what changed since: rows for new results, updates for changed ones, deletes for results
// that left both lists. Used by the search's saver only, one save at a time.
class TResultRows {
public:
    // The entries just read from the table, each carrying its row id.
    void Loaded(const std::vector<IEntry>& aResults, const std::vector<IEntry>& aDeleted);
    // The rows in the table are no longer known (a save rolled back, the table was compacted,
    // the search got a new id): the next save replaces all of the search's rows.
    void Forget() { fKnown = false; }

    // Inside the caller's transaction; raises ESQLiteError, after which the caller must
    // Forget (the transaction is rolled back, but row ids were handed out).
    // aProcessMessages (may be empty) is called now and then while many rows are written.
    void Save(TSQLiteDB& aDB, int aSearchID, const std::vector<IEntry>& aResults, const std::vector<IEntry>& aDeleted,
              const std::function<void()>& aProcessMessages);

private:
    void WriteChanged(TEntriesWriter& aWriter, int aSearchID, const std::vector<IEntry>& aList, bool aDeletedList,
                      std::vector<std::int64_t>& aPresent, const std::function<void()>& aProcessMessages);
    static void DeleteRows(TSQLiteDB& aDB, const std::vector<std::int64_t>& aRowIDs);

    std::vector<std::int64_t> fStored;  // sorted
    bool fKnown = true;
};

}  // namespace trawlix
