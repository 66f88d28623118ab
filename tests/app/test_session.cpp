#include <gtest/gtest.h>
#include <sqlite3.h>

#include <unistd.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <thread>
#include <memory>
#include <vector>

#include "app/settings_file.h"
#include "app/session.h"
#include "app/user_notifier.h"
#include "engine/synchronizator.h"
#include "model/objects_storage.h"
#include "model/places.h"
#include "model/search.h"
#include "model/searches.h"
#include "app/platform.h"
#include "app/settings.h"
#include "engine/http_test_env.h"
#include "support/sitesim_fixture.h"
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
        options.installedFiles = trawlix::test::SourceDataDir();
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
        return ReadFile(trawlix::test::SourceDataDir() / "object_storage.cur");
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
    TSettingsFile settings(fProfile / "config/settings.conf");
    EXPECT_TRUE(settings.ValueExists("ProxySettings"));
}

TEST_F(SessionTest, ExistingFilesInTheDataFolderAreNeverOverwritten) {
    fs::create_directories(fProfile / "data");
    fs::copy_file(trawlix::test::SourceDataDir() / "Places.cur", Data("Places.cur"));
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
        fs::copy_file(trawlix::test::SourceDataDir() / "object_storage.cur", Data("object_storage.tmp"));
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
    EXPECT_EQ(fNotifier.warnings[0].rfind(kBrokenDatabaseMessage, 0), 0u) << fNotifier.warnings[0];
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
    EXPECT_EQ(fNotifier.warnings[0].rfind(kBrokenDatabaseMessage, 0), 0u) << fNotifier.warnings[0];
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

namespace {

std::vector<fs::path> BrokenCopies(const fs::path& aFolder) {
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(aFolder))
        if (entry.path().filename().string().rfind("object_storage.broken-", 0) == 0) copies.push_back(entry.path());
    return copies;
}

// Another program with the database open and locked, as the sqlite3 shell in a transaction.
class TDatabaseHolder {
public:
    // Holds the lock for aSeconds, then lets go and stays until the object goes.
    TDatabaseHolder(const fs::path& aDatabase, double aSeconds, const fs::path& aLog)
        : fProcess({"/usr/bin/python3", "-c",
                    "import sqlite3, sys, time\n"
                    "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                    "db.execute('begin exclusive')\n"
                    "print('locked', flush=True)\n"
                    "time.sleep(float(sys.argv[2]))\n"
                    "db.execute('commit')\n"
                    "time.sleep(60)\n",
                    aDatabase.string(), std::to_string(aSeconds)},
                   aLog, true) {
        if (fProcess.ReadLine(10000) != "locked") throw std::runtime_error("the holder did not lock");
    }

private:
    test::TChildProcess fProcess;
};

}  // namespace

TEST_F(SessionTest, ADamagedPageMovesTheFileAsideAndNeverReplacesTheBackup) {
    RunSession([](TSession& session) {
        auto search = std::make_unique<TSearch>();
        search->SetName("saved before the damage");
        session.GetMySearches()->AddSearch(std::move(search));
    });
    RunSession();  // this start takes the backup that holds the search
    const std::string goodBackup = ReadFile(Data("object_storage.tmp"));
    test::CorruptTablePage(Data("object_storage.cur"), "props");
    const std::string damaged = ReadFile(Data("object_storage.cur"));
    fNotifier.warnings.clear();

    RunSession([](TSession& session) {
        ASSERT_TRUE(session.GetInitialized());
        ASSERT_EQ(session.GetMySearches()->GetAllSearches().size(), 1u);
        EXPECT_EQ(session.GetMySearches()->GetAllSearches()[0]->GetName(), "saved before the damage");
    });
    ASSERT_EQ(fNotifier.warnings.size(), 1u);
    EXPECT_EQ(fNotifier.warnings[0].rfind(kBrokenDatabaseMessage, 0), 0u);
    const auto copies = BrokenCopies(fProfile / "data");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_NE(fNotifier.warnings[0].find(copies[0].string()), std::string::npos) << "the user learns where it went";
    EXPECT_TRUE(ReadFile(copies[0]) == damaged) << "the damaged file is kept as it was";
    EXPECT_TRUE(ReadFile(Data("object_storage.tmp")) == goodBackup) << "the backup is still the good one";
}

