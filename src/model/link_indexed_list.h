#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <functional>
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
// doubled what a stored link costs. A bucket holds, in list order, every item whose link
// has that hash, and look-ups compare the links themselves. The index holds the items by
// the same shared pointers as the list, so it never points into a freed entry.
// TItem is a shared pointer to an object with GetLink(). An item's link must not change
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

    // Room for aCount items without growing the list or rehashing the index on the way.
    void Reserve(std::size_t aCount) {
        fItems.reserve(aCount);
        fByLink.reserve(aCount);
    }

    void Add(TItem aItem) {
        fByLink[HashOf(*aItem)].push_back(aItem);
        fItems.push_back(std::move(aItem));
    }

    void Insert(std::size_t aIndex, TItem aItem) {
        aIndex = std::min(aIndex, fItems.size());
        const std::size_t hash = HashOf(*aItem);
        auto& bucket = fByLink[hash];
        bucket.insert(bucket.begin() + SameHashBefore(aIndex, hash, bucket), aItem);
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
        auto bucketIt = fByLink.find(hash);
        auto& bucket = bucketIt->second;
        bucket.erase(bucket.begin() + SameHashBefore(aIndex, hash, bucket));
        if (bucket.empty()) fByLink.erase(bucketIt);
        fItems.erase(fItems.begin() + aIndex);
    }

    void Clear() {
        fItems.clear();
        fByLink.clear();
    }

    // Replaces the whole content, for callers that reorder the list.
    void Assign(std::vector<TItem> aItems) {
        Clear();
        Reserve(aItems.size());
        for (auto& item : aItems) Add(std::move(item));
    }

    // The first item in list order whose link equals aLink exactly; null when none.
    TItem FindByLink(const std::string& aLink) const {
        auto bucketIt = fByLink.find(THash{}(aLink));
        if (bucketIt == fByLink.end()) return TItem();
        for (const TItem& item : bucketIt->second)
            if (item->GetLink() == aLink) return item;
        return TItem();
    }
    bool ContainsLink(const std::string& aLink) const { return FindByLink(aLink) != nullptr; }

private:
    static std::size_t HashOf(const typename TItem::element_type& aItem) { return THash{}(aItem.GetLink()); }

    // How many items before aIndex share this hash: the position in its bucket.
    std::size_t SameHashBefore(std::size_t aIndex, std::size_t aHash, const std::vector<TItem>& aBucket) const {
        // Appends, removals at the end and links of their own are the common cases:
        // answer them without a scan.
        if (aIndex >= fItems.size()) return aBucket.size();
        if (aIndex + 1 == fItems.size() && !aBucket.empty() && aBucket.back() == fItems[aIndex])
            return aBucket.size() - 1;
        if (aBucket.empty() || (aBucket.size() == 1 && aBucket.front() == fItems[aIndex])) return 0;
        std::size_t count = 0;
        for (std::size_t i = 0; i < aIndex; ++i)
            if (HashOf(*fItems[i]) == aHash) ++count;
        return count;
    }

    std::vector<TItem> fItems;
    std::unordered_map<std::size_t, std::vector<TItem>> fByLink;
};

}  // namespace trawlix
