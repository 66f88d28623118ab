// trawlix-cli reply, history, saved messages, automatic replies and account deletion,
// against the site simulator's posting pages and a real SMTP server.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>

#include "cli/cli_lamps_test.h"
#include "support/smtp_server_fixture.h"

using trawlix::test::DistinctAdLinks;
using trawlix::test::TSmtpTestServer;

namespace {

class CliReplies : public trawlix::test::CliLampsTest {
protected:
    void SetUp() override {
        CliLampsTest::SetUp();
        for (const char* user : {"one@mine.example", "two@mine.example"})
            Cli({"add-account", "--host", fSmtp.Host(), "--port", std::to_string(fSmtp.Port()), "--user", user,
                 "--password", ""});
    }

    TSmtpTestServer fSmtp;
};

}  // namespace

TEST_F(CliReplies, ReplyLooksUpTheAddressesSendsAndTheHistoryListsThemNewestFirst) {
    Cli({"run", "Lamps"});
    const auto links = DistinctAdLinks(Cli({"results", "Lamps"}).out);
    ASSERT_EQ(links.size(), 3u);
    std::vector<std::string> args{"reply", "Lamps"};
    args.insert(args.end(), links.begin(), links.end());
    for (const char* option : {"--subject", "Still there?", "--body", "I'd like it.", "--include-title", "--accounts",
                               "1,2"})
        args.push_back(option);
    const auto reply = Cli(args);
    EXPECT_NE(reply.out.find("The message was sent to 3 ads."), std::string::npos) << reply.out;
    for (const auto& link : links) EXPECT_NE(reply.out.find(link + "\tsent\n"), std::string::npos) << reply.out;
    for (int i = 0; i < 3; ++i) {
        const auto mail = fSmtp.NextMail();
        EXPECT_NE(mail["rcpt_tos"].find("@craigslist.org"), std::string::npos) << mail["rcpt_tos"];
        EXPECT_TRUE(mail["subject"].ends_with("Still there?")) << mail["subject"];
        EXPECT_NE(mail["subject"], "Still there?") << "the ad title goes in front";
    }

    const auto history = Cli({"history", "--json"});
    EXPECT_EQ(DistinctAdLinks(history.out), links);
    for (const char* key : {"\"time\":", "\"from\":", "\"to\":", "\"subject\":", "\"ad_url\":"})
        EXPECT_NE(history.out.find(key), std::string::npos) << history.out;
    EXPECT_TRUE(std::regex_search(history.out, std::regex(R"("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")")))
        << history.out;
    // Newest first. The two accounts send side by side, so which ad was answered last is
    // the servers' business: the order is checked on the times the history holds.
    const auto all = Cli({"history"});
    std::vector<std::string> times;
    std::istringstream lines(all.out);
    for (std::string line; std::getline(lines, line);) times.push_back(line.substr(0, line.find('\t')));
    ASSERT_EQ(times.size(), 3u) << all.out;
    EXPECT_TRUE(std::is_sorted(times.rbegin(), times.rend())) << all.out;
    const auto limited = Cli({"history", "--limit", "1"});
    EXPECT_EQ(limited.out, all.out.substr(0, all.out.find('\n') + 1));
}

TEST_F(CliReplies, ARefusedRecipientIsReportedAndTheCommandFailsWhenNoneWasSent) {
    Cli({"run", "Lamps"});
    const auto links = DistinctAdLinks(Cli({"results", "Lamps"}).out);
    ASSERT_FALSE(links.empty());
    // An account whose server refuses every recipient: none answers.
    Cli({"add-account", "--host", "127.0.0.1", "--port", "1", "--user", "dead@mine.example", "--password", ""});
    const auto reply = Cli({"reply", "Lamps", links[0], "--subject", "S", "--body", "B", "--accounts", "3"}, 1);
    EXPECT_NE(reply.out.find("The message was sent to 0 ads."), std::string::npos) << reply.out;
    EXPECT_NE(reply.out.find("1 ad could not be sent to:"), std::string::npos) << reply.out;
    EXPECT_NE(reply.err.find(links[0] + "\tnot sent: "), std::string::npos) << reply.err;
    EXPECT_EQ(Cli({"history"}).out, "");
}

TEST_F(CliReplies, SavedMessagesAreAddedListedAndDeleted) {
    EXPECT_EQ(Cli({"add-message", "--subject", "First", "--body", "one"}).out, "1\n");
    EXPECT_EQ(Cli({"add-message", "--subject", "Second", "--body", "<b>two</b>", "--html", "--include-title"}).out,
              "2\n");
    EXPECT_EQ(Cli({"messages"}).out, "1\tFirst\tplain\tno-title\n2\tSecond\thtml\ttitle\n");
    Cli({"delete-message", "1"});
    EXPECT_EQ(Cli({"messages", "--json"}).out,
              "[\n  {\"number\":1,\"subject\":\"Second\",\"body\":\"<b>two</b>\",\"html\":true,\"include_title\":true}\n]\n");
    Cli({"delete-message", "5"}, 1);
    Cli({"add-message", "--subject", " ", "--body", "x"}, 1);
}

