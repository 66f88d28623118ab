// The desktop program saves as the user works, tells the user when saving fails (keeping
// everything in memory to try again), and ends the normal way on a termination signal.
#include <signal.h>
#include <sys/wait.h>

#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <thread>

#include "model/objects_storage.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "find_widget.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

std::string StoredName(const std::filesystem::path& aProfile, int aID) {
    TObjectsStorage storage((aProfile / "data" / "object_storage.cur").string());
    return storage.GetObjectPropText(aID, "name");
}

bool AnyContains(const std::vector<std::string>& aTexts, const std::string& aPart) {
    for (const auto& text : aTexts)
        if (text.find(aPart) != std::string::npos) return true;
    return false;
}

}  // namespace

class TestSavingInWindow : public QObject {
    Q_OBJECT

private slots:
    void aFailedSaveIsToldAndTriedAgainWithTheDataKept() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search);
        // The new tab's search is stored within a few seconds, without any exit.
        QTRY_VERIFY_WITH_TIMEOUT(!search->GetModified(), 10000);
        const int id = search->GetID();
        QVERIFY(id > 0);

        auto locker = test::LockDatabase(profile.Path());
        test::Widget<QLineEdit>(run.window->Criteria(), "edtSearchName")->setText("Garden chairs");
        QTRY_VERIFY_WITH_TIMEOUT(AnyContains(run.dialogs.warnings, "Your changes could not be saved."), 20000);
        QVERIFY(AnyContains(run.dialogs.warnings, "database is locked"));
        QVERIFY(search->GetModified());
        QCOMPARE(search->GetName(), std::string("Garden chairs"));

        locker.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!search->GetModified(), 20000);
        QCOMPARE(StoredName(profile.Path(), id), std::string("Garden chairs"));

        // At exit the user is asked whether to try again; No ends the program.
        locker = test::LockDatabase(profile.Path());
        test::Widget<QLineEdit>(run.window->Criteria(), "edtSearchName")->setText("Deck chairs");
        run.dialogs.confirmAnswer = false;
        run.dialogs.Clear();
        QVERIFY(run.ExitAndWait());
        QVERIFY(AnyContains(run.dialogs.confirmations, "Your searches could not be saved. Try again?"));
        QCOMPARE(run.session->GetExitSaveError().find("database is locked") != std::string::npos, true);
        locker.reset();
        QCOMPARE(StoredName(profile.Path(), id), std::string("Garden chairs"));
    }

    // The program itself, as a process: SIGTERM, SIGINT and SIGHUP run its Exit.
    void terminationSignalsRunTheNormalExit() {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            test::TempDir profile;
            const std::string installed = qEnvironmentVariable("TRAWLIX_INSTALLED_DATA_DIR").toStdString();
            test::TChildProcess program({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "QTWEBENGINE_DISABLE_SANDBOX=1",
                                         "TRAWLIX_INSTALLED_DATA_DIR=" + installed,
                                         "TRAWLIX_DATA_DIR=" + (profile.Path() / "data").string(),
                                         "TRAWLIX_CONFIG_DIR=" + (profile.Path() / "config").string(),
                                         "XDG_RUNTIME_DIR=" + (profile.Path() / "run").string(),
                                         "XDG_CONFIG_HOME=" + (profile.Path() / "xdg-config").string(),
                                         TRAWLIX_GUI_PATH},
                                        profile.Path() / "trawlix.log", false);
            // Started: the database's backup is taken at start, the splash shows for 3 s.
            QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(profile.Path() / "data" / "object_storage.tmp"), 30000);
            QTest::qWait(5000);
            kill(program.Pid(), signal);
            int status = 0;
            pid_t ended = 0;
            for (int i = 0; i < 600 && ended == 0; ++i) {
                ended = waitpid(program.Pid(), &status, WNOHANG);
                if (ended == 0) QTest::qWait(50);
            }
            QVERIFY2(ended == program.Pid(), "the program did not end");
            QVERIFY2(WIFEXITED(status), (std::string("ended by the signal: ") + program.LogText()).c_str());
            QCOMPARE(WEXITSTATUS(status), 0);
            // The exit sequence ran: the results area's size is written at exit.
            QVERIFY(test::ReadFile(profile.Path() / "config" / "settings.conf").find("gbResultsHeight") !=
                    std::string::npos);
            // The lock is free and the new tab's search was stored.
            const auto searches = test::RunCli(profile.Path(), {"searches"});
            QCOMPARE(searches.exitCode, 0);
            QVERIFY2(searches.out.find("Untitled") != std::string::npos, searches.out.c_str());
            QCOMPARE(test::RunCli(profile.Path(), {"set-search", "1", "--pages", "1"}).exitCode, 0);
        }
    }
};

TRAWLIX_UI_TEST(TestSavingInWindow)
#include "test_saving_in_window.moc"
