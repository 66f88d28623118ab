#include "ui/results_list.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QStandardPaths>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/session.h"
#include "app/settings.h"
#include "engine/text_functions.h"
#include "model/entry_sorting.h"
#include "model/filter.h"
#include "model/search.h"
#include "run/csv_export.h"
#include "ui/export_dialog.h"
#include "ui/flow_layout.h"
#include "ui/info_window.h"
#include "ui/result_pictures.h"
#include "ui/results_model.h"
#include "ui/user_dialogs.h"
#include "ui/view_list_lock.h"
#include "ui/visible_columns_dialog.h"

namespace trawlix {

namespace {

// The mark column's check box sits between these x positions of a row.
constexpr int cMarkLeft = 4;
constexpr int cMarkRight = 20;
// The panel with the two view check boxes keeps this distance from the last button.
constexpr int cToolbarGap = 48;

QAction* MakeAction(QObject* aParent, const char* aName, const QString& aCaption, const QString& aHint = {},
                    const QKeySequence& aShortcut = {}) {
    auto* action = new QAction(aCaption, aParent);
    action->setObjectName(aName);
    if (!aHint.isEmpty()) {
        action->setToolTip(aHint);
        action->setStatusTip(aHint);
    }
    if (!aShortcut.isEmpty()) action->setShortcut(aShortcut);
    return action;
}

}  // namespace

TResultsList::TResultsList(const TResultsListContext& aContext) : fContext(aContext) {
    fExportForm = std::make_unique<TformExport>(*fContext.dialogs, fContext.window);
    ShowExportDialog = [](TformExport& aDialog) { return aDialog.exec() == QDialog::Accepted; };
    AskExportFileName = [this] {
        // The dialog opens in the user's documents folder, not wherever the program was started.
        return QFileDialog::getSaveFileName(fContext.window, "Export", ProposedExportFile(),
                                            "CSV files (*.csv);;All files (*)");
    };
    OpenFile = [](const QString& aFile) { return QDesktopServices::openUrl(QUrl::fromLocalFile(aFile)); };
    OpenAddress = [](const std::string& aAddress) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(aAddress)));
    };
    ShowVisibleColumnsDialog = [this] {
        if (fContext.session) TformVisibleColumns::Execute(fContext.session->GetSettings(), fContext.window);
    };
    CreateActions();
    CreateSortMenus();
    CreateWidgets();
    WireList();
    fContext.viewHelper->SetSortOrder([this](TEntryList& aViewList) {
        SortEntries(aViewList, fSortIndex, fSortAscending, std::floor(LocalNow()));
    });
    if (fContext.session) {
        fContext.model->SetColorSettings(&fContext.session->GetSettings().GetColorSettings());
        fContext.model->SetAutotraderDomain(fContext.session->GetSettings().GetAutotraderDomain());
    }
    fContext.model->RowsBlank = [this] {
        if (Exiting()) return true;
        if (!fContext.session) return false;
        return !fContext.session->GetOnline() || fContext.session->GetStatus() == kStatusDisconnecting;
    };
    ApplyVisibleColumns();
    SetDefaultColumnWidths(*fContext.list, cListName);
    UpdateSortListViewColumns();
    UpdateSortMenu();
}

TResultsList::~TResultsList() {
    fContext.model->RowsBlank = nullptr;
    fContext.viewHelper->SetSortOrder(nullptr);
}

// --- construction ----------------------------------------------------------------------

