#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/smtp_server_fixture.h"
#include "support/test_support.h"

using trawlix::test::RunCli;
using trawlix::test::TempDir;
using trawlix::test::TSmtpTestServer;
namespace fs = std::filesystem;

namespace {

mode_t ModeOf(const fs::path& aPath) {
    struct stat info {};
    stat(aPath.c_str(), &info);
    return info.st_mode & 0777;
}

}  // namespace

TEST(CliAccounts, AddListChangeAndDeleteWithoutReusingIDs) {
    TempDir profile;
    auto first = RunCli(profile.Path(), {"add-account", "--host", "smtp.example.org", "--port", "587", "--user", "alice",
                                         "--password", "hunter2", "--ssl"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "1\n");
    auto second = RunCli(profile.Path(), {"add-account", "--host", "mail.example.net", "--port", "25", "--user",
                                          "bob@example.net", "--password", "pw"});
    EXPECT_EQ(second.out, "2\n");
    ASSERT_EQ(RunCli(profile.Path(), {"delete-account", "2"}).exitCode, 0);
    auto third = RunCli(profile.Path(), {"add-account", "--host", "mail.example.net", "--port", "25", "--user", "carol",
                                         "--password", "pw"});
    EXPECT_EQ(third.out, "3\n");  // 2 is gone for good
    auto set = RunCli(profile.Path(), {"set-account", "1", "--port", "2525", "--no-ssl", "--user", "alice@example.org"});
    ASSERT_EQ(set.exitCode, 0) << set.err;

    auto list = RunCli(profile.Path(), {"accounts"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out,
              "1\tsmtp.example.org\t2525\talice@example.org\tno-ssl\t0\n"
              "3\tmail.example.net\t25\tcarol\tno-ssl\t0\n");
    auto json = RunCli(profile.Path(), {"accounts", "--json"});
    EXPECT_EQ(json.out,
              "[{\"id\":1,\"host\":\"smtp.example.org\",\"port\":2525,\"username\":\"alice@example.org\","
              "\"use_ssl\":false,\"times_used\":0},"
              "{\"id\":3,\"host\":\"mail.example.net\",\"port\":25,\"username\":\"carol\",\"use_ssl\":false,"
              "\"times_used\":0}]\n");
    EXPECT_EQ(list.out.find("hunter2"), std::string::npos);
    EXPECT_EQ(json.out.find("hunter2"), std::string::npos);
}

TEST(CliAccounts, TheEditorsChecksRefuseBadFields) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"add-account", "--host", "h.example", "--port", "25", "--user", "u"}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string error;
    } cases[] = {
        {{"add-account", "--host", "me@h.example", "--port", "25", "--user", "u"}, 1,
         "You have to supply a valid SMTP host\n"},
        {{"add-account", "--host", "h.example", "--port", "65536", "--user", "u"}, 1,
         "65536 is not a valid port value\n"},
        {{"add-account", "--host", "h.example", "--port", "40025", "--user", "u"}, 0, ""},  // a user's own tunnel
        {{"add-account", "--host", "h.example", "--port", "25", "--user", " "}, 1, "You have to supply an account.\n"},
        {{"set-account", "1", "--host", "h.example\r\nX: y"}, 1, "You have to supply a valid SMTP host\n"},
        {{"set-account", "1", "--port", "abc"}, 1, "abc is not a valid port value\n"},
        {{"set-account", "7", "--port", "25"}, 1, "There is no e-mail account with the ID 7.\n"},
        {{"delete-account", "7"}, 1, "There is no e-mail account with the ID 7.\n"},
        {{"add-account", "--port", "25", "--user", "u"}, 2, ""},
        {{"set-account", "1", "--ssl", "--no-ssl"}, 2, ""},
        {{"test-account", "1"}, 2, ""},
    };
    for (const auto& c : cases) {
        auto result = RunCli(profile.Path(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << ": " << result.err;
        if (!c.error.empty()) {
            EXPECT_EQ(result.err, c.error);
        }
    }
    EXPECT_EQ(RunCli(profile.Path(), {"accounts"}).out,
              "1\th.example\t25\tu\tno-ssl\t0\n2\th.example\t40025\tu\tno-ssl\t0\n");
}

TEST(CliAccounts, TestAccountSendsThroughStartTLSAndReportsARefusal) {
    TempDir profile;
    TSmtpTestServer server({"127.0.0.1", true, "alice", "right", "LOGIN,PLAIN"});
    const std::map<std::string, std::string> env{{"TRAWLIX_CA_BUNDLE", TSmtpTestServer::CACertificate().string()}};
    const std::string port = std::to_string(server.Port());
    ASSERT_EQ(RunCli(profile.Path(), {"add-account", "--host", "localhost", "--port", port, "--user", "alice",
                                      "--password", "right", "--ssl"})
                  .exitCode,
              0);
    auto sent = RunCli(profile.Path(), {"test-account", "1", "--to", "me@example.org"}, env);
    EXPECT_EQ(sent.exitCode, 0) << sent.err;
    EXPECT_EQ(sent.out, "The message was sent successfully. Please check your Inbox.\n");
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["subject"], "Test message from Trawlix");
    EXPECT_EQ(mail["rcpt_tos"], "me@example.org");
    EXPECT_EQ(mail["mail_from"], "alice@localhost");
    EXPECT_EQ(mail["tls"], "yes");

    ASSERT_EQ(RunCli(profile.Path(), {"set-account", "1", "--password", "wrong"}).exitCode, 0);
    auto refused = RunCli(profile.Path(), {"test-account", "1", "--to", "me@example.org"}, env);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("535 5.7.8 Authentication credentials invalid"), std::string::npos) << refused.err;
    EXPECT_FALSE(server.MailArrives(200));
}

