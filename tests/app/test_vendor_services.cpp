#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

#include "app/crash_reports.h"
#include "app/error_report.h"
#include "app/problem_report.h"
#include "app/rest_connection.h"
#include "app/session.h"
#include "app/vendor_services.h"
#include "engine/http_client.h"
#include "model/sqlite_db.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::TempDir;

namespace {

// Answers each address from a table; an address it does not know fails like a refused host.
struct TFakeVendor {
    std::map<std::string, std::string> answers;  // by the name=... parameter
    std::vector<std::string> asked;

    TRESTConnection Connection() {
        return TRESTConnection([this](const std::string& aURL) {
            asked.push_back(aURL);
            for (const auto& [name, value] : answers)
                if (aURL.find("name=" + name + "&") != std::string::npos) return value;
            throw EHttpError("Could not connect to server");
        });
    }
};

}  // namespace

TEST(RESTAddress, ParametersAreNumberedEncodedAndTheRandomParameterEndsTheAddress) {
    const std::vector<std::string> params{"a b/é", "x&y=z", "3", "4", "5", "6", "7", "8", "9", "ten"};
    struct Case {
        const char* tmpl;
        const char* expected;
    } cases[] = {
        {"https://h/p?n=$1", "https://h/p?n=a%20b%2F%C3%A9&random=42"},
        {"$2-$1", "x%26y%3Dz-a%20b%2F%C3%A9&random=42"},
        {"v=$10;w=$11", "v=ten;w=$11&random=42"},  // no eleventh parameter: stays as written
        {"cost $ and $x", "cost $ and $x&random=42"},
        {"$0", "$0&random=42"},
        {"", "&random=42"},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildRESTAddress(c.tmpl, params, 42), c.expected) << c.tmpl;
}

TEST(RESTConnection, AFailedRequestIsRaisedAndNeverRetriedOverPlainHttp) {
    TFakeVendor vendor;
    TRESTConnection connection = vendor.Connection();
    EXPECT_THROW(GetPropertyValue(connection, "vendor.example", "PELVANE_VERSION"), EHttpError);
    ASSERT_EQ(vendor.asked.size(), 1u);
    EXPECT_EQ(vendor.asked[0].rfind("https://vendor.example/services/prop.php?action=get_value&name=PELVANE_VERSION&random=", 0), 0u)
        << vendor.asked[0];
}

// The user's passwords travel in the query: a failure names the service, never the query.
TEST(RESTConnection, AFailureNeverShowsTheQuery) {
    TProxySettings noProxy;
    TRESTConnection connection(std::make_shared<TCHttpClient>(noProxy, false));
    TCSUser user;
    user.Pass = "old-secret";
    const std::string host = "127.0.0.1:" + std::to_string(test::FreeLoopbackPort());  // nobody listens
    try {
        UpdateUserProfile(connection, host, user, "new-secret");
        ADD_FAILURE() << "nobody answers";
    } catch (const EHttpError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("https://" + host + "/services/user.php"), std::string::npos) << text;
        for (const char* hidden : {"?", "secret", "pass"}) EXPECT_EQ(text.find(hidden), std::string::npos) << text;
    }
}

TEST(UpdateCheck, VersionsCompareAsDecimalNumbers) {
    struct Case {
        const char* answer;
        bool newer;
    } cases[] = {{"8.60", true}, {"8.5", false}, {"10.0", true}, {"8,60", false}, {"8.53", false},
                 {" 8.54\n", true}, {"", false},  {"8.53.1", false}, {"soon", false}, {"8.52", false}};
    for (const Case& c : cases) EXPECT_EQ(IsNewerVersion(c.answer, "8.53"), c.newer) << c.answer;
}

