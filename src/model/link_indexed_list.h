#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <functional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace trawlix {

// An ordered list of shared entries with a hash index by link beside it, so that merging
// a run's results asks "is this link known?" in O(1) instead of scanning the list.
// The list keeps its order and may hold one link several times (a search that does not
// keep old results appends a result again each run); FindByLink answers the first entry
// with that link in list order, exactly as a front-to-back scan would.
// The index is keyed by the link's hash, not by a copy of the link: a copy per result
// doubled what a stored link costs. It is one flat table (open addressing, linear probing)
// with a slot per distinct hash, so a search of a million results costs no allocation per
// result. A slot holds its item itself while one item has the hash; the items of a hash
// that several share (one link held twice, or colliding links) move to a side bucket that
// keeps them in list order. Look-ups compare the links themselves. The index points at the
// items the list holds, without owning them: an item leaves the index when it leaves the
// list, so the index never points into a freed entry, and a million results cost no second
// count on every entry. An item makes its shared pointer again with shared_from_this.
// TItem is a shared pointer to an object with GetLink() that derives from
// std::enable_shared_from_this. An item's link must not change
// while it is in the list. Not thread-safe: the owning search's lock guards it.
// THash is replaceable so that tests can make every link collide.
template <class TItem, class THash = std::hash<std::string_view>>
class TLinkIndexedList {
public:
    using const_iterator = typename std::vector<TItem>::const_iterator;

    std::size_t size() const { return fItems.size(); }
    bool empty() const { return fItems.empty(); }
    const TItem& operator[](std::size_t aIndex) const { return fItems[aIndex]; }
    const_iterator begin() const { return fItems.begin(); }
    const_iterator end() const { return fItems.end(); }
    const std::vector<TItem>& Items() const { return fItems; }

    // Room for aCount items without growing the list or the index on the way.
    void Reserve(std::size_t aCount) {
        fItems.reserve(aCount);
        if (SlotsFor(aCount) > fSlots.size()) Rehash(SlotsFor(aCount));
    }

    void Add(TItem aItem) {
        const std::size_t hash = HashOf(*aItem);
        AddToIndex(hash, aItem.get(), [&](std::span<TElement* const> aBucket) { return aBucket.size(); });
        fItems.push_back(std::move(aItem));
    }

    void Insert(std::size_t aIndex, TItem aItem) {
        aIndex = std::min(aIndex, fItems.size());
        const std::size_t hash = HashOf(*aItem);
        AddToIndex(hash, aItem.get(),
                   [&](std::span<TElement* const> aBucket) { return SameHashBefore(aIndex, hash, aBucket); });
        fItems.insert(fItems.begin() + aIndex, std::move(aItem));
    }

    // Removes the first occurrence of this very item; false when it is not in the list.
    bool Remove(const TItem& aItem) {
        auto it = std::find(fItems.begin(), fItems.end(), aItem);
        if (it == fItems.end()) return false;
        Delete(static_cast<std::size_t>(it - fItems.begin()));
        return true;
    }

    void Delete(std::size_t aIndex) {
        const std::size_t hash = HashOf(*fItems[aIndex]);
        const std::size_t slot = FindSlot(hash);
        if (fSlots[slot].fItem) {
            EraseSlot(slot);
        } else {
            auto sharedIt = fShared.find(hash);
            auto& bucket = sharedIt->second;
            bucket.erase(bucket.begin() + SameHashBefore(aIndex, hash, bucket));
            if (bucket.size() == 1) {
                fSlots[slot].fItem = bucket.front();
                fShared.erase(sharedIt);
            }
        }
        fItems.erase(fItems.begin() + aIndex);
    }

    void Clear() {
        fItems.clear();
        fSlots = {};
        fUsedSlots = 0;
        fShared.clear();
    }

    // Replaces the whole content, for callers that reorder the list.
    void Assign(std::vector<TItem> aItems) {
        Clear();
        Reserve(aItems.size());
        for (auto& item : aItems) Add(std::move(item));
    }

    // The first item in list order whose link equals aLink exactly; null when none.
    TItem FindByLink(const std::string& aLink) const {
        const std::size_t slot = FindSlot(StoredHash(THash{}(aLink)));
        if (slot == cNoSlot) return TItem();
        if (TElement* single = fSlots[slot].fItem) return single->GetLink() == aLink ? Owned(single) : TItem();
        for (TElement* item : fShared.at(fSlots[slot].fHash))
            if (item->GetLink() == aLink) return Owned(item);
        return TItem();
    }
    bool ContainsLink(const std::string& aLink) const { return FindByLink(aLink) != nullptr; }

private:
    using TElement = typename TItem::element_type;
    struct TSlot {
        std::size_t fHash = 0;        // 0: a free slot
        TElement* fItem = nullptr;    // null while the items of this hash are in fShared
    };
    static constexpr std::size_t cNoSlot = static_cast<std::size_t>(-1);

