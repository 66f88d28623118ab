// Choosing the notification transport from the settings, the carrier's SMS address, and
// what a test message leaves in the settings.
#include <gtest/gtest.h>

#include "app/notifications.h"
#include "app/site_watch.h"
#include "app/settings.h"
#include "mail/email_accounts.h"
#include "model/gsm_networks.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::TempDir;

namespace {

class NotificationSettingsTest : public ::testing::Test {
protected:
    NotificationSettingsTest() {
        auto network = std::make_unique<TGSMNetwork>();
        network->SetID(4);
        network->SetAddress("txt.example.net");
        fNetworks.Add(std::move(network));
    }

    TempDir fDir;
    TSettings fSettings{fDir / "settings.conf", fDir / "trawlix.desktop", "/usr/bin/trawlix"};
    TGSMNetworks fNetworks;
    TEmailAccounts fAccounts;
};

}  // namespace

TEST_F(NotificationSettingsTest, TheSettingsNameTheTransport) {
    EXPECT_EQ(fSettings.GetNotificationTransport(), "vendor") << "the default";
    EXPECT_EQ(MakeNotificationTransport(fSettings, &fAccounts)->GetName(), "vendor");

    auto account = std::make_shared<TEmailAccount>();
    fAccounts.Add(account);
    fSettings.SetNotificationTransport("smtp:" + std::to_string(account->GetID()));
    EXPECT_EQ(MakeNotificationTransport(fSettings, &fAccounts)->GetName(), "smtp:" + std::to_string(account->GetID()));

    fSettings.SetNotificationTransport("webhook");
    fSettings.SetNotificationWebhookURL("https://ntfy.example.org/trawlix");
    EXPECT_EQ(MakeNotificationTransport(fSettings, &fAccounts)->GetName(), "webhook");

    struct TBad {
        std::string transport, url, format, reasonPart;
    };
    const TBad bad[] = {{"smtp:99", "", "ntfy", "account 99 does not exist"},
                        {"webhook", " ", "ntfy", "No web hook address"},
                        {"webhook", "http://x/", "teams", "teams"},
                        {"carrier-pigeon", "", "ntfy", "Unknown notification transport"}};
    for (const TBad& b : bad) {
        fSettings.SetNotificationTransport(b.transport);
        fSettings.SetNotificationWebhookURL(b.url);
        fSettings.SetNotificationWebhookFormat(b.format);
        try {
            MakeNotificationTransport(fSettings, &fAccounts);
            ADD_FAILURE() << b.transport << " was accepted";
        } catch (const ENotificationError& e) {
            EXPECT_NE(std::string(e.what()).find(b.reasonPart), std::string::npos) << e.what();
        }
        // The digest's context carries the reason instead of a transport.
        const TNotifyContext context = MakeNotifyContext(fSettings, &fNetworks, &fAccounts);
        EXPECT_EQ(context.transport, nullptr);
        EXPECT_NE(context.transportError.find(b.reasonPart), std::string::npos);
    }
}

// A mail to a typed address never goes to the web hook, which would ignore the address.
TEST_F(NotificationSettingsTest, MailToATypedAddressTakesAnEmailRoute) {
    EXPECT_EQ(MakeMailTransport(fSettings, &fAccounts)->GetName(), "vendor");
    fSettings.SetNotificationTransport("webhook");
    fSettings.SetNotificationWebhookURL("https://ntfy.example.org/trawlix");
    try {
        MakeMailTransport(fSettings, &fAccounts);
        ADD_FAILURE() << "a web hook is no e-mail route";
    } catch (const ENotificationError& e) {
        EXPECT_NE(std::string(e.what()).find("No e-mail route"), std::string::npos) << e.what();
    }
    auto first = std::make_shared<TEmailAccount>();
    fAccounts.Add(first);
    fAccounts.Add(std::make_shared<TEmailAccount>());
    EXPECT_EQ(MakeMailTransport(fSettings, &fAccounts)->GetName(), "smtp:" + std::to_string(first->GetID()));
}

