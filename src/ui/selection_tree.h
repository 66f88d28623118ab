#pragma once

#include <QTreeWidget>

#include <functional>
#include <unordered_map>

#include "model/place_selection.h"
#include "model/places.h"

namespace trawlix {

// Marks of a selection tree node, as the trees have always numbered them.
enum TNodeMark { nmUnchecked = 1, nmChecked = 2, nmPartlyChecked = 3 };

// The cache of a search's location marks: every node marked 2 or 3, by its place.
using TLocationsTreeHash = std::unordered_map<const TPlace*, int>;

// A tree of places (locations or categories) with three-state marks. Marks change only
// by a click on the mark itself or by Space; a click on the text only selects the node.
class TSelectionTree : public QTreeWidget, public ISelectionTree {
    Q_OBJECT
public:
    explicit TSelectionTree(QWidget* aParent = nullptr);

    // Builds the nodes once: one per place, children in the places' order, all unchecked.
    void FillLocationsTreeView(const TPlaceList& aTopLocations);

    static int GetMark(const QTreeWidgetItem* aItem);
    static TPlace* ItemPlace(const QTreeWidgetItem* aItem);
    // Every node in display order (a node before its children).
    const std::vector<QTreeWidgetItem*>& AllItems() const { return fAllItems; }
    QTreeWidgetItem* ItemOfPlace(const TPlace* aPlace) const;

    // Toggles a node's mark; with aFillSearch the whole subtree follows (a user's click).
    // Parents are updated and every changed node's entry in aTreeHash (when given) too.
    void ToggleSelectedStateIndex(QTreeWidgetItem* aSelected, bool aFillSearch, TLocationsTreeHash* aTreeHash,
                                  bool aDoNothingIfChecked);
    void SetAllUnchecked();
    void SetMarksFromHash(const TLocationsTreeHash& aHash);
    bool HasAnyMark() const;
    // Unchecks and folds the whole tree, then checks each listed place with its subtree
    // (a compressed selection never lists a place beside one of its ancestors).
    void ShowCompressedSelection(const TPlaceList& aPlaces);
    // The first node whose text, or its place's own name, contains aText (case-sensitive).
    QTreeWidgetItem* FindItemContaining(const QString& aText) const;
    TPlaceList GetCompressed() const;
    // Names of the top-level nodes that are checked or partly checked.
    std::vector<std::string> MarkedTopLevelNames() const;

    // Where a click toggles the node's mark (viewport coordinates).
    QRect MarkRect(QTreeWidgetItem* aItem) const;

    // Called after a user's toggle with the node that changed.
    std::function<void(QTreeWidgetItem*)> OnUserToggled;

    // ISelectionTree
    std::vector<TItem> GetTopLevelItems() const override;
    std::vector<TItem> GetChildItems(TItem aItem) const override;
    TSelectionState GetItemState(TItem aItem) const override;
    TPlace* GetItemPlace(TItem aItem) const override;

protected:
    void mousePressEvent(QMouseEvent* aEvent) override;
    void keyPressEvent(QKeyEvent* aEvent) override;

private:
    void AddSubtree(QTreeWidgetItem* aItem, const TPlace* aPlace);
    static void SetMark(QTreeWidgetItem* aItem, int aMark);
    static void UpdateHashEntry(QTreeWidgetItem* aItem, TLocationsTreeHash* aHash);
    void SetDescendants(QTreeWidgetItem* aItem, int aMark, TLocationsTreeHash* aHash);
    void UpdateParents(QTreeWidgetItem* aItem, bool aAfterCheck, TLocationsTreeHash* aHash);
    void UserToggle(QTreeWidgetItem* aItem);

    std::vector<QTreeWidgetItem*> fAllItems;
    std::unordered_map<const TPlace*, QTreeWidgetItem*> fItemsByPlace;
};

}  // namespace trawlix
