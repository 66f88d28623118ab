// Replies to advertisers through real SMTP accounts on loopback: the account choice under
// the usage limit, refused recipients, automatic replies, and the stored reply history.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "mail/auto_reply_thread.h"
#include "mail/email_accounts.h"
#include "mail/email_message_with_accounts.h"
#include "mail/email_reply_history.h"
#include "model/objects_storage.h"
#include "support/smtp_server_fixture.h"
#include "support/test_support.h"
#include "model/fixtures/sqlite_files.h"

using namespace trawlix;
using test::TSmtpTestServer;

namespace {

IEmailAccount AccountOn(const TSmtpTestServer& aServer, const std::string& aUser, int aID) {
    auto account = std::make_shared<TEmailAccount>();
    account->SetSMTPHost(aServer.Host());
    account->SetSMTPPort(aServer.Port());
    account->SetUsername(aUser);
    account->SetID(aID);
    return account;
}

IEmailMessageWithAccounts Message(const std::vector<IEmailAccount>& aAccounts, bool aIncludeTitle) {
    auto message = std::make_shared<TEmailMessageWithAccounts>();
    message->SetSubject("Is it still available?");
    message->SetBody("Hello, I would like to buy it.");
    message->SetIncludeAdTitleInSubject(aIncludeTitle);
    for (const auto& account : aAccounts) message->AddAccount(account);
    return message;
}

IEntry Ad(int aNumber, const std::string& aContact) {
    return std::make_shared<TEntry>(ssCraigslist, "2026-01-01", "Bike " + std::to_string(aNumber) + " - ",
                                    "https://sfbay.craigslist.org/bik/" + std::to_string(aNumber) + ".html", 10, "",
                                    "", false, 0, 0, "", aContact, "");
}

// Keeps what the accounts delivered, as the session's history does.
struct THistoryHook {
    TEmailReplyHistory history;
    THistoryHook() {
        SetOnMailSent([this](const TSentMail& aMail) {
            history.Add(aMail.from, aMail.dest, 1, aMail.subject, aMail.body, aMail.adURL);
        });
    }
    ~THistoryHook() { SetOnMailSent({}); }
};

TEST(Replies, AReplyReachesTheAdvertiserFromTheChosenAccountWithTheTitleInFront) {
    TSmtpTestServer server;
    THistoryHook hook;
    auto message = Message({AccountOn(server, "me@mine.example", 1)}, true);
    IEntry ad = Ad(1, "seller@ads.example");
    EXPECT_TRUE(ad->Reply(message, true, 1).WasSent());
    const auto mail = server.NextMail();
    EXPECT_EQ(mail["rcpt_tos"], "seller@ads.example");
    EXPECT_EQ(mail["mail_from"], "me@mine.example");
    EXPECT_EQ(mail["subject"], "Bike 1 - Is it still available?");
    EXPECT_TRUE(ad->GetReplied());
    const auto items = hook.history.GetHistory();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fAdURL, ad->GetLink());
    EXPECT_EQ(items[0].fMsgSubject, "Bike 1 - Is it still available?");
}

TEST(Replies, TheUsageLimitSpreadsRepliesAndFallsBackToAllAccounts) {
    TSmtpTestServer server;
    std::vector<IEmailAccount> accounts{AccountOn(server, "a@one.example", 1), AccountOn(server, "b@two.example", 2),
                                        AccountOn(server, "c@three.example", 3)};
    SetEmailAccountsUsageLimitSource([] { return 10; });
    auto message = Message(accounts, false);
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(message->SendTo("x" + std::to_string(i) + "@ads.example", false, 0, "", ""));
    for (const auto& account : accounts) EXPECT_EQ(account->GetTimesUsed(), 10);
    // Every account at the limit: the send still goes out, through any of them.
    std::string error;
    EXPECT_TRUE(message->SendTo("last@ads.example", true, 1, "", "", &error)) << error;
    int total = 0;
    for (const auto& account : accounts) total += account->GetTimesUsed();
    EXPECT_EQ(total, 31);
    std::map<std::string, int> bySender;
    for (int i = 0; i < 31; ++i) ++bySender[server.NextMail()["mail_from"]];
    EXPECT_EQ(bySender.size(), 3u);
    SetEmailAccountsUsageLimitSource({});
}

