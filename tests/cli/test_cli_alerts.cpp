// Alerts from the command line: the profile, a search's alert, the test messages and the
// headless watcher, against the site simulator as sites, mail service and web hook.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "cli/cli_lamps_test.h"

using trawlix::test::AdLinks;
using trawlix::test::PostsTo;
using trawlix::test::TStartedCli;

using CliAlerts = trawlix::test::CliLampsTest;

TEST_F(CliAlerts, WatchOnceSendsOneDigestOfExactlyTheNewAdsAndThenNothing) {
    SendAlertsToTheWebHook();

    auto first = Cli({"watch", "--once"});
    EXPECT_NE(first.out.find("Lamps: started\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("Lamps: finished with 3 new\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("Lamps: Notifications (Web hook) were sent at "), std::string::npos) << first.out;
    const auto digests = PostsTo(fSim, "/hook/trawlix");
    ASSERT_EQ(digests.size(), 1u);
    EXPECT_EQ(digests[0].Header("content-type"), "application/json");
    EXPECT_NE(digests[0].body.find("\"search\": \"Lamps\", \"count\": 3"), std::string::npos) << digests[0].body;
    const auto results = Cli({"results", "Lamps"});
    EXPECT_EQ(AdLinks(digests[0].body), AdLinks(results.out));
    EXPECT_EQ(AdLinks(results.out).size(), 3u);

    fSim.ClearRequests();
    auto second = Cli({"watch", "--once", "--json"});
    EXPECT_NE(second.out.find(R"("event":"finished","search":"Lamps","search_id":)"), std::string::npos)
        << second.out;
    EXPECT_NE(second.out.find(R"(,"new":0})"), std::string::npos) << second.out;
    EXPECT_TRUE(PostsTo(fSim, "/hook").empty()) << "nothing new, nothing sent";
    // The pass's requests per host and the budget left, and the figures `info` shows.
    EXPECT_NE(second.out.find(R"({"event":"tick","budget":6,"hosts":[{"host":")"), std::string::npos) << second.out;
    const auto info = Cli({"info", "--json"});
    EXPECT_NE(info.out.find(R"("watcher":{"searches_watched":1,"budget_per_host_per_minute":6,)"), std::string::npos)
        << info.out;
    EXPECT_FALSE(PostsTo(fSim, "craigslist.org").empty() && fSim.Requests().empty()) << "the search did run again";
}

TEST_F(CliAlerts, AnAlertThatTellsNoOneSaysSoAndIsNotReportedAsSent) {
    Cli({"alert", "Lamps", "--enable", "--interval", "1"});
    const auto watched = Cli({"watch", "--once", "--json"});
    EXPECT_NE(watched.out.find(R"("sent":false,"count":3,"text":"Notifications are off for this alert)"),
              std::string::npos)
        << watched.out;
}

TEST_F(CliAlerts, AFailedDigestIsReportedAndItsAdsWaitForTheNextOne) {
    Cli({"config", "VendorHost", "mail.vendor.example"});
    Cli({"alert", "Lamps", "--enable", "--email", "me@example.com", "--send-email", "yes"});
    fSim.AddFault("send_mail.php", 500);
    auto failed = Cli({"watch", "--once"});
    EXPECT_NE(failed.out.find("Lamps: Notifications (Email) could not be sent: "), std::string::npos) << failed.out;

    fSim.ClearRequests();
    auto retried = Cli({"watch", "--once"});
    EXPECT_NE(retried.out.find("Lamps: finished with 0 new"), std::string::npos) << retried.out;
    EXPECT_NE(retried.out.find("Notifications (Email) were sent at"), std::string::npos) << retried.out;
    const auto mails = PostsTo(fSim, "http://mail.vendor.example/send_mail.php");
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].body.rfind("auth=tirzep&to=me@example.com&subject=New%20results%20available%20for%20Lamps&", 0),
              0u)
        << mails[0].body;
}

