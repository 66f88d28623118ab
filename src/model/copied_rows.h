#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/sqlite_db.h"

namespace trawlix {

// Rows of a query copied out of SQLite into one buffer, so that another thread can read
// them while the query goes on. Each column keeps its text (a blob its bytes) and whether
// it was NULL. A row reads like the query's current row did.
class TCopiedRows {
public:
    explicit TCopiedRows(int aColumnCount) : fColumnCount(aColumnCount) {}

    // Copies the query's current row.
    void Append(const TSQLiteQuery& aQuery);
    std::size_t size() const { return fColumnCount == 0 ? 0 : fEnds.size() / static_cast<std::size_t>(fColumnCount); }
    std::size_t Bytes() const { return fBytes.size(); }
    void Clear();

    class TRow {
    public:
        bool FieldIsNull(int aIndex) const { return fRows.fNull[Cell(aIndex)] != 0; }
        std::string_view FieldAsView(int aIndex) const;
        std::int64_t FieldAsInteger(int aIndex) const;
        TBlob FieldAsBlob(int aIndex) const;

    private:
        friend class TCopiedRows;
        TRow(const TCopiedRows& aRows, std::size_t aRow) : fRows(aRows), fRow(aRow) {}
        std::size_t Cell(int aIndex) const { return fRow * static_cast<std::size_t>(fRows.fColumnCount) + aIndex; }

        const TCopiedRows& fRows;
        std::size_t fRow;
    };
    TRow operator[](std::size_t aRow) const { return TRow(*this, aRow); }

private:
    int fColumnCount;
    std::string fBytes;
    std::vector<std::size_t> fEnds;  // where each cell's bytes end in fBytes, row by row
    std::vector<std::uint8_t> fNull;
};

}  // namespace trawlix