TEST(UpdateCheck, ANewerVersionBringsItsDownloadAddressAndBadAnswersAreFailures) {
    TFakeVendor vendor;
    TRESTConnection connection = vendor.Connection();
    vendor.answers = {{"PELVANE_VERSION", "8.60"}, {"PELVANE_VERSION_URL", "https://dl.example/trawlix_8.60.deb"}};
    TUpdateCheck check = CheckForUpdate(connection, "v.example", "8.53");
    EXPECT_TRUE(check.newer);
    EXPECT_EQ(check.latest, "8.60");
    EXPECT_EQ(check.url, "https://dl.example/trawlix_8.60.deb");

    vendor.asked.clear();
    vendor.answers["PELVANE_VERSION"] = "8.53";
    check = CheckForUpdate(connection, "v.example", "8.53");
    EXPECT_FALSE(check.newer);
    EXPECT_EQ(vendor.asked.size(), 1u);  // no address asked for when there is nothing to fetch
    EXPECT_EQ(LatestVersionText(), "You are currently using the latest version of Trawlix. \n\nThank you!");

    vendor.answers["PELVANE_VERSION_URL"] = "https://dl.example/trawlix.deb";
    for (const char* bad : {"", "<html>Service unavailable</html>", "9,0", "9.0-beta", "9\x01.0", "+9.0", "-9",
                            "1e3", "9.0 <b>", "0x10", ".9", "9.", "9.0.1", "inf", "nan"}) {
        vendor.answers["PELVANE_VERSION"] = bad;
        EXPECT_THROW(CheckForUpdate(connection, "v.example", "8.53"), std::runtime_error) << bad;
    }
    // The address is opened in the user's browser: nothing but a web page that came over https.
    for (const char* bad : {"file:///usr/bin/xterm", "http://dl.example/trawlix.deb", "HTTP://dl.example/t.deb",
                            "https://dl.example/t.deb\r\nX-Evil: 1", "https://dl.example/\x1b[2Jt.deb",
                            "https://dl.example/a b.deb", "https://dl.example/t\x7f.deb", "https://", "javascript:alert(1)"}) {
        vendor.answers = {{"PELVANE_VERSION", "9.0"}, {"PELVANE_VERSION_URL", bad}};
        EXPECT_THROW(CheckForUpdate(connection, "v.example", "8.53"), std::runtime_error) << bad;
    }
    vendor.answers = {{"PELVANE_VERSION", "9"}, {"PELVANE_VERSION_URL", "HTTPS://dl.example/t.deb"}};
    EXPECT_EQ(CheckForUpdate(connection, "v.example", "8.53").url, "HTTPS://dl.example/t.deb");
}

TEST(UpdateCheck, TheProfileUpdateGoesOverHttpsWithTheOldAndNewPasswords) {
    std::vector<std::string> asked;
    TRESTConnection connection([&asked](const std::string& aURL) {
        asked.push_back(aURL);
        return std::string("ok");
    });
    TCSUser user;
    user.ID = 7;
    user.Pass = "old pw";
    user.RealName = "Ann Lee";
    user.Phone = "555 0100";
    user.EMail = "ann@example.org";
    user.NetworkID = 12;
    UpdateUserProfile(connection, "v.example", user, "new&pw");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].substr(0, asked[0].find("&random=")),
              "https://v.example/services/user.php?action=update&id=7&old_pass=old%20pw&new_pass=new%26pw&type=1"
              "&real_name=Ann%20Lee&phone=555%200100&email=ann%40example.org&gsm_network_id=12");
    EXPECT_EQ(user.Pass, "new&pw");
}

TEST(ProblemReport, ANameWithoutExtensionGetsCur) {
    EXPECT_EQ(ProblemReportFile("/tmp/report"), "/tmp/report.cur");
    EXPECT_EQ(ProblemReportFile("/tmp/report.db"), "/tmp/report.db");
    EXPECT_EQ(ProblemReportFile("/tmp/my.dir/report"), "/tmp/my.dir/report.cur");
}

