// Sending through a real SMTP server on loopback (aiosmtpd), plain and with STARTTLS.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "mail/email_account.h"
#include "support/smtp_server_fixture.h"

using namespace trawlix;
using test::TSmtpTestServer;

namespace {

// Collects what the callbacks report, from the sending thread.
class TResults {
public:
    TNotifyOnSendResult Callback(const std::string& aTag = {}) {
        return [this, aTag](TSendResult aResult, const std::string& aText) {
            std::lock_guard lock(fMutex);
            fItems.push_back({aResult, aText, aTag});
            fChanged.notify_all();
        };
    }
    bool WaitFor(size_t aCount, std::chrono::milliseconds aTimeout = std::chrono::seconds(30)) {
        std::unique_lock lock(fMutex);
        return fChanged.wait_for(lock, aTimeout, [&] { return fItems.size() >= aCount; });
    }
    struct TItem {
        TSendResult result;
        std::string text;
        std::string tag;
    };
    std::vector<TItem> Items() {
        std::lock_guard lock(fMutex);
        return fItems;
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    std::vector<TItem> fItems;
};

IEmailAccount AccountFor(const std::string& aHost, int aPort, const std::string& aUser, const std::string& aPassword,
                         bool aUseSSL) {
    auto account = std::make_shared<TEmailAccount>();
    account->SetSMTPHost(aHost);
    account->SetSMTPPort(aPort);
    account->SetUsername(aUser);
    account->SetPassword(aPassword);
    account->SetUseSSL(aUseSSL);
    return account;
}

TEmailMessage Message(const std::string& aSubject, const std::string& aBody = "Hello", bool aHTML = false) {
    TEmailMessage message;
    message.SetSubject(aSubject);
    message.SetBody(aBody);
    message.SetIsHTML(aHTML);
    return message;
}

// The body as the server decoded it, with plain line feeds.
std::string WithoutTrailingNewline(std::string aText) {
    for (size_t at; (at = aText.find("\r\n")) != std::string::npos;) aText.erase(at, 1);
    while (!aText.empty() && (aText.back() == '\n' || aText.back() == '\r')) aText.pop_back();
    return aText;
}

class EmailSendingTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("TRAWLIX_CA_BUNDLE", TSmtpTestServer::CACertificate().c_str(), 1); }
    void TearDown() override { unsetenv("TRAWLIX_CA_BUNDLE"); }
};

}  // namespace

TEST_F(EmailSendingTest, PlainSendWithAuthDeliversWhatTheUserWrote) {
    for (const std::string mechanism : {"PLAIN", "LOGIN"}) {
        SCOPED_TRACE(mechanism);
        TSmtpTestServer server({"127.0.0.1", false, "alice", "s3cret", mechanism});
        auto account = AccountFor("127.0.0.1", server.Port(), "alice", "s3cret", false);
        TResults results;
        TEmailMessage message = Message("About your ad", "Grüße aus Köln — still for sale?\nLine two");
        message.SetIncludeAdTitleInSubject(true);
        account->SendMessage(message, "bob@example.org; carol@example.org,dave@example.org", results.Callback(), 1,
                             "http://ad.example/1", "Red bike - ");
        EXPECT_EQ(account->GetTimesUsed(), 1);
        ASSERT_TRUE(results.WaitFor(1));
        EXPECT_EQ(results.Items()[0].result, srOK) << results.Items()[0].text;
        EXPECT_EQ(results.Items()[0].text, "");
        const auto mail = server.NextMail();
        EXPECT_EQ(mail["login"], "alice");
        EXPECT_EQ(mail["mechanism"], mechanism);
        EXPECT_EQ(mail["tls"], "no");
        EXPECT_EQ(mail["mail_from"], "alice@127.0.0.1");  // a user name without "@" takes the host
        EXPECT_EQ(mail["rcpt_tos"], "bob@example.org,carol@example.org,dave@example.org");
        EXPECT_EQ(mail["subject"], "Red bike - About your ad");
        EXPECT_EQ(mail["content_type"], "text/plain");
        EXPECT_EQ(mail["charset"], "utf-8");
        EXPECT_EQ(WithoutTrailingNewline(mail["body"]), "Grüße aus Köln — still for sale?\nLine two");
        EXPECT_FALSE(mail["date"].empty());
        EXPECT_NE(mail["message_id"].find("@127.0.0.1>"), std::string::npos) << mail["message_id"];
    }
}