    // A hash of 0 marks a free slot, so it is stored as 1.
    static std::size_t StoredHash(std::size_t aHash) { return aHash == 0 ? 1 : aHash; }
    // The shared pointer the list holds for an item of the index.
    static TItem Owned(TElement* aItem) { return TItem(aItem->shared_from_this(), aItem); }
    static std::size_t HashOf(const TElement& aItem) {
        return StoredHash(THash{}(aItem.GetLink()));
    }
    // At most seven slots in eight in use keeps the probe runs short.
    static std::size_t SlotsFor(std::size_t aCount) { return std::max<std::size_t>(16, aCount + aCount / 7 + 1); }

    // The slot a hash starts probing from: the hash scaled to the table, so the table need
    // not be a power of two and a reserved table is no bigger than asked for.
    std::size_t Home(std::size_t aHash) const {
        __extension__ using TWide = unsigned __int128;
        return static_cast<std::size_t>((static_cast<TWide>(aHash) * fSlots.size()) >> 64);
    }
    std::size_t Next(std::size_t aSlot) const { return aSlot + 1 == fSlots.size() ? 0 : aSlot + 1; }

    std::size_t FindSlot(std::size_t aHash) const {
        if (fSlots.empty()) return cNoSlot;
        for (std::size_t slot = Home(aHash);; slot = Next(slot)) {
            if (fSlots[slot].fHash == 0) return cNoSlot;
            if (fSlots[slot].fHash == aHash) return slot;
        }
    }

    // Puts aItem at the place aPositionIn gives it among the items that share its hash.
    template <class TPosition>
    void AddToIndex(std::size_t aHash, TElement* aItem, TPosition aPositionIn) {
        const std::size_t slot = FindSlot(aHash);
        if (slot == cNoSlot) {
            PlaceInFreeSlot(aHash, aItem);
            return;
        }
        TSlot& found = fSlots[slot];
        if (found.fItem) {
            std::vector<TElement*> bucket{found.fItem};
            bucket.insert(bucket.begin() + aPositionIn(bucket), aItem);
            found.fItem = nullptr;
            fShared[aHash] = std::move(bucket);
            return;
        }
        auto& bucket = fShared[aHash];
        bucket.insert(bucket.begin() + aPositionIn(bucket), aItem);
    }

    void PlaceInFreeSlot(std::size_t aHash, TElement* aItem) {
        if (fUsedSlots + 1 > fSlots.size() - fSlots.size() / 8) Rehash(SlotsFor(2 * (fUsedSlots + 1)));
        std::size_t slot = Home(aHash);
        while (fSlots[slot].fHash != 0) slot = Next(slot);
        fSlots[slot] = {aHash, aItem};
        ++fUsedSlots;
    }

    // Frees a slot and moves later slots of its probe run back, so that no look-up
    // stops early at the hole.
    void EraseSlot(std::size_t aSlot) {
        std::size_t hole = aSlot;
        for (std::size_t slot = Next(hole); fSlots[slot].fHash != 0; slot = Next(slot)) {
            const std::size_t home = Home(fSlots[slot].fHash);
            // The slot may fill the hole when its home is not in the stretch (hole, slot].
            const bool homeAfterHole = hole < slot ? (home > hole && home <= slot) : (home > hole || home <= slot);
            if (homeAfterHole) continue;
            fSlots[hole] = fSlots[slot];
            hole = slot;
        }
        fSlots[hole] = TSlot();
        --fUsedSlots;
    }

    void Rehash(std::size_t aSlotCount) {
        std::vector<TSlot> old = std::exchange(fSlots, std::vector<TSlot>(aSlotCount));
        fUsedSlots = 0;
        for (TSlot& slot : old) {
            if (slot.fHash == 0) continue;
            std::size_t target = Home(slot.fHash);
            while (fSlots[target].fHash != 0) target = Next(target);
            fSlots[target] = slot;
            ++fUsedSlots;
        }
    }

    // How many items before aIndex share this hash: the position in its bucket.
    std::size_t SameHashBefore(std::size_t aIndex, std::size_t aHash, std::span<TElement* const> aBucket) const {
        // Appends, removals at the end and links of their own are the common cases:
        // answer them without a scan.
        if (aIndex >= fItems.size()) return aBucket.size();
        if (aIndex + 1 == fItems.size() && !aBucket.empty() && aBucket.back() == fItems[aIndex].get())
            return aBucket.size() - 1;
        if (aBucket.empty() || (aBucket.size() == 1 && aBucket.front() == fItems[aIndex].get())) return 0;
        std::size_t count = 0;
        for (std::size_t i = 0; i < aIndex; ++i)
            if (HashOf(*fItems[i]) == aHash) ++count;
        return count;
    }

    std::vector<TItem> fItems;
    std::vector<TSlot> fSlots;
    std::size_t fUsedSlots = 0;
    std::unordered_map<std::size_t, std::vector<TElement*>> fShared;
};

}  // namespace trawlix
