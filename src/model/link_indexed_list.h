#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace trawlix {

// An ordered list of shared entries with a hash index by link beside it, so that merging
// a run's results asks "is this link known?" in O(1) instead of scanning the list.
// The list keeps its order and may hold one link several times (a search that does not
// keep old results appends a result again each run); FindByLink answers the first entry
// with that link in list order, exactly as a front-to-back scan would.
// TItem is a shared pointer to an object with GetLink(). An item's link must not change
// while it is in the list: the index keys are views of the first item's link. A search may
// hold a million results, so the index costs no allocation of its own for a link that occurs
// once. Not thread-safe: the owning search's lock guards it.
template <class TItem>
class TLinkIndexedList {
public:
    using const_iterator = typename std::vector<TItem>::const_iterator;

    std::size_t size() const { return fItems.size(); }
    bool empty() const { return fItems.empty(); }
    const TItem& operator[](std::size_t aIndex) const { return fItems[aIndex]; }
    const_iterator begin() const { return fItems.begin(); }
    const_iterator end() const { return fItems.end(); }
    const std::vector<TItem>& Items() const { return fItems; }

    void Add(TItem aItem) {
        auto [it, added] = fByLink.try_emplace(aItem->GetLink(), aItem);
        if (!added) it->second.Insert(it->second.Size(), aItem);
        fItems.push_back(std::move(aItem));
    }

    void Insert(std::size_t aIndex, TItem aItem) {
        aIndex = std::min(aIndex, fItems.size());
        const std::size_t position = SameLinkBefore(aIndex, aItem->GetLink());
        auto [it, added] = fByLink.try_emplace(aItem->GetLink(), aItem);
        if (!added) {
            it->second.Insert(position, aItem);
            if (position == 0) KeyByFirst(it);
        }
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
        // The item stays in fItems until the end, so the key viewing its link stays valid.
        const std::string& link = fItems[aIndex]->GetLink();
        const std::size_t position = SameLinkBefore(aIndex, link);
        auto bucketIt = fByLink.find(link);
        if (!bucketIt->second.Erase(position))
            fByLink.erase(bucketIt);
        else if (position == 0)
            KeyByFirst(bucketIt);
        fItems.erase(fItems.begin() + aIndex);
    }

    void Clear() {
        fByLink.clear();
        fItems.clear();
    }

    // Replaces the whole content, for callers that reorder the list.
    void Assign(std::vector<TItem> aItems) {
        Clear();
        fItems.reserve(aItems.size());
        fByLink.reserve(aItems.size());
        for (auto& item : aItems) Add(std::move(item));
    }

    // The first item in list order whose link equals aLink exactly; null when none.
    TItem FindByLink(const std::string& aLink) const {
        auto it = fByLink.find(aLink);
        return it == fByLink.end() ? TItem() : it->second.First();
    }
    bool ContainsLink(const std::string& aLink) const { return fByLink.count(aLink) > 0; }

private:
    // The items of one link in list order; the first is held in place.
    class TBucket {
    public:
        explicit TBucket(TItem aFirst) : fFirst(std::move(aFirst)) {}
        std::size_t Size() const { return 1 + fMore.size(); }
        const TItem& First() const { return fFirst; }
        void Insert(std::size_t aPosition, TItem aItem) {
            if (aPosition > 0) {
                fMore.insert(fMore.begin() + static_cast<std::ptrdiff_t>(aPosition - 1), std::move(aItem));
                return;
            }
            fMore.insert(fMore.begin(), std::move(fFirst));
            fFirst = std::move(aItem);
        }
        // False when the bucket held only this item and is to go.
        bool Erase(std::size_t aPosition) {
            if (aPosition > 0) {
                fMore.erase(fMore.begin() + static_cast<std::ptrdiff_t>(aPosition - 1));
                return true;
            }
            if (fMore.empty()) return false;
            fFirst = std::move(fMore.front());
            fMore.erase(fMore.begin());
            return true;
        }

    private:
        TItem fFirst;
        std::vector<TItem> fMore;
    };
    using TIndex = std::unordered_map<std::string_view, TBucket>;

    // Points the key at the link of the bucket's first item, which lives as long as the key.
    void KeyByFirst(typename TIndex::iterator aBucket) {
        auto node = fByLink.extract(aBucket);
        node.key() = node.mapped().First()->GetLink();
        fByLink.insert(std::move(node));
    }

    // How many items before aIndex share aLink: the position in the link's bucket.
    std::size_t SameLinkBefore(std::size_t aIndex, const std::string& aLink) const {
        auto bucketIt = fByLink.find(aLink);
        if (bucketIt == fByLink.end()) return 0;
        // Appends and removals at the end are the common case: answer them without a scan.
        if (aIndex == fItems.size()) return bucketIt->second.Size();
        if (bucketIt->second.Size() == 1 && aIndex < fItems.size() && fItems[aIndex] == bucketIt->second.First())
            return 0;
        std::size_t count = 0;
        for (std::size_t i = 0; i < aIndex; ++i)
            if (fItems[i]->GetLink() == aLink) ++count;
        return count;
    }

    std::vector<TItem> fItems;
    TIndex fByLink;
};

}  // namespace trawlix
