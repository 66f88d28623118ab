#include "ui/selection_tree.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <unordered_set>

namespace trawlix {

namespace {

constexpr int cPlaceRole = Qt::UserRole + 1;

Qt::CheckState CheckStateOf(int aMark) {
    switch (aMark) {
        case nmChecked: return Qt::Checked;
        case nmPartlyChecked: return Qt::PartiallyChecked;
        default: return Qt::Unchecked;
    }
}

}  // namespace

TSelectionTree::TSelectionTree(QWidget* aParent) : QTreeWidget(aParent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
}

void TSelectionTree::FillLocationsTreeView(const TPlaceList& aTopLocations) {
    setUpdatesEnabled(false);
    clear();
    fAllItems.clear();
    fItemsByPlace.clear();
    for (const TPlace* place : aTopLocations) {
        auto* item = new QTreeWidgetItem(this);
        AddSubtree(item, place);
    }
    setUpdatesEnabled(true);
}

void TSelectionTree::AddSubtree(QTreeWidgetItem* aItem, const TPlace* aPlace) {
    aItem->setText(0, QString::fromStdString(aPlace->GetName()));
    aItem->setData(0, cPlaceRole, QVariant::fromValue(reinterpret_cast<quintptr>(aPlace)));
    // Marks are ours to change: the view must not toggle them on its own.
    aItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    SetMark(aItem, nmUnchecked);
    fAllItems.push_back(aItem);
    fItemsByPlace[aPlace] = aItem;
    for (const TPlace* child : aPlace->GetChildren()) AddSubtree(new QTreeWidgetItem(aItem), child);
}

int TSelectionTree::GetMark(const QTreeWidgetItem* aItem) {
    switch (aItem->checkState(0)) {
        case Qt::Checked: return nmChecked;
        case Qt::PartiallyChecked: return nmPartlyChecked;
        default: return nmUnchecked;
    }
}

void TSelectionTree::SetMark(QTreeWidgetItem* aItem, int aMark) { aItem->setCheckState(0, CheckStateOf(aMark)); }

TPlace* TSelectionTree::ItemPlace(const QTreeWidgetItem* aItem) {
    return reinterpret_cast<TPlace*>(aItem->data(0, cPlaceRole).value<quintptr>());
}

QTreeWidgetItem* TSelectionTree::ItemOfPlace(const TPlace* aPlace) const {
    auto found = fItemsByPlace.find(aPlace);
    return found == fItemsByPlace.end() ? nullptr : found->second;
}

void TSelectionTree::UpdateHashEntry(QTreeWidgetItem* aItem, TLocationsTreeHash* aHash) {
    if (!aHash) return;
    const int mark = GetMark(aItem);
    if (mark < nmChecked)
        aHash->erase(ItemPlace(aItem));
    else
        (*aHash)[ItemPlace(aItem)] = mark;
}

void TSelectionTree::SetDescendants(QTreeWidgetItem* aItem, int aMark, TLocationsTreeHash* aHash) {
    for (int i = 0; i < aItem->childCount(); ++i) {
        QTreeWidgetItem* child = aItem->child(i);
        SetMark(child, aMark);
        UpdateHashEntry(child, aHash);
        SetDescendants(child, aMark, aHash);
    }
}

void TSelectionTree::UpdateParents(QTreeWidgetItem* aItem, bool aAfterCheck, TLocationsTreeHash* aHash) {
    // A partly checked level makes every level above it partly checked as well.
    bool abovePartly = false;
    for (QTreeWidgetItem* parent = aItem->parent(); parent; parent = parent->parent()) {
        int mark = nmPartlyChecked;
        if (!abovePartly) {
            bool mixed = false;
            for (int i = 0; i < parent->childCount() && !mixed; ++i) {
                const int childMark = GetMark(parent->child(i));
                mixed = aAfterCheck ? childMark != nmChecked : childMark != nmUnchecked;
            }
            mark = mixed ? nmPartlyChecked : (aAfterCheck ? nmChecked : nmUnchecked);
        }
        if (GetMark(parent) == mark) return;
        SetMark(parent, mark);
        UpdateHashEntry(parent, aHash);
        if (mark == nmPartlyChecked) abovePartly = true;
    }
}

void TSelectionTree::ToggleSelectedStateIndex(QTreeWidgetItem* aSelected, bool aFillSearch,
                                              TLocationsTreeHash* aTreeHash, bool aDoNothingIfChecked) {
    if (!aSelected) return;
    if (aDoNothingIfChecked && GetMark(aSelected) != nmUnchecked) return;
    const bool check = GetMark(aSelected) == nmUnchecked;
    const int mark = check ? nmChecked : nmUnchecked;
    SetMark(aSelected, mark);
    if (aFillSearch) SetDescendants(aSelected, mark, aTreeHash);
    UpdateHashEntry(aSelected, aTreeHash);
    UpdateParents(aSelected, check, aTreeHash);
}

void TSelectionTree::SetAllUnchecked() {
    setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : fAllItems) SetMark(item, nmUnchecked);
    setUpdatesEnabled(true);
}

