// The notification transports against real peers on loopback: the site simulator stands
// for the vendor's mail service and for web hooks, aiosmtpd for the user's own account.
#include <gtest/gtest.h>

#include "engine/proxy_settings.h"
#include "mail/email_account.h"
#include "mail/notification_transports.h"
#include "support/sitesim_fixture.h"
#include "support/smtp_server_fixture.h"

using namespace trawlix;
using test::TSimRequest;
using test::TSiteSimulator;
using test::TSmtpTestServer;

namespace {

constexpr const char* kVendorHost = "www.velmorasolutions.com";

// The digest of a search with a non-ASCII name and one listed result.
TAlertNotification SampleDigest() {
    TAlertNotification digest;
    digest.searchName = "Día & noche";
    digest.count = 3;
    digest.results = {{"Bike \"red\"", "http://sfbay.craigslist.org/bik/1.html", 120, "San Francisco", ""}};
    digest.smsTo = "5551234567@sms.example.com";
    digest.smsText = "Día 1\n";
    digest.emailTo = "me@example.com";
    digest.emailSubject = "New results available for Día & noche";
    digest.emailHTML = "<p>Día &amp; noche</p>";
    return digest;
}

class VendorTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        fProxy.SetEnabled(true);
        fProxy.SetHost("127.0.0.1");
        fProxy.SetPort(fSim.Port());
    }
    std::vector<TSimRequest> MailRequests() const {
        std::vector<TSimRequest> requests;
        for (const auto& request : fSim.Requests())
            if (request.url.find("send_mail.php") != std::string::npos) requests.push_back(request);
        return requests;
    }

    TSiteSimulator fSim;
    TProxySettings fProxy;
    TVendorMailTransport fTransport{kVendorHost, fProxy};
};

}  // namespace

TEST_F(VendorTransportTest, FourRequestKindsGoOutByteForByte) {
    const std::string from = "&from=Trawlix <notifications@velmorasolutions.com>";
    fTransport.SendAlert(SampleDigest());
    fTransport.SendTest(TTestMessageKind::Email, "you@example.org");
    fTransport.SendTest(TTestMessageKind::SMS, "5550001111@sms.example.com");
    const std::vector<std::string> expected = {
        // alert SMS: no content field, the name as subject, the UTF-8 text in Base64
        "auth=tirzep&to=5551234567@sms.example.com&subject=D%C3%ADa%20%26%20noche" + from +
            "&message=RMOtYSAxCg%3D%3D",
        // alert e-mail
        "auth=tirzep&to=me@example.com&subject=New%20results%20available%20for%20D%C3%ADa%20%26%20noche"
        "&content=Content-type: text/html; charset=utf-8" +
            from + "&message=PHA%2BRMOtYSAmYW1wOyBub2NoZTwvcD4%3D",
        // test e-mail: the fixed subject as is
        "auth=tirzep&to=you@example.org&subject=Notifications Test Email"
        "&content=Content-type: text/html; charset=utf-8" +
            from +
            "&message=PGh0bWw%2BPGhlYWQ%2BPC9oZWFkPjxib2R5PjxwPlRoaXMgaXMgYSB0ZXN0IG5vdGlmaWNhdGlvbnMgZW1haWwgdGhhdCB5b3UgaGF2ZSBy"
            "ZXF1ZXN0ZWQuIDwvcD48cD5UaGUgbWFpbCBoYXMgYXJyaXZlZCBzdWNjZXNzZnVsbHkgYW5kIHlvdSBjYW4gcmVjZWl2ZSBub3RpZmljYXRp"
            "b25zLiA8L3A%2BPHA%2BWW91IGNhbiBzZXQgdXAgZWFjaCBzZWFyY2ggaW5kaXZpZHVhbGx5IGZyb20gIlRvb2xzIiAtPiAiTWFuYWdlIGFs"
            "ZXJ0cyIuIDwvcD48cD5UaGlzIGlzIGFuIGF1dG9tYXRpY2FsbHkgZ2VuZXJhdGVkIGVtYWlsLiBQbGVhc2UgZG8gbm90IGFuc3dlciE8cD48"
            "cD48YnIvPlRoYW5rcywgPGJyLz4gdGhlIFRyYXdsaXggdGVhbSE8L3A%2BPC9ib2R5PjwvaHRtbD4%3D",
        // test SMS: the subject encoded, the fixed text as is
        "auth=tirzep&to=5550001111@sms.example.com&subject=Test%20message" + from +
            "&message=This is a test notifications email that you have requested.",
    };
    const auto requests = MailRequests();
    ASSERT_EQ(requests.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(requests[i].method, "POST");
        EXPECT_EQ(requests[i].url, "http://www.velmorasolutions.com/send_mail.php");
        EXPECT_EQ(requests[i].Header("content-type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(requests[i].body, expected[i]);
    }
}

TEST_F(VendorTransportTest, AnErrorStatusOrAnUnreachableServiceIsAFailure) {
    fSim.AddFault("send_mail.php", 503);
    try {
        fTransport.SendTest(TTestMessageKind::SMS, "5550001111@sms.example.com");
        FAIL() << "a 503 answer counted as sent";
    } catch (const ENotificationError& e) {
        EXPECT_NE(std::string(e.what()).find("503"), std::string::npos) << e.what();
    }
    fProxy.SetPort(test::FreeLoopbackPort());
    EXPECT_THROW(fTransport.SendAlert(SampleDigest()), ENotificationError);
    TVendorMailTransport badHost("bad host/x", fProxy);
    EXPECT_THROW(badHost.SendTest(TTestMessageKind::Email, "a@b.c"), ENotificationError);
}

TEST(WebhookTransportTest, EachFormatPostsOneDigest) {
    TSiteSimulator sim;
    TProxySettings noProxy;
    struct TCase {
        TWebhookFormat format;
        std::string contentType;
        std::string title;
        std::string body;
    };
    const std::string text =
        "New results available for Día & noche: 3 new, 1 listed\nBike \"red\" http://sfbay.craigslist.org/bik/1.html\n";
    const TCase cases[] = {
        {TWebhookFormat::Ntfy, "text/plain; charset=utf-8", "=?UTF-8?B?TmV3IHJlc3VsdHMgYXZhaWxhYmxlIGZvciBEw61hICYgbm9jaGU=?=",
         text},
        {TWebhookFormat::Discord, "application/json", "",
         "{\"content\": \"New results available for Día & noche: 3 new, 1 listed\\nBike \\\"red\\\" "
         "http://sfbay.craigslist.org/bik/1.html\\n\"}"},
        {TWebhookFormat::Slack, "application/json", "",
         "{\"text\": \"New results available for Día & noche: 3 new, 1 listed\\nBike \\\"red\\\" "
         "http://sfbay.craigslist.org/bik/1.html\\n\"}"},
        {TWebhookFormat::Json, "application/json", "",
         "{\"search\": \"Día & noche\", \"count\": 3, \"results\": [{\"title\": \"Bike \\\"red\\\"\", \"link\": "
         "\"http://sfbay.craigslist.org/bik/1.html\", \"price\": 120.00, \"location\": \"San Francisco\"}]}"},
    };
    for (const TCase& c : cases) {
        sim.ClearRequests();
        TWebhookTransport transport(sim.Url("/hook/alerts"), c.format, noProxy);
        transport.SendAlert(SampleDigest());
        const auto requests = sim.Requests();
        ASSERT_EQ(requests.size(), 1u) << "one digest is one push, whatever its SMS and e-mail parts";
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].Header("content-type"), c.contentType);
        EXPECT_EQ(requests[0].Header("title"), c.title);
        EXPECT_EQ(requests[0].body, c.body);
    }
}

