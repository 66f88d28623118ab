#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "app/crash_reports.h"
#include "engine/text_functions.h"
#include "model/sqlite_db.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using trawlix::test::RawHttpGet;
using trawlix::test::ReadFile;
using trawlix::test::RunCli;
using trawlix::test::TempDir;
using trawlix::test::TSiteSimulator;
using trawlix::test::WriteFile;
namespace fs = std::filesystem;

namespace {

class CliVendor : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fSim = new TSiteSimulator(TSiteSimulator::TOptions{1, "", true}); }
    static void TearDownTestSuite() {
        delete fSim;
        fSim = nullptr;
    }

    void SetVendorValue(const std::string& aName, const std::string& aValue) {
        RawHttpGet(fSim->Port(), "/__sim/prop?name=" + aName + "&value=" + aValue);
    }
    // The profile asks the simulator's HTTPS port as the vendor's host.
    void UseSimulatorAsVendor() {
        ASSERT_EQ(RunCli(fProfile.Path(), {"config", "VendorHost", "127.0.0.1:" + std::to_string(fSim->TlsPort())})
                      .exitCode,
                  0);
    }
    trawlix::test::ProcessResult Cli(const std::vector<std::string>& aArgs, bool aTrustTestCA = true) {
        std::map<std::string, std::string> env;
        if (aTrustTestCA) env["TRAWLIX_CA_BUNDLE"] = TSiteSimulator::CACertificate().string();
        return RunCli(fProfile.Path(), aArgs, env);
    }

    static TSiteSimulator* fSim;
    TempDir fProfile;
};

TSiteSimulator* CliVendor::fSim = nullptr;

}  // namespace

TEST_F(CliVendor, CheckUpdateTellsOfANewerVersionOrSaysThisIsTheLatest) {
    UseSimulatorAsVendor();
    SetVendorValue("PELVANE_VERSION", "8.60");
    SetVendorValue("PELVANE_VERSION_URL", "https%3A%2F%2Fdl.example%2Ftrawlix_8.60.deb");
    auto newer = Cli({"check-update"});
    ASSERT_EQ(newer.exitCode, 0) << newer.err;
    EXPECT_EQ(newer.out, "A new version of Trawlix is available.\nhttps://dl.example/trawlix_8.60.deb\n");
    auto json = Cli({"check-update", "--json"});
    EXPECT_EQ(json.out,
              "{\"current\":\"8.53\",\"latest\":\"8.60\",\"url\":\"https://dl.example/trawlix_8.60.deb\",\"newer\":true}\n");

    SetVendorValue("PELVANE_VERSION", "8.5");
    auto latest = Cli({"check-update"});
    ASSERT_EQ(latest.exitCode, 0) << latest.err;
    EXPECT_EQ(latest.out, "You are currently using the latest version of Trawlix. \n\nThank you!\n");
}

