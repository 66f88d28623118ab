#include "ui/results_model.h"

#include <QBrush>
#include <QColor>
#include <QLabel>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "app/settings.h"
#include "ui/result_pictures.h"

namespace trawlix {

namespace {

const char* const cColumnCaptions[TResultsModel::cColumnCount] = {"",      "Image",    "Date",     "Caption",
                                                                  "Price", "Location", "Category", "Found on"};

QString PriceText(double aPrice) {
    if (!(aPrice > 0)) return QStringLiteral("---");
    QLocale locale;  // the user's decimal separator, but no thousands separators
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(aPrice, 'g', 15);
}

QColor ToQColor(TColor aColor) { return QColor(aColor & 0xFF, (aColor >> 8) & 0xFF, (aColor >> 16) & 0xFF); }

TEntryList FavouritesAsEntries(const TSearch& aSearch) {
    const auto& favourites = aSearch.GetFavourites().Items();
    return TEntryList(favourites.begin(), favourites.end());
}

}  // namespace

TResultsModel::TResultsModel(QObject* aParent) : QAbstractTableModel(aParent) {}

void TResultsModel::SetSearch(const TSearch* aSearch) {
    beginResetModel();
    fSearch = aSearch;
    fItemCount = 0;
    endResetModel();
}

void TResultsModel::SetItemCount(int aCount) {
    aCount = std::max(aCount, 0);
    if (aCount > fItemCount) {
        beginInsertRows(QModelIndex(), fItemCount, aCount - 1);
        fItemCount = aCount;
        endInsertRows();
    } else if (aCount < fItemCount) {
        beginRemoveRows(QModelIndex(), aCount, fItemCount - 1);
        fItemCount = aCount;
        endRemoveRows();
    }
    // New rows may have gone in above the old ones: every shown row may have changed.
    Repaint();
}

void TResultsModel::Repaint() {
    if (fItemCount > 0) emit dataChanged(index(0, 0), index(fItemCount - 1, cColumnCount - 1));
}

void TResultsModel::ReorderRows(const std::function<void()>& aReorder) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<IEntry> entries;
    entries.reserve(before.size());
    for (const QModelIndex& index : before) entries.push_back(EntryAt(index.row()));
    try {
        aReorder();
    } catch (...) {
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);  // no new order known: rows keep their numbers
        throw;
    }
    std::unordered_map<const TEntry*, int> rows;
    if (fSearch && !before.isEmpty()) {
        const TFilter& filter = fSearch->GetFilter();
        TCLock lock(filter.GetCriticalSection());
        const TEntryList& results = filter.GetResults();
        const int count = std::min(fItemCount, static_cast<int>(results.size()));
        for (int row = 0; row < count; ++row) rows.emplace(results[row].get(), row);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (int at = 0; at < before.size(); ++at) {
        const auto found = entries[at] ? rows.find(entries[at].get()) : rows.end();
        after.push_back(found == rows.end() ? QModelIndex() : index(found->second, before[at].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TResultsModel::rowCount(const QModelIndex& aParent) const { return aParent.isValid() ? 0 : fItemCount; }

int TResultsModel::columnCount(const QModelIndex& aParent) const { return aParent.isValid() ? 0 : cColumnCount; }

IEntry TResultsModel::EntryAt(int aRow) const {
    if (!fSearch || aRow < 0) return nullptr;
    const TFilter& filter = fSearch->GetFilter();
    TCLock lock(filter.GetCriticalSection());
    const TEntryList& results = filter.GetResults();
    return aRow < static_cast<int>(results.size()) ? results[aRow] : nullptr;
}

QString TResultsModel::CaptionOf(int aColumn) {
    return aColumn >= 0 && aColumn < cColumnCount ? QString(cColumnCaptions[aColumn]) : QString();
}

QString TResultsModel::CellText(const IEntry& aEntry, int aColumn, const std::string& aAutotraderDomain) {
    if (!aEntry) {
        if (aColumn == cMarkColumn) return {};
        return aColumn == cCaptionColumn ? QString(cNoEntryText) : QStringLiteral("-");
    }
    switch (aColumn) {
        case 1: return aEntry->GetHasImage() ? QStringLiteral("yes") : QStringLiteral("-");
        case 2: return QString::fromStdString(aEntry->GetDate());
        case 3: return QString::fromStdString(aEntry->GetName());
        case 4:
            // A dropped price shows what it was, so the drop is seen in the list.
            if (aEntry->GetPriceDropped())
                return PriceText(aEntry->GetPrice()) + " (was " + PriceText(aEntry->GetPriceWas()) + ")";
            return PriceText(aEntry->GetPrice());
        case 5: return QString::fromStdString(aEntry->GetLocationString());
        case 6: return QString::fromStdString(aEntry->GetCategoryString());
        case 7: {
            const int site = static_cast<int>(aEntry->GetFromSite());
            if (site == ssAutotrader && !aAutotraderDomain.empty()) return QString::fromStdString(aAutotraderDomain);
            return site >= 0 && site < cSiteSearchCount ? QString::fromStdString(cSiteSearchStr[site]) : QString();
        }
        default: return {};
    }
}

QVariant TResultsModel::RowColour(const TEntry& aEntry, int aRole) const {
    if (!fColors) return {};
    if (aEntry.GetVisited()) {
        if (aRole == Qt::BackgroundRole) return QBrush(ToQColor(fColors->GetVisitedBackgroundColor()));
        return QBrush(ToQColor(fColors->GetHighlightedFontColor()));
    }
    if (aEntry.GetNew() && aRole == Qt::BackgroundRole) return QBrush(ToQColor(fColors->GetNewBackgroundColor()));
    return {};
}

QString TResultsModel::CaptionWithAlsoIn(const TEntry& aEntry) const {
    QString text = QString::fromStdString(aEntry.GetName());
    QStringList places;
    for (const IEntry& folded : fSearch->GetAlsoIn(aEntry)) {
        const std::string& place = folded->GetLocationString();
        places << QString::fromStdString(place.empty() ? folded->GetLink() : place);
    }
    if (!places.isEmpty()) text += "  (also in: " + places.join(", ") + ")";
    return text;
}

QVariant TResultsModel::EntryData(const IEntry& aEntry, int aColumn, int aRole) const {
    switch (aRole) {
        case Qt::DisplayRole:
            if (aColumn == cMarkColumn) return {};
            if (aColumn == cCaptionColumn && aEntry && fSearch) return CaptionWithAlsoIn(*aEntry);
            return CellText(aEntry, aColumn, fAutotraderDomain);
        case Qt::CheckStateRole:
            if (aColumn != cMarkColumn) return {};
            return aEntry && aEntry->GetChecked() ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            if (aColumn != cMarkColumn || !aEntry || !fSearch) return {};
            if (fSearch->FavoriteExists(aEntry->GetLink())) return FavouriteIcon();
            if (aEntry->GetReplied()) return RepliedIcon();
            return {};
        case Qt::BackgroundRole:
        case Qt::ForegroundRole: return aEntry ? RowColour(*aEntry, aRole) : QVariant();
        default: return {};
    }
}

QVariant TResultsModel::data(const QModelIndex& aIndex, int aRole) const {
    if (!aIndex.isValid()) return {};
    const int column = aIndex.column();
    if (aRole == Qt::TextAlignmentRole && column == cPriceColumn) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (aRole != Qt::DisplayRole && aRole != Qt::CheckStateRole && aRole != Qt::DecorationRole &&
        aRole != Qt::BackgroundRole && aRole != Qt::ForegroundRole)
        return {};
    try {
        if (RowsBlank && RowsBlank()) return {};
        return EntryData(EntryAt(aIndex.row()), column, aRole);
    } catch (...) {
        // A row that cannot be filled stays blank; painting goes on.
        return {};
    }
}

QVariant TResultsModel::headerData(int aSection, Qt::Orientation aOrientation, int aRole) const {
    if (aOrientation != Qt::Horizontal || aRole != Qt::DisplayRole || aSection < 0 || aSection >= cColumnCount)
        return QAbstractTableModel::headerData(aSection, aOrientation, aRole);
    return QString(cColumnCaptions[aSection]);
}

// --- the view helper -------------------------------------------------------------------

TViewHelper::TViewHelper(TResultsModel& aModel, QLabel& aResultsCount)
    : fModel(aModel), fResultsCount(aResultsCount), fPendingCount(aModel.ItemCount()),
      fPendingLabel(aResultsCount.text()) {
    fRefresh.setSingleShot(true);
    fRefresh.setInterval(cRefreshMs);
    QObject::connect(&fRefresh, &QTimer::timeout, [this] { Flush(); });
}

void TViewHelper::SetItemCount(int aCount) {
    fPendingCount = aCount;
    ScheduleFlush();
}

void TViewHelper::SetResultsLabel(const std::string& aText) {
    fPendingLabel = QString::fromStdString(aText);
    ScheduleFlush();
}

void TViewHelper::ScheduleFlush() {
    if (!fRefresh.isActive()) fRefresh.start();
}

void TViewHelper::Flush() {
    fRefresh.stop();
    fModel.SetItemCount(fPendingCount);
    if (fResultsCount.text() != fPendingLabel) fResultsCount.setText(fPendingLabel);
}

void TViewHelper::Clear() {
    fRefresh.stop();
    fPendingCount = 0;
    fModel.SetSearch(nullptr);
}

QString TViewHelper::CountLabel(int aCount) const {
    return fShowsFavourites ? QString("Favorites (%1) ").arg(aCount) : QString("Results (%1 found) ").arg(aCount);
}

void TViewHelper::RebuildViewList(TSearch& aSearch) {
    const auto rebuild = [this, &aSearch] {
        TCLock lock(aSearch.GetCriticalSection());
        TFilter& filter = aSearch.GetFilter();
        TCLock filterLock(filter.GetCriticalSection());
        if (fShowsFavourites) {
            const TEntryList favourites = FavouritesAsEntries(aSearch);
            filter.Execute(&favourites);
        } else {
            filter.Execute(&aSearch.GetSearchResults().Items());
        }
        if (fSort) filter.ReorderResults(fSort);
    };
    if (fModel.Search() == &aSearch) {
        fModel.ReorderRows(rebuild);
    } else {
        rebuild();
        fModel.SetSearch(&aSearch);
    }
    ShowViewListCount(aSearch);
}

void TViewHelper::SortViewList(TSearch& aSearch) {
    if (fSort) {
        const auto sort = [this, &aSearch] {
            TCLock lock(aSearch.GetCriticalSection());
            aSearch.GetFilter().ReorderResults(fSort);
        };
        if (fModel.Search() == &aSearch) fModel.ReorderRows(sort);
        else sort();
    }
    fModel.Repaint();
}

void TViewHelper::ShowViewListCount(TSearch& aSearch) {
    const int count = aSearch.GetFilter().GetResultsCount();
    fPendingCount = count;
    fPendingLabel = CountLabel(count);
    Flush();
}

}  // namespace trawlix
