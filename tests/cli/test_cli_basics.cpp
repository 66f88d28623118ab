#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "app/settings_file.h"
#include "model/sqlite_db.h"
#include "support/test_support.h"

using trawlix::TSettingsFile;
using trawlix::test::ReadFile;
using trawlix::test::RunCli;
using trawlix::test::TempDir;
using trawlix::test::WriteFile;
namespace fs = std::filesystem;

TEST(CliBasics, InfoOnAFirstStartCreatesTheProfile) {
    TempDir profile;
    auto result = RunCli(profile.Path(), {"info", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* key : {"\"version\":\"8.53\"", "\"data_folder\":", "\"database\":", "\"status\":\"Idle\"",
                            "\"objects\":", "\"places\":", "\"categories\":", "\"zip_codes\":", "\"carriers\":",
                            "\"searches\":"})
        EXPECT_NE(result.out.find(key), std::string::npos) << key << " in " << result.out;
    EXPECT_TRUE(fs::exists(profile / "data/object_storage.cur"));
    EXPECT_TRUE(fs::exists(profile / "data/object_storage.tmp"));
    TSettingsFile settings(profile / "config/settings.conf");
    EXPECT_TRUE(settings.ValueExists("ShowSearchWizzard"));
}

TEST(CliBasics, GlobalOptionsOverrideTheEnvironment) {
    TempDir profile;
    auto result = RunCli(profile.Path(), {"--data-dir", (profile / "other-data").string(), "--config-dir",
                                          (profile / "other-config").string(), "info"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(profile / "other-data/object_storage.cur"));
    EXPECT_TRUE(fs::exists(profile / "other-config/settings.conf"));
    EXPECT_FALSE(fs::exists(profile / "data"));
}

TEST(CliBasics, ConfigShowsSetsAndValidates) {
    TempDir profile;
    auto set = RunCli(profile.Path(), {"config", "GSMNetworkID", "12"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    auto get = RunCli(profile.Path(), {"config", "GSMNetworkID"});
    EXPECT_EQ(get.out, "GSMNetworkID\tinteger\t12\n");
    EXPECT_EQ(TSettingsFile(profile / "config/settings.conf").ReadInteger("GSMNetworkID"), 12);

    auto list = RunCli(profile.Path(), {"config"});
    EXPECT_NE(list.out.find("MsgBoxNewResults\tinteger\t1\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("CraigslistDomain\tstring\tcraigslist.org\n"), std::string::npos) << list.out;

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string errorPart;
    } cases[] = {
        {{"config", "NoSuchValue"}, 1, "NoSuchValue"},
        {{"config", "NoSuchValue", "1"}, 1, "NoSuchValue"},
        {{"config", "GSMNetworkID", "twelve"}, 1, "whole number"},
        {{"config", "ColorSettings", "NewBackgroundColor=notacolour"}, 1, "notacolour"},
        {{"config", "a", "b", "c"}, 2, "usage"},
        {{"nosuchcommand"}, 2, "unknown command"},
        {{"parse", "page.html"}, 2, "--site is required"},
        {{"add-account", "--port", "25", "--user", "u"}, 2, "--host is required"},
        {{"add-message", "--body", "b"}, 2, "--subject is required"},
    };
    for (const auto& c : cases) {
        auto result = RunCli(profile.Path(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << " " << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    // A refused value changed nothing.
    EXPECT_EQ(TSettingsFile(profile / "config/settings.conf").ReadInteger("GSMNetworkID"), 12);
}

TEST(CliBasics, MultiLineProxyTextIsOneArgument) {
    TempDir profile;
    auto result = RunCli(profile.Path(), {"config", "ProxySettings", "enabled=True\r\nhost=h\r\n"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto proxy = RunCli(profile.Path(), {"proxy"});
    EXPECT_NE(proxy.out.find("enabled:  yes"), std::string::npos) << proxy.out;
    EXPECT_NE(proxy.out.find("host:     h\n"), std::string::npos) << proxy.out;
    EXPECT_NE(proxy.out.find("port:     0\n"), std::string::npos) << proxy.out;
}

TEST(CliBasics, ProxyOptionsAreSaved) {
    TempDir profile;
    auto result = RunCli(profile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port", "3128", "--user", "u",
                                          "--password", "p=w", "--socks", "v5"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(TSettingsFile(profile / "config/settings.conf").ReadString("ProxySettings"),
              "enabled=True\r\nhost=127.0.0.1\r\nport=3128\r\nusername=u\r\npassword=p=w\r\nsocks=True\r\n"
              "socks_version=v5\r\n");
    EXPECT_EQ(RunCli(profile.Path(), {"proxy", "--socks", "v6"}).exitCode, 2);
    EXPECT_EQ(RunCli(profile.Path(), {"proxy", "--port", "http"}).exitCode, 2);
    EXPECT_EQ(RunCli(profile.Path(), {"proxy", "--enable", "--disable"}).exitCode, 2);
}

TEST(CliBasics, WhileAnotherInstanceRunsOnlyReadingWorks) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"info"}).exitCode, 0);
    auto settingsBefore = ReadFile(profile / "config/settings.conf");
    // The lock sits beside the data it guards, so it holds whatever runtime folder each
    // process has (cron and su sessions have another one, or none).
    int fd = ::open((profile / "data/Trawlix.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    for (const std::string& runtime : {(profile / "run").string(), (profile / "elsewhere").string(), std::string()}) {
        auto info = RunCli(profile.Path(), {"info"}, {{"XDG_RUNTIME_DIR", runtime}});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        auto change = RunCli(profile.Path(), {"config", "DoNotify", "1"}, {{"XDG_RUNTIME_DIR", runtime}});
        EXPECT_EQ(change.exitCode, 1) << "runtime folder '" << runtime << "'";
        EXPECT_EQ(change.err, "Trawlix is running. Close it first.\n");
        EXPECT_EQ(ReadFile(profile / "config/settings.conf"), settingsBefore);
    }
    ::close(fd);
    EXPECT_EQ(RunCli(profile.Path(), {"config", "DoNotify", "1"}).exitCode, 0);
}

// Reading leaves the lock to the programs that write, so a watcher starting meanwhile gets
// it; and it changes nothing, not even an upgrade of the database's layout. A folder where the
// lock file belongs makes any attempt to take the lock fail.
TEST(CliBasics, ReadingTakesNoLockAndChangesNothing) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"info"}).exitCode, 0);
    const fs::path database = profile / "data/object_storage.cur";
    {
        trawlix::TSQLiteDB db(database.string());
        db.ExecSQL("ALTER TABLE entries DROP COLUMN no_contact");  // as a file of an older version
    }
    const std::string databaseBefore = ReadFile(database);
    const std::string settingsBefore = ReadFile(profile / "config/settings.conf");
    fs::remove(profile / "data/Trawlix.lock");
    fs::create_directory(profile / "data/Trawlix.lock");

    const std::vector<std::vector<std::string>> readers = {
        {"info"},     {"searches"}, {"config"},   {"config", "DoNotify"}, {"proxy"},
        {"profile"},  {"accounts"}, {"history"},  {"messages"},           {"carriers", "--json"}};
    for (const auto& args : readers) {
        auto result = RunCli(profile.Path(), args);
        EXPECT_EQ(result.exitCode, 0) << args[0] << ": " << result.err;
    }
    for (const std::vector<std::string>& writer : {std::vector<std::string>{"config", "DoNotify", "1"},
                                                   std::vector<std::string>{"profile", "--phone", "555"}}) {
        auto result = RunCli(profile.Path(), writer);
        EXPECT_EQ(result.exitCode, 1) << writer[0];
        EXPECT_EQ(result.err.rfind("Cannot lock the data folder", 0), 0u) << result.err;
    }
    EXPECT_TRUE(ReadFile(database) == databaseBefore) << "the database was written";
    EXPECT_EQ(ReadFile(profile / "config/settings.conf"), settingsBefore);
}

TEST(CliBasics, ADataFolderThatCannotBeLockedIsAClearError) {
    TempDir profile;
    // A file where the data folder should be: no lock can be made in it, root or not.
    WriteFile(profile / "data", "not a folder");
    for (const char* command : {"info", "config"}) {
        auto result = RunCli(profile.Path(), {command});
        EXPECT_EQ(result.exitCode, 1) << command;
        EXPECT_EQ(result.err.rfind("Cannot lock the data folder " + (profile / "data").string() + ": ", 0), 0u)
            << result.err;
    }
    EXPECT_EQ(ReadFile(profile / "data"), "not a folder");
}

TEST(CliBasics, SettingsProblemsAreToldAndConfigCanAlwaysRepairThem) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"info"}).exitCode, 0);
    WriteFile(profile / "config/settings.conf",
              "ColorSettings\tstring\tVisitedBackgroundColor=clRed\\r\\nNewBackgroundColor=clSkyBlu\\r\\n\r\n"
              "GSMNetworkID\tinteger\t7\r\n");
    // Windows line endings keep the numbers; the malformed colour takes its default, named.
    auto first = RunCli(profile.Path(), {"config", "GSMNetworkID"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "GSMNetworkID\tinteger\t7\n");
    EXPECT_NE(first.err.find("\"NewBackgroundColor\" has the malformed value \"clSkyBlu\""), std::string::npos)
        << first.err;
    for (const char* command : {"info", "proxy"}) {
        auto result = RunCli(profile.Path(), {command});
        EXPECT_EQ(result.exitCode, 0) << command << ": " << result.err;
    }
    auto fixed = RunCli(profile.Path(), {"config", "ColorSettings", "NewBackgroundColor=clSkyBlue"});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.err;
    auto after = RunCli(profile.Path(), {"config", "ColorSettings"});
    EXPECT_EQ(after.err, "");
    EXPECT_NE(after.out.find("NewBackgroundColor=clSkyBlue"), std::string::npos) << after.out;
    EXPECT_NE(after.out.find("VisitedBackgroundColor=clRed"), std::string::npos) << after.out;
    auto typo = RunCli(profile.Path(), {"config", "ColorSettings", "NewBackgroundColor=clSkyBlu"});
    EXPECT_EQ(typo.exitCode, 1) << "a malformed value typed now is refused";
}

TEST(CliBasics, ValuesThatWouldNotComeBackAsTypedAreRefused) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"config", "GSMNetworkID", "5"}).exitCode, 0);
    ASSERT_EQ(RunCli(profile.Path(), {"proxy", "--host", "proxy.example", "--user", "me"}).exitCode, 0);
    const auto before = ReadFile(profile / "config/settings.conf");
    for (const char* number : {"4294967297", "2147483648"}) {
        auto result = RunCli(profile.Path(), {"config", "GSMNetworkID", number});
        EXPECT_EQ(result.exitCode, 1) << number;
        EXPECT_NE(result.err.find("takes a whole number from -2147483648 to 2147483647"), std::string::npos)
            << result.err;
    }
    struct TCase {
        const char* option;
        const char* what;
    };
    for (TCase c : {TCase{"--host", "host"}, TCase{"--user", "user"}, TCase{"--password", "password"}}) {
        for (const char* value : {"a\nb", "a\rb"}) {
            auto result = RunCli(profile.Path(), {"proxy", c.option, value});
            EXPECT_EQ(result.exitCode, 1) << c.option;
            EXPECT_EQ(result.err, std::string("The proxy ") + c.what + " must not contain a line break.\n");
        }
    }
    EXPECT_EQ(ReadFile(profile / "config/settings.conf"), before);
    EXPECT_EQ(RunCli(profile.Path(), {"config", "GSMNetworkID", "2147483647"}).exitCode, 0);
}

TEST(CliBasics, BrokenDatabaseWithGoodBackupIsRecovered) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"info"}).exitCode, 0);
    WriteFile(profile / "data/object_storage.cur", "garbage garbage garbage garbage garbage garbage garbage");
    auto result = RunCli(profile.Path(), {"info", "--json"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("The file that stores your search information appears to be broken. Trying to reload "
                              "from the latest backup."),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("\"initialized\":true"), std::string::npos) << result.out;
}
