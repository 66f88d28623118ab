// What the command-line program stores when saving fails, when it is killed and when it
// is told to end: real processes, a real database, the site simulator on loopback.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "support/sitesim_fixture.h"
#include "support/test_support.h"

namespace {

using namespace trawlix::test;
using Clock = std::chrono::steady_clock;

// trawlix-cli started in the background with the profile's folders.
std::vector<std::string> CliArgv(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs) {
    std::vector<std::string> argv{"/usr/bin/env",
                                  "TRAWLIX_DATA_DIR=" + (aProfile / "data").string(),
                                  "TRAWLIX_CONFIG_DIR=" + (aProfile / "config").string(),
                                  "XDG_RUNTIME_DIR=" + (aProfile / "run").string(),
                                  "XDG_CONFIG_HOME=" + (aProfile / "xdg-config").string(),
                                  trawlix::test::CliPath()};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    return argv;
}

std::string Field(const std::string& aLine, size_t aIndex) {
    std::istringstream in(aLine);
    std::string field;
    for (size_t i = 0; i <= aIndex && std::getline(in, field, '\t');) ++i;
    return field;
}

// The links the stored search holds, as the next start of the program reads them.
std::set<std::string> StoredLinks(const std::filesystem::path& aProfile, const std::string& aSearch) {
    auto results = RunCli(aProfile, {"results", aSearch});
    EXPECT_EQ(results.exitCode, 0) << results.err;
    std::set<std::string> links;
    std::istringstream in(results.out);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) links.insert(Field(line, 6));
    return links;
}

// 100 ads a page, as many pages as the search asks for.
void AddLampSearch(const std::filesystem::path& aProfile, const std::string& aPages) {
    auto added = RunCli(aProfile, {"add-search", "--name", "Lamps", "--keywords", "count2000 lamp", "--location", "10011",
                                   "--category", "24", "--sites", "craigslist", "--pages", aPages});
    ASSERT_EQ(added.exitCode, 0) << added.err;
}

TEST(CliSaving, SavesOntoALockedDatabaseFailLoudlyAndChangeNothing) {
    TempDir profile;
    AddLampSearch(profile.Path(), "3");
    {
        auto locker = LockDatabase(profile.Path());
        auto set = RunCli(profile.Path(), {"set-search", "Lamps", "--pages", "5"});
        EXPECT_EQ(set.exitCode, 1);
        EXPECT_NE(set.err.find("The search \"Lamps\" could not be stored: database is locked"), std::string::npos)
            << set.err;
        // Reading commands change nothing, so they store nothing and still work.
        EXPECT_EQ(RunCli(profile.Path(), {"searches"}).exitCode, 0);
        auto deleted = RunCli(profile.Path(), {"delete-search", "Lamps"});
        EXPECT_EQ(deleted.exitCode, 1);
        EXPECT_NE(deleted.err.find("could not be deleted"), std::string::npos) << deleted.err;
    }
    auto shown = RunCli(profile.Path(), {"show-search", "Lamps"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("\npages\t3\n"), std::string::npos) << shown.out;
}

class CliRunSaving : public ::testing::Test {
protected:
    static void SetUpTestSuite() { fSim = new TSiteSimulator(); }
    static void TearDownTestSuite() {
        delete fSim;
        fSim = nullptr;
    }
    void SetUp() override {
        fSim->ClearFaults();
        ASSERT_EQ(RunCli(fProfile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port",
                                           std::to_string(fSim->Port())})
                      .exitCode,
                  0);
    }
    void TearDown() override { fSim->ClearFaults(); }

    static TSiteSimulator* fSim;
    TempDir fProfile;
};

TSiteSimulator* CliRunSaving::fSim = nullptr;

TEST_F(CliRunSaving, AKillDuringARunKeepsWhatWasShownFiveSecondsBefore) {
    AddLampSearch(fProfile.Path(), "5");
    fSim->AddFault("craigslist", 0, 3000, false, false, 5);  // a page every 3 s
    TChildProcess run(CliArgv(fProfile.Path(), {"run", "Lamps"}), fProfile.Path() / "run.log", true);
    std::vector<std::pair<Clock::time_point, std::string>> shown;
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(10000)) {
        try {
            const std::string line = run.ReadLine(500);
            shown.emplace_back(Clock::now(), Field(line, 4));
        } catch (const std::exception&) {
        }
    }
    kill(run.Pid(), SIGKILL);
    const auto killedAt = Clock::now();
    int status = 0;
    waitpid(run.Pid(), &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
    size_t olderThanFive = 0;
    const auto stored = StoredLinks(fProfile.Path(), "Lamps");
    for (const auto& [when, link] : shown) {
        if (killedAt - when < std::chrono::seconds(5)) continue;
        ++olderThanFive;
        EXPECT_TRUE(stored.count(link)) << link << " was shown more than 5 s before the kill";
    }
    EXPECT_GE(olderThanFive, 100u);
    // The database opened as it was: no warning, nothing moved aside.
    auto info = RunCli(fProfile.Path(), {"info"});
    EXPECT_EQ(info.err.find("broken"), std::string::npos) << info.err;
    for (const auto& file : std::filesystem::directory_iterator(fProfile.Path() / "data"))
        EXPECT_EQ(file.path().filename().string().find("broken"), std::string::npos) << file.path();
}

TEST_F(CliRunSaving, TerminationSignalsStopTheRunSaveItAndReleaseTheLock) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir profile;
        ASSERT_EQ(RunCli(profile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port",
                                          std::to_string(fSim->Port())})
                      .exitCode,
                  0);
        AddLampSearch(profile.Path(), "4");
        fSim->AddFault("craigslist", 0, 2000, false, false, 4);
        TChildProcess run(CliArgv(profile.Path(), {"run", "Lamps"}), profile.Path() / "run.log", true);
        std::set<std::string> shown{Field(run.ReadLine(20000), 4)};
        kill(run.Pid(), signal);
        std::string last;
        try {
            for (;;) {
                last = run.ReadLine(30000);
                if (last.rfind("Stopped.", 0) == 0) break;
                shown.insert(Field(last, 4));
            }
        } catch (const std::exception&) {
        }
        int status = 0;
        waitpid(run.Pid(), &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal: " << run.LogText();
        EXPECT_EQ(WEXITSTATUS(status), 0) << run.LogText();
        EXPECT_EQ(last.rfind("Stopped. ", 0), 0u) << last;
        EXPECT_EQ(StoredLinks(profile.Path(), "Lamps"), shown);
        // The lock went with the process: a changing command runs at once.
        EXPECT_EQ(RunCli(profile.Path(), {"set-search", "Lamps", "--pages", "1"}).exitCode, 0);
        fSim->ClearFaults();
    }
}

TEST_F(CliRunSaving, ARunOnALockedDatabaseSaysItsResultsWereNotStored) {
    AddLampSearch(fProfile.Path(), "1");
    auto locker = LockDatabase(fProfile.Path());
    auto run = RunCli(fProfile.Path(), {"run", "Lamps"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.find("Done."), std::string::npos) << run.out.substr(run.out.size() > 200 ? run.out.size() - 200 : 0);
    EXPECT_NE(run.err.find("The search \"Lamps\" could not be stored: database is locked"), std::string::npos)
        << run.err;
}

}  // namespace
