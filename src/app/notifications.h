#pragma once

#include <string>

#include "mail/new_results_digest.h"
#include "mail/notification_transport.h"

namespace trawlix {

class TEmailAccounts;
class TGSMNetworks;
class TSettings;

inline constexpr const char* cTransportVendor = "vendor";
inline constexpr const char* cTransportWebhook = "webhook";
inline constexpr const char* cTransportSmtpPrefix = "smtp:";

// True for "vendor", "webhook" and "smtp:<number>".
bool IsValidTransportName(const std::string& aName);
// True for "ntfy", "discord", "slack" and "json".
bool IsValidWebhookFormat(const std::string& aFormat);

// The transport the settings choose (NotificationTransport and the web hook values).
// Raises ENotificationError when it cannot be made: an unknown name, an account that is
// gone, a web hook without an address.
INotificationTransportPtr MakeNotificationTransport(TSettings& aSettings, const TEmailAccounts* aAccounts);

// The phone's digits, "@" and the carrier's gateway domain (the other network's when that
// is chosen). Raises ENotificationError when the phone has no digits or no carrier is
// known for GSMNetworkID.
// The e-mail route for a mail to an address the user typed (forwarding ads): the chosen
// transport when it sends e-mail, else, with a web hook chosen, the user's first e-mail
// account. Raises ENotificationError saying what to set when there is none.
INotificationTransportPtr MakeMailTransport(TSettings& aSettings, const TEmailAccounts* aAccounts);

// Why aAddress cannot take a mail ("\"x\" is not an e-mail address."), or empty when every
// recipient in it (commas or semicolons between them) has the form name@domain.
std::string MailAddressProblem(const std::string& aAddress);

std::string GetEmailToSMSAddress(const TSettings& aSettings, const TGSMNetworks* aNetworks);

// The QuietHours setting; none when it is empty or malformed.
TQuietHours ReadQuietHours(const TSettings& aSettings);

// Everything a digest needs, read from the settings as they are now.
TNotifyContext MakeNotifyContext(TSettings& aSettings, const TGSMNetworks* aNetworks,
                                 const TEmailAccounts* aAccounts);

// Remembers whether a notification went out (NotificationEverSent, NotificationLastError).
void RecordNotificationResult(TSettings& aSettings, bool aSent, const std::string& aError);

// The success texts of the test messages, naming the address the user confirmed.
std::string TestEmailSentText(const std::string& aTo);
std::string TestSMSSentText(const std::string& aTo);
inline constexpr const char* cTestEmailFailedText = "The mail was NOT sent successfully. \r\nThe following error occurred: \r\n";
inline constexpr const char* cTestSMSFailedText =
    "The SMS message was NOT sent successfully. \r\nThe following error occurred: \r\n";

// The transport of one notification URL (an alert's destination) through the program's
// proxy settings; raises ENotificationURLError naming the wrong part of a malformed URL.
INotificationTransportPtr MakeDestination(TSettings& aSettings, const TEmailAccounts* aAccounts, const std::string& aURL);
// Sends a test message to one notification URL; raises ENotificationError with the reason.
void SendDestinationTest(TSettings& aSettings, const TEmailAccounts* aAccounts, const std::string& aURL);

// Sends a test message through the chosen transport and records the outcome; raises
// ENotificationError with the reason.
void SendTestNotification(TSettings& aSettings, const TEmailAccounts* aAccounts, TTestMessageKind aKind,
                          const std::string& aTo);

}  // namespace trawlix
