#include "model/duplicate_folding.h"
#include "model/search.h"

namespace trawlix {

TDuplicateIndex& TSearch::DuplicateIndex() const {
    if (fDuplicateIndex) return *fDuplicateIndex;
    // Results leave the list in several ways; the index checks each answer against the list
    // instead of hearing of every removal.
    fDuplicateIndex = std::make_unique<TDuplicateIndex>(
        [this](const IEntry& aEntry) { return fSearchResults.FindByLink(aEntry->GetLink()) == aEntry; });
    for (const IEntry& entry : fSearchResults) fDuplicateIndex->Add(entry);
    return *fDuplicateIndex;
}

bool TSearch::FoldIfSameAdKnown(const IEntry& aEntry) {
    TDuplicateIndex& index = DuplicateIndex();
    const IEntry original = GetFoldDuplicates() ? index.FindOriginal(*aEntry) : nullptr;
    if (!original) {
        index.Add(aEntry);
        return false;
    }
    index.Fold(aEntry, original);
    return true;
}

bool TSearch::UpdateSeenAgain(const IEntry& aKnown, const TEntry& aFound) {
    bool changed = false;
    if (!aFound.GetName().empty() && aFound.GetName() != aKnown->GetName()) {
        aKnown->SetName(aFound.GetName());
        changed = true;
    }
    if (!aFound.GetDescription().empty() && aFound.GetDescription() != aKnown->GetDescription()) {
        aKnown->SetDescription(aFound.GetDescription());
        changed = true;
    }
    // A result without a price (negative) or a price of 0 ("ask") is no drop to 0.
    const bool dropped = aFound.GetPrice() > 0 && aKnown->GetPrice() > aFound.GetPrice();
    if (dropped) aKnown->DropPrice(aFound.GetPrice());
    if (changed || dropped) {
        ++fChangeCount;
        // Indexed again under its new title and price; the old key no longer matches it.
        if (!aKnown->IsFolded()) DuplicateIndex().Add(aKnown);
    }
    return dropped;
}

void TSearch::UnfoldOrphans() {
    std::vector<IEntry> orphans;
    for (const IEntry& entry : fSearchResults)
        if (entry->IsFolded() && !fSearchResults.ContainsLink(entry->GetDuplicateOf())) orphans.push_back(entry);
    if (orphans.empty()) return;
    for (const IEntry& entry : orphans) entry->SetDuplicateOf({});
    fDuplicateIndex.reset();
    ++fChangeCount;
}

std::vector<IEntry> TSearch::GetAlsoIn(const TEntry& aEntry) const {
    TCLock lock(fCriticalSection);
    if (aEntry.IsFolded()) return {};
    return DuplicateIndex().FoldedUnder(aEntry.GetLink());
}

int TSearch::UnfoldResult(const TEntry& aEntry) {
    TCLock lock(fCriticalSection);
    const std::vector<IEntry> unfolded = DuplicateIndex().Unfold(aEntry.GetLink());
    if (!unfolded.empty()) ++fChangeCount;
    return static_cast<int>(unfolded.size());
}

}  // namespace trawlix
