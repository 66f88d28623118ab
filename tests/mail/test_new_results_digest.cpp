// The digest of an automatic run: what is counted, listed and unmarked, when it goes out,
// and what a failed send leaves behind. The transport here records what it was given.
#include <gtest/gtest.h>

#include "engine/clock.h"
#include "engine/time_and_date_text.h"
#include "mail/new_results_digest.h"
#include "mail/notification_transports.h"
#include "mail/site_notice.h"
#include "model/filter.h"
#include "model/search.h"

using namespace trawlix;

namespace {

class TRecordingTransport : public INotificationTransport {
public:
    std::string GetName() const override { return name; }
    void SendAlert(const TAlertNotification& aNotification) override {
        attempts.push_back(aNotification);
        if (onSend) onSend(aNotification);
        if (!failWith.empty()) throw ENotificationError(failWith);
        if (!failEmailWith.empty() && !aNotification.emailTo.empty()) throw ENotificationError(failEmailWith);
        sent.push_back(aNotification);
    }
    void SendTest(TTestMessageKind, const std::string&) override {}
    int SentSMS() const {
        int count = 0;
        for (const auto& notification : sent) count += notification.smsTo.empty() ? 0 : 1;
        return count;
    }

    std::string name = "recording";
    std::vector<TAlertNotification> sent;
    std::vector<TAlertNotification> attempts;
    std::function<void(const TAlertNotification&)> onSend;
    std::string failWith;
    std::string failEmailWith;
};

const double kDay = EncodeDate(2026, 12, 10);
double At(int aHours, int aMinutes, double aDay = kDay) { return aDay + (aHours * 60 + aMinutes) / 1440.0; }

class DigestTest : public ::testing::Test {
protected:
    DigestTest() {
        fSearch.SetName("Cars & Trucks");
        TAlert& alert = fSearch.GetAlert();
        alert.SetEnabled(true);
        alert.SetSendToEmail(true);
        alert.SetEmail("me@example.com");
        fContext.transport = fTransport;
        fContext.now = [this] { return fNow; };
        fContext.userPhone = "(555) 123-4567";
        fContext.canSendSMS = true;
        fContext.smsAddress = "5551234567@sms.example.com";
    }

    // aCount results found by an automatic run, titled "Ad 1" ... and marked for the digest.
    void AddMarked(int aCount, const std::string& aPrefix = "Ad ") {
        for (int i = 1; i <= aCount; ++i) {
            auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 10", aPrefix + std::to_string(i),
                                                  "http://sfbay.craigslist.org/" + aPrefix.substr(0, 1) +
                                                      std::to_string(i) + ".html",
                                                  100 + i, "sf", "cars", false, 0, fNow, "", "", "");
            entry->SetIncludeInEmailDigest(true);
            fSearch.AddSearchResult(entry);
        }
    }
    int MarkedCount() const {
        TCLock lock(fSearch.GetCriticalSection());
        int marked = 0;
        for (const IEntry& entry : fSearch.GetSearchResults()) marked += entry->GetIncludeInEmailDigest() ? 1 : 0;
        return marked;
    }
    TNotifyOutcome Notify() {
        TCLock lock(fSearch.GetCriticalSection());
        return NotifyForNewResults(fSearch, true, true, fContext);
    }

    TSearch fSearch;
    std::shared_ptr<TRecordingTransport> fTransport = std::make_shared<TRecordingTransport>();
    TNotifyContext fContext;
    double fNow = At(12, 0);
};

}  // namespace

TEST_F(DigestTest, MessageLengthListsSomeAndUnmarksAll) {
    struct TCase {
        int limit, found;
        std::string listing;
        size_t links;
    };
    for (const TCase& c : {TCase{20, 35, "<p>Listing 1 - 20 of 35.</p>", 20}, TCase{20, 3, "<p>Listing 1 - 3 of 3.</p>", 3},
                           TCase{0, 35, "<p>Listing 1 - 35 of 35.</p>", 35}}) {
        SCOPED_TRACE(c.found);
        fTransport->sent.clear();
        fSearch.FillOldResults(true);
        fSearch.GetAlert().SetMessageLength(c.limit);
        AddMarked(c.found);
        const TNotifyOutcome outcome = Notify();
        ASSERT_EQ(fTransport->sent.size(), 1u);
        const TAlertNotification& sent = fTransport->sent[0];
        EXPECT_NE(sent.emailHTML.find(c.listing), std::string::npos) << sent.emailHTML;
        EXPECT_EQ(sent.results.size(), c.links);
        EXPECT_EQ(sent.count, c.found);
        EXPECT_EQ(outcome.count, c.found);
        EXPECT_EQ(MarkedCount(), 0) << "every counted result loses its mark, listed or not";
    }
}

