#pragma once

#include <vector>

#include "model/entry.h"

namespace trawlix {

// The entries checked because their rows are selected. Clearing unchecks exactly those,
// so entries checked by hand (Space, the mark column, Select All) stay checked.
class TLVSelection {
public:
    void Add(const IEntry& aEntry);
    void Clear();
    int Count() const { return static_cast<int>(fEntries.size()); }
    const std::vector<IEntry>& Items() const { return fEntries; }

private:
    std::vector<IEntry> fEntries;
};

}  // namespace trawlix