void TResultsList::CreateActions() {
    QObject* owner = fContext.window;
    actAddToFavourites = MakeAction(owner, "actAddToFavourites", "Add to favorites", {}, QKeySequence("Ctrl+F"));
    actSelectionAddToFavourites = MakeAction(owner, "actSelectionAddToFavourites", "Add to favorites");
    actSelectAll = MakeAction(owner, "actSelectAll", "Select All", "Selects all the results.");
    actSelectionClear = MakeAction(owner, "actSelectionClear", "Clear selection", "Unselects all the results.");
    actSelectionDelete = MakeAction(owner, "actSelectionDelete", "Delete", "Deletes selection", QKeySequence("Ctrl+Del"));
    actSelectionSpam = MakeAction(owner, "actSelectionSpam", "Spam", "Reports selected entries as \"spam\".");
    actSelectionMiscat =
        MakeAction(owner, "actSelectionMiscat", "Miscategorized", "Reports selected entries as \"miscategorized\".");
    actSelectionProhibited =
        MakeAction(owner, "actSelectionProhibited", "Prohibited", "Reports selected entries as \"prohibited\".");
    actSelectionBest = MakeAction(owner, "actSelectionBest", "Best", "Reports selected entries as \"best\".");
    actEraseResults = MakeAction(owner, "actEraseResults", "Clear results", "Erase the results", QKeySequence("Ctrl+E"));
    actExportToExcel = MakeAction(owner, "actExportToExcel", "Export to Excel");
    actSelectionExportToExcel = MakeAction(owner, "actSelectionExportToExcel", "Export to Excel");
    actVisibleColumns = MakeAction(owner, "actVisibleColumns", "Visible Columns");
    actSelectionReply = MakeAction(owner, "actSelectionReply", "Reply by EMail", "Replies to the selected ads by email.");
    actSelectionSendToEmail =
        MakeAction(owner, "actSelectionSendToEmail", "Forward to EMail", "Sends the selected ads to an email address.");
    actNavigate = MakeAction(owner, "Navigate1", "Open in Web Browser");
    for (QAction* action : {actAddToFavourites, actSelectionDelete, actEraseResults})
        fContext.window->addAction(action);  // shortcuts work wherever the focus is

    connect(actAddToFavourites, &QAction::triggered, this, &TResultsList::AddToFavourites);
    connect(actSelectionAddToFavourites, &QAction::triggered, this, &TResultsList::SelectionAddToFavourites);
    connect(actSelectAll, &QAction::triggered, this, &TResultsList::SelectAll);
    connect(actSelectionClear, &QAction::triggered, this, &TResultsList::SelectionClear);
    connect(actSelectionDelete, &QAction::triggered, this, &TResultsList::SelectionDelete);
    connect(actSelectionSpam, &QAction::triggered, this, [this] { Flag(TCraigFlagCode::Spam, true); });
    connect(actSelectionMiscat, &QAction::triggered, this, [this] { Flag(TCraigFlagCode::Miscategorized, true); });
    connect(actSelectionProhibited, &QAction::triggered, this, [this] { Flag(TCraigFlagCode::Prohibited, true); });
    connect(actSelectionBest, &QAction::triggered, this, [this] { Flag(TCraigFlagCode::Best, true); });
    connect(actEraseResults, &QAction::triggered, this, &TResultsList::EraseResults);
    connect(actExportToExcel, &QAction::triggered, this, [this] { Export(false); });
    connect(actSelectionExportToExcel, &QAction::triggered, this, [this] { Export(true); });
    connect(actVisibleColumns, &QAction::triggered, this, &TResultsList::ShowVisibleColumns);
    connect(actNavigate, &QAction::triggered, this, &TResultsList::VisitSelectedEntry);
}

void TResultsList::CreateSortMenus() {
    QObject* owner = fContext.window;
    fSortByGroup = new QActionGroup(owner);
    const std::pair<QAction**, std::pair<const char*, int>> sortBy[] = {
        {&miDate, {"miDate", cSortByDate}},           {&miCaption, {"miCaption", cSortByCaption}},
        {&miPrice, {"miPrice", cSortByPrice}},        {&miLocation, {"miLocation", cSortByLocation}},
        {&miCategory, {"miCategory", cSortByCategory}}};
    for (const auto& [field, nameAndColumn] : sortBy) {
        const int column = nameAndColumn.second;
        *field = MakeAction(owner, nameAndColumn.first, TResultsModel::CaptionOf(column));
        (*field)->setCheckable(true);
        fSortByGroup->addAction(*field);
        connect(*field, &QAction::triggered, this, [this, column] {
            SetSortIndex(column, true, true);
            SortAndRepaint();
        });
    }
    fSortTypeGroup = new QActionGroup(owner);
    miAscending = MakeAction(owner, "miAscending", "Ascending");
    miDescending = MakeAction(owner, "miDescending", "Descending");
    for (QAction* item : {miAscending, miDescending}) {
        item->setCheckable(true);
        fSortTypeGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] {
            SetSortAscending(item == miAscending, true, true);
            SortAndRepaint();
        });
    }
}