TEST_F(DigestTest, QuietHoursHoldTheDigestWithItsMarksUntilTheyEnd) {
    fContext.quietHours = TQuietHours::Parse("22:00-07:00");
    fNow = At(23, 30);
    AddMarked(2);
    TNotifyOutcome outcome = Notify();
    EXPECT_TRUE(outcome.held);
    EXPECT_EQ(outcome.count, 2);
    EXPECT_EQ(outcome.statusText, "Notifications are held until the quiet hours end at 07:00");
    EXPECT_TRUE(fTransport->sent.empty());
    EXPECT_EQ(MarkedCount(), 2) << "the held results wait for the next digest";

    fNow = At(3, 0, kDay + 1);
    AddMarked(1, "Night ");
    EXPECT_TRUE(Notify().held);
    EXPECT_TRUE(fTransport->sent.empty());

    fNow = At(7, 0, kDay + 1);
    outcome = Notify();
    EXPECT_FALSE(outcome.held);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].count, 3) << "everything held goes out together";
    EXPECT_EQ(MarkedCount(), 0);
}

TEST_F(DigestTest, QuietHoursWithNothingWaitingSayNothing) {
    fContext.quietHours = TQuietHours::Parse("22:00-07:00");
    fNow = At(23, 30);
    const TNotifyOutcome outcome = Notify();
    EXPECT_FALSE(outcome.held);
    EXPECT_TRUE(outcome.statusText.empty());
}

TEST_F(DigestTest, SiteNoticesGoWhereTheDigestGoes) {
    TNotifyOutcome outcome = NotifySiteProblem(fSearch, "Craigslist", "Craigslist answered 403 Forbidden on 2 of 2 "
                                               "pages: the site may be blocking this address", fContext);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].emailTo, "me@example.com");
    EXPECT_EQ(fTransport->sent[0].emailSubject, "A problem with Craigslist for Cars & Trucks");
    EXPECT_EQ(fTransport->sent[0].noticeText,
              "Craigslist answered 403 Forbidden on 2 of 2 pages: the site may be blocking this address. Trawlix "
              "keeps trying and tells you when the site works again.");
    EXPECT_TRUE(outcome.emailSent);

    outcome = NotifySiteProblem(fSearch, "Craigslist", "", fContext);
    ASSERT_EQ(fTransport->sent.size(), 2u);
    EXPECT_EQ(fTransport->sent[1].emailSubject, "Craigslist works again for Cars & Trucks");

    fTransport->failWith = "mail server down";
    outcome = NotifySiteProblem(fSearch, "Craigslist", "", fContext);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error, "mail server down");

    fSearch.GetAlert().SetEnabled(false);
    fTransport->failWith.clear();
    EXPECT_FALSE(NotifySiteProblem(fSearch, "Craigslist", "", fContext).considered);
    EXPECT_EQ(fTransport->sent.size(), 2u) << "no alert, no notice";
}

TEST_F(DigestTest, WholeEmailTextForTwoResults) {
    AddMarked(2, "Mini <Cooper> ");
    Notify();
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].emailTo, "me@example.com");
    EXPECT_EQ(fTransport->sent[0].emailSubject, "New results available for Cars & Trucks");
    EXPECT_EQ(fTransport->sent[0].emailHTML,
              "<p>There are new results available for your search named <b>Cars &amp; Trucks</b>.</p>\r\n"
              "<p>Listing 1 - 2 of 2.</p>\r\n"
              "<div><a href=\"http://sfbay.craigslist.org/M1.html\">Mini &lt;Cooper&gt; 1</a></div>\r\n"
              "<div><a href=\"http://sfbay.craigslist.org/M2.html\">Mini &lt;Cooper&gt; 2</a></div>\r\n"
              "\r\n<p>Thanks, <br/> the Trawlix team!</p>\r\n"
              "<p>This is an automatically generated email. Please do not reply!</p>\r\n"
              "<p>Digest " + fTransport->sent[0].digestId + "</p>");
}

