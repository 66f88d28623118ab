#include "ui/results_model.h"

#include <QLabel>
#include <QLocale>

#include "mail/filter.h"

namespace trawlix {

namespace {

const char* const cColumnCaptions[TResultsModel::cColumnCount] = {"",      "Image",    "Date",     "Caption",
                                                                  "Price", "Location", "Category", "Found on"};

QString PriceText(double aPrice) {
    if (aPrice <= 0) return QStringLiteral("---");
    QLocale locale;  // the user's decimal separator, but no thousands separators
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(aPrice, 'g', 15);
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
    if (fItemCount > 0) emit dataChanged(index(0, 0), index(fItemCount - 1, cColumnCount - 1));
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

QString TResultsModel::CellText(const IEntry& aEntry, int aColumn) {
    if (!aEntry) return aColumn == 3 ? QString(cNoEntryText) : QStringLiteral("-");
    switch (aColumn) {
        case 1: return aEntry->GetHasImage() ? QStringLiteral("yes") : QStringLiteral("-");
        case 2: return QString::fromStdString(aEntry->GetDate());
        case 3: return QString::fromStdString(aEntry->GetName());
        case 4: return PriceText(aEntry->GetPrice());
        case 5: return QString::fromStdString(aEntry->GetLocationString());
        case 6: return QString::fromStdString(aEntry->GetCategoryString());
        case 7: {
            const int site = static_cast<int>(aEntry->GetFromSite());
            return site >= 0 && site < cSiteSearchCount ? QString::fromStdString(cSiteSearchStr[site]) : QString();
        }
        default: return {};
    }
}

QVariant TResultsModel::data(const QModelIndex& aIndex, int aRole) const {
    if (!aIndex.isValid()) return {};
    const int column = aIndex.column();
    if (aRole == Qt::TextAlignmentRole && column == 4) return int(Qt::AlignRight | Qt::AlignVCenter);
    if (aRole == Qt::CheckStateRole && column == 0) {
        IEntry entry = EntryAt(aIndex.row());
        return entry && entry->GetChecked() ? Qt::Checked : Qt::Unchecked;
    }
    if (aRole == Qt::FontRole && column == 3) {
        IEntry entry = EntryAt(aIndex.row());
        if (entry && entry->GetNew()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    }
    if (aRole != Qt::DisplayRole || column == 0) return {};
    return CellText(EntryAt(aIndex.row()), column);
}

QVariant TResultsModel::headerData(int aSection, Qt::Orientation aOrientation, int aRole) const {
    if (aOrientation != Qt::Horizontal || aRole != Qt::DisplayRole || aSection < 0 || aSection >= cColumnCount)
        return QAbstractTableModel::headerData(aSection, aOrientation, aRole);
    return QString(cColumnCaptions[aSection]);
}

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

void TViewHelper::RebuildViewList(TSearch& aSearch) {
    int count = 0;
    {
        TCLock lock(aSearch.GetCriticalSection());
        TFilter& filter = aSearch.GetFilter();
        filter.Execute(&aSearch.GetSearchResults().Items());
        count = filter.GetResultsCount();
    }
    if (fModel.Search() != &aSearch) fModel.SetSearch(&aSearch);
    fPendingCount = count;
    fPendingLabel = QString("Results (%1 found) ").arg(count);
    Flush();
}

}  // namespace trawlix