TEST_F(EmailSendingTest, StartTLSWithAVerifiedCertificateAndAnEncodedSubject) {
    TSmtpTestServer server({"127.0.0.1", true, "alice@example.org", "pw", "LOGIN,PLAIN"});
    auto account = AccountFor("localhost", server.Port(), "alice@example.org", "pw", true);
    TResults results;
    account->SendMessage(Message("Ünïcödé subject for the Zürich flat, 3 rooms, balcony, quiet street",
                                 "<p>Grüße</p>", true),
                         "Zoë Smith <zoe@example.org>", results.Callback(), 1, "", "");
    ASSERT_TRUE(results.WaitFor(1));
    ASSERT_EQ(results.Items()[0].result, srOK) << results.Items()[0].text;
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["tls"], "yes");
    EXPECT_EQ(mail["login"], "alice@example.org");
    EXPECT_EQ(mail["mail_from"], "alice@example.org");
    EXPECT_EQ(mail["rcpt_tos"], "zoe@example.org");
    EXPECT_EQ(mail["to"], "Zoë Smith <zoe@example.org>");
    EXPECT_EQ(mail["raw_subject"].rfind("=?UTF-8?B?", 0), 0u) << mail["raw_subject"];
    EXPECT_EQ(mail["subject"], "Ünïcödé subject for the Zürich flat, 3 rooms, balcony, quiet street");
    EXPECT_EQ(mail["content_type"], "text/html");
    EXPECT_EQ(WithoutTrailingNewline(mail["body"]), "<p>Grüße</p>");
}

TEST_F(EmailSendingTest, OnlyCheckedAddressesReachTheServerAndNamesAreQuoted) {
    TSmtpTestServer server;
    auto account = AccountFor("127.0.0.1", server.Port(), "alice@example.org", "", false);
    TResults results;
    const std::vector<std::string> refused{"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822;x@y",
                                           "bob@example.org, Jane\r\nRoe <jane@example.org>",
                                           "\"Jane\r\nRCPT TO:<eve@example.org>\" <jane@example.org>"};
    for (const std::string& to : refused) account->SendMessage(Message("Hi"), to, results.Callback(to), 1, "", "");
    ASSERT_TRUE(results.WaitFor(refused.size()));
    for (const auto& item : results.Items()) {
        EXPECT_EQ(item.result, srError) << item.tag;
        EXPECT_NE(item.text.find("is not an e-mail address"), std::string::npos) << item.text;
    }
    EXPECT_FALSE(server.MailArrives(200));

    account->SendMessage(Message("Hi"), "\"Lee, Ann\" <ann@example.org>; Zo\xC3\xAB <z@example.org>", results.Callback(),
                         1, "", "");
    ASSERT_TRUE(results.WaitFor(refused.size() + 1));
    ASSERT_EQ(results.Items().back().result, srOK) << results.Items().back().text;
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["rcpt_tos"], "ann@example.org,z@example.org");
    EXPECT_EQ(mail["to"], "\"Lee, Ann\" <ann@example.org>, Zo\xC3\xAB <z@example.org>");
}

// A server refuses a line longer than it takes ("500 Line too long"): a long subject is
// folded and reads the same once the server unfolds it.
TEST_F(EmailSendingTest, ALongPlainSubjectIsFoldedAndArrivesWhole) {
    TSmtpTestServer server;
    auto account = AccountFor("127.0.0.1", server.Port(), "alice@example.org", "", false);
    std::string subject;
    for (int i = 0; subject.size() < 1500; ++i) subject += "Mountain bike " + std::to_string(i) + ", ";
    subject += "like new";
    TResults results;
    account->SendMessage(Message(subject), "bob@example.org", results.Callback(), 1, "", "");
    ASSERT_TRUE(results.WaitFor(1));
    ASSERT_EQ(results.Items()[0].result, srOK) << results.Items()[0].text;
    EXPECT_EQ(server.NextMail()["subject"], subject);
}

TEST_F(EmailSendingTest, Port465SpeaksTLSFromTheFirstByte) {
    // The port is fixed by the rule under test; where it is taken or not ours to bind, skip.
    std::unique_ptr<TSmtpTestServer> server;
    try {
        TSmtpTestServer::TOptions options;
        options.smtps = true;
        options.port = cSmtpsPort;
        server = std::make_unique<TSmtpTestServer>(options);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no SMTPS server on port 465: " << e.what();
    }
    for (const bool useSSL : {true, false}) {
        auto account = AccountFor("localhost", cSmtpsPort, "alice", "", useSSL);
        TResults results;
        account->SendMessage(Message("over SMTPS"), "b@example.org", results.Callback(), 1, "", "");
        ASSERT_TRUE(results.WaitFor(1));
        EXPECT_EQ(results.Items()[0].result, srOK) << results.Items()[0].text;
        const auto mail = server->NextMail();
        EXPECT_EQ(mail["tls"], "yes");
        EXPECT_EQ(mail["subject"], "over SMTPS");
    }
}

