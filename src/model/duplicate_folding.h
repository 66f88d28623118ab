#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/entry.h"

namespace trawlix {

// Whether new results that are the same ad as an earlier one fold under it, and whether
// folded results stay out of the list ("FoldDuplicates"). Process-wide: the session sets
// it from the settings; on until told otherwise.
void SetFoldDuplicates(bool aFold);
bool GetFoldDuplicates();

// The title as compared for folding: lower case, punctuation read as spacing, runs of
// spacing as one space, and a trailing price or place in brackets left out
// ("Oak Table!! (Boston)" and "oak  table" are the same title).
std::string NormalisedAdTitle(const std::string& aTitle);

// Finds, for a new result, the earlier result of the same ad (another city or site) in one
// hash look-up on the normalised title and price. Holds the results it was given and the
// folds between them; it never changes the search's list. Not thread-safe: the owning
// search's lock guards it.
class TDuplicateIndex {
public:
    // An indexed result is still the search's own; a result dropped from the list meanwhile is
    // passed over, so the index need not hear of every removal.
    using TIsCurrent = std::function<bool(const IEntry& aEntry)>;
    explicit TDuplicateIndex(TIsCurrent aIsCurrent);

    // Indexes a result: an unfolded one as a possible original, a folded one under its original.
    void Add(const IEntry& aEntry);
    // The first found result that aEntry is the same ad as; null when there is none.
    IEntry FindOriginal(const TEntry& aEntry) const;
    // Folds aEntry under aOriginal and indexes it.
    void Fold(const IEntry& aEntry, const IEntry& aOriginal);
    // The results folded under the result with link aOriginalLink (still in the list).
    std::vector<IEntry> FoldedUnder(const std::string& aOriginalLink) const;
    // Unfolds the results folded under aOriginalLink and hands them back; each is its own result again.
    std::vector<IEntry> Unfold(const std::string& aOriginalLink);

private:
    static std::string Key(const TEntry& aEntry);

    TIsCurrent fIsCurrent;
    std::unordered_map<std::string, std::vector<IEntry>> fOriginalsByKey;
    std::unordered_map<std::string, std::vector<IEntry>> fFoldedByOriginal;
};

// Same ad: equal normalised titles and prices, posted within a week of each other, and
// where both carry a first picture or a description, one of those matches (a picture by its
// file name, or by its content where both were downloaded); with neither to compare, the
// price must be a real one (above 0).
bool SameAd(const TEntry& aLeft, const TEntry& aRight);

// Two pictures' 64-bit difference hashes differ in at most this many bits when they show the
// same thing: scaling, recompression and a changed frame move a few bits, another scene
// about half of them.
inline constexpr int cLookAlikeBits = 10;
bool PicturesLookAlike(std::uint64_t aLeftHash, std::uint64_t aRightHash);

}  // namespace trawlix