TEST_F(DigestTest, AResultFailingTheFilterIsNeitherCountedNorUnmarked) {
    AddMarked(3, "bike ");
    AddMarked(2, "car ");
    fSearch.GetFilter().TempQuery().SetText("bike");
    fSearch.GetFilter().PostTempQuery(true);
    const TNotifyOutcome outcome = Notify();
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(MarkedCount(), 2);
}

TEST_F(DigestTest, AUserRunSendsNothingAndKeepsMarks) {
    AddMarked(4);
    fSearch.SetCalledFromUser(true);
    const TNotifyOutcome outcome = Notify();
    EXPECT_TRUE(fTransport->sent.empty());
    EXPECT_EQ(outcome.count, 0);
    EXPECT_TRUE(outcome.statusText.empty());
    EXPECT_EQ(MarkedCount(), 4);
}

TEST_F(DigestTest, DailyDigestWaitsForItsTimeAndGoesOncePerDay) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetHowOften(hoDaily);
    alert.SetSendAt(At(18, 0, kDay - 30));
    struct TStep {
        double now;
        int newResults;
        size_t sentAfter;
    };
    // 17:00 is too early (the results stay marked), 18:10 is the day's turn and sends the
    // 17:00 results, 18:30 the same day sends nothing, the next day at 18:05 the 18:30 one goes.
    const TStep steps[] = {{At(17, 0), 2, 0}, {At(18, 10), 0, 1}, {At(18, 30), 1, 1}, {At(18, 5, kDay + 1), 0, 2}};
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.now);
        fNow = step.now;
        AddMarked(step.newResults, "t" + std::to_string(step.now) + " ");
        Notify();
        EXPECT_EQ(fTransport->sent.size(), step.sentAfter);
    }
    EXPECT_EQ(fTransport->sent[0].count, 2);
    EXPECT_EQ(fTransport->sent[1].count, 1) << "the 18:30 result waited for the next day";
}

TEST_F(DigestTest, ADailyTurnInsideQuietHoursGoesOutWhenTheyEnd) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetHowOften(hoDaily);
    alert.SetSendAt(At(23, 0));
    fContext.quietHours = TQuietHours::Parse("22:00-07:00");
    fSearch.SetNotificationsWereSentAt(At(7, 0, kDay - 1));  // yesterday's held turn
    AddMarked(2);
    fNow = At(23, 0);
    EXPECT_TRUE(Notify().held);
    fNow = At(7, 0, kDay + 1);
    EXPECT_TRUE(Notify().emailSent);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].count, 2);
    fNow = At(12, 0, kDay + 1);
    AddMarked(1, "Noon ");
    Notify();
    EXPECT_EQ(fTransport->sent.size(), 1u) << "one digest per daily turn";
}

TEST_F(DigestTest, DailyTurnUsedEvenWhenNothingWasFound) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetHowOften(hoDaily);
    alert.SetSendAt(At(18, 0));
    fNow = At(18, 10);
    Notify();
    fNow = At(18, 30);
    AddMarked(1);
    Notify();
    EXPECT_TRUE(fTransport->sent.empty());
    EXPECT_EQ(MarkedCount(), 1);
}