void TResultsList::CreateWidgets() {
    QWidget* parent = fContext.list->parentWidget();
    Panel15 = new QWidget(parent);
    Panel15->setObjectName("Panel15");
    // The toolbar must not hold the results area wider than the criteria panel leaves it:
    // where the width runs out its controls wrap to a second line instead of being cut.
    QSizePolicy toolbarPolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    toolbarPolicy.setHeightForWidth(true);
    Panel15->setSizePolicy(toolbarPolicy);
    auto* toolbar = new TFlowLayout(Panel15);
    const auto addButton = [&](QAction* aAction) {
        auto* button = new QToolButton(Panel15);
        button->setDefaultAction(aAction);
        toolbar->AddWidget(button);
        return button;
    };
    addButton(actAddToFavourites);
    addButton(actSelectionReply);
    addButton(actExportToExcel);
    btnMarkAllResultsAsOld = new QPushButton("Mark all results as \"old\"", Panel15);
    btnMarkAllResultsAsOld->setObjectName("btnMarkAllResultsAsOld");
    toolbar->AddWidget(btnMarkAllResultsAsOld);
    tbtnEraseResults = addButton(actEraseResults);
    tbtnEraseResults->setObjectName("tbtnEraseResults");
    tbtnEraseResults->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Hidden in the favourites view, it keeps its place: the check boxes stay under the mouse.
    QSizePolicy erasePolicy = tbtnEraseResults->sizePolicy();
    erasePolicy.setRetainSizeWhenHidden(true);
    tbtnEraseResults->setSizePolicy(erasePolicy);
    auto* pnlResultsToolbarLeft = new QWidget(Panel15);
    pnlResultsToolbarLeft->setObjectName("pnlResultsToolbarLeft");
    auto* checks = new QHBoxLayout(pnlResultsToolbarLeft);
    checks->setContentsMargins(0, 0, 0, 0);
    cbShowFavourites = new QCheckBox("Show favorites", pnlResultsToolbarLeft);
    cbShowFavourites->setObjectName("cbShowFavourites");
    checks->addWidget(cbShowFavourites);
    toolbar->AddWidget(pnlResultsToolbarLeft, cToolbarGap);
    connect(btnMarkAllResultsAsOld, &QPushButton::clicked, this, &TResultsList::MarkAllResultsAsOld);
    connect(cbShowFavourites, &QCheckBox::toggled, this, &TResultsList::ShowFavourites);

    gbFavourites = new QGroupBox("Note", parent);
    gbFavourites->setObjectName("gbFavourites");
    auto* noteLayout = new QVBoxLayout(gbFavourites);
    memoFavouriteNote = new QPlainTextEdit(gbFavourites);
    memoFavouriteNote->setObjectName("memoFavouriteNote");
    noteLayout->addWidget(memoFavouriteNote);
    gbFavourites->hide();
    connect(memoFavouriteNote, &QPlainTextEdit::textChanged, this, &TResultsList::OnNoteChanged);

    pnlDescription = new QWidget(parent);
    pnlDescription->setObjectName("pnlDescription");
    pnlDescription->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* strip = new QHBoxLayout(pnlDescription);
    strip->setContentsMargins(0, 0, 3, 0);
    edtContact = new QLineEdit(pnlDescription);
    edtContact->setObjectName("edtContact");
    edtDescription = new QLineEdit(pnlDescription);
    edtDescription->setObjectName("edtDescription");
    for (QLineEdit* edit : {edtContact, edtDescription}) {
        edit->setReadOnly(true);
        edit->installEventFilter(this);
    }
    strip->addWidget(new QLabel("Contact:", pnlDescription));
    strip->addWidget(edtContact);
    strip->addWidget(new QLabel("Description:", pnlDescription));
    strip->addWidget(edtDescription, 1);
    pnlDescription->hide();

    pmResults = new QMenu(fContext.list);
    pmResults->setObjectName("pmResults");
    pmResults->addAction(actNavigate);
    pmResults->addAction(actAddToFavourites);
    QMenu* selection = pmResults->addMenu("Selection");
    for (QAction* action : {actSelectAll, actSelectionClear}) selection->addAction(action);
    selection->addSeparator();
    selection->addAction(actSelectionDelete);
    selection->addAction(actSelectionSendToEmail);
    selection->addAction(actSelectionReply);
    selection->addSeparator();
    for (QAction* action : {actSelectionSpam, actSelectionMiscat, actSelectionProhibited, actSelectionBest})
        selection->addAction(action);
    selection->addSeparator();
    selection->addAction(actSelectionAddToFavourites);
    selection->addAction(actSelectionExportToExcel);
    CreateFoldMenu();
}