TEST(WebhookTransportTest, RefusedOrMalformedHooksFail) {
    TSiteSimulator sim;
    TProxySettings noProxy;
    sim.AddFault("/hook", 404);
    TWebhookTransport refused(sim.Url("/hook/x"), TWebhookFormat::Slack, noProxy);
    EXPECT_THROW(refused.SendTest(TTestMessageKind::Email, ""), ENotificationError);
    TWebhookTransport notHttp("ftp://example.org/x", TWebhookFormat::Json, noProxy);
    EXPECT_THROW(notHttp.SendTest(TTestMessageKind::SMS, ""), ENotificationError);
    EXPECT_THROW(WebhookFormatFromName("teams"), ENotificationError);
}

TEST(SmtpNotificationTransportTest, DigestGoesAsAnSMSMailAndAnHTMLMailThroughTheAccount) {
    TSmtpTestServer server;
    auto account = std::make_shared<TEmailAccount>();
    account->SetID(7);
    account->SetSMTPHost(server.Host());
    account->SetSMTPPort(server.Port());
    account->SetUsername("me@example.org");
    TSmtpNotificationTransport transport(account);
    EXPECT_EQ(transport.GetName(), "smtp:7");
    transport.SendAlert(SampleDigest());
    const auto sms = server.NextMail();
    EXPECT_EQ(sms["rcpt_tos"], "5551234567@sms.example.com");
    EXPECT_EQ(sms["subject"], "Día & noche");
    EXPECT_NE(sms["content_type"].find("text/plain"), std::string::npos);
    EXPECT_EQ(sms["body"], "Día 1\r\n");
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["rcpt_tos"], "me@example.com");
    EXPECT_EQ(mail["mail_from"], "me@example.org");
    EXPECT_EQ(mail["subject"], "New results available for Día & noche");
    EXPECT_NE(mail["content_type"].find("text/html"), std::string::npos);
    EXPECT_NE(mail["body"].find("<p>Día &amp; noche</p>"), std::string::npos);

    account->SetSMTPPort(test::FreeLoopbackPort());
    EXPECT_THROW(transport.SendTest(TTestMessageKind::Email, "you@example.org"), ENotificationError);
}
