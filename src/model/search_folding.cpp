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

namespace {

// What the site says of the ad's place and pictures now; an answer that gives none (an older
// format) leaves what was stored.
bool TakePlaceAndPictures(TEntry& aKnown, const TEntry& aFound) {
    const std::uint32_t before = aKnown.GetChangeCount();
    if (!aFound.GetPlace().empty()) aKnown.SetPlace(aFound.GetPlace());
    if (aFound.GetHasGeo()) aKnown.SetGeo(aFound.GetLatitude(), aFound.GetLongitude());
    if (const std::vector<std::string> pictures = aFound.GetPictureUrls(); !pictures.empty())
        aKnown.SetPictureUrls(pictures);
    return aKnown.GetChangeCount() != before;
}

// Whether aOne stands before aOther in the list; a fold is rare enough for a walk through it.
template <class TList>
bool FoundBefore(const TList& aList, const IEntry& aOne, const IEntry& aOther) {
    for (const IEntry& entry : aList) {
        if (entry == aOne) return true;
        if (entry == aOther) return false;
    }
    return false;
}

}  // namespace

bool TSearch::FoldWhenDetailsAgree(const IEntry& aEntry) {
    TCLock lock(fCriticalSection);
    if (!GetFoldDuplicates() || !aEntry || aEntry->IsFolded()) return false;
    if (fSearchResults.FindByLink(aEntry->GetLink()) != aEntry) return false;
    TDuplicateIndex& index = DuplicateIndex();
    const IEntry other = index.FindOriginal(*aEntry);
    if (!other) return false;
    // The ad posted first stays in the list; without both times the one found first does.
    const double entryTime = aEntry->GetLocalDateTime();
    const double otherTime = other->GetLocalDateTime();
    const bool entryFirst =
        entryTime > 0 && otherTime > 0 ? entryTime < otherTime : FoundBefore(fSearchResults, aEntry, other);
    const IEntry& later = entryFirst ? other : aEntry;
    const IEntry& original = entryFirst ? aEntry : other;
    // A result that others are folded under stays one: moving them is more than a picture proves.
    if (!index.FoldedUnder(later->GetLink()).empty()) return false;
    index.Fold(later, original);
    ++fChangeCount;
    return true;
}

bool TSearch::TakeAdPageDetails(const IEntry& aKnown, const TEntry& aFromPage) {
    {
        TCLock lock(fCriticalSection);
        if (!aKnown || fSearchResults.FindByLink(aKnown->GetLink()) != aKnown) return false;
        UpdateSeenAgain(aKnown, aFromPage);
    }
    return FoldWhenDetailsAgree(aKnown);
}

bool TSearch::UpdateSeenAgain(const IEntry& aKnown, const TEntry& aFound) {
    bool changed = TakePlaceAndPictures(*aKnown, aFound);
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