void TResultsList::WireList() {
    QTableView* list = fContext.list;
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMouseTracking(true);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& aAt) {
                FillFoldMenu();
                pmResults->popup(fContext.list->viewport()->mapToGlobal(aAt));
            });
    connect(list, &QAbstractItemView::doubleClicked, this, [this] { VisitSelectedEntry(); });
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setMinimumSectionSize(0);  // a stored width of 0 is kept as it is
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    connect(header, &QHeaderView::sectionClicked, this, &TResultsList::ColumnClick);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int aColumn, int, int aNewWidth) { OnColumnResized(aColumn, aNewWidth); });
    header->viewport()->installEventFilter(this);
    // The model resets when another search is shown: the selection model goes with it.
    const auto watchSelection = [this] {
        if (QItemSelectionModel* selection = fContext.list->selectionModel())
            connect(selection, &QItemSelectionModel::selectionChanged, this, &TResultsList::MirrorSelection,
                    Qt::UniqueConnection);
    };
    watchSelection();
    connect(fContext.model, &QAbstractItemModel::modelReset, this, watchSelection);
}

void TResultsList::Install(QVBoxLayout& aResultsLayout) {
    // The list, or whatever holds it, moves into a splitter beside the note editor.
    int at = -1;
    for (int index = 0; index < aResultsLayout.count() && at < 0; ++index) {
        QWidget* widget = aResultsLayout.itemAt(index)->widget();
        if (widget && (widget == fContext.list || widget->isAncestorOf(fContext.list))) at = index;
    }
    QWidget* view = at >= 0 ? aResultsLayout.itemAt(at)->widget() : fContext.list;
    const int stretch = at >= 0 ? aResultsLayout.stretch(at) : 1;
    if (at >= 0) aResultsLayout.removeWidget(view);
    splitterFavourites = new QSplitter(Qt::Horizontal, fContext.list->parentWidget());
    splitterFavourites->setObjectName("splitterFavourites");
    splitterFavourites->addWidget(view);
    splitterFavourites->addWidget(gbFavourites);
    splitterFavourites->setStretchFactor(0, 1);
    splitterFavourites->handle(splitterFavourites->indexOf(gbFavourites))->hide();
    const int position = at >= 0 ? at : aResultsLayout.count();
    aResultsLayout.insertWidget(position, Panel15);
    aResultsLayout.insertWidget(position + 1, splitterFavourites, stretch > 0 ? stretch : 1);
    aResultsLayout.insertWidget(position + 2, pnlDescription);
}

