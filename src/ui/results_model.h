#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include <functional>

#include "model/search.h"

class QLabel;

namespace trawlix {

// The results list as a virtual model: no per-row objects, only a row count; row i shows
// item i of the shown search's view list (its filter's results).
class TResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int cColumnCount = 8;
    static constexpr const char* cNoEntryText = "---ERROR---";

    explicit TResultsModel(QObject* aParent = nullptr);

    void SetSearch(const TSearch* aSearch);
    const TSearch* Search() const { return fSearch; }
    int ItemCount() const { return fItemCount; }
    // The list grew or shrank to aCount rows (rows are inserted anywhere, so all repaint).
    void SetItemCount(int aCount);

    int rowCount(const QModelIndex& aParent = QModelIndex()) const override;
    int columnCount(const QModelIndex& aParent = QModelIndex()) const override;
    QVariant data(const QModelIndex& aIndex, int aRole = Qt::DisplayRole) const override;
    QVariant headerData(int aSection, Qt::Orientation aOrientation, int aRole = Qt::DisplayRole) const override;

    // The text of one cell as the list shows it; "-" and "---ERROR---" for a row without entry.
    static QString CellText(const IEntry& aEntry, int aColumn);

private:
    IEntry EntryAt(int aRow) const;

    const TSearch* fSearch = nullptr;
    int fItemCount = 0;
};

// What a search run sees of the window's list: the shown search, the row count, the label.
// A run reports every result; the list and the label follow at most every cRefreshMs, so
// that thousands of results do not mean thousands of repaints.
class TViewHelper : public IResultsViewHelper {
public:
    static constexpr int cRefreshMs = 40;

    TViewHelper(TResultsModel& aModel, QLabel& aResultsCount);

    const TSearch* GetShownSearch() const override { return fModel.Search(); }
    bool ShowsFavourites() const override { return false; }
    int GetItemCount() const override { return fPendingCount; }
    void SetItemCount(int aCount) override;
    void SetResultsLabel(const std::string& aText) override;
    void ProcessMessages() override {}

    // Runs the filter over the search's results and shows the count at once.
    void RebuildViewList(TSearch& aSearch);
    // Shows what is waiting now (the list and the label).
    void Flush();
    // No search is shown any more.
    void Clear();

private:
    void ScheduleFlush();

    TResultsModel& fModel;
    QLabel& fResultsCount;
    QTimer fRefresh;
    int fPendingCount = 0;
    QString fPendingLabel;
};

}  // namespace trawlix