void TSelectionTree::ShowCompressedSelection(const TPlaceList& aPlaces) {
    setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : fAllItems) SetMark(item, nmUnchecked);
    collapseAll();
    const std::unordered_set<const TPlace*> chosen(aPlaces.begin(), aPlaces.end());
    for (auto item = fAllItems.rbegin(); item != fAllItems.rend(); ++item)
        if (chosen.count(ItemPlace(*item))) ToggleSelectedStateIndex(*item, true, nullptr, false);
    setUpdatesEnabled(true);
    if (topLevelItemCount() > 0) scrollToTop();
}

QTreeWidgetItem* TSelectionTree::FindItemContaining(const QString& aText) const {
    for (QTreeWidgetItem* item : fAllItems) {
        // The place's own name counts too: "united" still finds the country shown as "United States".
        const TPlace* place = ItemPlace(item);
        if (item->text(0).contains(aText, Qt::CaseSensitive) ||
            (place && QString::fromStdString(place->GetName()).contains(aText, Qt::CaseSensitive)))
            return item;
    }
    return nullptr;
}

void TSelectionTree::SetMarksFromHash(const TLocationsTreeHash& aHash) {
    setUpdatesEnabled(false);
    for (QTreeWidgetItem* item : fAllItems) {
        auto found = aHash.find(ItemPlace(item));
        SetMark(item, found == aHash.end() ? nmUnchecked : found->second);
    }
    setUpdatesEnabled(true);
}

bool TSelectionTree::HasAnyMark() const {
    // Parents always follow their children, so the top level tells.
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (GetMark(topLevelItem(i)) != nmUnchecked) return true;
    return false;
}

TPlaceList TSelectionTree::GetCompressed() const { return GetCompressedLocations(*this); }

std::vector<std::string> TSelectionTree::MarkedTopLevelNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (GetMark(topLevelItem(i)) != nmUnchecked) names.push_back(ItemPlace(topLevelItem(i))->GetName());
    return names;
}

QRect TSelectionTree::MarkRect(QTreeWidgetItem* aItem) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = indexFromItem(aItem);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.checkState = aItem->checkState(0);
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

void TSelectionTree::UserToggle(QTreeWidgetItem* aItem) {
    if (!aItem) return;
    if (OnUserToggled)
        OnUserToggled(aItem);
    else
        ToggleSelectedStateIndex(aItem, true, nullptr, false);
}

void TSelectionTree::mousePressEvent(QMouseEvent* aEvent) {
    QTreeWidgetItem* item = itemAt(aEvent->position().toPoint());
    if (item && aEvent->button() == Qt::LeftButton && MarkRect(item).contains(aEvent->position().toPoint())) {
        setCurrentItem(item);
        UserToggle(item);
        aEvent->accept();
        return;
    }
    QTreeWidget::mousePressEvent(aEvent);
}

void TSelectionTree::keyPressEvent(QKeyEvent* aEvent) {
    if (aEvent->key() == Qt::Key_Space && currentItem()) {
        UserToggle(currentItem());
        aEvent->accept();
        return;
    }
    QTreeWidget::keyPressEvent(aEvent);
}

// --- ISelectionTree ---

std::vector<ISelectionTree::TItem> TSelectionTree::GetTopLevelItems() const {
    std::vector<TItem> items;
    for (int i = 0; i < topLevelItemCount(); ++i) items.push_back(topLevelItem(i));
    return items;
}

std::vector<ISelectionTree::TItem> TSelectionTree::GetChildItems(TItem aItem) const {
    const auto* item = static_cast<const QTreeWidgetItem*>(aItem);
    std::vector<TItem> items;
    for (int i = 0; i < item->childCount(); ++i) items.push_back(item->child(i));
    return items;
}

TSelectionState TSelectionTree::GetItemState(TItem aItem) const {
    switch (GetMark(static_cast<const QTreeWidgetItem*>(aItem))) {
        case nmChecked: return TSelectionState::Selected;
        case nmPartlyChecked: return TSelectionState::PartlySelected;
        default: return TSelectionState::Unselected;
    }
}

TPlace* TSelectionTree::GetItemPlace(TItem aItem) const {
    return ItemPlace(static_cast<const QTreeWidgetItem*>(aItem));
}

}  // namespace trawlix
