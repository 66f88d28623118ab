// Telegram, Pushover and Gotify against the site simulator on loopback, which records each
// request and answers as the services do when told to (their JSON refusals, 429 with
// Retry-After, a server that hangs). The simulator takes any POST under /hook.
#include <gtest/gtest.h>

#include <simdjson.h>

#include "engine/http_client.h"
#include "engine/proxy_settings.h"
#include "mail/notification_transports.h"
#include "mail/push_delivery.h"
#include "mail/push_transports.h"
#include "support/sitesim_fixture.h"

using namespace trawlix;
using test::TSimRequest;
using test::TSiteSimulator;

namespace {

constexpr const char* kBotToken = "123456789:AAHsecretPartOfTheToken_x-1";
constexpr const char* kUserKey = "uQiRzpo4DXghDmr9QzzfQu27cmVRsG";
constexpr const char* kAppToken = "azGDORePK8gMaC0QOYAMyEEuzJnyUi";
constexpr const char* kGotifyToken = "AqW.secretGotify";

TAlertNotification SamplePushDigest() {
    TAlertNotification digest;
    digest.searchName = "Día & noche";
    digest.count = 3;
    digest.digestId = "00ff00ff00ff00ff";
    digest.results = {{"Bike \"red\" <new>", "http://sfbay.craigslist.org/bik/1.html?a=1&b=2", 120, "San Francisco", ""}};
    digest.priceDrops = {{"Sofa", "http://sfbay.craigslist.org/fur/2.html", 80, "Oakland", "", 100}};
    return digest;
}

std::string JsonField(const std::string& aBody, const char* aKey) {
    simdjson::ondemand::parser parser;
    const simdjson::padded_string padded(aBody);
    auto document = parser.iterate(padded);
    std::string_view text;
    if (document[aKey].get_string().get(text)) return "<missing " + std::string(aKey) + ">";
    return std::string(text);
}

class PushTransportTest : public ::testing::Test {
protected:
    void SetUp() override { ForgetServiceWaits(); }
    void TearDown() override {
        ForgetServiceWaits();
        SetTransferLimits(fDefaultLimits);
    }
    std::vector<TSimRequest> Requests() const { return fSim.Requests(); }

    TSiteSimulator fSim;
    TProxySettings fNoProxy;
    TTransferLimits fDefaultLimits = GetTransferLimits();
};

// One transport of each service, made against the simulator.
struct TService {
    const char* name;
    std::function<INotificationTransportPtr(const TSiteSimulator&, TProxySettings&)> make;
    const char* path;  // what the request's address holds
};

const TService kServices[] = {
    {"Telegram",
     [](const TSiteSimulator& aSim, TProxySettings& aProxy) -> INotificationTransportPtr {
         return std::make_shared<TTelegramTransport>(kBotToken, "-1001234", aProxy, aSim.Url("/hook/api"));
     },
     "/sendMessage"},
    {"Pushover",
     [](const TSiteSimulator& aSim, TProxySettings& aProxy) -> INotificationTransportPtr {
         return std::make_shared<TPushoverTransport>(kUserKey, kAppToken, 1, aProxy, aSim.Url("/hook/api"));
     },
     "/1/messages.json"},
    {"Gotify",
     [](const TSiteSimulator& aSim, TProxySettings& aProxy) -> INotificationTransportPtr {
         return std::make_shared<TGotifyTransport>(aSim.Url("/hook/gotify"), kGotifyToken, 5, aProxy);
     },
     "/gotify/message"},
    {"Web hook",
     [](const TSiteSimulator& aSim, TProxySettings& aProxy) -> INotificationTransportPtr {
         return std::make_shared<TWebhookTransport>(aSim.Url("/hook/own?key=") + kGotifyToken, TWebhookFormat::Json, aProxy);
     },
     "/hook/own"},
};

void ExpectNoSecret(const std::string& aText) {
    for (const char* secret : {kBotToken, "AAHsecretPartOfTheToken", kUserKey, kAppToken, kGotifyToken})
        EXPECT_EQ(aText.find(secret), std::string::npos) << aText;
}

std::string FailureOf(INotificationTransport& aTransport) {
    try {
        aTransport.SendTest(TTestMessageKind::SMS, "");
    } catch (const ENotificationError& e) {
        return e.what();
    }
    return "<sent>";
}

}  // namespace

