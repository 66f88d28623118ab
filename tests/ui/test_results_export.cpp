// Exporting the results list to CSV from the window (whole list, selection, favourites),
// the export dialog's rules, and the visible-columns dialog with the columns it hides.
#include <QCheckBox>
#include <QPushButton>
#include <QDir>
#include <QStandardPaths>
#include <QTest>

#include <filesystem>

#include "app/settings.h"
#include "results_test_support.h"
#include "ui/export_dialog.h"
#include "ui/visible_columns_dialog.h"
#include "ui_test_registry.h"

using namespace trawlix;
using test::TResultsWindow;
using test::TTestAd;

namespace {

// Files start with a UTF-8 byte-order mark, so spreadsheet programs read accents.
const char* const cHeader = "\xEF\xBB\xBF" "Date;Caption;Price;Location;Category;Ad URL\r\n";
// A field with the separator or a line break is quoted and keeps every character.
const char* const cLineA = "Dec 9;\"a;b\rc\nd\";---;sf    bay;bikes;http://sfbay.craigslist.org/bik/100.html\r\n";
const char* const cLineB = "Dec 8;sofa;12.5;oakland;furniture;http://sfbay.craigslist.org/bik/200.html\r\n";

std::vector<TTestAd> ExportAds() {
    return {{.name = "a;b\rc\nd", .date = "Dec 9", .price = 0, .link = "http://sfbay.craigslist.org/bik/100.html",
             .isNew = true, .location = "sf    bay"},
            {.name = "sofa", .date = "Dec 8", .price = 12.5, .link = "http://sfbay.craigslist.org/bik/200.html",
             .location = "oakland", .category = "furniture"}};
}

// The window with the export's questions answered: the dialog with its boxes as they
// stand, the file name given, and the files the user chose to open recorded.
struct TExportWindow : TResultsWindow {
    explicit TExportWindow(const std::vector<TTestAd>& aAds) : TResultsWindow(aAds) {
        list().ShowExportDialog = [this](TformExport&) {
            ++dialogsShown;
            return dialogAnswer;
        };
        list().AskExportFileName = [this] { return QString::fromStdString(fileName); };
        list().OpenFile = [this](const QString& aFile) {
            opened.push_back(aFile.toStdString());
            return programOpens;
        };
    }
    std::string Exported() const { return test::ReadFile(fileName + ".csv"); }

    std::string fileName = (profile / "export").string();  // without extension: ".csv" is added
    bool dialogAnswer = true;
    int dialogsShown = 0;
    std::vector<std::string> opened;
    bool programOpens = true;  // whether the desktop has a program for the file
};

}  // namespace

