// Replying to one ad: address lookup, the replied mark and how a failure comes back.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "model/entry.h"

namespace trawlix {
namespace {

// A message that answers each send at once, as the account would later.
class TFakeReplyMessage : public IEntryReplyMessage {
public:
    bool succeed = true;
    std::string lastAddress, lastTitle, lastURL;
    int sends = 0;
    void SendTo(const std::string& aAddress, int, const std::string& aAdURL, const std::string& aAdTitle,
                std::function<void(bool, const std::string&)> aOnResult) override {
        ++sends;
        lastAddress = aAddress;
        lastURL = aAdURL;
        lastTitle = aAdTitle;
        aOnResult(succeed, succeed ? "" : "550 mailbox unavailable");
    }
};

IEntry MakeAd(const std::string& aContact) {
    return std::make_shared<TEntry>(ssCraigslist, "2026-01-01", "Bike", "https://x.craigslist.org/bik/1.html", 10, "",
                                    "", false, 0, 0, "", aContact, "");
}

struct TLookupGuard {
    explicit TLookupGuard(TEntryEmailLookup aLookup) { SetEntryEmailLookup(std::move(aLookup)); }
    ~TLookupGuard() { SetEntryEmailLookup({}); }
};

TEST(EntryReply, SendsToTheContactWithLinkAndTitleAndMarksReplied) {
    auto message = std::make_shared<TFakeReplyMessage>();
    IEntry ad = MakeAd("seller@example.com");
    const TReplyOutcome outcome = ad->Reply(message, true, 1);
    EXPECT_EQ(outcome.state, TReplyOutcome::Sent);
    EXPECT_EQ(message->lastAddress, "seller@example.com");
    EXPECT_EQ(message->lastURL, "https://x.craigslist.org/bik/1.html");
    EXPECT_EQ(message->lastTitle, "Bike");
    EXPECT_TRUE(ad->GetReplied());
}

TEST(EntryReply, AFailedSendLeavesTheAdAsItWasAndSaysWhy) {
    auto message = std::make_shared<TFakeReplyMessage>();
    message->succeed = false;
    for (const bool repliedBefore : {false, true}) {
        IEntry ad = MakeAd("seller@example.com");
        ad->SetReplied(repliedBefore);
        for (const bool wait : {true, false}) {
            const TReplyOutcome outcome = ad->Reply(message, wait, 0);
            if (wait) {
                EXPECT_EQ(outcome.state, TReplyOutcome::Failed);
                EXPECT_EQ(outcome.error, "550 mailbox unavailable");
            }
            EXPECT_EQ(ad->GetReplied(), repliedBefore);
        }
    }
}

// A contact stored by an older version, or offered by a lookup, may hold a list a page wrote;
// the reply goes to one checked address or nowhere.
TEST(EntryReply, AContactThatIsNotOneAddressIsNotWrittenTo) {
    for (const char* contact : {"sale@x.test, victim1@y.test; victim2@z.test", "sale@x.test\r\nBcc: v@y.test",
                                "me@x.test> NOTIFY=SUCCESS ORCPT=rfc822"}) {
        auto message = std::make_shared<TFakeReplyMessage>();
        IEntry ad = MakeAd(contact);
        EXPECT_EQ(ad->Reply(message, true, 1).state, TReplyOutcome::NoAddress) << contact;
        EXPECT_EQ(message->sends, 0) << contact;
        EXPECT_FALSE(ad->GetReplied());
    }
    TLookupGuard guard([](const TEntry&) { return std::string("sale@x.test; victim@y.test"); });
    auto message = std::make_shared<TFakeReplyMessage>();
    EXPECT_EQ(MakeAd("")->Reply(message, true, 1).state, TReplyOutcome::NoAddress);
    EXPECT_EQ(message->sends, 0);
}

TEST(EntryReply, AnAdWithoutAddressIsNotAnsweredAndIsLookedUpOnce) {
    int lookups = 0;
    TLookupGuard guard([&lookups](const TEntry&) {
        ++lookups;
        return std::string("no address here");
    });
    auto message = std::make_shared<TFakeReplyMessage>();
    IEntry ad = MakeAd("");
    EXPECT_EQ(ad->Reply(message, true, 1).state, TReplyOutcome::NoAddress);
    EXPECT_EQ(ad->Reply(message, true, 1).state, TReplyOutcome::NoAddress);
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(message->sends, 0);
    EXPECT_FALSE(ad->GetReplied());
}

TEST(EntryReply, TheLookedUpAddressIsKeptAndUsed) {
    int lookups = 0;
    TLookupGuard guard([&lookups](const TEntry&) {
        ++lookups;
        return std::string("abc@reply.example.org");
    });
    auto message = std::make_shared<TFakeReplyMessage>();
    IEntry ad = MakeAd("");
    EXPECT_TRUE(ad->Reply(message, true, 1).WasSent());
    EXPECT_TRUE(ad->Reply(message, true, 1).WasSent());
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(ad->GetContact(), "abc@reply.example.org");
    EXPECT_EQ(message->lastAddress, "abc@reply.example.org");
}

TEST(EntryReply, APageThatCouldNotBeReadIsTriedAgainLater) {
    int lookups = 0;
    TLookupGuard guard([&lookups](const TEntry&) -> std::string {
        if (++lookups == 1) throw std::runtime_error("Could not download the page");
        return "late@example.org";
    });
    auto message = std::make_shared<TFakeReplyMessage>();
    IEntry ad = MakeAd("");
    const TReplyOutcome first = ad->Reply(message, true, 1);
    EXPECT_EQ(first.state, TReplyOutcome::Failed);
    EXPECT_EQ(first.error, "Could not download the page");
    EXPECT_FALSE(ad->GetNoContact());
    EXPECT_TRUE(ad->Reply(message, true, 1).WasSent());
    EXPECT_EQ(lookups, 2);
}

TEST(EntryReply, AMessageThatCannotBeHandedOverFailsWithoutMark) {
    class TNoAccounts : public IEntryReplyMessage {
        void SendTo(const std::string&, int, const std::string&, const std::string&,
                    std::function<void(bool, const std::string&)>) override {
            throw std::runtime_error("no account");
        }
    };
    IEntry ad = MakeAd("seller@example.com");
    const TReplyOutcome outcome = ad->Reply(std::make_shared<TNoAccounts>(), false, 0);
    EXPECT_EQ(outcome.state, TReplyOutcome::Failed);
    EXPECT_FALSE(ad->GetReplied());
}

}  // namespace
}  // namespace trawlix