TEST_F(CliAlerts, ProfileAndAlertShowAndChangeWithTheirJsonKeys) {
    EXPECT_EQ(Cli({"profile", "--email", "me@example.com", "--phone", "(555) 123-4567", "--json"}).out,
              "{\"email\":\"me@example.com\",\"phone\":\"(555) 123-4567\"}\n");
    EXPECT_EQ(Cli({"profile", "--json"}).out, "{\"email\":\"me@example.com\",\"phone\":\"(555) 123-4567\"}\n");
    Cli({"alert", "Lamps", "--enable", "--interval", "45", "--send-sms", "yes", "--include-results", "yes",
         "--how-often", "daily", "--send-at", "18:30", "--message-length", "50"});
    EXPECT_EQ(Cli({"alert", "Lamps", "--json"}).out,
              "{\"enabled\":true,\"interval\":45,\"email\":\"\",\"send_email\":false,\"send_sms\":true,"
              "\"include_results\":true,\"how_often\":\"daily\",\"send_at\":\"18:30\",\"message_length\":50,"
              "\"auto_reply\":false,\"auto_reply_subject\":\"\",\"interval_seconds\":2700,\"destinations\":[]}\n");

    struct TCase {
        std::vector<std::string> args;
        std::string option;
    };
    const TCase bad[] = {{{"alert", "Lamps", "--interval", "0"}, "--interval"},
                         {{"alert", "Lamps", "--interval", "10001"}, "--interval"},
                         {{"alert", "Lamps", "--interval", "14s"}, "--interval"},
                         {{"alert", "Lamps", "--interval", "600001s"}, "--interval"},
                         {{"alert", "Lamps", "--interval", "s"}, "--interval"},
                         {{"alert", "Lamps", "--message-length", "30"}, "--message-length"},
                         {{"alert", "Lamps", "--send-at", "24:00"}, "--send-at"},
                         {{"alert", "Lamps", "--send-at", "7:5"}, "--send-at"},
                         {{"alert", "Lamps", "--send-email", "maybe"}, "--send-email"},
                         {{"alert", "Lamps", "--how-often", "weekly"}, "--how-often"},
                         {{"profile", "--email", "not an address"}, "--email"}};
    EXPECT_NE(Cli({"config", "NotificationTransport", "smtp:x"}, 1).err.find("NotificationTransport"), std::string::npos);
    EXPECT_NE(Cli({"config", "NotificationWebhookFormat", "teams"}, 1).err.find("ntfy"), std::string::npos);
    for (const TCase& c : bad) {
        auto result = Cli(c.args, 2);
        EXPECT_NE(result.err.find(c.option), std::string::npos) << result.err;
    }
    EXPECT_NE(Cli({"alert", "Lamps", "--json"}).out.find("\"interval\":45"), std::string::npos)
        << "a refused change changes nothing";
    EXPECT_NE(Cli({"alert", "Lamps", "--interval", "15s", "--json"}).out.find("\"interval_seconds\":15,"),
              std::string::npos);
    EXPECT_NE(Cli({"alert", "Lamps"}).out.find("interval:        15 seconds\n"), std::string::npos);
}

TEST_F(CliAlerts, NotifyTestUsesTheTransportAndSaysWhereItWent) {
    Cli({"config", "VendorHost", "mail.vendor.example"});
    auto sent = Cli({"notify-test", "--sms", "5551234567@sms.example.com"});
    EXPECT_EQ(sent.out, "The test SMS message was sent to: 5551234567@sms.example.com\r\nYou should receive it in a few "
                        "minutes.\r\nThanks!\n");
    ASSERT_EQ(PostsTo(fSim, "send_mail.php").size(), 1u);

    fSim.AddFault("send_mail.php", 502);
    auto failed = Cli({"notify-test", "--email", "me@example.com"}, 1);
    EXPECT_NE(failed.err.find("The mail was NOT sent successfully."), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("502"), std::string::npos) << failed.err;
    Cli({"notify-test"}, 2);
    Cli({"notify-test", "--email", "a@b.c", "--sms", "1@c.d"}, 2);
}

