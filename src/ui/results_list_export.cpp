#include "ui/results_list.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/session.h"
#include "model/filter.h"
#include "model/places.h"
#include "model/search.h"
#include "run/csv_export.h"
#include "sites/posting_scrapers.h"
#include "ui/export_dialog.h"
#include "ui/info_window.h"
#include "ui/user_dialogs.h"
#include "ui/view_list_lock.h"

namespace trawlix {

// --- export ----------------------------------------------------------------------------

void TResultsList::Export(bool aSelection) {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    if (!aSelection) {
        ExportEntries(*search, nullptr);
        return;
    }
    // The selection stays as it is until the file is written.
    TViewListLock lock(*search);
    const TEntryList checked = CheckedEntries(*search);
    if (checked.empty()) {
        fContext.dialogs->Warning(cNothingToExport);
        return;
    }
    ExportEntries(*search, &checked);
}

void TResultsList::ExportEntries(TSearch& aSearch, const TEntryList* aEntries) {
    fExportForm->PrepareFor(fShowingFavourites);
    if (!ShowExportDialog(*fExportForm)) return;
    QString fileName = AskExportFileName();
    if (fileName.isEmpty()) return;
    if (QFileInfo(fileName).suffix().isEmpty()) fileName += ".csv";

    TExportOptions options;
    options.columns = fExportForm->Columns();
    options.onlyNew = fExportForm->ExportOnlyNew();
    options.downloadPage = [](const IEntry& aEntry) { return DownloadEntryPage(aEntry); };
    options.readPage = ReadPostingFields;
    const TPlaces* places = fContext.session ? fContext.session->GetPlaces() : nullptr;
    options.placeLookup = [places](int aID) -> const TPlace* { return places ? places->GetPlaceByID(aID) : nullptr; };
    options.onProgress = [this](double aDone) {
        fContext.info->ReportProgress(aDone);
        QApplication::processEvents();
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fContext.info->Execute();
    bool written = false;
    TExportReport report;
    try {
        std::vector<std::string> lines;
        if (aEntries) {
            lines = ExportToCSV(*aEntries, options, &report);
        } else {
            TViewListLock lock(aSearch);
            // A copy: the busy window lets results arrive while the lines are built.
            const TEntryList viewList = aSearch.GetFilter().GetResults();
            lines = ExportToCSV(viewList, options, &report);
        }
        WriteCSVFile(fileName.toStdString(), lines);
        written = true;
    } catch (const std::exception& e) {
        fContext.info->Finish();
        QApplication::restoreOverrideCursor();
        fContext.dialogs->Warning(e.what());
    }
    if (!written) return;
    fContext.info->Finish();
    QApplication::restoreOverrideCursor();
    if (report.pagesNotRead > 0) fContext.dialogs->Warning(ExportPagesNotReadText(report.pagesNotRead));
    if (!fContext.dialogs->Confirm(cExportedQuestion) || !OpenFile) return;
    if (!OpenFile(fileName))
        fContext.dialogs->Warning("No program on this computer opens the file " + QDir::toNativeSeparators(fileName).toStdString() +
                                  ".\r\nIt was saved there: open it from a spreadsheet program or the file manager.");
}

QString TResultsList::ProposedExportFile() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const TSearch* search = CurrentSearch();
    QString name = search ? QString::fromStdString(search->GetName()).trimmed() : QString();
    // Characters a file name cannot hold, or that the desktop's file managers refuse.
    static const QRegularExpression cNotInFileNames(R"([/\\:*?"<>|\x00-\x1f])");
    name.replace(cNotInFileNames, "_");
    if (name.isEmpty() || name.startsWith('.') || name == "(Untitled)") name = "results";
    return QDir(folder).filePath(name + ".csv");
}

}  // namespace trawlix
