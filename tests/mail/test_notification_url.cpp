// Notification URLs: what each good one turns into, and which part a bad one names.
#include <gtest/gtest.h>

#include "mail/notification_url.h"

using namespace trawlix;

namespace {

constexpr const char* kUser = "uQiRzpo4DXghDmr9QzzfQu27cmVRsG";
constexpr const char* kApp = "azGDORePK8gMaC0QOYAMyEEuzJnyUi";

}  // namespace

TEST(NotificationURLTest, GoodURLsGiveTheirKindEndpointAndSecrets) {
    struct TCase {
        std::string url;
        TDestinationKind kind;
        std::string endpoint;
        std::string token;
        std::string recipient;
        int priority;
        std::string masked;
    };
    const std::string pover = std::string("pover://") + kUser + "@" + kApp;
    const TCase cases[] = {
        {"tgram://123456:ABC-def_9/-100987", TDestinationKind::Telegram, "", "123456:ABC-def_9", "-100987", 0,
         "tgram://***/-100987"},
        {" tgram://123456:ABC/@my_channel ", TDestinationKind::Telegram, "", "123456:ABC", "@my_channel", 0,
         "tgram://***/@my_channel"},
        {pover, TDestinationKind::Pushover, "", kApp, kUser, 0, "pover://***@***"},
        {pover + "?priority=high", TDestinationKind::Pushover, "", kApp, kUser, 1, "pover://***@***?priority=high"},
        {pover + "?priority=-2", TDestinationKind::Pushover, "", kApp, kUser, -2, "pover://***@***?priority=-2"},
        {"gotify://push.example.org/AbC.123", TDestinationKind::Gotify, "http://push.example.org", "AbC.123", "", 5,
         "gotify://push.example.org/***"},
        {"gotifys://push.example.org:8443/sub/path/AbC?priority=8", TDestinationKind::Gotify,
         "https://push.example.org:8443/sub/path", "AbC", "", 8, "gotifys://push.example.org:8443/sub/path/***?priority=8"},
        {"ntfy://my-topic_1", TDestinationKind::Ntfy, "https://ntfy.sh/my-topic_1", "", "", 0, "ntfy://my-topic_1"},
        {"ntfy://10.0.0.5:8080/alerts", TDestinationKind::Ntfy, "http://10.0.0.5:8080/alerts", "", "", 0,
         "ntfy://10.0.0.5:8080/alerts"},
        {"ntfys://ntfy.example.org/alerts", TDestinationKind::Ntfy, "https://ntfy.example.org/alerts", "", "", 0,
         "ntfys://ntfy.example.org/alerts"},
        {"discord://112233/tok-EN_x", TDestinationKind::Discord, "https://discord.com/api/webhooks/112233/tok-EN_x",
         "tok-EN_x", "", 0, "discord://112233/***"},
        {"slack://T000/B000/XXXX", TDestinationKind::Slack, "https://hooks.slack.com/services/T000/B000/XXXX", "XXXX",
         "", 0, "slack://T000/B000/***"},
        {"json://hooks.local:9000/in/abc?key=1", TDestinationKind::Json, "http://hooks.local:9000/in/abc?key=1", "", "",
         0, "json://hooks.local:9000/***"},
        {"jsons://[::1]/hook", TDestinationKind::Json, "https://[::1]/hook", "", "", 0, "jsons://[::1]/***"},
        {"mailto://3", TDestinationKind::Mailto, "", "", "", 0, "mailto://3"},
        {"MAILTO://3?to=me%40example.org", TDestinationKind::Mailto, "", "", "", 0, "MAILTO://3?to=me%40example.org"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.url);
        const TNotificationURL url = ParseNotificationURL(c.url);
        EXPECT_EQ(url.kind, c.kind);
        EXPECT_EQ(url.endpoint, c.endpoint);
        EXPECT_EQ(url.token, c.token);
        EXPECT_EQ(url.recipient, c.recipient);
        EXPECT_EQ(url.priority, c.priority);
        EXPECT_EQ(MaskedNotificationURL(url), c.masked);
    }
    EXPECT_EQ(ParseNotificationURL("mailto://12?to=me%40example.org").accountID, 12);
    EXPECT_EQ(ParseNotificationURL("mailto://12?to=me%40example.org").mailTo, "me@example.org");
}

TEST(NotificationURLTest, MalformedURLsAreRefusedNamingTheWrongPart) {
    const std::string pover = std::string("pover://") + kUser + "@" + kApp;
    const std::pair<std::string, std::string> cases[] = {
        {"", "starts with its kind"},
        {"api.telegram.org/bot1", "starts with its kind"},
        {"matrix://room", "\"matrix://\" is not known"},
        {"tgram://123456:ABC", "tgram://BOTTOKEN/CHATID"},
        {"tgram://ABC/42", "the bot token"},
        {"tgram://123456:AB$C/42", "the bot token"},
        {"tgram://123456:ABC/general", "the chat id \"general\""},
        {"tgram://123456:ABC/42?silent=yes", "the option \"silent\""},
        {std::string("pover://") + kApp, "pover://USERKEY@APPTOKEN"},
        {std::string("pover://short@") + kApp, "the user key"},
        {std::string("pover://") + kUser + "@short", "the application token"},
        {pover + "?priority=3", "the priority \"3\""},
        {pover + "?priority=urgent", "the priority \"urgent\""},
        {"gotify://push.example.org", "gotify://HOST/TOKEN"},
        {"gotify://push.example.org:0/AbC", "the port \"0\""},
        {"gotify://push.example.org:http/AbC", "the port \"http\""},
        {"gotify://bad_host!/AbC", "the host \"bad_host!\""},
        {"gotifys://push.example.org/AbC?priority=11", "the priority \"11\""},
        {"ntfy://", "ntfy://TOPIC"},
        {"ntfy://a/b/c", "ntfy://HOST/TOPIC"},
        {"ntfy://topic with space", "the topic"},
        {"discord://abc/token", "the web hook id \"abc\""},
        {"discord://123", "discord://WEBHOOKID/TOKEN"},
        {"slack://a/b", "slack://TOKENA/TOKENB/TOKENC"},
        {"json://", "json://HOST/PATH"},
        {"mailto://me@example.org", "the account \"me@example.org\""},
        {"mailto://3?to=nobody", "the address \"nobody\""},
        {"mailto://3?cc=x@y.z", "the option \"cc\""},
    };
    for (const auto& [text, part] : cases) {
        SCOPED_TRACE(text);
        try {
            ParseNotificationURL(text);
            ADD_FAILURE() << "accepted";
        } catch (const ENotificationURLError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(part), std::string::npos) << message;
            EXPECT_EQ(message.find(kApp), std::string::npos) << "a token was repeated: " << message;
        }
    }
}

TEST(NotificationURLTest, KeysAndMasksShowNoSecret) {
    EXPECT_EQ(DestinationKey("tgram://1:A/2"), DestinationKey(" tgram://1:A/2 "));
    EXPECT_NE(DestinationKey("tgram://1:A/2"), DestinationKey("tgram://1:A/3"));
    EXPECT_EQ(DestinationKey("tgram://1:A/2").find("1:A"), std::string::npos);
    EXPECT_EQ(MaskedNotificationURL(std::string("tgram://1:SECRET")), "tgram://***");
    EXPECT_EQ(MaskedNotificationURL(std::string("no scheme SECRET")), "***");
}
