// Automatic runs in the main window, driven by the alert check with a clock of the test's
// own: a due search re-runs by itself through the site simulator, its tab and the tray
// show the new results, a digest that could not be sent says so in the status text and
// the tray, and the results it could not report go with the next one.
#include <QAction>
#include <QCheckBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>

#include "app/alert_scheduler.h"
#include "app/settings.h"
#include "app/site_watch.h"
#include "engine/clock.h"
#include "engine/proxy_settings.h"
#include "model/alert.h"
#include "model/entry.h"
#include "model/search.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/alerts_controller.h"
#include "ui/criteria_panel.h"
#include "ui/selection_tree.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

QImage Rendered(const QIcon& aIcon) { return aIcon.pixmap(16, 16).toImage(); }

}  // namespace

class TestAlertsInWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TSiteSimulator> fSim;

    // A one-page Craigslist search for antiques in the SF bay area, made in the panel.
    static void PrepareSearch(test::TRun& aRun, const QString& aKeywords) {
        aRun.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(aRun.window.get()));
        TCriteriaPanel* panel = aRun.window->Criteria();
        test::FillAntiquesSearch(panel, aKeywords, 1);
        panel->FillSearch(*aRun.window->CurrentSearch(), true);
    }

    // The vendor's mail service is the simulator's: what it was asked to send.
    int MailsSent() const {
        int count = 0;
        for (const auto& request : fSim->Requests()) count += request.url.find("/send_mail.php") != std::string::npos;
        return count;
    }

private slots:
    void initTestCase() { fSim = std::make_unique<test::TSiteSimulator>(); }
    void cleanupTestCase() { fSim.reset(); }

    void aDueSearchReRunsByItselfAndItsTabAndTheTrayShowTheNewResults() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        // The vendor's mail service is the simulator's; it refuses the first digest.
        run.session->GetSettings().SetVendorHost("vendor.example");
        run.session->GetSettings().SetUserEMail("me@example.org");
        fSim->ClearRequests();
        fSim->AddFault("send_mail.php", 500);
        PrepareSearch(run, "count12 lamp");
        TSearch& search = *run.window->CurrentSearch();
        TAlertsController& alerts = *run.window->Alerts();
        double now = EncodeDate(2026, 12, 10) + 10.0 / 24;
        alerts.Now = [&now] { return now; };
        QVERIFY(!alerts.timerCheckForNewResults.isActive());  // no alert is on
        search.GetAlert().SetEnabled(true);
        search.GetAlert().SetIntervalMinutes(1);
        search.GetAlert().SetSendToEmail(true);
        search.GetAlert().SetEmail("me@example.org");
        alerts.RefreshTimerCheckForNewResultsEnabled();
        QVERIFY(alerts.timerCheckForNewResults.isActive());
        // Every five seconds, so that a one-minute search re-runs within seconds of its turn.
        QCOMPARE(alerts.timerCheckForNewResults.interval(), 5000);

        const int runsBefore = search.GetSearchProcessID();
        alerts.timerCheckForNewResultsTimer();  // never run automatically: due at once
        QTRY_COMPARE(search.GetSearchProcessID(), runsBefore + 1);
        QVERIFY(!search.GetCalledFromUser());
        QVERIFY(QTest::qWaitFor([&search] { return !search.GetSearching(); }, 30000));
        QTRY_VERIFY(search.GetNewResultsAvailable().Available);
        QTRY_COMPARE(Rendered(run.window->tcTabs->tabIcon(0)), Rendered(QIcon(":/pictures/tab_new_results.svg")));
        QTRY_COMPARE(Rendered(run.window->TrayIcon->icon()), Rendered(QIcon(":/pictures/tray_new_results.svg")));
        QTRY_VERIFY(!run.dialogs.informations.empty());
        QVERIFY(run.dialogs.informations.back().rfind("There are new results available for one or more", 0) == 0);
        // The digest was refused, and the user hears why.
        QTRY_VERIFY_WITH_TIMEOUT(run.window->StatusBar->text().startsWith("Notifications (Email) could not be sent: "),
                                 30000);
        QCOMPARE(run.window->TrayBalloonText(), run.window->StatusBar->text());
        const auto digests = [this] { return MailsSent(); };
        QCOMPARE(digests(), 1);

        // Within the interval nothing runs; once it has passed, the search runs again.
        now += 30.0 / 86400;
        alerts.timerCheckForNewResultsTimer();
        QTest::qWait(200);
        QCOMPARE(search.GetSearchProcessID(), runsBefore + 1);
        now += 31.0 / 86400;
        alerts.timerCheckForNewResultsTimer();
        QTRY_COMPARE(search.GetSearchProcessID(), runsBefore + 2);
        QVERIFY(QTest::qWaitFor([&search] { return !search.GetSearching(); }, 30000));
        // It found nothing new, but the results the refused digest kept go out now.
        QTRY_VERIFY_WITH_TIMEOUT(run.window->StatusBar->text().startsWith("Notifications (Email) were sent at "), 30000);
        QCOMPARE(digests(), 2);

        // While searching is paused no automatic run starts.
        run.window->actPauseSearching->trigger();
        now += 2.0 / 1440;
        alerts.timerCheckForNewResultsTimer();
        QTest::qWait(200);
        QCOMPARE(search.GetSearchProcessID(), runsBefore + 2);
        run.window->actPauseSearching->trigger();
        QVERIFY(run.ExitAndWait());
    }

    // The digest held by quiet hours goes out on a thread of its own. The user may close
    // its search while a slow server keeps that send waiting: the window goes on, and still
    // tells that the digest went out.
    void aSearchClosedWhileItsHeldDigestIsSentIsSafe() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        run.session->GetSettings().SetVendorHost("vendor.example");
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TSearch* held = run.window->CurrentSearch();
        held->SetCalledFromUser(false);
        held->GetAlert().SetEnabled(true);
        held->GetAlert().SetSendToEmail(true);
        held->GetAlert().SetEmail("me@example.org");
        auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 9", "lamp", "http://sfbay.craigslist.org/atq/1001.html",
                                              10, "", "", false, 0, 0, "", "", "");
        entry->SetIncludeInEmailDigest(true);
        held->AddSearchResult(entry);
        run.window->actNewTab->trigger();  // the window stays open once the first search has gone
        run.window->actPreviousSearch->trigger();
        QCOMPARE(run.window->CurrentSearch(), held);

        fSim->ClearRequests();
        fSim->AddFault("send_mail.php", 0, 2000);
        SendHeldDigestsInBackground(*run.session, {held});
        QTRY_COMPARE(MailsSent(), 1);  // the send is under way
        run.dialogs.confirmAnswer = true;
        run.window->actCloseTab->trigger();
        QCOMPARE(run.window->tcTabs->count(), 1);
        QCOMPARE(run.SearchNames().size(), size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(run.window->StatusBar->text().startsWith("Notifications (Email) were sent at "), 30000);
        QVERIFY(run.ExitAndWait());
    }
};

TRAWLIX_UI_TEST(TestAlertsInWindow)
#include "test_alerts_in_window.moc"