TEST(MailAddressTest, OnlyWellFormedAddressesPass) {
    struct TCase {
        const char* address;
        bool good;
    };
    const TCase cases[] = {{"buyer@example.org", true},
                           {" Buyer <buyer@example.org> ", true},
                           {"a@example.org; b@example.net", true},
                           {"not an email", false},
                           {"", false},
                           {"@example.org", false},
                           {"buyer@", false},
                           {"a@b@example.org", false},
                           {"buyer @example.org", false},
                           {"a@example.org, nobody", false}};
    for (const TCase& c : cases) EXPECT_EQ(MailAddressProblem(c.address).empty(), c.good) << c.address;
    EXPECT_EQ(MailAddressProblem("not an email"), "\"not an email\" is not an e-mail address.");
}

TEST_F(NotificationSettingsTest, TheSMSAddressIsThePhonesDigitsAtTheCarriersDomain) {
    fSettings.SetUserPhone("+1 (555) 123-4567");
    fSettings.SetGSMNetworkID(4);
    EXPECT_EQ(GetEmailToSMSAddress(fSettings, &fNetworks), "15551234567@txt.example.net");
    fSettings.SetUseAlternativeGSMNetwork(true);
    fSettings.SetAlternativeGSMNetwork(" sms.other.example ");
    EXPECT_EQ(GetEmailToSMSAddress(fSettings, &fNetworks), "15551234567@sms.other.example");

    // A carrier that is not in the list gives no address ending in "@", but a reason.
    fSettings.SetUseAlternativeGSMNetwork(false);
    fSettings.SetGSMNetworkID(77);
    EXPECT_THROW(GetEmailToSMSAddress(fSettings, &fNetworks), ENotificationError);
    const TNotifyContext context = MakeNotifyContext(fSettings, &fNetworks, &fAccounts);
    EXPECT_TRUE(context.canSendSMS);
    EXPECT_TRUE(context.smsAddress.empty());
    EXPECT_NE(context.smsAddressError.find("77"), std::string::npos) << context.smsAddressError;

    fSettings.SetGSMNetworkID(4);
    fSettings.SetUserPhone("none");
    EXPECT_THROW(GetEmailToSMSAddress(fSettings, &fNetworks), ENotificationError);
}

TEST_F(NotificationSettingsTest, ATestMessageRecordsWhetherTheTransportWorks) {
    test::TSiteSimulator sim;
    fSettings.SetVendorHost("127.0.0.1:" + std::to_string(sim.Port()));
    EXPECT_FALSE(fSettings.GetNotificationEverSent());
    sim.AddFault("send_mail.php", 500);
    EXPECT_THROW(SendTestNotification(fSettings, &fAccounts, TTestMessageKind::Email, "me@example.com"),
                 ENotificationError);
    EXPECT_FALSE(fSettings.GetNotificationEverSent());
    EXPECT_NE(fSettings.GetNotificationLastError().find("500"), std::string::npos);
    SendTestNotification(fSettings, &fAccounts, TTestMessageKind::SMS, "5551234567@txt.example.net");
    EXPECT_TRUE(fSettings.GetNotificationEverSent());
    EXPECT_EQ(fSettings.GetNotificationLastError(), "");
    EXPECT_EQ(TestSMSSentText("5551234567@txt.example.net"),
              "The test SMS message was sent to: 5551234567@txt.example.net\r\nYou should receive it in a few "
              "minutes.\r\nThanks!");
}

TEST(EverySiteDownWatchTest, DueAfterAnHourOfRunsFailingEverywhereAndOnceOnly) {
    const double start = 46000.5;
    const double minute = 1.0 / 1440;
    TEverySiteDownWatch watch;
    watch.RunEnded(true, start);
    watch.RunEnded(true, start + 30 * minute);
    EXPECT_FALSE(watch.Due(start + 59 * minute));
    EXPECT_TRUE(watch.Due(start + 61 * minute));
    EXPECT_DOUBLE_EQ(watch.FailingSince(), start);
    watch.Told();
    watch.RunEnded(true, start + 90 * minute);
    EXPECT_FALSE(watch.Due(start + 91 * minute)) << "told once per outage";

    watch.RunEnded(false, start + 100 * minute);  // a site answered again
    EXPECT_FALSE(watch.Due(start + 200 * minute));
    watch.RunEnded(true, start + 200 * minute);
    EXPECT_FALSE(watch.Due(start + 250 * minute));
    EXPECT_TRUE(watch.Due(start + 261 * minute)) << "a new outage is told again";
}