TEST_F(DigestTest, SMSTexts) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetSendToEmail(false);
    alert.SetSendToSMS(true);
    AddMarked(1);
    Notify();
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].smsTo, "5551234567@sms.example.com");
    EXPECT_EQ(fTransport->sent[0].smsText,
              "#" + fTransport->sent[0].digestId + "\nNew results available for:Cars &amp; Trucks");
    EXPECT_TRUE(fTransport->sent[0].emailTo.empty());

    // With the results: the advertiser's address first when known; the text stops after
    // the line that passes 250 characters.
    alert.SetIncludeResults(true);
    const std::string longName(100, 'x');
    for (int i = 0; i < 5; ++i) {
        auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 10", longName, "http://a/" + std::to_string(i), 1, "", "",
                                              false, 0, fNow, "", i == 0 ? "seller@example.org" : "555-1234", "");
        entry->SetIncludeInEmailDigest(true);
        fSearch.AddSearchResult(entry);
    }
    Notify();
    ASSERT_EQ(fTransport->sent.size(), 2u);
    const std::string line = longName + "\n";
    EXPECT_EQ(fTransport->sent[1].smsText,
              "#" + fTransport->sent[1].digestId + "\nseller@example.org:" + line + line + line);
}

// The time and date are the user's, as the program's formats give them (here a German's).
TEST_F(DigestTest, StatusTextNamesWhatWasSentAndWhen) {
    SetTimeAndDateFormatter([](double aAt) { return FormattedTimeAndDate(aAt, "%d.%m.%Y", "%T"); });
    fSearch.GetAlert().SetSendToSMS(true);
    fNow = At(18, 5);
    AddMarked(1);
    const TNotifyOutcome outcome = Notify();
    SetTimeAndDateFormatter({});
    EXPECT_TRUE(outcome.smsSent && outcome.emailSent);
    EXPECT_EQ(outcome.statusText, "Notifications (SMS & Email) were sent at 18:05 on 10.12.2026");
}

TEST_F(DigestTest, AFailedSendKeepsTheMarksAndTheDaysTurn) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetHowOften(hoDaily);
    alert.SetSendAt(At(8, 0));
    AddMarked(3);
    fTransport->failWith = "Unable to connect to server";
    const TNotifyOutcome failed = Notify();
    EXPECT_TRUE(failed.failed);
    EXPECT_EQ(failed.statusText, "Notifications (Email) could not be sent: Unable to connect to server");
    EXPECT_EQ(MarkedCount(), 3);
    fTransport->failWith.clear();
    fNow = At(12, 30);
    const TNotifyOutcome sent = Notify();
    EXPECT_FALSE(sent.failed);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].count, 3);
    EXPECT_EQ(MarkedCount(), 0);
}

TEST_F(DigestTest, ACarrierMissingFromTheListSendsNoSMSAndSaysWhy) {
    TAlert& alert = fSearch.GetAlert();
    alert.SetSendToSMS(true);
    fContext.smsAddress.clear();
    fContext.smsAddressError = "The mobile carrier 99 is not in the list of carriers";
    AddMarked(1);
    TNotifyOutcome outcome = Notify();
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_TRUE(fTransport->sent[0].smsTo.empty());
    EXPECT_NE(outcome.statusText.find("carrier 99"), std::string::npos) << outcome.statusText;

    alert.SetSendToEmail(false);
    AddMarked(1, "b");
    outcome = Notify();
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(MarkedCount(), 1);
    EXPECT_EQ(fTransport->sent.size(), 1u);
}

TEST_F(DigestTest, PriceDropsHaveTheirOwnSectionAndAFoldedResultIsToldOfOnce) {
    AddMarked(3);
    {
        TCLock lock(fSearch.GetCriticalSection());
        const auto& results = fSearch.GetSearchResults();
        results[1]->SetNew(false);  // seen before, now cheaper
        results[1]->DropPrice(90);
        results[2]->SetDuplicateOf(results[0]->GetLink());  // the same ad in another city
    }
    const TNotifyOutcome outcome = Notify();
    EXPECT_TRUE(outcome.emailSent);
    EXPECT_EQ(outcome.count, 1) << "only the first copy of the ad counts as new";
    EXPECT_EQ(MarkedCount(), 0);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    const std::string& html = fTransport->sent[0].emailHTML;
    EXPECT_NE(html.find(">Ad 1</a></div>"), std::string::npos);
    EXPECT_EQ(html.find(">Ad 3</a>"), std::string::npos) << "the folded copy is not listed";
    const size_t section = html.find("<b>Price drops</b>");
    ASSERT_NE(section, std::string::npos);
    EXPECT_NE(html.find(">Ad 2</a>: was 102, now 90</div>", section), std::string::npos) << html;
    EXPECT_LT(html.find(">Ad 1</a>"), section) << "new results come before the drops";
}

