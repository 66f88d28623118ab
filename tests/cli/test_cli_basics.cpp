#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "app/registry.h"
#include "support/test_support.h"

using trawlix::TRegistry;
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
    TRegistry settings(profile / "config/settings.conf");
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
    EXPECT_EQ(TRegistry(profile / "config/settings.conf").ReadInteger("GSMNetworkID"), 12);

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
    };
    for (const auto& c : cases) {
        auto result = RunCli(profile.Path(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << " " << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    // A refused value changed nothing.
    EXPECT_EQ(TRegistry(profile / "config/settings.conf").ReadInteger("GSMNetworkID"), 12);
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
    EXPECT_EQ(TRegistry(profile / "config/settings.conf").ReadString("ProxySettings"),
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
    fs::create_directories(profile / "run");
    int fd = ::open((profile / "run/Trawlix.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    auto info = RunCli(profile.Path(), {"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    auto change = RunCli(profile.Path(), {"config", "DoNotify", "1"});
    EXPECT_EQ(change.exitCode, 1);
    EXPECT_EQ(change.err, "Trawlix is running. Close it first.\n");
    EXPECT_EQ(ReadFile(profile / "config/settings.conf"), settingsBefore);
    ::close(fd);
    EXPECT_EQ(RunCli(profile.Path(), {"config", "DoNotify", "1"}).exitCode, 0);
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
