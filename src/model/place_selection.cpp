#include "model/place_selection.h"

namespace trawlix {

int TPlaceWrapperList::Add(std::unique_ptr<TPlaceWrapper> aWrapper) {
    const size_t index = fItems.size();
    // The first wrapper of a node is the one found, as with a list searched from the top.
    fHash.emplace(aWrapper->GetPlace(), index);
    fItems.push_back(std::move(aWrapper));
    return static_cast<int>(index);
}

void TPlaceWrapperList::Clear() {
    fItems.clear();
    fHash.clear();
}

TPlaceWrapper* TPlaceWrapperList::GetPlaceWrapperByPlace(const TPlace* aPlace) const {
    const auto found = fHash.find(aPlace);
    return found != fHash.end() ? fItems[found->second].get() : nullptr;
}

TPlaceSelectionTree::TPlaceSelectionTree(const TPlaceList& aTopLevel, const TPlaceList& aSelected)
    : fTopLevel(aTopLevel) {
    std::unordered_map<const TPlace*, bool> selected;
    for (const TPlace* place : aSelected)
        selected[place] = true;
    for (const TPlace* place : fTopLevel)
        ComputeState(place, selected);
}

TSelectionState TPlaceSelectionTree::ComputeState(const TPlace* aPlace,
                                                  const std::unordered_map<const TPlace*, bool>& aSelected) {
    TSelectionState state = TSelectionState::Unselected;
    if (aPlace->GetChildren().empty()) {
        if (aSelected.count(aPlace))
            state = TSelectionState::Selected;
    } else {
        size_t selectedChildren = 0;
        bool anyChildTouched = false;
        for (const TPlace* child : aPlace->GetChildren()) {
            const TSelectionState childState = ComputeState(child, aSelected);
            selectedChildren += childState == TSelectionState::Selected;
            anyChildTouched |= childState != TSelectionState::Unselected;
        }
        if (selectedChildren == aPlace->GetChildren().size())
            state = TSelectionState::Selected;
        else if (anyChildTouched)
            state = TSelectionState::PartlySelected;
    }
    fStates[aPlace] = state;
    return state;
}

std::vector<ISelectionTree::TItem> TPlaceSelectionTree::GetTopLevelItems() const {
    return {fTopLevel.begin(), fTopLevel.end()};
}

std::vector<ISelectionTree::TItem> TPlaceSelectionTree::GetChildItems(TItem aItem) const {
    const auto& children = static_cast<const TPlace*>(aItem)->GetChildren();
    return {children.begin(), children.end()};
}

TSelectionState TPlaceSelectionTree::GetItemState(TItem aItem) const {
    const auto found = fStates.find(static_cast<const TPlace*>(aItem));
    return found != fStates.end() ? found->second : TSelectionState::Unselected;
}

TPlace* TPlaceSelectionTree::GetItemPlace(TItem aItem) const {
    return const_cast<TPlace*>(static_cast<const TPlace*>(aItem));
}

namespace {

void CollectCompressed(const ISelectionTree& aTree, ISelectionTree::TItem aItem, bool aParentFullySelected,
                       TPlaceList& aResult) {
    const TSelectionState state = aTree.GetItemState(aItem);
    if (state == TSelectionState::Unselected)
        return;
    for (ISelectionTree::TItem child : aTree.GetChildItems(aItem))
        CollectCompressed(aTree, child, state == TSelectionState::Selected, aResult);
    if (state == TSelectionState::Selected && !aParentFullySelected)
        aResult.push_back(aTree.GetItemPlace(aItem));
}

void WrapSubtree(TPlace* aPlace, TPlaceWrapperList& aLocations) {
    const bool hasChildren = !aPlace->GetChildren().empty();
    aLocations.Add(std::make_unique<TPlaceWrapper>(aPlace, hasChildren));
    for (TPlace* child : aPlace->GetChildren())
        WrapSubtree(child, aLocations);
}

void CollectLeaves(TPlace* aPlace, TPlaceList& aLeaves) {
    if (aPlace->GetChildren().empty()) {
        aLeaves.push_back(aPlace);
        return;
    }
    for (TPlace* child : aPlace->GetChildren())
        CollectLeaves(child, aLeaves);
}

}  // namespace

TPlaceList GetCompressedLocations(const ISelectionTree& aTree) {
    TPlaceList result;
    for (ISelectionTree::TItem item : aTree.GetTopLevelItems())
        CollectCompressed(aTree, item, false, result);
    return result;
}

void GetLocationsFromCompressed(const TPlaceList& aCompressed, TPlaceWrapperList& aLocations) {
    aLocations.Clear();
    for (TPlace* place : aCompressed)
        WrapSubtree(place, aLocations);
}

void GetCategoriesFromCompressed(const TPlaceList& aCompressed, TPlaceList& aCategories) {
    aCategories.clear();
    for (TPlace* place : aCompressed)
        CollectLeaves(place, aCategories);
}

}  // namespace trawlix