TEST(Replies, ARefusedRecipientLeavesTheAdUnrepliedAndSaysWhy) {
    TSmtpTestServer server;
    THistoryHook hook;
    auto message = Message({AccountOn(server, "me@mine.example", 1)}, false);
    IEntry ad = Ad(2, "rejected@ads.example");
    const TReplyOutcome outcome = ad->Reply(message, true, 1);
    EXPECT_EQ(outcome.state, TReplyOutcome::Failed);
    EXPECT_NE(outcome.error.find("550"), std::string::npos) << outcome.error;
    EXPECT_FALSE(ad->GetReplied());
    EXPECT_EQ(hook.history.Count(), 0u);
}

TEST(Replies, AutomaticRepliesAnswerEachNewAdOnceAndNeverAnAdAlreadyReplied) {
    TSmtpTestServer server;
    auto message = Message({AccountOn(server, "me@mine.example", 1)}, false);
    IEntry fresh = Ad(3, "fresh@ads.example");
    IEntry replied = Ad(4, "old@ads.example");
    replied->SetReplied(true);
    IEntry refused = Ad(5, "reject-me@ads.example");
    std::vector<std::string> failures;
    std::mutex failuresMutex;
    TAutoReplyThread thread;
    thread.SetOnReplyFailed([&](const IEntry& aEntry, const std::string&) {
        std::lock_guard lock(failuresMutex);
        failures.push_back(aEntry->GetLink());
    });
    thread.Add(fresh, message);
    thread.Add(replied, message);
    thread.Add(fresh, message);  // the same ad again, from a later run
    thread.Add(refused, message);
    EXPECT_EQ(server.NextMail()["rcpt_tos"], "fresh@ads.example");
    EXPECT_FALSE(server.MailArrives(1500));
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard lock(failuresMutex);
            if (!failures.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::lock_guard lock(failuresMutex);
    EXPECT_EQ(failures, std::vector<std::string>{refused->GetLink()});
    EXPECT_TRUE(fresh->GetReplied());
    EXPECT_FALSE(refused->GetReplied());
}

TEST(Replies, TheHistorySurvivesARestartNewestFirstWithQuotesIntact) {
    test::TempDir dir;
    const std::string file = (dir / "object_storage.cur").string();
    std::filesystem::copy_file(test::InstallationDatabase(), file);
    {
        TObjectsStorage storage(file);
        TEmailReplyHistory history;
        history.Add("me@x", "a@y", 46000.25, "It's \"old\"", "body '1'", "https://a");
        history.Add("me@x", "b@y", 46001.5, "newest", "body 2", "https://b");
        history.Add("me@x", "c@y", 46000.75, "middle", "body 3", "");
        ASSERT_TRUE(history.Save(storage, -1));
    }
    TObjectsStorage storage(file);
    TEmailReplyHistory history;
    history.Load(storage, -1);
    const auto items = history.GetHistory();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].fMsgSubject, "newest");
    EXPECT_EQ(items[1].fMsgSubject, "middle");
    EXPECT_EQ(items[2].fMsgSubject, "It's \"old\"");
    EXPECT_EQ(items[2].fMsgBody, "body '1'");
    EXPECT_DOUBLE_EQ(items[0].fTimeStamp, 46001.5);
}