TEST_F(DigestTest, OnlyAPriceDropStillSendsADigest) {
    AddMarked(1);
    {
        TCLock lock(fSearch.GetCriticalSection());
        fSearch.GetSearchResults()[0]->SetNew(false);
        fSearch.GetSearchResults()[0]->DropPrice(50);
    }
    const TNotifyOutcome outcome = Notify();
    EXPECT_EQ(outcome.count, 0);
    EXPECT_TRUE(outcome.emailSent);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_NE(fTransport->sent[0].emailHTML.find("was 101, now 50"), std::string::npos);
}

namespace {

// A kill during the send must find the marks stored; a kill after it must find the results
// stored: the search is saved before the send with its marks, and after it without them.
TEST_F(DigestTest, MarksGoOnlyAfterTheSendAndTheSearchIsStoredAroundIt) {
    std::vector<int> markedAtSave;
    int markedAtSend = -1;
    fContext.saveSearch = [&](TSearch&) { markedAtSave.push_back(MarkedCount()); };
    fTransport->onSend = [&](const TAlertNotification&) { markedAtSend = MarkedCount(); };
    AddMarked(2);
    EXPECT_TRUE(Notify().emailSent);
    EXPECT_EQ(markedAtSend, 2) << "a save during the send stores the marks";
    EXPECT_EQ(markedAtSave, (std::vector<int>{2, 0}));

    markedAtSave.clear();
    AddMarked(1, "Late ");
    fTransport->failWith = "HTTP 503";
    EXPECT_TRUE(Notify().failed);
    EXPECT_EQ(markedAtSave, (std::vector<int>{1, 1})) << "a failed send keeps the marks, stored";
}

TEST_F(DigestTest, ADigestSentAgainCarriesTheSameIDInEveryBody) {
    fSearch.GetAlert().SetSendToSMS(true);
    AddMarked(2);
    fTransport->failWith = "timed out";
    Notify();
    fTransport->failWith.clear();
    fNow = At(12, 5);
    Notify();
    ASSERT_EQ(fTransport->attempts.size(), 4u) << "SMS and e-mail failed, then both went out";
    const std::string id = fTransport->attempts[0].digestId;
    ASSERT_EQ(id.size(), 16u);
    for (const TAlertNotification& attempt : fTransport->attempts) EXPECT_EQ(attempt.digestId, id);
    const TAlertNotification& email = fTransport->sent.back();
    EXPECT_NE(email.emailHTML.find(id), std::string::npos) << email.emailHTML;
    EXPECT_NE(fTransport->sent.front().smsText.find(id), std::string::npos) << fTransport->sent.front().smsText;
    for (TWebhookFormat format : {TWebhookFormat::Ntfy, TWebhookFormat::Discord, TWebhookFormat::Slack,
                                  TWebhookFormat::Json})
        EXPECT_NE(BuildWebhookAlert(format, email).body.find(id), std::string::npos) << static_cast<int>(format);

    AddMarked(1, "Other ");
    Notify();
    EXPECT_NE(fTransport->sent.back().digestId, id) << "other results make another digest";
}

TEST_F(DigestTest, APartThatWentOutIsNotSentAgainWhenTheOtherFailed) {
    fSearch.GetAlert().SetSendToSMS(true);
    fTransport->failEmailWith = "550 recipient refused";
    AddMarked(3);
    TNotifyOutcome outcome = Notify();
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.statusText, "Notifications (Email) could not be sent: 550 recipient refused; the SMS was sent");
    EXPECT_EQ(fTransport->SentSMS(), 1);
    EXPECT_EQ(MarkedCount(), 3);

    fNow = At(12, 10);
    Notify();
    EXPECT_EQ(fTransport->SentSMS(), 1) << "the SMS of these results is not sent again";

    AddMarked(1, "Fresh ");
    fNow = At(12, 20);
    Notify();
    ASSERT_EQ(fTransport->SentSMS(), 2);
    EXPECT_EQ(fTransport->sent.back().count, 1) << "the second SMS tells only the new result";