TEST_F(CliVendor, CheckUpdateFailsWithTheReasonWhenTheHostCannotBeTrustedOrAnswersNothing) {
    UseSimulatorAsVendor();
    SetVendorValue("PELVANE_VERSION", "9.0");
    auto untrusted = Cli({"check-update"}, false);  // the test CA is not trusted: the certificate is refused
    EXPECT_EQ(untrusted.exitCode, 1);
    EXPECT_EQ(untrusted.err.rfind("Could not check for updates: ", 0), 0u) << untrusted.err;
    EXPECT_EQ(untrusted.out, "");

    SetVendorValue("PELVANE_VERSION", "");
    auto empty = Cli({"check-update"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("gave no version number"), std::string::npos) << empty.err;
}

TEST_F(CliVendor, CheckUpdateNeverBelievesAnAnswerReachedThroughARedirectToHttp) {
    UseSimulatorAsVendor();
    SetVendorValue("PELVANE_VERSION", "9.0");
    SetVendorValue("PELVANE_VERSION_URL", "https%3A%2F%2Fdl.example%2Ftrawlix_9.0.deb");
    const std::string downgrade = "http://127.0.0.1:" + std::to_string(fSim->Port()) +
                                  "/services/prop.php?action=get_value&name=PELVANE_VERSION";
    RawHttpGet(fSim->Port(), "/__sim/fault?match=name%3DPELVANE_VERSION%26&status=302&location=" +
                                 trawlix::URLEncode(downgrade));
    fSim->ClearRequests();
    auto check = Cli({"check-update"});
    fSim->ClearFaults();
    EXPECT_EQ(check.exitCode, 1) << check.out;
    EXPECT_EQ(check.err.rfind("Could not check for updates: ", 0), 0u) << check.err;
    EXPECT_EQ(check.out, "");
    for (const auto& request : fSim->Requests())
        EXPECT_NE(request.url.rfind("http://", 0), 0u) << "followed the redirect to " << request.url;
}

TEST_F(CliVendor, TheProblemReportIsADatabaseWithoutPasswords) {
    ASSERT_EQ(Cli({"add-account", "--host", "smtp.example.org", "--port", "587", "--user", "alice", "--password",
                   "hunter2-secret"})
                  .exitCode,
              0);
    auto report = Cli({"problem-report", "--out", (fProfile / "report").string()});
    ASSERT_EQ(report.exitCode, 0) << report.err;
    EXPECT_NE(report.out.find("The problem report was generated successfully."), std::string::npos);
    const fs::path file = fProfile / "report.cur";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(ReadFile(file).find("hunter2-secret"), std::string::npos);
    trawlix::TSQLiteDB copy(file.string());
    EXPECT_EQ(copy.GetTableString("SELECT value FROM props WHERE name = 'host'"), "smtp.example.org");
    EXPECT_EQ(copy.GetTableString("SELECT value FROM props WHERE name = 'password'"), "");
    // The user's own database keeps its password.
    EXPECT_NE(ReadFile(fProfile / "data" / "object_storage.cur").find("hunter2-secret"), std::string::npos);

    EXPECT_EQ(Cli({"problem-report"}).exitCode, 2);
    auto unwritable = Cli({"problem-report", "--out", "/nonexistent/folder/report.cur"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("/nonexistent/folder/report.cur"), std::string::npos) << unwritable.err;
}

TEST_F(CliVendor, TheProblemReportNeverGoesOverTheLiveData) {
    ASSERT_EQ(Cli({"add-account", "--host", "smtp.example.org", "--port", "587", "--user", "alice", "--password",
                   "hunter2-secret"})
                  .exitCode,
              0);
    const fs::path data = fProfile / "data";
    for (const fs::path& target : {data / "object_storage.cur", data / "object_storage.tmp", data / "report.cur"}) {
        auto refused = Cli({"problem-report", "--out", target.string()});
        EXPECT_EQ(refused.exitCode, 1) << target;
        EXPECT_NE(refused.err.find("inside the data folder"), std::string::npos) << refused.err;
    }
    EXPECT_NE(ReadFile(data / "object_storage.cur").find("hunter2-secret"), std::string::npos);
    EXPECT_FALSE(fs::exists(data / "report.cur"));
    auto list = Cli({"accounts"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("smtp.example.org"), std::string::npos);

    ASSERT_EQ(Cli({"problem-report", "--out", (fProfile / "report.cur").string()}).exitCode, 0);
    EXPECT_EQ(fs::status(fProfile / "report.cur").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(CliVendor, CrashReportsAreListedAndDeletedByNumber) {
    auto none = Cli({"crash-reports"});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "");
    const fs::path folder = fProfile / "data" / "crash-reports";
    fs::create_directories(folder);
    WriteFile(folder / "crash-100-7.txt", "EXCEPTION TRACER Exception: SIGSEGV\r\n  Message: Segmentation fault\r\n");
    WriteFile(folder / "crash-200-9.txt", "EXCEPTION TRACER Exception: SIGABRT\r\n  Message: Aborted\r\n");
    auto list = Cli({"crash-reports"});
    EXPECT_EQ(list.out,
              "1\tcrash-100-7.txt\tEXCEPTION TRACER Exception: SIGSEGV\n"
              "2\tcrash-200-9.txt\tEXCEPTION TRACER Exception: SIGABRT\n");
    EXPECT_EQ(Cli({"crash-reports", "--delete", "3"}).exitCode, 1);
    ASSERT_EQ(Cli({"crash-reports", "--delete", "1"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(folder / "crash-100-7.txt"));
    EXPECT_TRUE(fs::exists(folder / "crash-200-9.txt"));
}

namespace {

// Whether another process holds the data folder's lock: the command's session is up.
bool LockIsHeld(const fs::path& aDataFolder) {
    const int fd = ::open((aDataFolder / "Trawlix.lock").c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace

// The report goes to the folder of --data-dir, says who sent the signal, and is listed while
// another program (the window) holds the data folder.
TEST_F(CliVendor, ACrashGoesToTheDataDirFolderAndIsListedWhileTheWindowRuns) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer owns the fatal signals";
#endif
    const fs::path data = fProfile / "other-data";
    trawlix::test::TChildProcess watcher({trawlix::test::CliPath(), "--data-dir", data.string(), "--config-dir",
                                          (fProfile / "config").string(), "watch"},
                                         fProfile / "watch.log", false);
    // Killed once it holds the folder and has made its database, as a running window has.
    const auto started = [&] { return LockIsHeld(data) && fs::exists(data / "object_storage.cur"); };
    for (int i = 0; i < 200 && !started(); ++i) ::usleep(50 * 1000);
    ASSERT_TRUE(started()) << watcher.LogText();
    ASSERT_EQ(::kill(watcher.Pid(), SIGSEGV), 0);
    for (int i = 0; i < 200 && LockIsHeld(data); ++i) ::usleep(50 * 1000);
    ASSERT_FALSE(LockIsHeld(data));

    const int fd = ::open((data / "Trawlix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);  // as the window holds it
    auto list = RunCli(fProfile.Path(), {"--data-dir", data.string(), "crash-reports"});
    ::close(fd);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("\tEXCEPTION TRACER Exception: SIGSEGV\n"), std::string::npos) << list.out;
    const auto reports = trawlix::ListCrashReports(trawlix::CrashReportsFolder(data));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].text.find("Message: Segmentation fault sent by process " + std::to_string(::getpid())),
              std::string::npos)
        << reports[0].text;
    EXPECT_FALSE(fs::exists(fProfile / "data" / "crash-reports"));
}

TEST_F(CliVendor, ACrashReportSentToTheMailServiceGoesAndAFailedSendKeepsIt) {
    ASSERT_EQ(Cli({"config", "VendorHost", "127.0.0.1:" + std::to_string(fSim->Port())}).exitCode, 0);
    const fs::path folder = fProfile / "data" / "crash-reports";
    fs::create_directories(folder);
    WriteFile(folder / "crash-100-7.txt", "EXCEPTION TRACER Exception: SIGSEGV\r\n  Message: Segmentation fault\r\n");

    fSim->AddFault("send_mail.php", 503);
    auto failed = Cli({"crash-reports", "--send", "1"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err.rfind("The report was NOT sent successfully. \r\nThe following error occurred: \r\n", 0), 0u)
        << failed.err;
    EXPECT_TRUE(fs::exists(folder / "crash-100-7.txt"));

    fSim->ClearRequests();
    auto sent = Cli({"crash-reports", "--send", "1", "--note", "it crashed at start"});
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_EQ(sent.out, "The report was sent successfully.\r\nThanks for your cooperation!\n");
    EXPECT_FALSE(fs::exists(folder / "crash-100-7.txt"));
    int posts = 0;
    for (const auto& request : fSim->Requests()) {
        if (request.url.find("/send_mail.php") == std::string::npos) continue;
        ++posts;
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.body.rfind("auth=tirzep&to=support@velmorasolutions.com&subject=Error report: &content=", 0),
                  0u)
            << request.body;
    }
    EXPECT_EQ(posts, 1);
}