TEST_F(SessionTest, ASearchThatCannotBeReadIsNamedAndKeepsItsResultsThroughTheExit) {
    int bad = 0;
    RunSession([&](TSession& session) {
        for (const char* name : {"readable", "unreadable"}) {
            auto search = std::make_unique<TSearch>();
            search->SetName(name);
            search->SetKeywords(name == std::string("unreadable") ? std::string(5000, 'k') : "lamp");
            session.GetMySearches()->AddSearch(std::move(search));
        }
    });
    {
        TObjectsStorage storage(Data("object_storage.cur").string());
        bad = storage.GetObjects("search", -1).back()->GetID();
        storage.SQLLiteDB().ExecSQL("insert into entries (search_id, type, name) values (?, 'search_result', 'mine')",
                                    {bad});
    }
    {
        TSession session(Options(), fNotifier);
        // SQLite refuses values above its length limit: that search alone cannot be read.
        sqlite3_limit(session.GetObjectStorage()->SQLLiteDB().Handle(), SQLITE_LIMIT_LENGTH, 1000);
        session.InitSession();
        session.WaitUntilIdle();
        ASSERT_TRUE(session.GetInitialized());
        EXPECT_EQ(session.GetMySearches()->GetAllSearches().size(), 1u);
        session.FinishSession(false);
    }
    ASSERT_EQ(fNotifier.warnings.size(), 1u);
    EXPECT_EQ(fNotifier.warnings[0].rfind("The search \"unreadable\" could not be read (", 0), 0u) << fNotifier.warnings[0];
    TObjectsStorage storage(Data("object_storage.cur").string());
    EXPECT_EQ(storage.SQLLiteDB().GetTableValue("select count(*) from entries where search_id = ?", {bad}), 1);
    EXPECT_TRUE(storage.ObjectExists(bad));
}

TEST_F(SessionTest, ADamagedBackupIsNeverUsedNorOverwritten) {
    RunSession();
    test::CorruptTablePage(Data("object_storage.tmp"), "objects");
    const std::string backup = ReadFile(Data("object_storage.tmp"));
    WriteFile(Data("object_storage.cur"), "this is not a database, just some text long enough to look like one");
    try {
        TSession session(Options(), fNotifier);
        FAIL() << "started on a damaged backup";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("cannot be used either"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(ReadFile(Data("object_storage.tmp")) == backup);
    EXPECT_EQ(BrokenCopies(fProfile / "data").size(), 1u);
    EXPECT_FALSE(fs::exists(Data("object_storage.cur"))) << "the next start tries the backup again";
}

TEST_F(SessionTest, ADatabaseHeldByAnotherProgramIsWaitedForAndNeverHandledAsBroken) {
    RunSession();
    const std::string database = ReadFile(Data("object_storage.cur"));
    const std::string backup = ReadFile(Data("object_storage.tmp"));
    fNotifier.warnings.clear();
    auto options = Options();
    options.databaseBusyWait = std::chrono::milliseconds(1500);
    {
        TDatabaseHolder holder(Data("object_storage.cur"), 60, fProfile / "holder.log");
        try {
            TSession session(options, fNotifier);
            FAIL() << "started while another program held the database";
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()).rfind(kDatabaseInUseMessage, 0), 0u) << error.what();
        }
    }
    EXPECT_TRUE(fNotifier.warnings.empty()) << fNotifier.warnings.front();
    EXPECT_TRUE(BrokenCopies(fProfile / "data").empty());
    EXPECT_TRUE(ReadFile(Data("object_storage.cur")) == database) << "the file is left alone";
    EXPECT_TRUE(ReadFile(Data("object_storage.tmp")) == backup);

    // A lock that ends while the start waits costs nothing but the wait.
    options.databaseBusyWait = std::chrono::milliseconds(20000);
    TDatabaseHolder holder(Data("object_storage.cur"), 1.0, fProfile / "holder2.log");
    TSession session(options, fNotifier);
    EXPECT_NE(session.GetObjectStorage(), nullptr);
    EXPECT_TRUE(fNotifier.warnings.empty());
    EXPECT_TRUE(BrokenCopies(fProfile / "data").empty());
}