TEST_F(CliReplies, AutomaticRunsAnswerNewAdsOnceAndTheAccountCannotBeDeleted) {
    Cli({"alert", "Lamps", "--enable", "--interval", "1"});
    Cli({"auto-reply", "Lamps", "--subject", "Auto", "--body", "Hello", "--accounts", "2"});
    const auto refused = Cli({"delete-account", "2"}, 1);
    EXPECT_NE(refused.err.find("The following alerts still use this email account: \"Lamps\""), std::string::npos)
        << refused.err;
    Cli({"watch", "--once"});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(fSmtp.NextMail()["mail_from"], "two@mine.example");
    Cli({"watch", "--once"});
    Cli({"run", "Lamps", "--auto"});
    EXPECT_FALSE(fSmtp.MailArrives(1500)) << "an ad already answered is never answered again";
    EXPECT_EQ(DistinctAdLinks(Cli({"history"}).out).size(), 3u);
    Cli({"auto-reply", "Lamps", "--off"});
    Cli({"delete-account", "2"});
}

// The end of a run waits for every queued automatic reply, address look-ups included: the
// ads are no longer new afterwards, so a reply dropped there would never be sent.
TEST_F(CliReplies, AnAutomaticRunEndsOnlyWhenEveryQueuedReplyWentOut) {
    Cli({"add-search", "--name", "Many", "--keywords", "lamp count100", "--location", "10011", "--category", "24",
         "--sites", "craigslist", "--pages", "1"});
    Cli({"alert", "Many", "--enable", "--interval", "1"});
    Cli({"auto-reply", "Many", "--subject", "Auto", "--body", "Hello", "--accounts", "1,2"});
    Cli({"run", "Many", "--auto"});
    const auto answered = DistinctAdLinks(Cli({"history"}).out);
    EXPECT_EQ(answered.size(), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(fSmtp.MailArrives(5000)) << "mail " << i;
    EXPECT_FALSE(fSmtp.MailArrives(1000)) << "each ad answered once";
}

// A reply that could not go out is printed and kept: a later automatic run sends it.
TEST_F(CliReplies, AFailedAutomaticReplyIsPrintedAndSentByALaterRun) {
    Cli({"add-account", "--host", "127.0.0.1", "--port", "1", "--user", "dead@mine.example", "--password", ""});
    Cli({"alert", "Lamps", "--enable", "--interval", "1"});
    Cli({"auto-reply", "Lamps", "--subject", "Auto", "--body", "Hello", "--accounts", "3"});
    const auto failed = Cli({"run", "Lamps", "--auto"});
    EXPECT_NE(failed.err.find("The automatic reply to "), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find(" was not sent: "), std::string::npos) << failed.err;
    EXPECT_EQ(Cli({"history"}).out, "");

    Cli({"auto-reply", "Lamps", "--subject", "Auto", "--body", "Hello", "--accounts", "1"});
    Cli({"run", "Lamps", "--auto"});
    EXPECT_EQ(DistinctAdLinks(Cli({"history"}).out).size(), 3u) << "the ads found before are answered now";
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(fSmtp.MailArrives(5000)) << "mail " << i;
}

// Today's ad pages show the reply address only after a captcha: a reply says so for each ad,
// sends nothing and fails, and is not taken for an ad without an address.
TEST_F(CliReplies, RepliesToTodaysAdsSayTheAddressIsBehindACaptcha) {
    trawlix::test::RawHttpGet(fSim.Port(), "/__sim/craigslist?era=today");
    const std::map<std::string, std::string> env = {
        {"TRAWLIX_CA_BUNDLE", (trawlix::test::TSiteSimulator::ScriptPath().parent_path() / "fixtures" / "tls" / "sites-ca.pem").string()}};
    ASSERT_EQ(trawlix::test::RunCli(fProfile.Path(), {"run", "Lamps"}, env).exitCode, 0);
    const auto links = DistinctAdLinks(Cli({"results", "Lamps"}).out);
    ASSERT_FALSE(links.empty());
    // What the JSON search gave is kept with the results.
    const std::string stored = Cli({"results", "Lamps", "--json"}).out;
    EXPECT_TRUE(std::regex_search(
        stored, std::regex(R"("place":"[^"]+","latitude":-?[0-9.]+,"longitude":-?[0-9.]+,"pictures":\[)")))
        << stored;
    std::vector<std::string> args{"reply", "Lamps"};
    args.insert(args.end(), links.begin(), links.end());
    for (const char* option : {"--subject", "Still there?", "--body", "Hi", "--accounts", "1"}) args.push_back(option);
    const auto reply = trawlix::test::RunCli(fProfile.Path(), args, env);
    EXPECT_EQ(reply.exitCode, 1) << reply.out;
    for (const auto& link : links)
        EXPECT_NE(reply.out.find(link + "\tnot sent: Craigslist shows this ad's reply address only after a captcha"),
                  std::string::npos)
            << reply.out;
    EXPECT_EQ(Cli({"history"}).out, "");
}
