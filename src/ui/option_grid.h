#pragma once

#include <QStyledItemDelegate>
#include <QTableWidget>

#include <functional>
#include <vector>

#include "model/property_container.h"

namespace trawlix {

class IUserDialogs;

// The "More Options" grid: one row per option of the current search, grouped under
// heading rows, with per-type editing. Values go through the option's own checks; a
// refused value leaves the stored one in place.
class TOptionGrid : public QTableWidget, public TPropertyGrid {
    Q_OBJECT
public:
    TOptionGrid(IUserDialogs& aDialogs, QWidget* aParent = nullptr);

    // The container whose options are shown (the current search's); used for the price pair.
    void SetContainer(TPropertyContainer* aContainer) { fContainer = aContainer; }

    // TPropertyGrid
    void ClearRows() override;
    void AddHeadingRow(const std::string& aCategory) override;
    void AddPropRow(const std::string& aKey, const std::string& aValue, TProp& aProp, TEditStyle aEditStyle,
                    const std::string& aCaption) override;
    void SelectLastValueCell() override;
    void Redraw() override;

    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    TProp* RowProp(int aRow) const;
    int RowOfKey(const std::string& aKey) const;
    // Stores a value typed for a row: the price pair check, then the option's own check;
    // a refusal is shown as a warning. The cell then shows what is stored.
    void ValidateRow(int aRow, const QString& aText);
    // The ellipsis button of a free-text row: the "Edit value" dialog. Tests replace it.
    std::function<bool(QString& aText)> EditValueDialog;
    // A value the user typed or picked was taken.
    std::function<void()> OnValueChanged;

    // Fired when the grid gains or loses its last row.
    std::function<void()> OnRowsChanged;

private:
    void ShowStoredValue(int aRow);

    IUserDialogs& fDialogs;
    TPropertyContainer* fContainer = nullptr;
    std::vector<TProp*> fRowProps;
};

// Creates the editors of the grid's value cells: a drop-down for pick lists, a line for the
// others, with an ellipsis button that opens the "Edit value" dialog on free-text rows.
class TOptionGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TOptionGridDelegate(TOptionGrid& aGrid) : QStyledItemDelegate(&aGrid), fGrid(aGrid) {}
    QWidget* createEditor(QWidget* aParent, const QStyleOptionViewItem& aOption,
                          const QModelIndex& aIndex) const override;
    void setEditorData(QWidget* aEditor, const QModelIndex& aIndex) const override;
    void setModelData(QWidget* aEditor, QAbstractItemModel* aModel, const QModelIndex& aIndex) const override;

private:
    TOptionGrid& fGrid;
};

}  // namespace trawlix