void TResultsList::AddMenus(QMenuBar& aMenuBar, QMenu& aBefore, QMenu& aTools) {
    const auto fillSelection = [this](QMenu& aMenu) {
        for (QAction* action : {actSelectAll, actSelectionClear}) aMenu.addAction(action);
        aMenu.addSeparator();
        aMenu.addAction(actSelectionDelete);
        aMenu.addAction(actSelectionSendToEmail);
        aMenu.addAction(actSelectionReply);
        aMenu.addSeparator();
        for (QAction* action : {actSelectionSpam, actSelectionMiscat, actSelectionProhibited, actSelectionBest})
            aMenu.addAction(action);
        aMenu.addSeparator();
        aMenu.addAction(actSelectionAddToFavourites);
        aMenu.addAction(actSelectionExportToExcel);
    };
    miResults = new QMenu("Results", &aMenuBar);
    miResults->setObjectName("miResults");
    fillSelection(*miResults->addMenu("Selection"));
    QMenu* sortBy = miResults->addMenu("Sort By");
    for (QAction* item : {miDate, miCaption, miPrice, miLocation, miCategory}) sortBy->addAction(item);
    QMenu* sortType = miResults->addMenu("Sort Type");
    sortType->addAction(miAscending);
    sortType->addAction(miDescending);
    miResults->addAction(actVisibleColumns);
    auto* selection = new QMenu("Selection", &aMenuBar);
    selection->setObjectName("miSelection");
    fillSelection(*selection);
    aMenuBar.insertMenu(aBefore.menuAction(), miResults);
    aMenuBar.insertMenu(aBefore.menuAction(), selection);
    aTools.addAction(actVisibleColumns);
}

// --- state -----------------------------------------------------------------------------

TSearch* TResultsList::CurrentSearch() const { return fContext.currentSearch ? fContext.currentSearch() : nullptr; }

bool TResultsList::Exiting() const { return fContext.exiting && fContext.exiting(); }

void TResultsList::Repaint() {
    fContext.model->Repaint();
    fContext.list->viewport()->update();
    UpdateActions();  // the actions follow the list at once, not at the next idle tick
}

void TResultsList::ResetForTab() {
    if (fShowingFavourites) {
        const QSignalBlocker quiet(cbShowFavourites);
        cbShowFavourites->setChecked(false);
        fShowingFavourites = false;
        fContext.viewHelper->SetShowsFavourites(false);
        gbFavourites->hide();
        splitterFavourites->handle(splitterFavourites->indexOf(gbFavourites))->hide();
        if (miResults) miResults->setTitle("Results");
    }
    SetSortIndex(cSortByDate, true, true);
    SetSortAscending(false, true, true);
    SetDefaultColumnWidths(*fContext.list, cListName);
    SetContactAndDescription({}, {});
}

void TResultsList::UpdateActions() {
    TSearch* search = CurrentSearch();
    const bool hasRows = search && fContext.model->rowCount() > 0;
    for (QAction* action : {actSelectionClear, actSelectionDelete, actSelectionSpam, actSelectionMiscat,
                            actSelectionProhibited, actSelectionBest})
        action->setEnabled(search);
    actSelectionAddToFavourites->setEnabled(search && !fShowingFavourites);
    actEraseResults->setEnabled(search && !fShowingFavourites);
    tbtnEraseResults->setVisible(actEraseResults->isEnabled());
    tbtnEraseResults->setIcon(EraseResultsIcon(fContext.model->rowCount()));
    actExportToExcel->setEnabled(hasRows);
    actSelectionExportToExcel->setEnabled(hasRows);
    actSelectionReply->setEnabled(hasRows);
    actSelectionSendToEmail->setEnabled(hasRows);
    cbShowFavourites->setEnabled(search);
    memoFavouriteNote->setEnabled(fShowingFavourites && GetSelectedEntry() != nullptr);
}

void TResultsList::RebuildViewList() {
    if (TSearch* search = CurrentSearch(); search && !Exiting()) fContext.viewHelper->RebuildViewList(*search);
    Repaint();
}

// --- checked entries -------------------------------------------------------------------

IEntry TResultsList::GetSelectedEntry() const {
    const QModelIndex current = fContext.list->currentIndex();
    QItemSelectionModel* selection = fContext.list->selectionModel();
    if (!selection) return nullptr;
    if (current.isValid() && selection->isRowSelected(current.row(), {})) return fContext.model->EntryAt(current.row());
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? nullptr : fContext.model->EntryAt(rows.first().row());
}

TEntryList TResultsList::CheckedEntries(TSearch& aSearch) const {
    TEntryList checked;
    for (const IEntry& entry : aSearch.GetFilter().GetResults())
        if (entry && entry->GetChecked()) checked.push_back(entry);
    return checked;
}