    fTransport->failEmailWith.clear();
    fNow = At(12, 30);
    outcome = Notify();
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(fTransport->SentSMS(), 2);
    EXPECT_EQ(fTransport->sent.back().count, 4) << "the e-mail tells everything it has not told";
    EXPECT_EQ(MarkedCount(), 0);
}

TEST_F(DigestTest, ResultsAreNeverUsedUpWithoutATelling) {
    TAlert& alert = fSearch.GetAlert();
    // A web hook tells whatever the alert's boxes say.
    fTransport->name = "webhook";
    alert.SetSendToEmail(false);
    AddMarked(2);
    TNotifyOutcome outcome = Notify();
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(MarkedCount(), 0);
    EXPECT_TRUE(outcome.statusText.starts_with("Notifications (Web hook) were sent at ")) << outcome.statusText;
    fTransport->failWith = "HTTP 500";
    AddMarked(1, "h");
    outcome = Notify();
    EXPECT_EQ(outcome.statusText, "Notifications (Web hook) could not be sent: HTTP 500");
    fTransport->failWith.clear();
    outcome = Notify();
    EXPECT_EQ(MarkedCount(), 0);

    // E-mail ticked without an address: nothing can go, nothing is used up.
    fTransport->name = "vendor";
    alert.SetSendToEmail(true);
    alert.SetEmail("");
    AddMarked(1, "b");
    outcome = Notify();
    EXPECT_TRUE(outcome.failed);
    EXPECT_NE(outcome.statusText.find("no e-mail address"), std::string::npos) << outcome.statusText;
    EXPECT_EQ(MarkedCount(), 1);

    // Nothing ticked: said in words.
    alert.SetSendToEmail(false);
    outcome = Notify();
    EXPECT_NE(outcome.statusText.find("Notifications are off for this alert"), std::string::npos);
}

TEST_F(DigestTest, APriceDropOfAResultStillNewReachesEveryTransportWithBothPrices) {
    AddMarked(1);
    {
        TCLock lock(fSearch.GetCriticalSection());
        fSearch.GetSearchResults()[0]->DropPrice(80);  // still flagged new
    }
    Notify();
    ASSERT_EQ(fTransport->sent.size(), 1u);
    const TAlertNotification& sent = fTransport->sent[0];
    EXPECT_NE(sent.emailHTML.find("was 101, now 80"), std::string::npos) << sent.emailHTML;
    ASSERT_EQ(sent.priceDrops.size(), 1u);
    EXPECT_EQ(sent.priceDrops[0].priceWas, 101);
    const std::string json = BuildWebhookAlert(TWebhookFormat::Json, sent).body;
    EXPECT_NE(json.find("\"price_drops\": [{"), std::string::npos) << json;
    EXPECT_NE(json.find("\"price_was\": 101.00"), std::string::npos) << json;
    EXPECT_NE(BuildWebhookAlert(TWebhookFormat::Ntfy, sent).body.find("was 101.00, now 80.00"), std::string::npos);
}

TEST_F(DigestTest, SiteNoticesWaitForTheEndOfQuietHours) {
    fContext.quietHours = TQuietHours::Parse("22:00-07:00");
    fNow = At(23, 30);
    const TNotifyOutcome outcome = NotifySiteProblem(fSearch, "Craigslist", "Craigslist answered 403", fContext);
    EXPECT_TRUE(outcome.held);
    EXPECT_FALSE(outcome.failed);
    EXPECT_TRUE(fTransport->sent.empty());
}

}  // namespace