// A report written over the live data would replace it with a copy without passwords.
TEST(ProblemReport, ATargetInTheDataFolderIsRefusedAndTheReportIsPrivate) {
    TempDir root;
    const std::filesystem::path data = root / "data";
    std::filesystem::create_directories(data / "crash-reports");
    const std::filesystem::path database = data / "object_storage.cur";
    test::WriteFile(database, "");  // an empty file opens as a new database
    {
        TSQLiteDB db(database.string());
        db.ExecSQL("CREATE TABLE props (object_id INTEGER, name TEXT, value TEXT)");
        db.ExecSQL("INSERT INTO props VALUES (1, 'password', 'hunter2-secret'), (1, 'host', 'smtp.example.org'), "
                   "(2, 'notify_urls', 'tgram://1:BotTokenSecret/2')");
    }
    std::filesystem::copy_file(database, data / "object_storage.tmp");
    std::filesystem::create_directory_symlink(data, root / "link-to-data");
    std::filesystem::create_symlink(database, root / "report-link.cur");
    for (const std::filesystem::path& target :
         {database, data / "object_storage.tmp", data / "report.cur", data / "crash-reports" / "r.cur",
          root / "link-to-data" / "object_storage.cur", root / "report-link.cur", data / ".." / "data" / "x.cur"}) {
        EXPECT_THROW(WriteProblemReport(database, target), std::runtime_error) << target;
        EXPECT_FALSE(std::filesystem::exists(target.string() + ".part")) << target;
    }
    EXPECT_NE(test::ReadFile(database).find("hunter2-secret"), std::string::npos);
    EXPECT_NE(test::ReadFile(data / "object_storage.tmp").find("hunter2-secret"), std::string::npos);

    const mode_t oldMask = ::umask(022);
    const std::filesystem::path report = root / "report.cur";
    WriteProblemReport(database, report);
    ::umask(oldMask);
    struct stat info {};
    ASSERT_EQ(::stat(report.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(test::ReadFile(report).find("hunter2-secret"), std::string::npos);
    EXPECT_EQ(test::ReadFile(report).find("BotTokenSecret"), std::string::npos) << "an alert's notification URL";
    TSQLiteDB copy(report.string());
    EXPECT_EQ(copy.GetTableString("SELECT value FROM props WHERE name = 'host'"), "smtp.example.org");
}

TEST(CrashReport, TheDebugTextNamesTheErrorWhereItHappenedAndTheWholeStack) {
    const std::vector<TStackFrame> frames{{"/usr/bin/trawlix", "Crash()", "main.cpp", 12},
                                          {"/lib/libc.so.6", "__libc_start_main", "", 0}};
    EXPECT_EQ(ExceptionDebugText("SIGSEGV", "Segmentation fault", frames),
              "EXCEPTION TRACER Exception: SIGSEGV\r\n"
              "  Message: Segmentation fault\r\n"
              "\r\n occurred at: \r\n Module: /usr/bin/trawlix / Procedure: Crash() / Line:12 / Source File: main.cpp"
              "\r\n\r\nStack back trace for Exception: "
              "\r\n Module: /usr/bin/trawlix / Procedure: Crash() / Line:12 / Source File: main.cpp"
              "\r\n Module: /lib/libc.so.6 / Procedure: __libc_start_main / Line:0 / Source File: ");
}

namespace {

[[gnu::noinline]] void CrashThroughANullPointerOnPurpose() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

[[gnu::noinline]] void Throw() { throw std::runtime_error("nobody catches this"); }

// The test framework would catch the error: nothing may get past this function.
[[gnu::noinline]] void ThrowPastEveryHandlerOnPurpose() noexcept { Throw(); }

// Runs aCrash in a child process with the crash handler installed; answers the signal
// that ended the child.
int CrashInChild(const std::filesystem::path& aFolder, void (*aCrash)()) {
    const pid_t child = fork();
    if (child == 0) {
        InstallCrashHandler(aFolder);
        aCrash();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace

TEST(CrashReport, AFatalSignalOrAnUncaughtErrorLeavesAReportNamingTheCrashingFunction) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer owns the fatal signals";
#endif
    TempDir data;
    const auto folder = CrashReportsFolder(data.Path());
    EXPECT_EQ(CrashInChild(folder, CrashThroughANullPointerOnPurpose), SIGSEGV);
    auto reports = ListCrashReports(folder);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text.rfind("EXCEPTION TRACER Exception: SIGSEGV\r\n  Message: Segmentation fault", 0), 0u)
        << reports[0].text;
    // Symbolised when listed: the crashing function is where it occurred.
    EXPECT_NE(reports[0].text.find("occurred at: \r\n Module: "), std::string::npos);
    const std::string occurredAt = reports[0].text.substr(0, reports[0].text.find("Stack back trace"));
    EXPECT_NE(occurredAt.find("::CrashThroughANullPointerOnPurpose() / Line:"), std::string::npos) << reports[0].text;

    std::filesystem::remove(reports[0].file);
    EXPECT_EQ(CrashInChild(folder, ThrowPastEveryHandlerOnPurpose), SIGABRT);
    reports = ListCrashReports(folder);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text.rfind("EXCEPTION TRACER Exception: std::runtime_error\r\n  Message: nobody catches this", 0),
              0u)
        << reports[0].text;
    EXPECT_NE(reports[0].text.find("ThrowPastEveryHandlerOnPurpose"), std::string::npos) << reports[0].text;
}

namespace {

// Allocates and frees without end, so that a signal finds malloc's lock held now and then;
// tells aReady once it runs.
[[gnu::noinline]] void AllocateForEver(int aReady) {
    std::vector<std::unique_ptr<std::string>> kept;
    for (unsigned i = 0;; ++i) {
        kept.push_back(std::make_unique<std::string>(32 + i % 700, 'x'));
        std::ostringstream text;
        text << i << kept.back()->size();
        if (kept.size() > 500) kept.clear();
        if (i == 0) {
            (void)!::write(aReady, "r", 1);
            ::close(aReady);
        }
    }
}

// The child's end, waited for at most 2 s; -1 when it did not end (it is then killed).
int WaitForEnd(pid_t aChild) {
    int status = 0;
    for (int waited = 0; waited < 200; ++waited) {
        if (::waitpid(aChild, &status, WNOHANG) == aChild) return status;
        ::usleep(10 * 1000);
    }
    ::kill(aChild, SIGKILL);
    ::waitpid(aChild, &status, 0);
    return -1;
}

}  // namespace

// A signal that lands while malloc holds its lock must not leave the handler waiting on it:
// the handler only writes what it has, and the report is symbolised when listed.
TEST(CrashReport, SignalsAtRandomMomentsIntoAnAllocatingProcessEndItAtOnceWithAReport) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer owns the fatal signals";
#endif
    TempDir data;
    const auto folder = CrashReportsFolder(data.Path());
    std::mt19937 random{std::random_device{}()};
    const int kinds[] = {SIGSEGV, SIGBUS, SIGFPE, SIGABRT};
    constexpr int kRuns = 25;
    for (int run = 0; run < kRuns; ++run) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            ::close(ready[0]);
            InstallCrashHandler(folder);
            AllocateForEver(ready[1]);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::usleep(std::uniform_int_distribution<int>(0, 20000)(random));
        const int burst = std::uniform_int_distribution<int>(1, 6)(random);
        for (int i = 0; i < burst; ++i) {
            ::kill(child, kinds[std::uniform_int_distribution<int>(0, 3)(random)]);
            ::usleep(std::uniform_int_distribution<int>(0, 300)(random));
        }
        const int status = WaitForEnd(child);
        ASSERT_NE(status, -1) << "run " << run << ": the process did not end within 2 s";
        EXPECT_TRUE(WIFSIGNALED(status)) << "run " << run << ": " << status;
    }
    const auto reports = ListCrashReports(folder);
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kRuns));
    const std::string sender = " sent by process " + std::to_string(::getpid()) + "\r\n";
    for (const TCrashReport& report : reports) {
        EXPECT_EQ(report.text.rfind("EXCEPTION TRACER Exception: SIG", 0), 0u) << report.text;
        EXPECT_NE(Headline(report.text.substr(report.text.find("Message: "))).find(" sent by process "), std::string::npos)
            << report.text;
        EXPECT_NE(report.text.find(sender), std::string::npos) << report.text;
        EXPECT_EQ(report.text.find(" at address "), std::string::npos) << report.text;
        EXPECT_NE(report.text.find("AllocateForEver(int) / Line:"), std::string::npos) << report.text;
    }
    for (const auto& item : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(item.path().extension(), ".txt") << item.path();
}