class TestResultsExport : public QObject {
    Q_OBJECT

private slots:
    void theWholeListIsExportedByteForByteAndOpenedOnYes() {
        TExportWindow window(ExportAds());
        window.run.dialogs.confirmAnswer = false;
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.Exported(), std::string(cHeader) + cLineA + cLineB);
        QCOMPARE(window.run.dialogs.confirmations.back(),
                 std::string("Results were successfully exported. Do you wish to open the file now?"));
        QVERIFY(window.opened.empty());
        window.run.dialogs.confirmAnswer = true;
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.opened, std::vector<std::string>{window.fileName + ".csv"});
        QVERIFY(window.run.dialogs.warnings.empty());

        // Yes with no program for CSV files on the desktop: the user hears where the file is.
        window.programOpens = false;
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.opened.size(), size_t(2));
        QCOMPARE(window.run.dialogs.warnings.size(), size_t(1));
        QVERIFY2(window.run.dialogs.warnings[0].rfind("No program on this computer opens the file " + window.fileName + ".csv",
                                                      0) == 0,
                 window.run.dialogs.warnings[0].c_str());
    }

    // The save dialog proposes a file named after the search in the documents folder, never
    // the folder's own name as the file's.
    void theSaveDialogProposesAFileNamedAfterTheSearch() {
        TExportWindow window(ExportAds());
        TSearch* search = window.run.window->CurrentSearch();
        const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        const std::pair<std::string, QString> cases[] = {
            {"Bikes & lamps", "Bikes & lamps.csv"}, {"a/b: c?", "a_b_ c_.csv"}, {"  ", "results.csv"}};
        for (const auto& [name, file] : cases) {
            search->SetName(name);
            QCOMPARE(window.list().ProposedExportFile(), documents.filePath(file));
        }
    }

    void onlyNewResultsAndAnEmptyExportKeepTheHeader() {
        TExportWindow window(ExportAds());
        window.run.dialogs.confirmAnswer = false;
        window.list().ExportDialog().cbExportOnlyNew->setChecked(true);
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.Exported(), std::string(cHeader) + cLineA);
        window.Entry("a;b\rc\nd")->SetNew(false);
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.Exported(), std::string(cHeader));
    }

    void selectionExportNeedsCheckedEntriesAndWritesOnlyThem() {
        TExportWindow window(ExportAds());
        window.run.dialogs.confirmAnswer = false;
        window.list().actSelectionExportToExcel->trigger();
        QCOMPARE(window.run.dialogs.warnings,
                 std::vector<std::string>{"Please select some results before exporting them using the \"Selection -> "
                                          "Export\" feature."});
        QCOMPARE(window.dialogsShown, 0);
        QVERIFY(!std::filesystem::exists(window.fileName + ".csv"));
        window.ClickMark(window.RowOf("sofa"));
        window.list().actSelectionExportToExcel->trigger();
        QCOMPARE(window.Exported(), std::string(cHeader) + cLineB);
    }

    void cancellingEitherDialogWritesNothing() {
        TExportWindow window(ExportAds());
        window.dialogAnswer = false;
        window.list().actExportToExcel->trigger();
        window.dialogAnswer = true;
        window.fileName.clear();
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.dialogsShown, 2);
        QVERIFY(window.run.dialogs.confirmations.empty());
        QVERIFY(!std::filesystem::exists(window.profile / "export.csv"));
    }

    void aFileThatCannotBeWrittenIsReportedNotCalledASuccess() {
        TExportWindow window(ExportAds());
        window.fileName = (window.profile / "missing-folder" / "out.csv").string();
        window.list().actExportToExcel->trigger();
        QCOMPARE(window.run.dialogs.warnings.size(), size_t(1));
        QVERIFY(window.run.dialogs.warnings[0].find("out.csv") != std::string::npos);
        QVERIFY(window.run.dialogs.confirmations.empty());
        QVERIFY(window.opened.empty());
    }

    void favouritesExportCarriesTheirNote() {
        TExportWindow window(ExportAds());
        window.run.dialogs.confirmAnswer = false;
        auto favourite = std::make_shared<TFavourite>(*window.Entry("sofa"), "ask; for\nphotos");
        window.search->AddFavourite(favourite);
        window.list().cbShowFavourites->setChecked(true);
        TformExport& dialog = window.list().ExportDialog();
        window.list().ShowExportDialog = [&](TformExport& aDialog) {
            aDialog.cbFavoriteNote->setChecked(true);
            aDialog.cbLocation->setChecked(false);
            return true;
        };
        window.list().actExportToExcel->trigger();
        // The note keeps its separator and its line break, quoted.
        QCOMPARE(window.Exported(),
                 std::string("\xEF\xBB\xBF" "Date;Caption;Price;Category;Ad URL;Note (for favorites)\r\n"
                             "Dec 8;sofa;12.5;furniture;http://sfbay.craigslist.org/bik/200.html;\"ask; for\nphotos\"\r\n"));
        // Outside the favourites view the note column is neither offered nor kept.
        window.list().cbShowFavourites->setChecked(false);
        window.list().ShowExportDialog = [](TformExport&) { return true; };
        window.list().actExportToExcel->trigger();
        QVERIFY(!dialog.cbFavoriteNote->isChecked());
        QVERIFY(dialog.cbFavoriteNote->isHidden());
        QVERIFY(!dialog.cbLocation->isChecked());  // the other boxes keep their state
    }

    void slowColumnsAskBeforeTheDialogCloses() {
        test::TRecordingDialogs dialogs;
        TformExport dialog(dialogs);
        dialog.show();
        dialog.btnExport->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialogs.confirmations.empty());
        for (QCheckBox* slow : {dialog.cbContact, dialog.cbDescription, dialog.cbImageURL}) {
            dialogs.Clear();
            dialog.setResult(QDialog::Rejected);
            slow->setChecked(true);
            dialogs.confirmAnswer = false;
            dialog.show();
            dialog.btnExport->click();
            QCOMPARE(dialogs.confirmations, std::vector<std::string>{TformExport::cSlowColumnsQuestion});
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            dialogs.confirmAnswer = true;
            dialog.btnExport->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            slow->setChecked(false);
        }
    }

    void visibleColumnsDialogWithAnEmptyListChecksEveryBox() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettings& settings = run.session->GetSettings();
        settings.SetVisibleColumns({});
        TformVisibleColumns dialog;
        dialog.LoadFrom(settings);
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) QVERIFY2(box->isChecked(), qPrintable(box->text()));
        QVERIFY(!dialog.cbCaption->isEnabled());
        QVERIFY(run.ExitAndWait());
    }

    void visibleColumnsAreStoredAndHideTheirColumns() {
        TResultsWindow window(ExportAds());
        TSettings& settings = window.run.session->GetSettings();
        settings.SetVisibleColumns({{"cbPrice", "true"}, {"cbDate", ""}, {"cbCaption", "true"}});
        TResultsList& list = window.list();
        list.ShowVisibleColumnsDialog = [&] {
            TformVisibleColumns dialog;
            dialog.LoadFrom(settings);
            QVERIFY(dialog.cbPrice->isChecked());
            QVERIFY(!dialog.cbDate->isChecked() && !dialog.cbImage->isChecked());
            dialog.cbFoundOn->setChecked(true);
            dialog.StoreTo(settings);
        };
        list.actVisibleColumns->trigger();
        const std::map<std::string, std::string> expected = {
            {"cbCaption", "true"}, {"cbPrice", "true"}, {"cbFoundOn", "true"}};
        QCOMPARE(settings.GetVisibleColumns(), expected);
        QTableView& view = window.view();
        for (int column : {1, 2, 5, 6}) QVERIFY2(view.isColumnHidden(column), qPrintable(QString::number(column)));
        for (int column : {3, 4, 7}) QVERIFY(!view.isColumnHidden(column));
        QCOMPARE(view.columnWidth(7), 98);  // shown all along: it keeps its width
        // Showing a hidden column again gives it its designed width.
        settings.SetVisibleColumns({{"cbCaption", "true"}, {"cbLocation", "true"}});
        list.ApplyVisibleColumns();
        QVERIFY(!view.isColumnHidden(5));
        QCOMPARE(view.columnWidth(5), 75);
        QVERIFY(view.isColumnHidden(4));
        QCOMPARE(TResultsList::GetListViewColumnByCaption(view, "found ON"), 7);
        QCOMPARE(TResultsList::GetListViewColumnByCaption(view, "Seller"), -1);
    }
};

TRAWLIX_UI_TEST(TestResultsExport)
#include "test_results_export.moc"