TEST_F(PushTransportTest, TelegramSendsOneHTMLMessageToTheChat) {
    TTelegramTransport transport(kBotToken, "-1001234", fNoProxy, fSim.Url("/hook/api"));
    transport.SendAlert(SamplePushDigest());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].url, fSim.Url("/hook/api/bot123456789:AAHsecretPartOfTheToken_x-1/sendMessage"));
    EXPECT_EQ(requests[0].Header("content-type"), "application/json");
    EXPECT_EQ(requests[0].body,
              "{\"chat_id\": \"-1001234\", \"text\": \"<b>New results available for Día &amp; noche</b> (digest "
              "00ff00ff00ff00ff)\\n3 new, 1 listed\\n<a href=\\\"http://sfbay.craigslist.org/bik/1.html?a=1&amp;b=2\\\">"
              "Bike \\\"red\\\" &lt;new&gt;</a> 120.00\\n<b>Price drops</b>\\n<a "
              "href=\\\"http://sfbay.craigslist.org/fur/2.html\\\">Sofa</a> was 100.00, now 80.00\", "
              "\"parse_mode\": \"HTML\", \"disable_web_page_preview\": true}");
}

TEST_F(PushTransportTest, TelegramSplitsALongDigestAtLineEndsWithin4096Characters) {
    TAlertNotification digest = SamplePushDigest();
    digest.results.clear();
    digest.priceDrops.clear();
    // Titles with characters beyond the BMP: Telegram counts each as two.
    for (int i = 0; i < 150; ++i)
        digest.results.push_back({"🚲 bike number " + std::to_string(i) + " 🚲🚲🚲🚲🚲",
                                  "http://sfbay.craigslist.org/bik/" + std::to_string(1000 + i) + ".html", -1, "", ""});
    digest.count = 150;
    TTelegramTransport transport(kBotToken, "42", fNoProxy, fSim.Url("/hook/api"));
    transport.SendAlert(digest);

    const auto requests = Requests();
    ASSERT_GE(requests.size(), 3u);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string text = JsonField(requests[i].body, "text");
        EXPECT_LE(Utf16Length(text), cTelegramMessageLimit);
        const std::string heading = "<b>New results available for Día &amp; noche</b> (digest 00ff00ff00ff00ff) (" +
                                    std::to_string(i + 1) + "/" + std::to_string(requests.size()) + ")\n";
        ASSERT_TRUE(text.starts_with(heading)) << text.substr(0, 120);
        std::string rest = text.substr(heading.size());
        for (std::size_t start = 0, end; start < rest.size(); start = end + 1) {
            end = rest.find('\n', start);
            if (end == std::string::npos) end = rest.size();
            lines.push_back(rest.substr(start, end - start));
        }
        // Filled as far as a whole line allows: the next message's first line would not have fit.
        if (i + 1 < requests.size()) {
            const std::string next = JsonField(requests[i + 1].body, "text");
            const std::string firstLine = next.substr(next.find('\n') + 1, next.find('\n', next.find('\n') + 1) - next.find('\n') - 1);
            EXPECT_GT(Utf16Length(text) + 1 + Utf16Length(firstLine), cTelegramMessageLimit);
        }
    }
    ASSERT_EQ(lines.size(), 151u) << "the count line and every result, none cut";
    EXPECT_EQ(lines[0], "150 new");
    for (int i = 0; i < 150; ++i)
        EXPECT_EQ(lines[i + 1], "<a href=\"http://sfbay.craigslist.org/bik/" + std::to_string(1000 + i) +
                                    ".html\">🚲 bike number " + std::to_string(i) + " 🚲🚲🚲🚲🚲</a>");
}

