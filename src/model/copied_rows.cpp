#include "model/copied_rows.h"

#include <charconv>

namespace trawlix {

void TCopiedRows::Append(const TSQLiteQuery& aQuery) {
    for (int column = 0; column < fColumnCount; ++column) {
        const bool null = aQuery.FieldIsNull(column);
        if (!null) fBytes += aQuery.FieldAsView(column);
        fEnds.push_back(fBytes.size());
        fNull.push_back(null ? 1 : 0);
    }
}

void TCopiedRows::Clear() {
    fBytes.clear();
    fEnds.clear();
    fNull.clear();
}

std::string_view TCopiedRows::TRow::FieldAsView(int aIndex) const {
    const std::size_t cell = Cell(aIndex);
    const std::size_t begin = cell == 0 ? 0 : fRows.fEnds[cell - 1];
    return std::string_view(fRows.fBytes).substr(begin, fRows.fEnds[cell] - begin);
}

std::int64_t TCopiedRows::TRow::FieldAsInteger(int aIndex) const {
    const std::string_view text = FieldAsView(aIndex);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TBlob TCopiedRows::TRow::FieldAsBlob(int aIndex) const {
    const std::string_view bytes = FieldAsView(aIndex);
    return TBlob(bytes.begin(), bytes.end());
}

}  // namespace trawlix
