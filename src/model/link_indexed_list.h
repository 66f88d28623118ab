#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
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
// while it is in the list. Not thread-safe: the owning search's lock guards it.
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
        fByLink[aItem->GetLink()].push_back(aItem);
        fItems.push_back(std::move(aItem));
    }

    void Insert(std::size_t aIndex, TItem aItem) {
        aIndex = std::min(aIndex, fItems.size());
        auto& bucket = fByLink[aItem->GetLink()];
        bucket.insert(bucket.begin() + SameLinkBefore(aIndex, aItem->GetLink()), aItem);
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
        const std::string link = fItems[aIndex]->GetLink();
        auto bucketIt = fByLink.find(link);
        auto& bucket = bucketIt->second;
        bucket.erase(bucket.begin() + SameLinkBefore(aIndex, link));
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
        fItems.reserve(aItems.size());
        for (auto& item : aItems) Add(std::move(item));
    }

    // The first item in list order whose link equals aLink exactly; null when none.
    TItem FindByLink(const std::string& aLink) const {
        auto it = fByLink.find(aLink);
        return it == fByLink.end() ? TItem() : it->second.front();
    }
    bool ContainsLink(const std::string& aLink) const { return fByLink.count(aLink) > 0; }

private:
    // How many items before aIndex share aLink: the position in the link's bucket.
    std::size_t SameLinkBefore(std::size_t aIndex, const std::string& aLink) const {
        auto bucketIt = fByLink.find(aLink);
        if (bucketIt == fByLink.end()) return 0;
        // Appends and removals at the end are the common case: answer them without a scan.
        if (aIndex == fItems.size()) return bucketIt->second.size();
        if (bucketIt->second.size() == 1 && aIndex < fItems.size() && fItems[aIndex] == bucketIt->second.front())
            return 0;
        std::size_t count = 0;
        for (std::size_t i = 0; i < aIndex; ++i)
            if (fItems[i]->GetLink() == aLink) ++count;
        return count;
    }

    std::vector<TItem> fItems;
    std::unordered_map<std::string, std::vector<TItem>> fByLink;
};

}  // namespace trawlix