TEST_F(CliAlerts, NotifyTestTriesOneURLAndNamesTheWrongPartOfABadOne) {
    const std::map<std::string, std::string> env = {{"TRAWLIX_TELEGRAM_API", "http://api.telegram.example/hook/tg"}};
    auto sent = RunCliIn({"notify-test", "tgram://123456:SecretBotToken/-1001"}, env, 0);
    EXPECT_EQ(sent.out, "The test message was sent to tgram://***/-1001\n");
    const auto posts = PostsTo(fSim, "/hook/tg");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].url, "http://api.telegram.example/hook/tg/bot123456:SecretBotToken/sendMessage");
    EXPECT_NE(posts[0].body.find("\"chat_id\": \"-1001\""), std::string::npos) << posts[0].body;

    fSim.AddAnswer("/hook/tg", 401, "{\"ok\": false, \"error_code\": 401, \"description\": \"Unauthorized\"}");
    auto refused = RunCliIn({"notify-test", "tgram://123456:SecretBotToken/-1001"}, env, 1);
    EXPECT_EQ(refused.err,
              "The test message was NOT sent to tgram://***/-1001: Telegram refused the token (HTTP 401: Unauthorized)\n");

    auto hook = Cli({"notify-test", "json://hooks.example.com/hook/mine?key=k3y"});
    EXPECT_EQ(hook.out, "The test message was sent to json://hooks.example.com/***\n");
    EXPECT_EQ(PostsTo(fSim, "http://hooks.example.com/hook/mine?key=k3y").size(), 1u);

    auto bad = Cli({"notify-test", "gotify://push.example.org:99999/token"}, 2);
    EXPECT_NE(bad.err.find("the port \"99999\""), std::string::npos) << bad.err;
    auto unknownAccount = Cli({"notify-test", "mailto://42"}, 1);
    EXPECT_NE(unknownAccount.err.find("The e-mail account 42 does not exist"), std::string::npos) << unknownAccount.err;
    Cli({"notify-test", "tgram://1:a/2", "--email", "a@b.c"}, 2);
}

