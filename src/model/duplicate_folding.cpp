#include "model/duplicate_folding.h"

#include <atomic>
#include <bit>
#include <cctype>
#include <cmath>

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

std::atomic<bool> gFoldDuplicates{true};

constexpr double cSameAdDays = 7;

bool IsClosingBracket(char aChar) { return aChar == ')' || aChar == ']'; }

char OpeningFor(char aClosing) { return aClosing == ')' ? '(' : '['; }

// Drops "(...)" and "[...]" groups at the end: sites and posters add the price or the place there.
std::string WithoutTrailingBrackets(std::string aTitle) {
    for (;;) {
        const std::string trimmed = Trim(aTitle);
        if (trimmed.empty() || !IsClosingBracket(trimmed.back())) return trimmed;
        const std::size_t open = trimmed.rfind(OpeningFor(trimmed.back()));
        // Nothing before the group would leave no title at all: the group is the title then.
        if (open == std::string::npos || Trim(trimmed.substr(0, open)).empty()) return trimmed;
        aTitle = trimmed.substr(0, open);
    }
}

// The picture's file name: the same picture is served from several hosts and sizes of path.
std::string PictureName(const std::string& aUrl) {
    std::string url = aUrl.substr(0, aUrl.find_first_of("?#"));
    const std::size_t slash = url.rfind('/');
    return slash == std::string::npos ? url : url.substr(slash + 1);
}

bool WithinAWeek(const TEntry& aLeft, const TEntry& aRight) {
    const double left = aLeft.GetLocalDateTime();
    const double right = aRight.GetLocalDateTime();
    // A result without a posting time cannot be ruled out by it.
    if (left <= 0 || right <= 0) return true;
    return std::fabs(left - right) <= cSameAdDays;
}

// Where neither a picture nor a description can be compared, a title and a real price
// must do; a title alone ("Free couch", no price) is too common to call two ads one.
// A picture posted again is a new upload with a new name: where both pictures were
// downloaded, their content decides.
bool DetailsAgree(const TEntry& aLeft, const TEntry& aRight) {
    bool compared = false;
    const std::string leftPicture = aLeft.GetImageUrl();
    const std::string rightPicture = aRight.GetImageUrl();
    if (!leftPicture.empty() && !rightPicture.empty()) {
        if (PictureName(leftPicture) == PictureName(rightPicture)) return true;
        const std::uint64_t leftHash = aLeft.GetPictureHash();
        const std::uint64_t rightHash = aRight.GetPictureHash();
        if (leftHash != 0 && rightHash != 0 && PicturesLookAlike(leftHash, rightHash)) return true;
        compared = true;
    }
    const std::string& leftText = aLeft.GetDescription();
    const std::string& rightText = aRight.GetDescription();
    if (!leftText.empty() && !rightText.empty()) {
        if (NormalisedAdTitle(leftText) == NormalisedAdTitle(rightText)) return true;
        compared = true;
    }
    return !compared && aLeft.GetPrice() > 0;
}

}  // namespace

bool PicturesLookAlike(std::uint64_t aLeftHash, std::uint64_t aRightHash) {
    return std::popcount(aLeftHash ^ aRightHash) <= cLookAlikeBits;
}

void SetFoldDuplicates(bool aFold) { gFoldDuplicates = aFold; }

bool GetFoldDuplicates() { return gFoldDuplicates; }

std::string NormalisedAdTitle(const std::string& aTitle) {
    const std::string title = WithoutTrailingBrackets(aTitle);
    std::string result;
    result.reserve(title.size());
    bool pendingSpace = false;
    for (const unsigned char c : title) {
        // Bytes of other scripts (UTF-8 above 0x7F) are letters here, not punctuation.
        if (c < 0x80 && !std::isalnum(c)) {
            pendingSpace = true;
            continue;
        }
        if (pendingSpace && !result.empty()) result += ' ';
        pendingSpace = false;
        result += static_cast<char>(c < 0x80 ? std::tolower(c) : c);
    }
    return result;
}

bool SameAd(const TEntry& aLeft, const TEntry& aRight) {
    return aLeft.GetPrice() == aRight.GetPrice() && WithinAWeek(aLeft, aRight) &&
           NormalisedAdTitle(aLeft.GetName()) == NormalisedAdTitle(aRight.GetName()) && DetailsAgree(aLeft, aRight);
}

TDuplicateIndex::TDuplicateIndex(TIsCurrent aIsCurrent) : fIsCurrent(std::move(aIsCurrent)) {}

std::string TDuplicateIndex::Key(const TEntry& aEntry) {
    return NormalisedAdTitle(aEntry.GetName()) + '\x1f' + FloatToStorageText(aEntry.GetPrice());
}

void TDuplicateIndex::Add(const IEntry& aEntry) {
    if (aEntry->IsFolded())
        fFoldedByOriginal[aEntry->GetDuplicateOf()].push_back(aEntry);
    else
        fOriginalsByKey[Key(*aEntry)].push_back(aEntry);
}

IEntry TDuplicateIndex::FindOriginal(const TEntry& aEntry) const {
    const auto it = fOriginalsByKey.find(Key(aEntry));
    if (it == fOriginalsByKey.end()) return nullptr;
    for (const IEntry& candidate : it->second)
        // The key already holds the normalised title and the price: only the rest is compared.
        if (!candidate->IsFolded() && candidate->GetLink() != aEntry.GetLink() && fIsCurrent(candidate) &&
            WithinAWeek(*candidate, aEntry) && DetailsAgree(*candidate, aEntry))
            return candidate;
    return nullptr;
}

void TDuplicateIndex::Fold(const IEntry& aEntry, const IEntry& aOriginal) {
    aEntry->SetDuplicateOf(aOriginal->GetLink());
    Add(aEntry);
}

std::vector<IEntry> TDuplicateIndex::FoldedUnder(const std::string& aOriginalLink) const {
    std::vector<IEntry> folded;
    const auto it = fFoldedByOriginal.find(aOriginalLink);
    if (it == fFoldedByOriginal.end()) return folded;
    for (const IEntry& entry : it->second)
        if (entry->GetDuplicateOf() == aOriginalLink && fIsCurrent(entry)) folded.push_back(entry);
    return folded;
}

std::vector<IEntry> TDuplicateIndex::Unfold(const std::string& aOriginalLink) {
    std::vector<IEntry> unfolded = FoldedUnder(aOriginalLink);
    fFoldedByOriginal.erase(aOriginalLink);
    for (const IEntry& entry : unfolded) {
        entry->SetDuplicateOf({});
        Add(entry);
    }
    return unfolded;
}

}  // namespace trawlix