// A reply counts once the server accepted it: only then is the ad marked for good, and the
// session hears of it (with the history row already there) to store both at once. An ad
// the history shows answered, by a run killed before it stored the mark, is not answered again.
TEST(Replies, AnAcceptedReplyIsMarkedAndToldAtOnceAndNeverSentTwice) {
    TSmtpTestServer server;
    THistoryHook hook;
    std::mutex mutex;
    std::vector<std::pair<bool, size_t>> told;  // the stored mark and the history size when told
    SetEntryRepliedListener([&](const TEntry& aEntry) {
        std::lock_guard lock(mutex);
        told.emplace_back(aEntry.GetRepliedStored(), hook.history.Count());
    });
    auto message = Message({AccountOn(server, "me@mine.example", 1)}, false);
    IEntry refused = Ad(6, "reject-me@ads.example");
    refused->SetAwaitingAutoReply(true);
    EXPECT_EQ(refused->Reply(message, true, 1).state, TReplyOutcome::Failed);
    EXPECT_FALSE(refused->GetRepliedStored());
    EXPECT_TRUE(refused->GetAwaitingAutoReply()) << "kept for the next run";
    IEntry accepted = Ad(7, "buyer@ads.example");
    accepted->SetAwaitingAutoReply(true);
    EXPECT_TRUE(accepted->Reply(message, true, 1).WasSent());
    EXPECT_FALSE(accepted->GetAwaitingAutoReply());
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(told, (std::vector<std::pair<bool, size_t>>{{true, 1}}));
    }
    server.NextMail();

    IEntry answeredBefore = Ad(8, "again@ads.example");
    answeredBefore->SetAwaitingAutoReply(true);
    TAutoReplyThread thread;
    thread.SetAnsweredBefore([](const TEntry& aEntry) { return aEntry.GetLink() == Ad(8, "")->GetLink(); });
    thread.Add(answeredBefore, message);
    for (int i = 0; i < 100 && thread.UnfinishedCount() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(server.MailArrives(700));
    EXPECT_TRUE(answeredBefore->GetRepliedStored());
    EXPECT_FALSE(answeredBefore->GetAwaitingAutoReply());
    SetEntryRepliedListener({});
}

// Each accepted mail is stored as it goes: a save appends the new rows and leaves the
// stored ones alone; after a removal it writes the user's rows again.
TEST(Replies, TheHistoryAppendsNewRowsAndRewritesOnlyAfterARemoval) {
    test::TempDir dir;
    const std::string file = (dir / "object_storage.cur").string();
    std::filesystem::copy_file(test::InstallationDatabase(), file);
    TObjectsStorage storage(file);
    auto& db = storage.SQLLiteDB();
    TEmailReplyHistory history;
    history.Add("me@x", "a@y", 46000.25, "one", "", "https://a");
    ASSERT_TRUE(history.Save(storage, -1));
    const auto firstRow = db.GetTableValue("select min(id) from email_reply_history");
    history.Add("me@x", "b@y", 46000.5, "two", "", "https://b");
    ASSERT_TRUE(history.Save(storage, -1));
    EXPECT_EQ(db.GetTableValue("select count(*) from email_reply_history"), 2);
    EXPECT_EQ(db.GetTableValue("select min(id) from email_reply_history"), firstRow) << "the first row was kept";
    EXPECT_TRUE(history.HasReplyTo("https://b"));
    EXPECT_FALSE(history.HasReplyTo("https://c"));
    ASSERT_TRUE(history.Remove(history.GetHistory()[0].fSerial));
    ASSERT_TRUE(history.Save(storage, -1));
    EXPECT_EQ(db.GetTableString("select group_concat(msg_subject) from email_reply_history"), "two");
}

TEST(Replies, AStoredReplyMessageKeepsTheAccountsThatRemain) {
    test::TempDir dir;
    std::filesystem::copy_file(test::InstallationDatabase(), dir / "object_storage.cur");
    TObjectsStorage storage((dir / "object_storage.cur").string());
    TSmtpTestServer server;
    TEmailAccounts accounts;
    IEmailAccount kept = AccountOn(server, "k@x", -1), gone = AccountOn(server, "g@x", -1);
    accounts.Add(kept);
    accounts.Add(gone);
    auto message = Message({kept, gone}, true);
    const int parent = storage.AddObject("auto_reply_message", -1, "", true);
    ASSERT_GT(message->SaveUnder(storage, parent), 0);
    accounts.Delete(gone);
    auto loaded = TEmailMessageWithAccounts::LoadFrom(storage, parent, accounts);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetSubject(), "Is it still available?");
    EXPECT_TRUE(loaded->GetIncludeAdTitleInSubject());
    ASSERT_EQ(loaded->GetAccounts().size(), 1u);
    EXPECT_EQ(loaded->GetAccounts()[0], kept);
}

}  // namespace
