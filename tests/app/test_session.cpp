#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/registry.h"
#include "app/session.h"
#include "app/user_notifier.h"
#include "engine/synchronizator.h"
#include "model/objects_storage.h"
#include "model/places.h"
#include "model/search.h"
#include "model/searches.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::ReadFile;
using trawlix::test::TempDir;
using trawlix::test::WriteFile;
namespace fs = std::filesystem;

namespace {

class TRecordingNotifier : public IUserNotifier {
public:
    void Warning(const std::string& aMessage) override { warnings.push_back(aMessage); }
    void ErrorReport(const std::string& aMessage, const std::string&) override { errors.push_back(aMessage); }
    std::vector<std::string> warnings;
    std::vector<std::string> errors;
};

// A profile with its own data and settings folders, and a headless main thread.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { SetMainThreadBinding(&fLoop); }
    void TearDown() override { SetMainThreadBinding(nullptr); }

    TSession::TOptions Options() const {
        TSession::TOptions options;
        options.dataFolder = fProfile / "data/";
        options.settingsFile = fProfile / "config/settings.conf";
        options.autostartFile = fProfile / "autostart/trawlix.desktop";
        options.installedFiles = TRAWLIX_SOURCE_DATA_DIR;
        options.executablePath = "/usr/bin/trawlix";
        return options;
    }
    fs::path Data(const std::string& aName) const { return fProfile / "data" / aName; }

    // A full run: start-up, then shut-down, as the command-line program does it.
    void RunSession(const std::function<void(TSession&)>& aDuring = {}) {
        TSession session(Options(), fNotifier);
        session.InitSession();
        session.WaitUntilIdle();
        if (aDuring) aDuring(session);
        session.FinishSession(false);
    }

    void MakeDataFolderWith(const std::string& aCurrent, const std::string& aBackup) {
        fs::create_directories(fProfile / "data");
        if (!aCurrent.empty()) WriteFile(Data("object_storage.cur"), aCurrent);
        if (!aBackup.empty()) WriteFile(Data("object_storage.tmp"), aBackup);
    }

    static std::string InstalledDatabase() {
        return ReadFile(fs::path(TRAWLIX_SOURCE_DATA_DIR) / "object_storage.cur");
    }

    TempDir fProfile;
    THeadlessMainLoop fLoop;
    TRecordingNotifier fNotifier;
};

}  // namespace

TEST_F(SessionTest, StoppingAllSearchesCopesWithTheListChangingMeanwhile) {
    RunSession([](TSession& session) {
        TSearches& searches = *session.GetMySearches();
        for (int i = 0; i < 3; ++i) searches.AddSearch(std::make_unique<TSearch>());
        // Stopping serves the main-thread queue between searches; a call there may free the
        // searches, as the exit does once the last run has stopped.
        TSynchronizator::GetInstance().SynchronizeNonBlocking(
            [&searches](const std::string&) {
                while (!searches.GetAllSearches().empty())
                    searches.DeleteSearch(searches.GetAllSearches().front().get());
            },
            {});
        EXPECT_FALSE(session.StopAllSearches(true)) << "no search was running";
        EXPECT_TRUE(searches.GetAllSearches().empty()) << "the queued call ran while stopping";
    });
}

TEST_F(SessionTest, FirstStartCreatesTheDataFolderAndUpgradesTheDatabase) {
    std::string databaseAtStart;
    RunSession([&](TSession& session) {
        databaseAtStart = ReadFile(Data("object_storage.cur"));
        EXPECT_TRUE(session.GetInitialized());
        EXPECT_TRUE(session.GetOnline());
        EXPECT_EQ(session.GetStatus(), "Idle");
        ASSERT_NE(session.GetPlaces(), nullptr);
        EXPECT_GT(session.GetPlaces()->Count(), 0);
        auto& db = session.GetObjectStorage()->SQLLiteDB();
        EXPECT_EQ(db.GetTableString("select value from global_props where name = 'version'"), "8.53");
    });
    EXPECT_TRUE(fNotifier.warnings.empty());
    for (const char* name : {"Places.cur", "Categories.cur", "cats-bckpg.cur", "ZIPCodes.cur", "GSMNetworks.cur"})
        EXPECT_TRUE(fs::exists(Data(name))) << name;
    // The backup is the database as this run opened it, before anything was changed.
    EXPECT_TRUE(ReadFile(Data("object_storage.tmp")) == databaseAtStart);
    TRegistry settings(fProfile / "config/settings.conf");
    EXPECT_TRUE(settings.ValueExists("ProxySettings"));
}

