// The vendor's services as the window offers them: "Check for Update" against the site
// simulator's HTTPS port, "Generate Problem Report", the error window's report sending, the
// crash reports of an earlier run offered at the next start, the news tab after an upgrade,
// the error window for a failed start and the profile update of the notification settings.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>
#include <string>

#include "app/crash_reports.h"
#include "app/error_report.h"
#include "app/problem_report.h"
#include "app/settings.h"
#include "find_widget.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/form_exception.h"
#include "ui/form_notification_settings.h"
#include "ui/form_settings.h"
#include "ui/news_page.h"
#include "ui/notification_tests.h"
#include "ui/vendor_actions.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

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

void ClickTab(QTabBar* aTabs, int aIndex) {
    QTest::mouseClick(aTabs, Qt::LeftButton, {}, aTabs->tabRect(aIndex).center());
    QCOMPARE(aTabs->currentIndex(), aIndex);
}

// Ends a run whose settings say that an earlier version ran last.
void LeaveAsIfUpgraded(test::TRun& aRun) {
    aRun.session->GetSettings().WriteDirectString("first_run", "8.50");
    QVERIFY(aRun.ExitAndWait());
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
        qputenv("TRAWLIX_CA_BUNDLE", QByteArray(test::TSiteSimulator::CACertificate().c_str()));
    }
    void cleanupTestCase() {
        qunsetenv("TRAWLIX_CA_BUNDLE");
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

    void theNewsOfAnUpgradeIsATabThatNoSearchActionTouchesAndThatClosesLikeAny() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());  // a first start has no news
            QVERIFY(!run.window->NewsPage());
            QTest::keyClicks(test::Widget<QLineEdit>(run.window->Criteria(), "edtSearchName"), "first");
            run.window->actNewTab->trigger();
            QTest::keyClicks(test::Widget<QLineEdit>(run.window->Criteria(), "edtSearchName"), "second");
            LeaveAsIfUpgraded(run);
        }
        {
            test::TRun run(profile.Path());
            run.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
            QTabBar* tabs = run.window->tcTabs;
            TNewsPage* news = run.window->NewsPage();
            QVERIFY(news);
            QCOMPARE(tabs->count(), 3);
            QCOMPARE(tabs->currentIndex(), 2);
            QVERIFY(run.window->IsNewsTab(2));
            QCOMPARE(tabs->tabText(2), QString("What's new"));
            QVERIFY(news->isVisible());
            QVERIFY(!run.window->Criteria()->isVisible());
            QVERIFY(news->browserNews->toPlainText().contains("What's new in Trawlix 8.53"));
            // Nothing that acts on the selected search acts on the news.
            QVERIFY(!run.window->CurrentSearch());
            QVERIFY(!run.window->actSearch->isEnabled());
            QVERIFY(!run.window->actClone->isEnabled());
            run.window->actClearResults->trigger();
            run.window->actSearch->trigger();
            run.window->actSaveMySearches->trigger();
            QVERIFY(run.dialogs.warnings.empty());
            QVERIFY(run.dialogs.informations.empty());

            ClickTab(tabs, 0);
            QCOMPARE(run.window->CurrentSearch()->GetName(), std::string("first"));
            QVERIFY(!news->isVisible());
            QVERIFY(run.window->Criteria()->isVisible());
            ClickTab(tabs, 2);
            QVERIFY(news->isVisible());
            QVERIFY(!run.window->Criteria()->isVisible());

            // Dragged in among the searches, it leaves their order alone.
            tabs->moveTab(2, 0);
            QCOMPARE(run.SearchNames(), (std::vector<std::string>{"first", "second"}));

            QPointer<TNewsPage> closed = news;
            QTest::mouseClick(news->btnClose, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&closed] { return !closed; }));
            QVERIFY(!run.window->NewsPage());
            QCOMPARE(tabs->count(), 2);
            QVERIFY(run.window->CurrentSearch());
            QVERIFY(run.window->Criteria()->isVisible());
            QCOMPARE(run.SearchNames(), (std::vector<std::string>{"first", "second"}));
            LeaveAsIfUpgraded(run);
        }
        {
            // Leaving with the news open saves the searches as always.
            test::TRun run(profile.Path());
            QVERIFY(run.window->NewsPage());
            QVERIFY(run.ExitAndWait());
        }
        test::TRun run(profile.Path());
        QVERIFY(!run.window->NewsPage());  // this version's news was shown once
        QCOMPARE(run.SearchNames(), (std::vector<std::string>{"first", "second"}));
        QCOMPARE(run.window->tcTabs->count(), 2);
    }

    void anErrorWhileTheSessionLoadsOpensTheErrorWindow() {
        test::TempDir profile;
        test::WriteFile(profile.Path() / "data" / "Places.cur", "not a places file");
        test::TRun run(profile.Path());
        QVERIFY(!run.session->GetInitialized());
        // The loading thread hands the warning and the window over after its failure.
        QVERIFY(QTest::qWaitFor([&run] { return !run.window->findChildren<TformException*>().isEmpty(); }, 10000));
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QCOMPARE(run.dialogs.warnings[0], std::string(kInitializationErrorMessage));
        const auto windows = run.window->findChildren<TformException*>();
        QCOMPARE(windows.size(), qsizetype(1));
        QVERIFY(windows[0]->isVisible());
        QVERIFY(!windows[0]->memoMessage->toPlainText().isEmpty());
        QVERIFY(windows[0]->btnSendReport->isEnabled());
        QTest::mouseClick(windows[0]->btnOK, Qt::LeftButton);
        QVERIFY(!windows[0]->isVisible());
    }

    void aChangedAddressOrPhoneUpdatesTheProfileAndAFailureKeepsTheSettings() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettings& settings = run.session->GetSettings();
        settings.SetUserEMail("old@example.org");
        TNotificationTests tests(*run.session, run.dialogs);
        TformSettings window(*run.session, run.dialogs, tests, run.window.get());
        TformNotificationSettings* page = window.Alerts;
        const auto saveWith = [&](const QString& aEmail, const QString& aPassword) {
            window.Prepare(TformSettings::pgAlerts);
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            page->edtEmail->clear();
            QTest::keyClicks(page->edtEmail, aEmail);
            page->edtPassword->clear();
            QTest::keyClicks(page->edtPassword, aPassword);
            QTest::mouseClick(window.btnSave, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([page] { return !page->UpdatingProfile(); }, 20000));
        };
        const auto profileRequests = [this] {
            std::vector<std::string> urls;
            for (const test::TSimRequest& request : fSim->Requests())
                if (request.url.find("/services/user.php?action=update&") != std::string::npos) urls.push_back(request.url);
            return urls;
        };

        settings.SetVendorHost("127.0.0.1:" + std::to_string(fSim->TlsPort()));
        fSim->ClearRequests();
        saveWith("new@example.org", "s3cret!");
        QVERIFY(run.dialogs.warnings.empty());
        std::vector<std::string> sent = profileRequests();
        QCOMPARE(sent.size(), size_t(1));
        QVERIFY2(sent[0].rfind("https://", 0) == 0, sent[0].c_str());
        QVERIFY2(sent[0].find("&new_pass=s3cret%21&") != std::string::npos, sent[0].c_str());
        QVERIFY2(sent[0].find("&email=new%40example.org&") != std::string::npos, sent[0].c_str());
        QCOMPARE(run.session->GetCurrentUser()->Pass, std::string("s3cret!"));

        // Saving the same address and phone again sends nothing.
        fSim->ClearRequests();
        saveWith("new@example.org", "s3cret!");
        QVERIFY(profileRequests().empty());

        settings.SetVendorHost("127.0.0.1:1");  // nobody listens there
        saveWith("other@example.org", "s3cret!");
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QVERIFY2(run.dialogs.warnings[0].rfind("Could not update your profile: ", 0) == 0, run.dialogs.warnings[0].c_str());
        QVERIFY(run.dialogs.warnings[0].size() > std::string("Could not update your profile: ").size());
        // The request's query holds the passwords: the message names the service only.
        for (const char* hidden : {"?", "pass=", "s3cret", "%40"})
            QVERIFY2(run.dialogs.warnings[0].find(hidden) == std::string::npos, run.dialogs.warnings[0].c_str());
        QCOMPARE(settings.GetUserEMail(), std::string("other@example.org"));
    }
};

TRAWLIX_UI_TEST(TestVendorInWindow)
#include "test_vendor_in_window.moc"
