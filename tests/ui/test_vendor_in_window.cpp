// The vendor's services as the window offers them: "Check for Update" against the site
// simulator's HTTPS port, "Generate Problem Report", the error window's report sending and
// the crash reports of an earlier run offered at the next start.
#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <string>

#include "app/crash_reports.h"
#include "app/error_report.h"
#include "app/problem_report.h"
#include "app/settings.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/form_exception.h"
#include "ui/vendor_actions.h"
#include "ui_test_support.h"

using namespace trawlix;
namespace fs = std::filesystem;

namespace {

QAction* MenuAction(QWidget* aWindow, const QString& aText) {
    for (QAction* action : aWindow->findChildren<QAction*>())
        if (action->text() == aText) return action;
    return nullptr;
}

bool Contains(const std::vector<std::string>& aTexts, const std::string& aText) {
    return std::find(aTexts.begin(), aTexts.end(), aText) != aTexts.end();
}

}  // namespace

class TestVendorInWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TSiteSimulator> fSim;

    void SetVendorValue(const std::string& aName, const std::string& aValue) {
        test::RawHttpGet(fSim->Port(), "/__sim/prop?name=" + aName + "&value=" + aValue);
    }

private slots:
    void initTestCase() {
        fSim = std::make_unique<test::TSiteSimulator>(test::TSiteSimulator::TOptions{1, "", true});
        setenv("TRAWLIX_CA_BUNDLE", test::TSiteSimulator::CACertificate().c_str(), 1);
    }
    void cleanupTestCase() {
        unsetenv("TRAWLIX_CA_BUNDLE");
        fSim.reset();
    }

    void checkForUpdateOpensTheDownloadOrSaysWhyItCouldNotAsk() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.session->GetSettings().SetVendorHost("127.0.0.1:" + std::to_string(fSim->TlsPort()));
        SetVendorValue("PELVANE_VERSION", "8.60");
        SetVendorValue("PELVANE_VERSION_URL", "https%3A%2F%2Fdl.example%2Ftrawlix_8.60.deb");
        QAction* check = MenuAction(run.window.get(), "Check for Update");
        QVERIFY(check && check->isEnabled());
        check->trigger();
        QVERIFY(QTest::qWaitFor([&run] { return !run.window->Vendor()->CheckingForUpdate(); }, 20000));
        QVERIFY(Contains(run.dialogs.confirmations, "A new version of Trawlix is available.\n\rDo you wish to update?"));
        QVERIFY(Contains(run.openedAddresses, "https://dl.example/trawlix_8.60.deb"));

        run.dialogs.Clear();
        SetVendorValue("PELVANE_VERSION", "8.53");
        check->trigger();
        QVERIFY(QTest::qWaitFor([&run] { return !run.window->Vendor()->CheckingForUpdate(); }, 20000));
        QVERIFY(Contains(run.dialogs.informations, "You are currently using the latest version of Trawlix. \n\nThank you!"));

        run.dialogs.Clear();
        run.session->GetSettings().SetVendorHost("127.0.0.1:1");  // nobody listens there
        check->trigger();
        QVERIFY(QTest::qWaitFor([&run] { return !run.window->Vendor()->CheckingForUpdate(); }, 20000));
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QVERIFY(run.dialogs.warnings[0].rfind("Could not check for updates: ", 0) == 0);
    }

    void theProblemReportIsWrittenWhereTheUserChoseAndItsFolderOpened() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        const fs::path chosen = profile.Path() / "report";
        QString openedFolder;
        run.window->Vendor()->ChooseReportFile = [&chosen] { return QString::fromStdString(chosen.string()); };
        run.window->Vendor()->OpenFolder = [&openedFolder](const QString& aFolder) { openedFolder = aFolder; };
        MenuAction(run.window.get(), "Generate Problem Report")->trigger();
        QVERIFY(fs::exists(profile.Path() / "report.cur"));
        QVERIFY(Contains(run.dialogs.informations, ProblemReportDoneText()));
        QCOMPARE(openedFolder.toStdString(), profile.Path().string());
    }

    void theErrorWindowSendsTheNoteAndDebugTextAndSaysHowItWent() {
        test::TRecordingDialogs dialogs;
        for (const bool fails : {false, true}) {
            std::string sentNote, sentDebug;
            QPointer<TformException> window = new TformException(
                [&, fails](const std::string& aNote, const std::string& aDebug) {
                    if (fails) throw std::runtime_error("Could not connect to server");
                    sentNote = aNote;
                    sentDebug = aDebug;
                },
                dialogs);
            window->AskNote = [] { return std::string("reach me at a@b.c"); };
            window->Execute("Something broke", "EXCEPTION TRACER Exception: std::runtime_error");
            QVERIFY(window->isVisible());
            QTest::mouseClick(window->btnSendReport, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&window] { return !window || !window->isVisible(); }, 10000));
            if (fails) {
                QCOMPARE(dialogs.warnings.back(), std::string(kReportNotSentText) + "Could not connect to server");
            } else {
                QCOMPARE(sentNote, std::string("reach me at a@b.c"));
                QCOMPARE(sentDebug, std::string("EXCEPTION TRACER Exception: std::runtime_error"));
                QCOMPARE(dialogs.informations.back(), std::string(kReportSentText));
            }
        }
    }

    void aCrashReportOfAnEarlierRunIsOfferedAtStartAndGoesUnlessKept() {
        test::TempDir profile;
        const fs::path folder = profile.Path() / "data" / "crash-reports";
        fs::create_directories(folder);
        test::WriteFile(folder / "crash-100-1.txt", "EXCEPTION TRACER Exception: SIGSEGV\r\n  Message: Segmentation fault\r\n");
        test::WriteFile(folder / "crash-200-2.txt", "EXCEPTION TRACER Exception: SIGABRT\r\n  Message: Aborted\r\n");
        test::TRun run(profile.Path());
        const auto offered = run.window->findChildren<TformException*>("formCrashReport");
        QCOMPARE(offered.size(), qsizetype(2));
        for (TformException* window : offered) {
            QVERIFY(window->isVisible());
            QVERIFY(window->cbKeepReport->isVisible());
            QVERIFY(window->memoMessage->toPlainText().contains("EXCEPTION TRACER Exception: SIG"));
        }
        offered[1]->cbKeepReport->setChecked(true);
        QTest::mouseClick(offered[0]->btnOK, Qt::LeftButton);
        QTest::mouseClick(offered[1]->btnOK, Qt::LeftButton);
        QCOMPARE(ListCrashReports(folder).size(), size_t(1));
    }
};

QTEST_MAIN(TestVendorInWindow)
#include "test_vendor_in_window.moc"