TEST_F(EmailSendingTest, HigherPrioritiesGoFirstAndEqualOnesKeepTheirOrder) {
    TSmtpTestServer server;
    auto account = AccountFor("127.0.0.1", server.Port(), "alice", "", false);
    TResults results;
    // The first mail's callback holds the sending thread until everything else is queued.
    std::mutex gate;
    std::unique_lock closed(gate);
    account->SendMessage(Message("first"), "a@example.org", [&](TSendResult, const std::string&) {
        std::lock_guard wait(gate);
    }, 1, "", "");
    ASSERT_EQ(server.NextMail()["subject"], "first");
    const std::pair<const char*, int> queued[] = {{"p1", 1}, {"p5", 5}, {"p3a", 3}, {"p3b", 3}, {"p3c", 3}};
    for (const auto& [subject, priority] : queued)
        account->SendMessage(Message(subject), "a@example.org", results.Callback(subject), priority, "", "");
    EXPECT_EQ(account->QueuedCount(), 5);
    // The held first mail still counts until its delivery has ended.
    EXPECT_EQ(account->UnfinishedCount(), 6);
    closed.unlock();
    ASSERT_TRUE(results.WaitFor(5));
    std::vector<std::string> order;
    for (int i = 0; i < 5; ++i) order.push_back(server.NextMail()["subject"]);
    EXPECT_EQ(order, (std::vector<std::string>{"p5", "p3a", "p3b", "p3c", "p1"}));
    EXPECT_EQ(account->GetTimesUsed(), 6);
}

TEST_F(EmailSendingTest, EachFailureReachesTheCallbackOnceWithAReason) {
    TSmtpTestServer authServer({"127.0.0.1", false, "alice", "right", "LOGIN,PLAIN"});
    TSmtpTestServer plainServer;
    TSmtpTestServer tlsServer({"127.0.0.1", true, "", "", ""});
    // Answers on another loopback address than its certificate names.
    TSmtpTestServer otherHost({"127.0.0.2", true, "", "", ""});
    const int closedPort = test::FreeLoopbackPort();
    struct Case {
        const char* name;
        IEmailAccount account;
        const char* destination;
        std::vector<std::string> reasonParts;
        TSmtpTestServer* server;
    } cases[] = {
        {"wrong password", AccountFor("127.0.0.1", authServer.Port(), "alice", "wrong", false), "b@example.org",
         {"535", "Authentication credentials invalid"}, &authServer},
        {"rejected recipient", AccountFor("127.0.0.1", plainServer.Port(), "alice", "", false),
         "reject-me@example.org", {"550", "Recipient address rejected"}, &plainServer},
        {"refused connection", AccountFor("127.0.0.1", closedPort, "alice", "", false), "b@example.org",
         {"127.0.0.1:" + std::to_string(closedPort), "onnect"}, nullptr},
        {"certificate for another host", AccountFor("127.0.0.2", otherHost.Port(), "alice", "", true),
         "b@example.org", {"subject name"}, &otherHost},
        {"STARTTLS not offered", AccountFor("127.0.0.1", plainServer.Port(), "alice", "", true), "b@example.org",
         {"STARTTLS"}, &plainServer},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TResults results;
        c.account->SendMessage(Message("x"), c.destination, results.Callback(), 1, "", "");
        ASSERT_TRUE(results.WaitFor(1));
        const auto item = results.Items()[0];
        EXPECT_EQ(item.result, srError);
        for (const auto& part : c.reasonParts) EXPECT_NE(item.text.find(part), std::string::npos) << item.text;
        // Nothing is retried: no second report, nothing delivered, nothing left queued.
        EXPECT_FALSE(results.WaitFor(2, std::chrono::milliseconds(700)));
        EXPECT_EQ(c.account->UnfinishedCount(), 0);
        if (c.server) {
            EXPECT_FALSE(c.server->MailArrives(100));
        }
    }
    // Without the test CA the server's certificate is not trusted; libcurl says why.
    unsetenv("TRAWLIX_CA_BUNDLE");
    TResults untrusted;
    auto account = AccountFor("localhost", tlsServer.Port(), "alice", "", true);
    account->SendMessage(Message("x"), "b@example.org", untrusted.Callback(), 1, "", "");
    ASSERT_TRUE(untrusted.WaitFor(1));
    EXPECT_EQ(untrusted.Items()[0].result, srError);
    EXPECT_NE(untrusted.Items()[0].text.find("certificate"), std::string::npos) << untrusted.Items()[0].text;
    EXPECT_FALSE(tlsServer.MailArrives(100));
}

TEST_F(EmailSendingTest, FreeingAnAccountStopsASendInProgressWithoutACallback) {
    // A server that accepts the connection and never greets.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    TResults results;
    auto account = AccountFor("127.0.0.1", ntohs(address.sin_port), "alice", "", false);
    account->SendMessage(Message("in flight"), "b@example.org", results.Callback(), 1, "", "");
    account->SendMessage(Message("queued"), "b@example.org", results.Callback(), 1, "", "");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    account.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(results.Items().empty());
    close(listener);
}
