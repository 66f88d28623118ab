#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/entry.h"
#include "sites/craig_site_search.h"
#include "ui/lv_selection.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace trawlix {

class IUserDialogs;
class TResultsModel;
class TSearch;
class TSession;
class TViewHelper;
class TfrmInfo;
class TformExport;

// What the results list works with; all of it belongs to the main window.
struct TResultsListContext {
    TSession* session = nullptr;
    IUserDialogs* dialogs = nullptr;
    TfrmInfo* info = nullptr;
    QTableView* list = nullptr;
    TResultsModel* model = nullptr;
    TViewHelper* viewHelper = nullptr;
    QLabel* resultsCount = nullptr;
    QWidget* window = nullptr;
    std::function<TSearch*()> currentSearch;
    // The window is closing: every handler returns at once.
    std::function<bool()> exiting;
};

// The results list's behaviour in the main window: sorting, the checked entries and the
// actions on them, the favourites view with its note, clearing, marking old, the CSV
// export, the visible columns and the stored column widths.
class TResultsList : public QObject {
    Q_OBJECT
public:
    static constexpr const char* cListName = "lvResults";
    static constexpr const char* cNothingSelected = "You have to select some results first.";
    static constexpr const char* cNothingToExport =
        "Please select some results before exporting them using the \"Selection -> Export\" feature.";
    static constexpr const char* cMarkOldQuestion = "Do you confirm marking all the results as visited?";
    static constexpr const char* cClearQuestion =
        "Are you sure you want to clear all the results of this search? Your favorites are kept.";
    static constexpr const char* cExportedQuestion =
        "Results were successfully exported. Do you wish to open the file now?";

    explicit TResultsList(const TResultsListContext& aContext);
    ~TResultsList() override;

    // Puts the toolbar above the list, the note editor beside it and the contact strip below.
    void Install(QVBoxLayout& aResultsLayout);
    // "Results" and "Selection" before aBefore's menu, "Visible Columns" into aTools.
    void AddMenus(QMenuBar& aMenuBar, QMenu& aBefore, QMenu& aTools);
    // A tab was selected: date, descending; the results view; the stored column widths.
    void ResetForTab();
    void UpdateActions();
    // Filters and sorts the shown search's source list again and shows the count.
    void RebuildViewList();

    // Sorting.
    int SortIndex() const { return fSortIndex; }
    bool SortAscending() const { return fSortAscending; }
    void SetSortIndex(int aValue, bool aUpdateMenu, bool aUpdateColumns);
    void SetSortAscending(bool aValue, bool aUpdateMenu, bool aUpdateColumns);
    void UpdateSortListViewColumns();
    void UpdateSortMenu();
    void ColumnClick(int aColumn);

    // The checked entries and what acts on them.
    TLVSelection& Selection() { return fLVSelection; }
    IEntry GetSelectedEntry() const;
    void SelectAll();
    void SelectionClear();
    void ToggleChecked(int aRow);
    void SelectionDelete();
    void Flag(TCraigFlagCode aFlagCode, bool aChecked);
    void AddToFavourites();
    void SelectionAddToFavourites();
    void ShowFavourites(bool aShow);
    bool ShowingFavourites() const { return fShowingFavourites; }
    void EraseResults();
    void MarkAllResultsAsOld();
    void Export(bool aSelection);
    void OnResultSelected();
    void SetContactAndDescription(const std::string& aContact, const std::string& aDescription);

    // Columns.
    void ApplyVisibleColumns();
    void SetDefaultColumnWidths(QTableView& aListView, const std::string& aColumnContainerName);
    void ShowVisibleColumns();
    static int GetListViewColumnByCaption(const QTableView& aListView, const QString& aCaption);

    // What the user is asked or shown outside the message boxes; tests answer these.
    std::function<bool(TformExport& aDialog)> ShowExportDialog;
    std::function<QString()> AskExportFileName;
    // What the save dialog proposes: the search's name as a file in the user's documents
    // folder, not the folder itself (which the dialog would offer as the file's name).
    QString ProposedExportFile() const;
    // Opens the file with the desktop's program for it; false when none did.
    std::function<bool(const QString& aFile)> OpenFile;
    std::function<void(const std::string& aAddress)> OpenAddress;
    std::function<void()> ShowVisibleColumnsDialog;
    // Another part of the window wants to know the selected entry (null when none).
    std::function<void(const IEntry& aEntry)> OnEntrySelected;

    TformExport& ExportDialog() { return *fExportForm; }

    QAction* actAddToFavourites;
    QAction* actSelectionAddToFavourites;
    QAction* actSelectAll;
    QAction* actSelectionClear;
    QAction* actSelectionDelete;
    QAction* actSelectionSpam;
    QAction* actSelectionMiscat;
    QAction* actSelectionProhibited;
    QAction* actSelectionBest;
    QAction* actEraseResults;
    QAction* actExportToExcel;
    QAction* actSelectionExportToExcel;
    QAction* actVisibleColumns;
    // Carried out by the replies (TResultsReplies); placed and enabled here with the others.
    QAction* actSelectionReply;
    QAction* actSelectionSendToEmail;
    QAction* actNavigate;
    QAction* miDate;
    QAction* miCaption;
    QAction* miPrice;
    QAction* miLocation;
    QAction* miCategory;
    QAction* miAscending;
    QAction* miDescending;
    QMenu* miResults = nullptr;
    QMenu* pmResults;
    QMenu* pmAlsoIn = nullptr;
    QAction* actUnfold = nullptr;
    QAction* actFoldDuplicates = nullptr;
    QWidget* Panel15;
    QPushButton* btnMarkAllResultsAsOld;
    QToolButton* tbtnEraseResults;
    QCheckBox* cbShowFavourites;
    QSplitter* splitterFavourites = nullptr;
    QGroupBox* gbFavourites;
    QPlainTextEdit* memoFavouriteNote;
    QWidget* pnlDescription;
    QLineEdit* edtContact;
    QLineEdit* edtDescription;

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    void CreateActions();
    void CreateSortMenus();
    void CreateWidgets();
    void WireList();
    TSearch* CurrentSearch() const;
    bool Exiting() const;
    void Repaint();
    // The checked entries of the view list, in list order; hold both locks.
    TEntryList CheckedEntries(TSearch& aSearch) const;
    void MirrorSelection();
    void SetCheckedOnViewList(bool aChecked);
    void SortAndRepaint();
    void ShowCount(TSearch& aSearch);
    void ExportEntries(TSearch& aSearch, const TEntryList* aEntries);
    void OnNoteChanged();
    void OnListKey(int aKey, bool& aHandled);
    void OnColumnResized(int aColumn, int aNewWidth);
    void StoreDraggedWidths();
    void VisitSelectedEntry();
    // The row menu's part for folded duplicates: the other copies' links, "Unfold", and
    // the switch that turns folding off.
    void CreateFoldMenu();
    void FillFoldMenu();
    void UnfoldSelectedEntry();
    void SwitchFolding(bool aFold);

    TResultsListContext fContext;
    TLVSelection fLVSelection;
    std::unique_ptr<TformExport> fExportForm;
    QActionGroup* fSortByGroup;
    QActionGroup* fSortTypeGroup;
    int fSortIndex = 2;
    bool fSortAscending = false;
    bool fShowingFavourites = false;
    bool fLoadingNote = false;
    bool fHeaderPressed = false;
    std::vector<std::pair<int, int>> fDraggedWidths;  // column, width while a border is dragged
};

}  // namespace trawlix