TEST_F(SessionTest, UnreadableSettingsAreToldAndNeverWrittenOver) {
    struct TCase {
        const char* name;
        std::function<bool(const fs::path&)> makeUnreadable;  // false: cannot be made here
    };
    const TCase cases[] = {
        {"a folder in place of the file",
         [](const fs::path& aFile) {
             fs::remove(aFile);
             fs::create_directories(aFile / "kept");
             return true;
         }},
        {"a file without read permission",
         [](const fs::path& aFile) {
             fs::permissions(aFile, fs::perms::none);
             return geteuid() != 0;  // root reads it anyway
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir profile;
        auto options = Options();
        options.dataFolder = profile / "data/";
        options.settingsFile = profile / "settings.conf";
        WriteFile(options.settingsFile, "ProxySettings\tstring\tenabled=True\\r\\nhost=proxy.lan\\r\\n\n");
        if (!c.makeUnreadable(options.settingsFile)) continue;
        const auto before = fs::status(options.settingsFile);
        TRecordingNotifier notifier;
        {
            TSession session(options, notifier);
            EXPECT_FALSE(session.GetSettings().GetProxySettings().GetEnabled()) << "defaults in memory";
            EXPECT_FALSE(session.SaveSettings());
            EXPECT_FALSE(session.SaveSettings());
            session.InitSession();
            session.WaitUntilIdle();
            session.FinishSession(false);
        }
        ASSERT_GE(notifier.warnings.size(), 2u);
        EXPECT_EQ(notifier.warnings[0].rfind("The settings could not be read (", 0), 0u) << notifier.warnings[0];
        EXPECT_EQ(notifier.warnings[1].rfind("The settings could not be saved: ", 0), 0u) << notifier.warnings[1];
        EXPECT_EQ(notifier.warnings.size(), 2u) << "the same failure is told once";
        EXPECT_EQ(fs::status(options.settingsFile).type(), before.type());
        if (fs::is_directory(options.settingsFile)) {
            EXPECT_TRUE(fs::exists(options.settingsFile / "kept"));
        }
        fs::permissions(options.settingsFile, fs::perms::owner_all);
        if (fs::is_regular_file(options.settingsFile)) {
            EXPECT_NE(ReadFile(options.settingsFile).find("host=proxy.lan"), std::string::npos);
        }
    }
    if (geteuid() == 0) std::cout << "[ NOTE ] running as root: the permission case cannot be made, the folder case ran\n";
}

TEST_F(SessionTest, AMalformedSettingTakesItsDefaultWithAWarningNamingIt) {
    WriteFile(fProfile / "config/settings.conf",
              "ColorSettings\tstring\tNewBackgroundColor=clSkyBlu\\r\\nVisitedBackgroundColor=clRed\n"
              "GSMNetworkID\tinteger\t4294967297\n"
              "DoNotify\tstring\tyes\n"
              "ColumnSettings\tstring\tlvResults=0_250;x_1;3_120\n");
    RunSession([](TSession& session) {
        TSettings& settings = session.GetSettings();
        EXPECT_EQ(settings.GetColorSettings().GetNewBackgroundColor(), RGBColor(166, 202, 240));
        EXPECT_EQ(settings.GetColorSettings().GetVisitedBackgroundColor(), RGBColor(255, 0, 0));
        EXPECT_EQ(settings.GetGSMNetworkID(), -1) << "not cut down to 1";
        EXPECT_EQ(settings.GetColumnsSettings().GetColumnWidth("lvResults", 3), 120);
    });
    ASSERT_EQ(fNotifier.warnings.size(), 1u);
    for (const char* named : {"\"NewBackgroundColor\" has the malformed value \"clSkyBlu\"",
                              "\"GSMNetworkID\" has the malformed value \"4294967297\"",
                              "\"DoNotify\" has the malformed value \"yes\"", "\"lvResults=x_1\""})
        EXPECT_NE(fNotifier.warnings[0].find(named), std::string::npos) << named << " in " << fNotifier.warnings[0];
}

TEST(InstanceLockTest, TheLockLivesInTheDataFolderWhateverTheRuntimeFolder) {
    TempDir profile;
    test::TScopedEnv data("TRAWLIX_DATA_DIR", (profile / "data").string());
    for (const std::optional<std::string>& runtime : {std::optional<std::string>((profile / "run").string()),
                                                       std::optional<std::string>(), std::optional<std::string>("")}) {
        test::TScopedEnv variable("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(platform::InstanceLockFile(), profile / "data" / "Trawlix.lock");
    }
    // A second process holds it: this one does not get it, and that is no error.
    fs::create_directories(profile / "data");
    test::TChildProcess holder({"/usr/bin/python3", "-c",
                                "import fcntl, sys, time\n"
                                "f = open(sys.argv[1], 'w')\n"
                                "fcntl.flock(f, fcntl.LOCK_EX)\n"
                                "print('locked', flush=True)\n"
                                "time.sleep(60)\n",
                                platform::InstanceLockFile().string()},
                               profile / "holder.log", true);
    ASSERT_EQ(holder.ReadLine(10000), "locked");
    platform::TInstanceLock second(platform::InstanceLockFile());
    EXPECT_FALSE(second.Acquired());
    EXPECT_EQ(second.Error(), "");
    // A waiter leaves when its stop pipe turns readable (a signal came), and gets the lock
    // once the holder has gone.
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    EXPECT_FALSE(second.WaitUntilAcquired(stop[0]));
    EXPECT_FALSE(second.Acquired());
    ::kill(holder.Pid(), SIGKILL);
    EXPECT_TRUE(second.WaitUntilAcquired(-1));
    EXPECT_TRUE(second.Acquired());
    EXPECT_EQ(second.Error(), "");
    for (int fd : stop) ::close(fd);
}

TEST(InstanceLockTest, ALockThatCannotBeCreatedSaysWhy) {
    TempDir profile;
    WriteFile(profile / "data", "a file where the folder should be");
    platform::TInstanceLock lock(profile / "data" / "Trawlix.lock");
    EXPECT_FALSE(lock.Acquired());
    EXPECT_EQ(lock.Error().rfind("Cannot lock the data folder " + (profile / "data").string() + ": ", 0), 0u)
        << lock.Error();
}

// The maps are read where they are installed: a new data folder gets the reference files
// but neither the maps nor the sources they are drawn from.
TEST(InstalledFiles, MapsAndSourcesStayWhereTheyAreInstalled) {
    trawlix::test::TempDir installed;
    trawlix::test::TempDir data;
    fs::create_directories(installed / "maps");
    fs::create_directories(installed / "sources");
    trawlix::test::WriteFile(installed / "Places.cur", "<places/>");
    trawlix::test::WriteFile(installed / "maps/usa.cur", "BM");
    trawlix::test::WriteFile(installed / "sources/shapes.json", "{}");
    platform::CopyMissingInstalledFiles(installed.Path(), data.Path());
    EXPECT_TRUE(fs::exists(data / "Places.cur"));
    EXPECT_FALSE(fs::exists(data / "maps"));
    EXPECT_FALSE(fs::exists(data / "sources"));

    setenv("TRAWLIX_MAPS_DIR", (installed / "maps").c_str(), 1);
    EXPECT_EQ(platform::MapsFolder(), installed / "maps");
    unsetenv("TRAWLIX_MAPS_DIR");
}
