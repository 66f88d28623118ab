#include "ui/results_list.h"

#include <QAction>
#include <QActionGroup>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>

#include "app/session.h"
#include "app/settings.h"
#include "model/entry_sorting.h"
#include "model/search.h"
#include "ui/results_model.h"
#include "ui/visible_columns_dialog.h"

namespace trawlix {

namespace {

// Widths of the optional columns when they are shown again after being hidden.
int ShowAgainWidth(const QString& aCaption) {
    if (aCaption == "Image") return 50;
    if (aCaption == "Date") return 70;
    if (aCaption == "Price") return 60;
    return 75;
}

}  // namespace

// --- sorting by a column ----------------------------------------------------------------

void TResultsList::SetSortIndex(int aValue, bool aUpdateMenu, bool aUpdateColumns) {
    fSortIndex = aValue;
    if (aUpdateMenu) UpdateSortMenu();
    if (aUpdateColumns) UpdateSortListViewColumns();
}

void TResultsList::SetSortAscending(bool aValue, bool aUpdateMenu, bool aUpdateColumns) {
    fSortAscending = aValue;
    if (aUpdateMenu) UpdateSortMenu();
    if (aUpdateColumns) UpdateSortListViewColumns();
}

void TResultsList::UpdateSortListViewColumns() {
    QHeaderView* header = fContext.list->horizontalHeader();
    const QSignalBlocker quiet(header);
    header->setSortIndicator(fSortIndex, fSortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TResultsList::UpdateSortMenu() {
    for (QAction* item : fSortByGroup->actions()) item->setChecked(false);
    const std::pair<QAction*, int> items[] = {{miDate, cSortByDate},
                                              {miCaption, cSortByCaption},
                                              {miPrice, cSortByPrice},
                                              {miLocation, cSortByLocation},
                                              {miCategory, cSortByCategory}};
    for (const auto& [item, column] : items)
        if (column == fSortIndex) item->setChecked(true);
    (fSortAscending ? miAscending : miDescending)->setChecked(true);
}

void TResultsList::ColumnClick(int aColumn) {
    if (Exiting()) return;
    if (!IsSortColumn(aColumn)) {
        UpdateSortListViewColumns();  // the header may have moved its marker by itself
        return;
    }
    const bool showsDescending = aColumn == fSortIndex && !fSortAscending;
    SetSortIndex(aColumn, true, true);
    SetSortAscending(showsDescending, true, true);
    SortAndRepaint();
}

void TResultsList::SortAndRepaint() {
    UpdateSortListViewColumns();
    if (TSearch* search = CurrentSearch()) fContext.viewHelper->SortViewList(*search);
    Repaint();
}

// --- columns ---------------------------------------------------------------------------

int TResultsList::GetListViewColumnByCaption(const QTableView& aListView, const QString& aCaption) {
    const QAbstractItemModel* model = aListView.model();
    if (!model) return -1;
    for (int column = 0; column < model->columnCount(); ++column)
        if (model->headerData(column, Qt::Horizontal).toString().compare(aCaption, Qt::CaseInsensitive) == 0)
            return column;
    return -1;
}

void TResultsList::ApplyVisibleColumns() {
    if (!fContext.session) return;
    TSettings& settings = fContext.session->GetSettings();
    std::map<std::string, std::string> stored;
    {
        TCLock lock(settings.GetCriticalSection());
        stored = settings.GetVisibleColumns();
    }
    QTableView& list = *fContext.list;
    for (const auto& [caption, key] : TformVisibleColumns::OptionalColumns()) {
        const int column = GetListViewColumnByCaption(list, caption);
        if (column < 0) continue;
        const auto found = stored.find(key);
        // An empty list is the dialog's "every box checked", not "every column hidden".
        const bool visible = stored.empty() || (found != stored.end() && !found->second.empty());
        if (!visible) {
            list.setColumnHidden(column, true);
            continue;
        }
        if (list.isColumnHidden(column) || list.columnWidth(column) == 0) {
            list.setColumnHidden(column, false);
            list.setColumnWidth(column, ShowAgainWidth(caption));
        }
    }
}

void TResultsList::SetDefaultColumnWidths(QTableView& aListView, const std::string& aColumnContainerName) {
    if (!fContext.session) return;
    TColumnsSettings& columns = fContext.session->GetSettings().GetColumnsSettings();
    QHeaderView* header = aListView.horizontalHeader();
    const QSignalBlocker quiet(header);  // these are not the user's drags
    for (int column = 0; column < header->count(); ++column) {
        const int width = columns.GetColumnWidth(aColumnContainerName, column);
        if (width < 0) continue;
        if (header->sectionResizeMode(column) == QHeaderView::Stretch)
            header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
    }
}

void TResultsList::OnColumnResized(int aColumn, int aNewWidth) {
    if (!fHeaderPressed) return;  // only the user's drags are kept
    for (auto& [column, width] : fDraggedWidths)
        if (column == aColumn) {
            width = aNewWidth;
            return;
        }
    fDraggedWidths.emplace_back(aColumn, aNewWidth);
}

void TResultsList::StoreDraggedWidths() {
    if (fDraggedWidths.empty() || !fContext.session) {
        fDraggedWidths.clear();
        return;
    }
    TSettings& settings = fContext.session->GetSettings();
    for (const auto& [column, width] : fDraggedWidths)
        settings.GetColumnsSettings().SetColumnWidth(cListName, column, width);
    fDraggedWidths.clear();
    fContext.session->SaveSettings();
}

void TResultsList::ShowVisibleColumns() {
    if (ShowVisibleColumnsDialog) ShowVisibleColumnsDialog();
    ApplyVisibleColumns();
}

}  // namespace trawlix