TEST(CrashReport, NoFolderMeansNoReports) { EXPECT_TRUE(ListCrashReports("/nonexistent/crash-reports").empty()); }

TEST(ErrorReport, TheRequestCarriesTheNoteAndTheDebugTextAsUtf8HtmlToSupport) {
    const TVendorMailRequest request =
        ErrorReportRequest("call me <a@b.c>", "EXCEPTION TRACER Exception: SIGSEGV\r\n  Message: x & y\r\n");
    EXPECT_EQ(BuildVendorMailBody(request),
              "auth=tirzep&to=support@velmorasolutions.com&subject=Error report: "
              "&content=Content-type: text/html; charset=utf-8"
              "&from=Error report <errors@velmorasolutions.com>"
              "&message=PGh0bWw%2BPGhlYWQ%2BPC9oZWFkPjxib2R5PjxkaXY%2BPC9kaXY%2BPHA%2BQ3VzdG9tIG5vdGU6IGNhbGwgbWUgJmx0O2FA"
              "Yi5jJmd0OzwvcD48cD5FWENFUFRJT04gVFJBQ0VSIEV4Y2VwdGlvbjogU0lHU0VHVjxici8%2BICBNZXNzYWdlOiB4ICZhbXA7IHk8YnIvPjwv"
              "cD48L2JvZHk%2BPC9odG1sPg%3D%3D");
}