TEST_F(DigestTest, AnAlertsOwnDestinationsEachTellOnceAndTheGlobalTransportStaysOut) {
    std::map<std::string, std::shared_ptr<TRecordingTransport>> destinations = {
        {"tgram://1:A/2", std::make_shared<TRecordingTransport>()},
        {"mailto://3", std::make_shared<TRecordingTransport>()},
    };
    fContext.makeDestination = [&](const std::string& aURL) -> INotificationTransportPtr {
        if (!destinations.count(aURL)) throw ENotificationError("not a destination of this test");
        return destinations[aURL];
    };
    fSearch.GetAlert().SetDestinations({"tgram://1:A/2", " mailto://3 ", ""});
    ASSERT_EQ(fSearch.GetAlert().GetDestinations(), (std::vector<std::string>{"tgram://1:A/2", "mailto://3"}));
    TRecordingTransport& telegram = *destinations["tgram://1:A/2"];
    TRecordingTransport& mail = *destinations["mailto://3"];
    mail.failWith = "535 authentication failed";
    AddMarked(2);

    TNotifyOutcome outcome = Notify();
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.statusText,
              "Notifications (mailto) could not be sent: 535 authentication failed; sent through tgram");
    ASSERT_EQ(telegram.sent.size(), 1u);
    EXPECT_EQ(telegram.sent[0].count, 2);
    EXPECT_FALSE(telegram.sent[0].digestId.empty());
    EXPECT_EQ(mail.attempts.size(), 1u);
    EXPECT_EQ(mail.attempts[0].emailTo, "me@example.com") << "mailto:// mails the alert's address";
    EXPECT_TRUE(fTransport->attempts.empty()) << "the global transport is only for alerts naming no destination";
    EXPECT_EQ(MarkedCount(), 2);

    AddMarked(1, "Fresh ");
    fNow = At(12, 10);
    Notify();
    ASSERT_EQ(telegram.sent.size(), 2u);
    EXPECT_EQ(telegram.sent[1].count, 1) << "Telegram tells only what it has not told";
    EXPECT_EQ(mail.attempts.back().count, 3) << "the failed destination still owes all three";

    mail.failWith.clear();
    fNow = At(12, 20);
    outcome = Notify();
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.statusText.rfind("Notifications (mailto) were sent at", 0), 0u) << "only the one that owed it";
    EXPECT_EQ(telegram.sent.size(), 2u);
    ASSERT_EQ(mail.sent.size(), 1u);
    EXPECT_EQ(mail.sent[0].count, 3);
    EXPECT_EQ(MarkedCount(), 0);

    // A URL that cannot be made fails like a refused send and keeps the results.
    fSearch.GetAlert().SetDestinations({"gotify://nowhere/x"});
    AddMarked(1, "Later ");
    fNow = At(12, 30);
    outcome = Notify();
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error, "not a destination of this test");
    EXPECT_EQ(MarkedCount(), 1);
}

TEST_F(DigestTest, EverySiteDownIsToldThroughTheTransportAndEachDestination) {
    auto telegram = std::make_shared<TRecordingTransport>();
    fContext.makeDestination = [&](const std::string&) -> INotificationTransportPtr { return telegram; };
    const TAlertNotification notice = EverySiteDownNotice("06:05", "site-problem: Craigslist: HTTP 403");
    EXPECT_EQ(notice.noticeText,
              "No site has given Trawlix results since 06:05: the watcher is running but finds nothing. The last "
              "problem: site-problem: Craigslist: HTTP 403.");

    TNotifyOutcome outcome = NotifyEverySiteDown(notice, "me@example.com", {"tgram://1:A/2"}, fContext);
    EXPECT_FALSE(outcome.failed);
    ASSERT_EQ(fTransport->sent.size(), 1u);
    EXPECT_EQ(fTransport->sent[0].emailTo, "me@example.com");
    EXPECT_EQ(fTransport->sent[0].noticeTitle, "Every site has failed for an hour");
    EXPECT_EQ(telegram->sent.size(), 1u);

    telegram->failWith = "Telegram refused the token (HTTP 401)";
    outcome = NotifyEverySiteDown(notice, "", {"tgram://1:A/2"}, fContext);
    EXPECT_TRUE(outcome.failed) << "told again after the next run";
    EXPECT_EQ(fTransport->sent.size(), 1u) << "no address of the user's: the mail transport is left out";

    fContext.quietHours = TQuietHours::Parse("11:00-13:00");
    outcome = NotifyEverySiteDown(notice, "me@example.com", {}, fContext);
    EXPECT_TRUE(outcome.held);
    EXPECT_EQ(fTransport->sent.size(), 1u);
}