TEST_F(PushTransportTest, PushoverPostsTheFormFieldsOfMessagesJson) {
    TPushoverTransport transport(kUserKey, kAppToken, 1, fNoProxy, fSim.Url("/hook/api"));
    transport.SendAlert(SamplePushDigest());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url, fSim.Url("/hook/api/1/messages.json"));
    EXPECT_EQ(requests[0].Header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body,
              std::string("token=") + kAppToken + "&user=" + kUserKey +
                  "&title=New%20results%20available%20for%20D%C3%ADa%20%26%20noche"
                  "&message=New%20results%20available%20for%20D%C3%ADa%20%26%20noche%3A%203%20new%2C%201%20listed%2C%201"
                  "%20price%20drops%20%28digest%2000ff00ff00ff00ff%29%0ABike%20%22red%22%20%3Cnew%3E%20http%3A%2F%2Fsfbay."
                  "craigslist.org%2Fbik%2F1.html%3Fa%3D1%26b%3D2%0ASofa%20http%3A%2F%2Fsfbay.craigslist.org%2Ffur%2F2.html"
                  "%20was%20100.00%2C%20now%2080.00%0A"
                  "&url=http%3A%2F%2Fsfbay.craigslist.org%2Fbik%2F1.html%3Fa%3D1%26b%3D2&url_title=Bike%20%22red%22%20%3Cnew%3E"
                  "&priority=1");
}

TEST_F(PushTransportTest, PushoverCutsTheMessageAtALineEndKeepingTheDigestId) {
    TAlertNotification digest = SamplePushDigest();
    for (int i = 0; i < 40; ++i)
        digest.results.push_back({"Result " + std::to_string(i), "http://example.org/ad/" + std::to_string(i), -1, "", ""});
    TPushoverTransport transport(kUserKey, kAppToken, 0, fNoProxy, fSim.Url("/hook/api"));
    transport.SendAlert(digest);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string body = requests[0].body;
    const std::size_t start = body.find("&message=") + 9;
    std::string message;
    for (std::size_t i = start; i < body.find("&url=", start); ++i) {
        if (body[i] == '%') {
            message += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            message += body[i];
        }
    }
    EXPECT_LE(Utf16Length(message), cPushoverMessageLimit);
    EXPECT_GT(Utf16Length(message), cPushoverMessageLimit - 60) << "filled up to the last whole line";
    EXPECT_TRUE(message.ends_with("\n"));
    EXPECT_NE(message.find("(digest 00ff00ff00ff00ff)"), std::string::npos);
}

TEST_F(PushTransportTest, GotifyPostsMarkdownWithTheTokenInAHeader) {
    TGotifyTransport transport(fSim.Url("/hook/gotify"), kGotifyToken, 7, fNoProxy);
    transport.SendAlert(SamplePushDigest());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url, fSim.Url("/hook/gotify/message"));
    EXPECT_EQ(requests[0].Header("x-gotify-key"), kGotifyToken);
    EXPECT_EQ(requests[0].Header("content-type"), "application/json");
    EXPECT_EQ(requests[0].body,
              "{\"title\": \"New results available for Día & noche\", \"message\": \"3 new, 1 listed (digest "
              "00ff00ff00ff00ff)\\n\\n- [Bike \\\"red\\\" \\\\<new\\\\>](http://sfbay.craigslist.org/bik/1.html?a=1&b=2) "
              "120.00\\n\\n**Price drops**\\n\\n- [Sofa](http://sfbay.craigslist.org/fur/2.html) was 100.00, now "
              "80.00\\n\", \"priority\": 7, \"extras\": {\"client::display\": {\"contentType\": \"text/markdown\"}, "
              "\"client::notification\": {\"click\": {\"url\": \"http://sfbay.craigslist.org/bik/1.html?a=1&b=2\"}}}}");
}