TEST_F(SessionTest, ExistingFilesInTheDataFolderAreNeverOverwritten) {
    fs::create_directories(fProfile / "data");
    fs::copy_file(fs::path(TRAWLIX_SOURCE_DATA_DIR) / "Places.cur", Data("Places.cur"));
    WriteFile(Data("my-notes.txt"), "mine");
    auto before = fs::last_write_time(Data("Places.cur"));
    RunSession();
    EXPECT_EQ(fs::last_write_time(Data("Places.cur")), before);
    EXPECT_EQ(ReadFile(Data("my-notes.txt")), "mine");
}

TEST_F(SessionTest, MissingDatabaseIsRestoredFromTheBackupWithoutAMessage) {
    MakeDataFolderWith("", InstalledDatabase());
    RunSession([](TSession& session) { EXPECT_TRUE(session.GetInitialized()); });
    EXPECT_TRUE(fNotifier.warnings.empty());
    EXPECT_TRUE(fs::exists(Data("object_storage.cur")));
}

TEST_F(SessionTest, BrokenDatabaseIsMovedAsideAndTheBackupUsed) {
    MakeDataFolderWith("this is not a database, just some text long enough to look like one", "");
    // The backup holds a search the user saved before the damage.
    {
        fs::copy_file(fs::path(TRAWLIX_SOURCE_DATA_DIR) / "object_storage.cur", Data("object_storage.tmp"));
        TObjectsStorage backup(Data("object_storage.tmp").string());
        backup.AddObject("marker", -1, "from the backup", true);
    }
    std::string restored;
    RunSession([&](TSession& session) {
        EXPECT_TRUE(session.GetInitialized());
        auto marker = session.GetObjectStorage()->GetObject("marker", -1);
        ASSERT_NE(marker, nullptr);
        EXPECT_EQ(marker->GetData(), "from the backup");
        restored = ReadFile(Data("object_storage.cur"));
    });
    ASSERT_EQ(fNotifier.warnings.size(), 1u);
    EXPECT_EQ(fNotifier.warnings[0], kBrokenDatabaseMessage);
    int brokenCopies = 0;
    for (const auto& entry : fs::directory_iterator(fProfile / "data"))
        if (entry.path().filename().string().rfind("object_storage.broken-", 0) == 0) ++brokenCopies;
    EXPECT_EQ(brokenCopies, 1);
    // The backup is a fresh copy of the restored file.
    EXPECT_TRUE(ReadFile(Data("object_storage.tmp")) == restored);
}

TEST_F(SessionTest, BrokenDatabaseWithoutBackupFailsTheInitialisation) {
    MakeDataFolderWith("this is not a database, just some text long enough to look like one", "");
    RunSession([](TSession& session) {
        EXPECT_FALSE(session.GetInitialized());
        EXPECT_FALSE(session.GetOnline());
        EXPECT_EQ(session.GetObjectStorage(), nullptr);
    });
    ASSERT_EQ(fNotifier.warnings.size(), 3u);
    EXPECT_EQ(fNotifier.warnings[0], kBrokenDatabaseMessage);
    EXPECT_EQ(fNotifier.warnings[1], kNoBackupMessage);
    EXPECT_EQ(fNotifier.warnings[2], kInitializationErrorMessage);
    EXPECT_FALSE(fs::exists(Data("object_storage.tmp")));
}

TEST_F(SessionTest, DamagedReferenceFileReportsItsNameAndTheRunGoesOn) {
    fs::create_directories(fProfile / "data");
    WriteFile(Data("Places.cur"), "<places><place id=\"1\" parent_id=");
    RunSession([](TSession& session) { EXPECT_FALSE(session.GetInitialized()); });
    ASSERT_EQ(fNotifier.warnings.size(), 1u);
    EXPECT_EQ(fNotifier.warnings[0], kInitializationErrorMessage);
    ASSERT_EQ(fNotifier.errors.size(), 1u);
    EXPECT_NE(fNotifier.errors[0].find("Places.cur"), std::string::npos) << fNotifier.errors[0];
}

TEST_F(SessionTest, ReadOnlySessionWritesNothing) {
    RunSession();  // a normal first run makes the files
    auto settingsBefore = ReadFile(fProfile / "config/settings.conf");
    fs::remove(Data("object_storage.tmp"));
    auto options = Options();
    options.readOnly = true;
    {
        TSession session(options, fNotifier);
        session.InitSession();
        session.WaitUntilIdle();
        EXPECT_TRUE(session.GetInitialized());
        session.FinishSession(false);
    }
    EXPECT_FALSE(fs::exists(Data("object_storage.tmp")));
    EXPECT_EQ(ReadFile(fProfile / "config/settings.conf"), settingsBefore);
}