void TResultsList::MirrorSelection() {
    if (Exiting()) return;
    TSearch* search = CurrentSearch();
    if (!search) {
        fLVSelection.Clear();
        return;
    }
    {
        TViewListLock lock(*search);
        fLVSelection.Clear();
        const TEntryList& viewList = search->GetFilter().GetResults();
        for (const QModelIndex& row : fContext.list->selectionModel()->selectedRows())
            if (row.row() < static_cast<int>(viewList.size())) fLVSelection.Add(viewList[row.row()]);
    }
    OnResultSelected();
    Repaint();
}

void TResultsList::ToggleChecked(int aRow) {
    TSearch* search = CurrentSearch();
    if (!search) return;
    {
        TCLock lock(search->GetCriticalSection());
        if (IEntry entry = fContext.model->EntryAt(aRow)) entry->SetChecked(!entry->GetChecked());
    }
    Repaint();
}

void TResultsList::SetCheckedOnViewList(bool aChecked) {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    {
        TViewListLock lock(*search);
        for (const IEntry& entry : search->GetFilter().GetResults()) entry->SetChecked(aChecked);
    }
    Repaint();
}

void TResultsList::SelectAll() { SetCheckedOnViewList(true); }

void TResultsList::SelectionClear() { SetCheckedOnViewList(false); }

void TResultsList::ShowCount(TSearch& aSearch) {
    fContext.viewHelper->ShowViewListCount(aSearch);
    Repaint();
}

void TResultsList::SelectionDelete() {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    fContext.info->Execute();
    {
        TViewListLock lock(*search);
        TFilter& filter = search->GetFilter();
        TEntryList remaining = filter.GetResults();
        for (auto it = remaining.rbegin(); it != remaining.rend(); ++it) {
            const IEntry& entry = *it;
            if (!entry->GetChecked()) continue;
            if (fShowingFavourites) {
                if (IFavorite favourite = search->GetFavoriteByLink(entry->GetLink())) search->RemoveFavourite(favourite);
            } else {
                search->DeleteResult(entry);
            }
        }
        std::erase_if(remaining, [](const IEntry& aEntry) { return aEntry->GetChecked(); });
        // The rest passed the filter already: running it again keeps them in their order.
        filter.Execute(&remaining);
    }
    fContext.info->Finish();
    fContext.list->clearSelection();
    ShowCount(*search);
}

void TResultsList::OnListKey(int aKey, bool& aHandled) {
    TSearch* search = CurrentSearch();
    if (!search || !GetSelectedEntry()) return;
    if (aKey == Qt::Key_Space) {
        aHandled = true;
        if (IEntry entry = GetSelectedEntry()) entry->SetChecked(!entry->GetChecked());
        Repaint();
    } else if (aKey == Qt::Key_Delete) {
        aHandled = true;
        const bool oneSelected = fLVSelection.Count() == 1;
        const int row = fContext.list->currentIndex().row();
        actSelectionDelete->trigger();
        const int rows = fContext.model->rowCount();
        // Deleting one ad moves on to the next one, so that ads can be deleted one by one.
        if (oneSelected && rows > 0) fContext.list->selectRow(std::clamp(row, 0, rows - 1));
    }
}

void TResultsList::Flag(TCraigFlagCode aFlagCode, bool aChecked) {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    const std::string domain = fContext.session ? fContext.session->GetSettings().GetCraigslistDomain() : "craigslist.org";
    TViewListLock lock(*search);
    fContext.info->Execute();
    TEntryList entries;
    if (aChecked) {
        entries = CheckedEntries(*search);
    } else if (IEntry selected = GetSelectedEntry()) {
        entries.push_back(selected);
    }
    for (const IEntry& entry : entries) {
        QApplication::processEvents();
        try {
            FlagCraigslistEntries({entry}, aFlagCode, domain);
        } catch (...) {
            // A report that fails is neither retried nor reported.
        }
    }
    fContext.info->Finish();
}

// --- selection reactions ---------------------------------------------------------------