TEST_F(CliAlerts, AnAlertsOwnDestinationsCarryItsDigestAndAreShownWithoutTokens) {
    SendAlertsToTheWebHook();
    const std::string url = "json://hooks.example.com/hook/own?token=OwnSecret";
    EXPECT_NE(Cli({"alert", "Lamps", "--notify", "tgram://12:ab/general"}, 2).err.find("the chat id \"general\""),
              std::string::npos);
    const auto shown = Cli({"alert", "Lamps", "--notify", url, "--notify", "ntfy://hooks.example.com/hook-topic"});
    EXPECT_NE(shown.out.find("destination:     json://hooks.example.com/***\n"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("OwnSecret"), std::string::npos) << shown.out;
    EXPECT_NE(Cli({"alert", "Lamps", "--json"}).out.find(
                  "\"destinations\":[\"json://hooks.example.com/***\",\"ntfy://hooks.example.com/hook-topic\"]"),
              std::string::npos);

    auto watched = Cli({"watch", "--once"});
    EXPECT_NE(watched.out.find("Lamps: Notifications (json, ntfy) were sent at "), std::string::npos) << watched.out;
    EXPECT_EQ(PostsTo(fSim, "/hook/own").size(), 1u);
    EXPECT_EQ(PostsTo(fSim, "/hook-topic").size(), 1u);
    EXPECT_TRUE(PostsTo(fSim, "/hook/trawlix").empty()) << "the global web hook is not this alert's";

    Cli({"alert", "Lamps", "--notify-default"});
    EXPECT_NE(Cli({"alert", "Lamps"}).out.find("destinations:    (the notification settings' transport)"),
              std::string::npos);
}

TEST_F(CliAlerts, TheWatcherPingsItsHeartbeatAndAFailingOneIsOnlyLogged) {
    EXPECT_NE(Cli({"config", "HeartbeatURL", "hc-ping.com/abc"}, 1).err.find("HeartbeatURL takes an http://"),
              std::string::npos);
    Cli({"config", "HeartbeatURL", "http://hc.example.com/__sim/status?code=200&check=abc"});
    Cli({"watch", "--once"});
    int pings = 0;
    for (const auto& request : fSim.Requests())
        if (request.url.rfind("http://hc.example.com/", 0) == 0) pings += request.method == "GET" ? 1 : 100;
    EXPECT_EQ(pings, 1) << "one GET";

    Cli({"config", "HeartbeatURL", "http://hc.example.com/__sim/status?code=500&check=abc"});
    auto failing = Cli({"watch", "--once"});
    EXPECT_NE(failing.out.find("The heartbeat address answered HTTP 500\n"), std::string::npos) << failing.out;
}

TEST_F(CliAlerts, WithTheWindowOpenChangesAreRefusedButShowingWorks) {
    Cli({"alert", "Lamps", "--enable"});
    const int fd = ::open((fProfile / "data/Trawlix.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(Cli({"alert", "Lamps", "--disable"}, 1).err, "Trawlix is running. Close it first.\n");
    EXPECT_EQ(Cli({"profile", "--phone", "555"}, 1).err, "Trawlix is running. Close it first.\n");
    EXPECT_NE(Cli({"alert", "Lamps", "--json"}).out.find("\"enabled\":true"), std::string::npos);
    ::close(fd);
    EXPECT_TRUE(fSim.Requests().empty()) << "no search ran";
}

// The watcher started while the window is open (a login session, the service unit) waits
// for it to close instead of leaving; a signal ends the wait with nothing done.
TEST_F(CliAlerts, WithTheWindowOpenTheWatcherWaitsForIt) {
    SendAlertsToTheWebHook();
    const int window = ::open((fProfile / "data/Trawlix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(window, 0);
    ASSERT_EQ(::flock(window, LOCK_EX | LOCK_NB), 0);
    const std::string waiting = "Trawlix is running: waiting until it is closed.\n";
    {
        TStartedCli stopped(fProfile.Path(), {"watch", "--once"});
        ASSERT_TRUE(stopped.WaitForError(waiting));
        stopped.Signal(SIGTERM);
        const auto result = stopped.Wait();
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, waiting);
        EXPECT_TRUE(fSim.Requests().empty()) << "no search ran";
    }
    TStartedCli watcher(fProfile.Path(), {"watch", "--once"});
    ASSERT_TRUE(watcher.WaitForError(waiting));
    EXPECT_NE(Cli({"alert", "Lamps", "--json"}).out.find("\"enabled\":true"), std::string::npos) << "reading goes on";
    ::close(window);
    const auto result = watcher.Wait();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Lamps: finished with 3 new"), std::string::npos) << result.out;
    EXPECT_EQ(PostsTo(fSim, "/hook/trawlix").size(), 1u);
}

static int CountOf(const std::string& aText, const std::string& aPart) {
    int count = 0;
    for (size_t at = aText.find(aPart); at != std::string::npos; at = aText.find(aPart, at + 1)) ++count;
    return count;
}

TEST_F(CliAlerts, ResultsJsonTellsFoldsAndTheOldPriceOfAnAdThatGotCheaper) {
    Cli({"set-search", "Lamps", "--keywords", "lamp count10"});
    Cli({"run", "Lamps"});
    auto before = Cli({"results", "Lamps", "--json"});
    EXPECT_EQ(CountOf(before.out, "\"price_was\":null"), 10) << before.out;
    EXPECT_EQ(CountOf(before.out, "\"duplicate_of\":\"\""), 10) << before.out;
    EXPECT_EQ(CountOf(before.out, "\"also_in\":[]"), 10) << before.out;

    fSim.CutPrices(50);
    Cli({"run", "Lamps"});
    auto after = Cli({"results", "Lamps", "--json"});
    const int dropped = 10 - CountOf(after.out, "\"price_was\":null");
    EXPECT_GT(dropped, 0) << after.out;
    EXPECT_EQ(CountOf(after.out, "\"new\":false"), 10) << "a cheaper ad is no new ad";
}
