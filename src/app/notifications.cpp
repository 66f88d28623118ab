#include "app/notifications.h"

#include <algorithm>
#include <cctype>

#include "app/settings.h"
#include "engine/email_address.h"
#include "engine/text_functions.h"
#include "mail/email_accounts.h"
#include "mail/mime_message.h"
#include "mail/notification_transports.h"
#include "mail/notification_url.h"
#include "model/gsm_networks.h"

namespace trawlix {

namespace {

// The account number of "smtp:<number>"; false for anything else.
bool SmtpAccountID(const std::string& aName, int& aID) {
    const std::string prefix = cTransportSmtpPrefix;
    if (!aName.starts_with(prefix) || aName.size() == prefix.size() || aName.size() > prefix.size() + 9) return false;
    const std::string digits = aName.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
    aID = std::stoi(digits);
    return true;
}

}  // namespace

bool IsValidTransportName(const std::string& aName) {
    int id = 0;
    return aName == cTransportVendor || aName == cTransportWebhook || SmtpAccountID(aName, id);
}

bool IsValidWebhookFormat(const std::string& aFormat) {
    return aFormat == "ntfy" || aFormat == "discord" || aFormat == "slack" || aFormat == "json";
}

INotificationTransportPtr MakeNotificationTransport(TSettings& aSettings, const TEmailAccounts* aAccounts) {
    const std::string name = aSettings.GetNotificationTransport();
    if (name == cTransportVendor)
        return std::make_shared<TVendorMailTransport>(aSettings.GetVendorHost(), aSettings.GetProxySettings());
    if (name == cTransportWebhook) {
        const std::string url = Trim(aSettings.GetNotificationWebhookURL());
        if (url.empty()) throw ENotificationError("No web hook address is set (NotificationWebhookURL)");
        return std::make_shared<TWebhookTransport>(url, WebhookFormatFromName(aSettings.GetNotificationWebhookFormat()),
                                                   aSettings.GetProxySettings());
    }
    int id = 0;
    if (!SmtpAccountID(name, id))
        throw ENotificationError("Unknown notification transport \"" + name + "\" (vendor, smtp:<account id> or webhook)");
    IEmailAccount account = aAccounts ? aAccounts->GetAccountByID(id) : nullptr;
    if (!account) throw ENotificationError("The e-mail account " + std::to_string(id) + " does not exist");
    return std::make_shared<TSmtpNotificationTransport>(account);
}

INotificationTransportPtr MakeMailTransport(TSettings& aSettings, const TEmailAccounts* aAccounts) {
    if (aSettings.GetNotificationTransport() != cTransportWebhook) return MakeNotificationTransport(aSettings, aAccounts);
    // A web hook reaches the user's own service, never the address typed.
    const auto accounts = aAccounts ? aAccounts->GetAccounts() : TEmailAccounts::TAccountList();
    if (accounts.empty())
        throw ENotificationError(
            "No e-mail route: notifications go to a web hook, and no e-mail account is set up. Add one in "
            "\"Tools\" -> \"Email Accounts\", or choose an e-mail route in \"Tools\" -> \"Notification settings\".");
    return std::make_shared<TSmtpNotificationTransport>(accounts.front());
}

std::string MailAddressProblem(const std::string& aAddress) {
    // The same reader that every address reaching SMTP goes through.
    try {
        if (ParseMailboxList(aAddress).empty()) return "No e-mail address is given.";
    } catch (const EEmailAddress& e) {
        return std::string(e.what()) + ".";
    }
    return {};
}

std::string GetEmailToSMSAddress(const TSettings& aSettings, const TGSMNetworks* aNetworks) {
    const std::string digits = GetNumber(aSettings.GetUserPhone());
    if (digits.empty()) throw ENotificationError("Your phone number is invalid!");
    if (aSettings.GetUseAlternativeGSMNetwork()) {
        const std::string domain = Trim(aSettings.GetAlternativeGSMNetwork());
        if (domain.empty()) throw ENotificationError("No e-mail-to-SMS domain is set for the other network");
        return digits + "@" + domain;
    }
    const int id = aSettings.GetGSMNetworkID();
    const TGSMNetwork* network = aNetworks && id >= 0 ? aNetworks->GetNetworkByID(id) : nullptr;
    if (!network || Trim(network->GetAddress()).empty())
        throw ENotificationError(id < 0 ? std::string("No mobile carrier is chosen")
                                        : "The mobile carrier " + std::to_string(id) + " is not in the list of carriers");
    return digits + "@" + Trim(network->GetAddress());
}

TQuietHours ReadQuietHours(const TSettings& aSettings) {
    try {
        return TQuietHours::Parse(aSettings.GetQuietHours());
    } catch (const std::invalid_argument&) {
        // Only a hand-edited settings file holds a malformed value: better a digest at night
        // than none at all.
        return {};
    }
}

TNotifyContext MakeNotifyContext(TSettings& aSettings, const TGSMNetworks* aNetworks, const TEmailAccounts* aAccounts) {
    TNotifyContext context;
    try {
        context.transport = MakeNotificationTransport(aSettings, aAccounts);
    } catch (const std::exception& e) {
        context.transportError = e.what();
    }
    context.makeDestination = [&aSettings, aAccounts](const std::string& aURL) {
        return MakeDestination(aSettings, aAccounts, aURL);
    };
    context.quietHours = ReadQuietHours(aSettings);
    context.userPhone = aSettings.GetUserPhone();
    context.canSendSMS = aSettings.CanSendSMS();
    if (context.canSendSMS && !GetNumber(context.userPhone).empty()) {
        try {
            context.smsAddress = GetEmailToSMSAddress(aSettings, aNetworks);
        } catch (const std::exception& e) {
            context.smsAddressError = e.what();
        }
    }
    return context;
}

void RecordNotificationResult(TSettings& aSettings, bool aSent, const std::string& aError) {
    if (aSent) aSettings.SetNotificationEverSent(true);
    aSettings.SetNotificationLastError(aSent ? std::string() : aError);
}

std::string TestEmailSentText(const std::string& aTo) {
    return "The test message was sent to: " + aTo + "\r\nIt should arrive in your mailbox in a few minutes.\r\nThanks!";
}

std::string TestSMSSentText(const std::string& aTo) {
    return "The test SMS message was sent to: " + aTo + "\r\nYou should receive it in a few minutes.\r\nThanks!";
}

INotificationTransportPtr MakeDestination(TSettings& aSettings, const TEmailAccounts* aAccounts, const std::string& aURL) {
    return MakeDestinationTransport(ParseNotificationURL(aURL), aSettings.GetProxySettings(), aAccounts);
}

void SendDestinationTest(TSettings& aSettings, const TEmailAccounts* aAccounts, const std::string& aURL) {
    MakeDestination(aSettings, aAccounts, aURL)->SendTest(TTestMessageKind::Email, {});
}

void SendTestNotification(TSettings& aSettings, const TEmailAccounts* aAccounts, TTestMessageKind aKind,
                          const std::string& aTo) {
    try {
        if (Trim(aTo).empty()) throw ENotificationError("No recipient address was given");
        MakeNotificationTransport(aSettings, aAccounts)->SendTest(aKind, Trim(aTo));
    } catch (const std::exception& e) {
        RecordNotificationResult(aSettings, false, e.what());
        throw ENotificationError(e.what());
    }
    RecordNotificationResult(aSettings, true, {});
}

}  // namespace trawlix