void TResultsList::OnResultSelected() {
    TSearch* search = CurrentSearch();
    const IEntry selected = search ? GetSelectedEntry() : nullptr;
    if (fShowingFavourites) {
        fLoadingNote = true;
        const IFavorite favourite = selected ? search->GetFavoriteByLink(selected->GetLink()) : nullptr;
        memoFavouriteNote->setPlainText(favourite ? QString::fromStdString(favourite->GetNote()) : QString());
        fLoadingNote = false;
    }
    memoFavouriteNote->setEnabled(fShowingFavourites && selected);
    if (selected) {
        search->SetEntrySelected(selected->GetLink());
        SetContactAndDescription(selected->GetContact(), selected->GetDescription());
    } else {
        SetContactAndDescription({}, {});
    }
    if (OnEntrySelected) OnEntrySelected(selected);
}

void TResultsList::SetContactAndDescription(const std::string& aContact, const std::string& aDescription) {
    edtContact->setText(QString::fromStdString(aContact));
    edtDescription->setText(QString::fromStdString(RemoveTags(aDescription)));
    pnlDescription->setVisible(!edtContact->text().isEmpty() || !edtDescription->text().isEmpty());
}

void TResultsList::VisitSelectedEntry() {
    TSearch* search = CurrentSearch();
    const IEntry selected = search ? GetSelectedEntry() : nullptr;
    if (!selected || Exiting()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!selected->GetVisited()) {
        selected->SetVisited(true);
        search->MarkModified();
    }
    if (OpenAddress) OpenAddress(selected->GetLink());
    QApplication::restoreOverrideCursor();
    Repaint();
}

// --- clearing and marking old ----------------------------------------------------------

void TResultsList::EraseResults() {
    TSearch* search = CurrentSearch();
    if (!search || Exiting() || fShowingFavourites) return;
    bool hasResults = false;
    {
        TCLock lock(search->GetCriticalSection());
        hasResults = !search->GetSearchResults().empty();
    }
    if (hasResults && !fContext.dialogs->Confirm(cClearQuestion)) return;
    search->FillOldResults(true);
    fContext.list->clearSelection();
    fContext.viewHelper->ShowViewListCount(*search);
    SetContactAndDescription({}, {});
    if (OnEntrySelected) OnEntrySelected(nullptr);
    Repaint();
}

void TResultsList::MarkAllResultsAsOld() {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    if (!fContext.dialogs->Confirm(cMarkOldQuestion)) return;
    search->FillOldResults(false);
    search->SetNewResultsAvailable({});
    Repaint();
}

// --- events ----------------------------------------------------------------------------

bool TResultsList::eventFilter(QObject* aWatched, QEvent* aEvent) {
    QTableView* list = fContext.list;
    if (aWatched == list && aEvent->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(aEvent);
        if (key->modifiers() & Qt::ControlModifier || Exiting()) return false;
        bool handled = false;
        OnListKey(key->key(), handled);
        return handled;
    }
    if (aWatched == list->viewport() && aEvent->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(aEvent);
        const QPoint at = mouse->position().toPoint();
        const int row = list->rowAt(at.y());
        if (mouse->button() == Qt::LeftButton && at.x() > cMarkLeft && at.x() < cMarkRight && row >= 0 &&
            CurrentSearch() && !Exiting()) {
            ToggleChecked(row);
            return true;  // the mark is ticked without moving the selection
        }
        return false;
    }
    if (aWatched == list->horizontalHeader()->viewport() && aEvent->type() == QEvent::MouseButtonPress) {
        fHeaderPressed = true;
        return false;
    }
    if (aWatched == list->horizontalHeader()->viewport() && aEvent->type() == QEvent::MouseButtonRelease) {
        // The drag ends with this event: store what it changed once the header has finished.
        fHeaderPressed = false;
        QTimer::singleShot(0, this, &TResultsList::StoreDraggedWidths);
        return false;
    }
    if ((aWatched == edtContact || aWatched == edtDescription) &&
        (aEvent->type() == QEvent::FocusIn || aEvent->type() == QEvent::MouseButtonRelease)) {
        auto* edit = static_cast<QLineEdit*>(aWatched);
        if (edit == edtContact) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        return false;
    }
    return false;
}

}  // namespace trawlix
