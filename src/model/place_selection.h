#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/places.h"

namespace trawlix {

// One selected location of a search, expanded from its compressed selection.
class TPlaceWrapper {
public:
    TPlaceWrapper(TPlace* aPlace, bool aAllChildrenAreSelected)
        : fPlace(aPlace), fAllChildrenAreSelected(aAllChildrenAreSelected) {}

    TPlace* GetPlace() const { return fPlace; }
    bool GetAllChildrenAreSelected() const { return fAllChildrenAreSelected; }
    void SetAllChildrenAreSelected(bool aValue) { fAllChildrenAreSelected = aValue; }

private:
    TPlace* fPlace;  // not owned
    bool fAllChildrenAreSelected;
};

class TPlaceWrapperList {
public:
    int Add(std::unique_ptr<TPlaceWrapper> aWrapper);
    void Clear();
    int Count() const { return static_cast<int>(fItems.size()); }
    TPlaceWrapper* GetItem(int aIndex) const { return fItems.at(aIndex).get(); }
    const std::vector<std::unique_ptr<TPlaceWrapper>>& GetItems() const { return fItems; }
    // The wrapper of the node, null when the node is not in the list.
    TPlaceWrapper* GetPlaceWrapperByPlace(const TPlace* aPlace) const;

private:
    std::vector<std::unique_ptr<TPlaceWrapper>> fItems;
    std::unordered_map<const TPlace*, size_t> fHash;
};

enum class TSelectionState { Unselected, Selected, PartlySelected };

// What the compression needs of a tri-state selection tree; a window's tree view
// implements it over its own items.
class ISelectionTree {
public:
    using TItem = const void*;
    virtual ~ISelectionTree() = default;
    virtual std::vector<TItem> GetTopLevelItems() const = 0;
    virtual std::vector<TItem> GetChildItems(TItem aItem) const = 0;
    virtual TSelectionState GetItemState(TItem aItem) const = 0;
    virtual TPlace* GetItemPlace(TItem aItem) const = 0;
};

// A selection tree over place nodes, its states computed as a selection tree is filled:
// a leaf is selected when it is in aSelected; an inner node is selected when all its
// children are and partly selected when some are.
class TPlaceSelectionTree : public ISelectionTree {
public:
    TPlaceSelectionTree(const TPlaceList& aTopLevel, const TPlaceList& aSelected);

    std::vector<TItem> GetTopLevelItems() const override;
    std::vector<TItem> GetChildItems(TItem aItem) const override;
    TSelectionState GetItemState(TItem aItem) const override;
    TPlace* GetItemPlace(TItem aItem) const override;

private:
    TSelectionState ComputeState(const TPlace* aPlace, const std::unordered_map<const TPlace*, bool>& aSelected);

    TPlaceList fTopLevel;
    std::unordered_map<const TPlace*, TSelectionState> fStates;
};

// Every selected node whose parent is absent or partly selected, per top-level node
// in post-order (children before their parent).
TPlaceList GetCompressedLocations(const ISelectionTree& aTree);
// Every node of every selected subtree, in pre-order; inner nodes are wrapped with
// AllChildrenAreSelected true.
void GetLocationsFromCompressed(const TPlaceList& aCompressed, TPlaceWrapperList& aLocations);
// The leaves of every selected subtree, left to right.
void GetCategoriesFromCompressed(const TPlaceList& aCompressed, TPlaceList& aCategories);

}  // namespace trawlix