TEST_F(PushTransportTest, RefusalsAndServerErrorsFailWithTheServicesReasonAndNoToken) {
    struct TCase {
        int status;
        std::string body;
        std::string expected;
    };
    const TCase cases[] = {
        {401, "{\"ok\": false, \"error_code\": 401, \"description\": \"Unauthorized\"}", "refused the token (HTTP 401: Unauthorized)"},
        {400, "{\"status\": 0, \"errors\": [\"application token is invalid\"]}", "answered HTTP 400: application token is invalid"},
        {401, "{\"error\": \"Unauthorized\", \"errorCode\": 401, \"errorDescription\": \"you need to provide a valid access token\"}",
         "refused the token (HTTP 401: you need to provide a valid access token)"},
        {503, "<html>busy</html>", "answered HTTP 503"},
    };
    for (const TService& service : kServices) {
        auto transport = service.make(fSim, fNoProxy);
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(service.name) + " " + std::to_string(c.status));
            fSim.AddAnswer(service.path, c.status, c.body);
            const std::string failure = FailureOf(*transport);
            EXPECT_EQ(failure.find(service.name), 0u) << failure;
            EXPECT_NE(failure.find(c.expected), std::string::npos) << failure;
            ExpectNoSecret(failure);
        }
    }
}

TEST_F(PushTransportTest, A429IsWaitedOutWhenShortAndOtherwiseNotAskedAgainBeforeItsTime) {
    for (const TService& service : kServices) {
        SCOPED_TRACE(service.name);
        auto transport = service.make(fSim, fNoProxy);
        // Retry-After in the header, then (Telegram's way) only in the body.
        fSim.ClearRequests();
        fSim.AddAnswer(service.path, 429, "{}", "1");
        transport->SendTest(TTestMessageKind::Email, "");
        EXPECT_EQ(Requests().size(), 2u) << "tried once more after the second asked for";
        fSim.ClearRequests();
        fSim.AddAnswer(service.path, 429, "{\"ok\": false, \"parameters\": {\"retry_after\": 1}}");
        transport->SendTest(TTestMessageKind::Email, "");
        EXPECT_EQ(Requests().size(), 2u);

        fSim.ClearRequests();
        fSim.AddAnswer(service.path, 429, "{}", "3600");
        const std::string failure = FailureOf(*transport);
        EXPECT_NE(failure.find("asks to wait 3600 seconds"), std::string::npos) << failure;
        const std::string again = FailureOf(*transport);
        EXPECT_NE(again.find("asked to wait"), std::string::npos) << again;
        EXPECT_EQ(Requests().size(), 1u) << "the service was asked again before its time";
        ForgetServiceWaits();
    }
}

TEST_F(PushTransportTest, AServerThatHangsOrIsGoneIsAFailureNamingNoToken) {
    TTransferLimits limits = fDefaultLimits;
    limits.totalSeconds = 1;
    SetTransferLimits(limits);
    for (const TService& service : kServices) {
        SCOPED_TRACE(service.name);
        auto transport = service.make(fSim, fNoProxy);
        fSim.AddFault(service.path, 200, 3000);
        const std::string failure = FailureOf(*transport);
        EXPECT_NE(failure, "<sent>");
        ExpectNoSecret(failure);
    }
    const int closed = test::FreeLoopbackPort();
    TTelegramTransport gone(kBotToken, "42", fNoProxy, "http://127.0.0.1:" + std::to_string(closed));
    const std::string failure = FailureOf(gone);
    EXPECT_EQ(failure.find("Telegram: "), 0u) << failure;
    ExpectNoSecret(failure);
}

TEST(ServiceReasonTest, ReadsEachServicesWayOfSayingWhy) {
    EXPECT_EQ(ServiceReason("{\"ok\":false,\"description\":\"Bad Request: chat not found\"}"), "Bad Request: chat not found");
    EXPECT_EQ(ServiceReason("{\"errors\":[\"user identifier is not a valid user\"],\"status\":0}"),
              "user identifier is not a valid user");
    EXPECT_EQ(ServiceReason("{\"error\":\"Unauthorized\"}"), "Unauthorized");
    EXPECT_EQ(ServiceReason("<html>"), "");
    EXPECT_EQ(ServiceReason(""), "");
    EXPECT_EQ(RetryAfterInBody("{\"parameters\":{\"retry_after\":17}}"), 17);
    EXPECT_EQ(RetryAfterInBody("{\"ok\":false}"), -1);
    EXPECT_EQ(Redacted("https://api.telegram.org/bot1:xyz/sendMessage failed", {"1:xyz", ""}),
              "https://api.telegram.org/bot***/sendMessage failed");
}