// A typed address goes to the server only as one checked address: what follows it could add
// SMTP parameters (NOTIFY, ORCPT) or a recipient of the typist's choosing.
TEST(CliAccounts, TestAccountRefusesAnAddressThatIsNotOne) {
    TempDir profile;
    TSmtpTestServer server;
    ASSERT_EQ(RunCli(profile.Path(), {"add-account", "--host", "127.0.0.1", "--port", std::to_string(server.Port()),
                                      "--user", "alice@example.org"})
                  .exitCode,
              0);
    for (const std::string to : {"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822;x@y", "Jane\r\nRoe <jane@example.org>",
                                 "\"Jane\r\nRCPT TO:<eve@example.org>\" <jane@example.org>", "nobody"}) {
        auto refused = RunCli(profile.Path(), {"test-account", "1", "--to", to});
        EXPECT_EQ(refused.exitCode, 1) << to;
        EXPECT_NE(refused.err.find("is not an e-mail address"), std::string::npos) << refused.err;
    }
    EXPECT_FALSE(server.MailArrives(200));
    auto sent = RunCli(profile.Path(), {"test-account", "1", "--to", "\"Roe, Jane\" <jane@example.org>"});
    ASSERT_EQ(sent.exitCode, 0) << sent.err;
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["rcpt_tos"], "jane@example.org");
    EXPECT_EQ(mail["to"], "\"Roe, Jane\" <jane@example.org>");
}

// A password on the command line is visible to every user in ps: it can come from standard
// input or a file instead, and help says so.
TEST(CliAccounts, APasswordComesFromStandardInputOrAFile) {
    TempDir profile;
    TSmtpTestServer server({"127.0.0.1", false, "alice", "from stdin", "LOGIN,PLAIN"});
    const std::string port = std::to_string(server.Port());
    auto added = RunCli(profile.Path(), {"add-account", "--host", "127.0.0.1", "--port", port, "--user", "alice",
                                         "--password", "-"},
                        {}, "from stdin\n");
    ASSERT_EQ(added.exitCode, 0) << added.err;
    ASSERT_EQ(RunCli(profile.Path(), {"test-account", "1", "--to", "me@example.org"}).exitCode, 0);
    EXPECT_EQ(server.NextMail()["login"], "alice");

    const fs::path file = profile / "password.txt";
    trawlix::test::WriteFile(file, "wrong one\r\nsecond line\n");
    ASSERT_EQ(RunCli(profile.Path(), {"set-account", "1", "--password-file", file.string()}).exitCode, 0);
    auto refused = RunCli(profile.Path(), {"test-account", "1", "--to", "me@example.org"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("535"), std::string::npos) << refused.err;
    trawlix::test::WriteFile(file, "from stdin");
    ASSERT_EQ(RunCli(profile.Path(), {"set-account", "1", "--password-file", file.string()}).exitCode, 0);
    EXPECT_EQ(RunCli(profile.Path(), {"test-account", "1", "--to", "me@example.org"}).exitCode, 0);

    EXPECT_EQ(RunCli(profile.Path(), {"set-account", "1", "--password", "x", "--password-file", file.string()}).exitCode,
              2);
    auto missing = RunCli(profile.Path(), {"set-account", "1", "--password-file", (profile / "none").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("could not be read"), std::string::npos) << missing.err;
    const std::string help = RunCli(profile.Path(), {"help"}).out;
    EXPECT_NE(help.find("--password-file FILE"), std::string::npos);
    EXPECT_NE(help.find("--password VALUE is visible to every user"), std::string::npos) << help;
}

TEST(CliAccounts, DataAndSettingsAreReadableByTheUserOnly) {
    TempDir profile;
    ASSERT_EQ(RunCli(profile.Path(), {"config", "GSMNetworkID", "3"}).exitCode, 0);
    const fs::path data = profile / "data";
    const fs::path config = profile / "config";
    EXPECT_EQ(ModeOf(data), 0700u);
    EXPECT_EQ(ModeOf(config), 0700u);
    EXPECT_EQ(ModeOf(data / "object_storage.cur"), 0600u);
    EXPECT_EQ(ModeOf(data / "object_storage.tmp"), 0600u);
    EXPECT_EQ(ModeOf(config / "settings.conf"), 0600u);
    // Files and folders of an older version, open to everyone, are tightened at the next start
    // of a command that may write (one that only reads changes nothing).
    for (const auto& path : {data, config}) fs::permissions(path, fs::perms::all);
    for (const auto& path : {data / "object_storage.cur", data / "object_storage.tmp", config / "settings.conf"})
        fs::permissions(path, fs::perms(0644));
    ASSERT_EQ(RunCli(profile.Path(), {"accounts"}).exitCode, 0);
    EXPECT_EQ(ModeOf(data / "object_storage.cur"), 0644u);
    ASSERT_EQ(RunCli(profile.Path(), {"config", "GSMNetworkID", "4"}).exitCode, 0);
    EXPECT_EQ(ModeOf(data), 0700u);
    EXPECT_EQ(ModeOf(config), 0700u);
    EXPECT_EQ(ModeOf(data / "object_storage.cur"), 0600u);
    EXPECT_EQ(ModeOf(config / "settings.conf"), 0600u);
}
