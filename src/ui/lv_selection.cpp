#include "ui/lv_selection.h"

namespace trawlix {

void TLVSelection::Add(const IEntry& aEntry) {
    if (!aEntry) return;
    aEntry->SetChecked(true);
    fEntries.push_back(aEntry);
}

void TLVSelection::Clear() {
    for (const IEntry& entry : fEntries) entry->SetChecked(false);
    fEntries.clear();
}

}  // namespace trawlix
