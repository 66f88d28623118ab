#include "ui/option_grid.h"

#include <QComboBox>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>

#include "model/option_groups.h"
#include "ui/form_edit_text_value.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

const QColor cDefaultValueColour(128, 128, 128);
const QColor cHeadingColour(166, 202, 240);

QLineEdit* LineOf(QWidget* aEditor) { return qobject_cast<QLineEdit*>(aEditor); }

}  // namespace

TOptionGrid::TOptionGrid(IUserDialogs& aDialogs, QWidget* aParent) : QTableWidget(0, 2, aParent), fDialogs(aDialogs) {
    setObjectName("vleCustomOptions");
    setHorizontalHeaderLabels({"Option", "Value"});
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setItemDelegateForColumn(1, new TOptionGridDelegate(*this));
    EditValueDialog = [this](QString& aText) {
        TformEditTextValue dialog(this);
        if (!dialog.Execute(aText)) return false;
        aText = dialog.GetValue();
        return true;
    };
}

void TOptionGrid::ClearRows() {
    const bool hadRows = rowCount() > 0;
    setRowCount(0);
    fRowProps.clear();
    if (hadRows && OnRowsChanged) OnRowsChanged();
}

void TOptionGrid::AddHeadingRow(const std::string& aCategory) {
    const int row = rowCount();
    insertRow(row);
    fRowProps.push_back(nullptr);
    auto* key = new QTableWidgetItem(QIcon(":/pictures/heading.svg"), " " + QString::fromStdString(aCategory));
    QFont bold = key->font();
    bold.setBold(true);
    key->setFont(bold);
    for (int column = 0; column < 2; ++column) {
        QTableWidgetItem* item = column == 0 ? key : new QTableWidgetItem();
        item->setFlags(Qt::ItemIsEnabled);  // headings are read-only and never selected
        item->setBackground(cHeadingColour);
        setItem(row, column, item);
    }
    if (row == 0 && OnRowsChanged) OnRowsChanged();
}

void TOptionGrid::AddPropRow(const std::string& aKey, const std::string& aValue, TProp& aProp,
                             TEditStyle /*aEditStyle*/, const std::string& aCaption) {
    const int row = rowCount();
    insertRow(row);
    fRowProps.push_back(&aProp);
    auto* key = new QTableWidgetItem(QString::fromStdString(aCaption));
    key->setData(Qt::UserRole, QString::fromStdString(aKey));
    key->setFlags(Qt::ItemIsEnabled);
    setItem(row, 0, key);
    setItem(row, 1, new QTableWidgetItem(QString::fromStdString(aValue)));
    ShowStoredValue(row);
    if (row == 0 && OnRowsChanged) OnRowsChanged();
}

void TOptionGrid::SelectLastValueCell() {
    if (rowCount() > 0) setCurrentCell(rowCount() - 1, 1);
}

void TOptionGrid::Redraw() { viewport()->update(); }

TProp* TOptionGrid::RowProp(int aRow) const {
    return aRow >= 0 && aRow < static_cast<int>(fRowProps.size()) ? fRowProps[aRow] : nullptr;
}

int TOptionGrid::RowOfKey(const std::string& aKey) const {
    for (int row = 0; row < rowCount(); ++row)
        if (fRowProps[row] && fRowProps[row]->GetName() == aKey) return row;
    return -1;
}

void TOptionGrid::ShowStoredValue(int aRow) {
    TProp* prop = RowProp(aRow);
    QTableWidgetItem* cell = item(aRow, 1);
    if (!prop || !cell) return;
    const std::string shown = prop->AsString();
    // An empty cell must never stand for a stored value.
    cell->setText(shown.empty() ? QStringLiteral(" ") : QString::fromStdString(shown));
    cell->setForeground(prop->HoldsDefaultValue() ? cDefaultValueColour : QColor(Qt::black));
}

void TOptionGrid::ValidateRow(int aRow, const QString& aText) {
    TProp* prop = RowProp(aRow);
    if (!prop) return;
    const std::string value = aText.toStdString();
    std::string refusal;
    if (fContainer) refusal = CheckPriceRange(*fContainer, prop->GetName(), value);
    if (refusal.empty()) {
        std::string errorMessage;
        const std::string before = prop->AsString();
        if (!prop->SetValue(value, errorMessage)) refusal = errorMessage;
        else if (prop->AsString() != before && OnValueChanged) OnValueChanged();
    }
    if (!refusal.empty()) fDialogs.Warning(refusal);
    ShowStoredValue(aRow);
}

// --- TOptionGridDelegate ---

QWidget* TOptionGridDelegate::createEditor(QWidget* aParent, const QStyleOptionViewItem& /*aOption*/,
                                           const QModelIndex& aIndex) const {
    TProp* prop = fGrid.RowProp(aIndex.row());
    if (!prop) return nullptr;
    if (prop->GetEditStyle() == esPickList) {
        auto* combo = new QComboBox(aParent);
        combo->setEditable(true);  // typing an option's text picks it, in any letter case
        combo->setInsertPolicy(QComboBox::NoInsert);
        connect(combo, &QComboBox::activated, this, [this, combo] {
            emit const_cast<TOptionGridDelegate*>(this)->commitData(combo);
            emit const_cast<TOptionGridDelegate*>(this)->closeEditor(combo);
        });
        TStringList choices;
        prop->GetPickList(choices);
        for (const std::string& choice : choices) combo->addItem(QString::fromStdString(choice));
        return combo;
    }
    auto* line = new QLineEdit(aParent);
    if (prop->GetEditStyle() == esEllipsis) {
        QAction* ellipsis = line->addAction(QIcon(":/pictures/ellipsis.svg"), QLineEdit::TrailingPosition);
        ellipsis->setObjectName("btnEditValue");
        ellipsis->setToolTip("Edit value");
        const int row = aIndex.row();
        TOptionGrid* grid = &fGrid;
        connect(ellipsis, &QAction::triggered, line, [grid, line, row] {
            QString text = line->text();
            if (!grid->EditValueDialog || !grid->EditValueDialog(text)) return;
            line->setText(text);
            grid->ValidateRow(row, text);
        });
    }
    return line;
}

void TOptionGridDelegate::setEditorData(QWidget* aEditor, const QModelIndex& aIndex) const {
    TProp* prop = fGrid.RowProp(aIndex.row());
    if (!prop) return;
    QString text = aIndex.data().toString();
    // A cell showing a substitute ("undefined") is typed over, not edited.
    if (text.toStdString() != prop->GetOriginalValueIfModified(text.toStdString()) || text.trimmed().isEmpty())
        text.clear();
    if (auto* combo = qobject_cast<QComboBox*>(aEditor)) {
        combo->setCurrentIndex(combo->findText(aIndex.data().toString()));
        if (text.isEmpty()) combo->setEditText(QString());
        return;
    }
    if (QLineEdit* line = LineOf(aEditor)) line->setText(text);
}

void TOptionGridDelegate::setModelData(QWidget* aEditor, QAbstractItemModel* /*aModel*/,
                                       const QModelIndex& aIndex) const {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(aEditor))
        text = combo->currentText();
    else if (QLineEdit* line = LineOf(aEditor))
        text = line->text();
    fGrid.ValidateRow(aIndex.row(), text);
}

}  // namespace trawlix
