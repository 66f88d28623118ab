#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include <functional>
#include <string>

#include "model/filter.h"
#include "model/search.h"

class QLabel;

namespace trawlix {

class TColorSettings;

// The results list as a virtual model: no per-row objects, only a row count; row i shows
// item i of the shown search's view list (its filter's results).
class TResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int cColumnCount = 8;
    static constexpr int cMarkColumn = 0;
    static constexpr int cCaptionColumn = 3;
    static constexpr int cPriceColumn = 4;
    static constexpr int cFoundOnColumn = 7;
    static constexpr const char* cNoEntryText = "---ERROR---";

    explicit TResultsModel(QObject* aParent = nullptr);

    void SetSearch(const TSearch* aSearch);
    const TSearch* Search() const { return fSearch; }
    int ItemCount() const { return fItemCount; }
    // The list grew or shrank to aCount rows (rows are inserted anywhere, so all repaint).
    void SetItemCount(int aCount);
    // Every shown row may have changed (checked marks, colours, favourites).
    void Repaint();
    // aReorder puts the view list in another order (a sort, a new filter run): the current
    // row and the selection stay with their entries, and drop those that left the list.
    void ReorderRows(const std::function<void()>& aReorder);

    // The row colours; without them rows keep the system colours.
    void SetColorSettings(const TColorSettings* aColors) { fColors = aColors; }
    // What "Found on" shows for Autotrader results.
    void SetAutotraderDomain(const std::string& aDomain) { fAutotraderDomain = aDomain; }
    // While this answers true (the window is closing, the session is offline) rows stay blank.
    std::function<bool()> RowsBlank;

    // The entry of a row, null when the view list has none there.
    IEntry EntryAt(int aRow) const;

    int rowCount(const QModelIndex& aParent = QModelIndex()) const override;
    int columnCount(const QModelIndex& aParent = QModelIndex()) const override;
    QVariant data(const QModelIndex& aIndex, int aRole = Qt::DisplayRole) const override;
    QVariant headerData(int aSection, Qt::Orientation aOrientation, int aRole = Qt::DisplayRole) const override;

    // The text of one cell as the list shows it; "-" and "---ERROR---" for a row without entry.
    static QString CellText(const IEntry& aEntry, int aColumn, const std::string& aAutotraderDomain = {});
    static QString CaptionOf(int aColumn);

private:
    QVariant EntryData(const IEntry& aEntry, int aColumn, int aRole) const;
    // The caption, with "(also in: ...)" naming the places of the results folded under it.
    QString CaptionWithAlsoIn(const TEntry& aEntry) const;
    QVariant RowColour(const TEntry& aEntry, int aRole) const;

    const TSearch* fSearch = nullptr;
    int fItemCount = 0;
    const TColorSettings* fColors = nullptr;
    std::string fAutotraderDomain;
};

// What a search run sees of the window's list: the shown search, the row count, the label.
// A run reports every result; the list and the label follow at most every cRefreshMs, so
// that thousands of results do not mean thousands of repaints.
class TViewHelper : public IResultsViewHelper {
public:
    static constexpr int cRefreshMs = 40;

    TViewHelper(TResultsModel& aModel, QLabel& aResultsCount);

    const TSearch* GetShownSearch() const override { return fModel.Search(); }
    bool ShowsFavourites() const override { return fShowsFavourites; }
    int GetItemCount() const override { return fPendingCount; }
    void SetItemCount(int aCount) override;
    void SetResultsLabel(const std::string& aText) override;
    void ProcessMessages() override {}

    // The view list comes from the search's favourites instead of its results.
    void SetShowsFavourites(bool aValue) { fShowsFavourites = aValue; }
    // Puts a view list in the current order; every rebuild calls it. Without one the
    // view list keeps the source order.
    void SetSortOrder(std::function<void(TEntryList&)> aSort) { fSort = std::move(aSort); }

    // Runs the filter over the shown source list, sorts it and shows the count at once.
    void RebuildViewList(TSearch& aSearch);
    // Sorts the view list in the current order and repaints.
    void SortViewList(TSearch& aSearch);
    // The count and label of the view list as it stands (after entries left it).
    void ShowViewListCount(TSearch& aSearch);
    // Shows what is waiting now (the list and the label).
    void Flush();
    // No search is shown any more.
    void Clear();
    // The label's text for aCount rows in the current view.
    QString CountLabel(int aCount) const;

private:
    void ScheduleFlush();

    TResultsModel& fModel;
    QLabel& fResultsCount;
    QTimer fRefresh;
    int fPendingCount = 0;
    QString fPendingLabel;
    bool fShowsFavourites = false;
    std::function<void(TEntryList&)> fSort;
};

}  // namespace trawlix
