// A search's alert: a new one's values, storage below the search, the older searches file,
// and the rules that tie the automatic reply to the alert.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "engine/clock.h"
#include "model/alert.h"
#include "model/test_search_fixture.h"

namespace trawlix {
namespace {

// A reply message that stores its subject, as the mail layer's message would store itself.
class TSubjectMessage : public IAlertReplyMessage {
public:
    explicit TSubjectMessage(std::string aSubject) : fSubject(std::move(aSubject)) {}
    std::string GetSubject() const override { return fSubject; }
    void SaveToDB(TObjectsStorage& aStorage, int aObjectID) const override {
        aStorage.SetObjectProp(aObjectID, "subject", fSubject);
    }

private:
    std::string fSubject;
};

// Installs a hook for the test's length only.
struct TDefaultEmail {
    explicit TDefaultEmail(const std::string& aEmail) {
        SetAlertDefaultEmailSource([aEmail] { return aEmail; });
    }
    ~TDefaultEmail() { SetAlertDefaultEmailSource({}); }
};
struct TReplyLoader {
    TReplyLoader() {
        SetAlertReplyMessageLoader([](TObjectsStorage& aStorage, int aID) {
            return std::make_shared<TSubjectMessage>(aStorage.GetObjectPropText(aID, "subject"));
        });
    }
    ~TReplyLoader() { SetAlertReplyMessageLoader({}); }
};

class AlertTest : public test::SearchStoreTest {
protected:
    std::unique_ptr<TSearch> SaveAndReload(TSearch& aSearch) {
        aSearch.SaveToDB(Storage());
        ReopenStorage();
        return TSearch::CreateFromDB(Storage(), aSearch.GetID(), Lookups());
    }
    int AlertObject(int aSearchID) { return Storage().GetObject(cAlertType, aSearchID)->GetID(); }
};

TEST(NewAlertTest, StartsSwitchedOffEveryFifteenMinutesToTheUsersAddress) {
    TDefaultEmail email("me@example.com");
    const double created = EncodeDate(2026, 12, 10) + 0.75;
    TAlert alert(created);
    EXPECT_FALSE(alert.GetEnabled());
    EXPECT_FALSE(alert.GetIncludeResults());
    EXPECT_FALSE(alert.GetSendToEmail());
    EXPECT_FALSE(alert.GetSendToSMS());
    EXPECT_EQ(alert.GetEmail(), "me@example.com");
    EXPECT_EQ(alert.GetHowOften(), hoInstantly);
    EXPECT_EQ(alert.GetSendAt(), created);
    EXPECT_EQ(alert.GetMessageLength(), 0);
    EXPECT_EQ(alert.GetIntervalMinutes(), 15);
    EXPECT_EQ(alert.GetLastSearchedAt(), 0);
    EXPECT_FALSE(alert.GetAutoReply());
    EXPECT_EQ(alert.GetAutoReplyMessage(), nullptr);
}

TEST(NewAlertTest, SwitchingOffDropsTheReplyMessageButKeepsTheReplyFlag) {
    TAlert alert;
    alert.SetEnabled(true);
    alert.SetAutoReply(true);
    alert.SetAutoReplyMessage(std::make_shared<TSubjectMessage>("Hello"));
    alert.SetEnabled(false);
    EXPECT_EQ(alert.GetAutoReplyMessage(), nullptr);
    EXPECT_TRUE(alert.GetAutoReply());
    alert.SetEnabled(true);
    EXPECT_TRUE(alert.GetAutoReply()) << "\"Enable auto reply\" stays ticked, with no message set";
    alert.SetAutoReplyMessage(std::make_shared<TSubjectMessage>("Hello"));
    alert.SetAutoReply(false);
    EXPECT_EQ(alert.GetAutoReplyMessage(), nullptr);
}

TEST_F(AlertTest, AChangedAlertMarksItsSearchChangedButTheLastRunTimeDoesNot) {
    TSearch search;
    search.SaveToDB(Storage());
    ASSERT_FALSE(search.GetModified());
    search.GetAlert().SetLastSearchedAt(46000);
    EXPECT_FALSE(search.GetModified());
    search.GetAlert().SetIntervalMinutes(30);
    EXPECT_TRUE(search.GetModified());
}

TEST_F(AlertTest, IntervalsBelowAMinuteAreStoredBesideTheMinutesOlderVersionsRead) {
    const struct {
        int seconds;
        int storedMinutes;
        int storedSeconds;
    } cases[] = {{15, 1, 15}, {90, 2, 90}, {120, 2, 0}, {3600, 60, 0}};
    for (const auto& c : cases) {
        TSearch search;
        search.SaveToDB(Storage());
        search.GetAlert().SetIntervalSeconds(c.seconds);
        EXPECT_TRUE(search.GetModified()) << c.seconds;
        auto loaded = SaveAndReload(search);
        const int id = AlertObject(search.GetID());
        EXPECT_EQ(Storage().GetObjectPropInt(id, "interval", -1), c.storedMinutes) << c.seconds;
        EXPECT_EQ(Storage().GetObjectPropInt(id, "interval_seconds", -1), c.storedSeconds) << c.seconds;
        EXPECT_EQ(loaded->GetAlert().GetIntervalSeconds(), c.seconds);
        EXPECT_EQ(loaded->GetAlert().GetIntervalMinutes(), c.storedMinutes);
    }
}

TEST_F(AlertTest, StoredBelowTheSearchWithTheStoredNamesAndReadBack) {
    TReplyLoader loader;
    TSearch search;
    search.SetName("Bikes");
    TAlert& alert = search.GetAlert();
    alert.SetEnabled(true);
    alert.SetIncludeResults(true);
    alert.SetSendToEmail(true);
    alert.SetEmail("alerts@example.org");
    alert.SetSendToSMS(true);
    alert.SetHowOften(hoDaily);
    alert.SetSendAt(46000.75);
    alert.SetMessageLength(50);
    alert.SetIntervalMinutes(240);
    alert.SetAutoReply(true);
    alert.SetAutoReplyMessage(std::make_shared<TSubjectMessage>("Still for sale?"));
    alert.SetLastSearchedAt(46000.5);
    auto loaded = SaveAndReload(search);

    const int id = AlertObject(search.GetID());
    EXPECT_TRUE(Storage().GetObjectPropBool(id, "enabled"));
    EXPECT_EQ(Storage().GetObjectPropText(id, "email"), "alerts@example.org");
    EXPECT_EQ(Storage().GetObjectPropInt(id, "how_often", -1), 1);
    EXPECT_EQ(Storage().GetObjectPropInt(id, "msg_length", -1), 50);
    EXPECT_EQ(Storage().GetObjectPropInt(id, "interval", -1), 240);
    EXPECT_EQ(Storage().GetObjects(cAutoReplyMessageType, id).size(), 1u);

    const TAlert& back = loaded->GetAlert();
    EXPECT_TRUE(back.GetEnabled());
    EXPECT_TRUE(back.GetIncludeResults());
    EXPECT_TRUE(back.GetSendToEmail());
    EXPECT_EQ(back.GetEmail(), "alerts@example.org");
    EXPECT_TRUE(back.GetSendToSMS());
    EXPECT_EQ(back.GetHowOften(), hoDaily);
    EXPECT_DOUBLE_EQ(back.GetSendAt(), 46000.75);
    EXPECT_EQ(back.GetMessageLength(), 50);
    EXPECT_EQ(back.GetIntervalMinutes(), 240);
    EXPECT_EQ(back.GetLastSearchedAt(), 0) << "the last automatic run is not stored";
    EXPECT_TRUE(back.GetAutoReply());
    ASSERT_NE(back.GetAutoReplyMessage(), nullptr);
    EXPECT_EQ(back.GetAutoReplyMessage()->GetSubject(), "Still for sale?");

    // Saved again: the alert object is reused and the message replaced, not added.
    loaded->GetAlert().SetIntervalMinutes(60);
    loaded->SaveToDB(Storage());
    EXPECT_EQ(Storage().GetObjects(cAlertType, search.GetID()).size(), 1u);
    EXPECT_EQ(Storage().GetObjects(cAutoReplyMessageType, id).size(), 1u);
}

TEST_F(AlertTest, DestinationsAndWhatEachToldAreStoredAndMarkTheSearchChanged) {
    TSearch search;
    search.SaveToDB(Storage());
    ASSERT_FALSE(search.GetModified());
    search.GetAlert().SetDestinations({"tgram://1:A/2", "ntfy://topic"});
    EXPECT_TRUE(search.GetModified());
    search.SetDigestToldByDestination("00aa", {"http://x/1.html", "http://x/2.html"});
    auto loaded = SaveAndReload(search);
    EXPECT_EQ(Storage().GetObjectPropText(AlertObject(search.GetID()), cAlertDestinationsProp), "tgram://1:A/2\nntfy://topic");
    EXPECT_EQ(loaded->GetAlert().GetDestinations(), (std::vector<std::string>{"tgram://1:A/2", "ntfy://topic"}));
    EXPECT_TRUE(loaded->GetDigestToldByDestination("00aa", "http://x/2.html"));
    EXPECT_FALSE(loaded->GetDigestToldByDestination("00bb", "http://x/2.html"));
    loaded->ForgetDigestTold({"http://x/1.html", "http://x/2.html"});
    EXPECT_FALSE(loaded->GetDigestToldByDestination("00aa", "http://x/1.html"));
    EXPECT_TRUE(loaded->GetModified());

    // Back to the program's transport: the stored list goes too.
    loaded->GetAlert().SetDestinations({});
    auto again = SaveAndReload(*loaded);
    EXPECT_TRUE(again->GetAlert().GetDestinations().empty());
}

TEST_F(AlertTest, ASearchStoredWithoutAnAlertKeepsANewOnesValues) {
    TDefaultEmail email("me@example.com");
    TSearch search;
    search.SetName("Older");
    search.SaveToDB(Storage());
    Storage().DeleteObjects(cAlertType, search.GetID(), true);
    auto loaded = TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    EXPECT_FALSE(loaded->GetAlert().GetEnabled());
    EXPECT_EQ(loaded->GetAlert().GetIntervalMinutes(), 15);
    EXPECT_EQ(loaded->GetAlert().GetEmail(), "me@example.com");
}

TEST_F(AlertTest, AReplyMessageNobodyCanReadIsKeptAsStored) {
    TSearch search;
    {
        TReplyLoader loader;
        search.GetAlert().SetEnabled(true);
        search.GetAlert().SetAutoReply(true);
        search.GetAlert().SetAutoReplyMessage(std::make_shared<TSubjectMessage>("Keep me"));
        search.SaveToDB(Storage());
    }
    // Without a reader (a tool without the mail layer) a save must not drop the message.
    auto loaded = TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    loaded->GetAlert().SetIntervalMinutes(20);
    loaded->SaveToDB(Storage());
    const int id = AlertObject(search.GetID());
    const auto messages = Storage().GetObjects(cAutoReplyMessageType, id);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Storage().GetObjectPropText(messages[0]->GetID(), "subject"), "Keep me");
}

TEST(AlertXMLTest, ReadsTheOlderFilesAttributes) {
    struct TCase {
        const char* element;
        bool enabled;
        int howOften;
        int length;
        double sendAt;
    };
    const TCase cases[] = {
        {R"(<alert enabled="True" include_results="-1" send_to_email="1" send_to_sms="False" how_often="1" )"
         R"(msg_length="20" send_at="46000,25"/>)",
         true, hoDaily, 20, 46000.25},
        // send_at only when present; a malformed value keeps what the alert had
        {R"(<alert enabled="0" how_often="x" msg_length="50"/>)", false, hoInstantly, 50, 45000.5},
        {R"(<alert enabled="True" send_at="soon"/>)", true, hoInstantly, 0, 45000.5},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.element);
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(c.element));
        TAlert alert(45000.5);
        alert.SetIntervalMinutes(90);
        alert.FromXMLNode(document.child("alert"));
        EXPECT_EQ(alert.GetEnabled(), c.enabled);
        EXPECT_EQ(alert.GetHowOften(), c.howOften);
        EXPECT_EQ(alert.GetMessageLength(), c.length);
        EXPECT_DOUBLE_EQ(alert.GetSendAt(), c.sendAt);
        EXPECT_EQ(alert.GetIntervalMinutes(), 90) << "the interval is not part of the older file";
    }
}

}  // namespace
}  // namespace trawlix
