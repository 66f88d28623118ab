#pragma once

#include <string>

#include "engine/http_client.h"
#include "mail/email_account.h"
#include "mail/notification_transport.h"

namespace trawlix {

class TProxySettings;

// The vendor's fixed sender, in the form the mail service takes it.
inline constexpr const char* cVendorMailFrom = "Trawlix <notifications@velmorasolutions.com>";
inline constexpr const char* cVendorMailScript = "send_mail.php";
inline constexpr const char* cVendorMailAuth = "tirzep";
inline constexpr const char* cVendorHTMLContent = "Content-type: text/html; charset=utf-8";

// One request to the vendor's mail service, before encoding.
struct TVendorMailRequest {
    std::string to;
    std::string subject;
    bool encodeSubject = true;  // URL-encoded, or as is for the fixed subjects
    bool isHTML = false;        // adds the content field
    std::string message;
    bool encodeMessage = true;  // Base64 then URL-encoded, or as is for the fixed texts
    std::string from = cVendorMailFrom;  // the error reports name their own sender
};
// The form body, fields in the service's order: auth, to, subject, content, from, message.
std::string BuildVendorMailBody(const TVendorMailRequest& aRequest);
// Posts one request to http://<aVendorHost>/send_mail.php through the program's proxy
// settings; raises ENotificationError when it did not go out (a status other than 2xx too).
void PostVendorMail(const std::string& aVendorHost, TProxySettings& aProxySettings, const TVendorMailRequest& aRequest);

// Posts to http://<vendor host>/send_mail.php through the program's proxy settings; a
// status other than 2xx is a failure.
class TVendorMailTransport : public INotificationTransport {
public:
    TVendorMailTransport(std::string aVendorHost, TProxySettings& aProxySettings);
    std::string GetName() const override;
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void Post(const TVendorMailRequest& aRequest);

    std::string fVendorHost;
    TProxySettings& fProxySettings;
};

// Sends the same subjects and texts as ordinary mail through one of the user's accounts.
class TSmtpNotificationTransport : public INotificationTransport {
public:
    explicit TSmtpNotificationTransport(IEmailAccount aAccount);
    std::string GetName() const override;
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void Send(const std::string& aTo, const std::string& aSubject, const std::string& aBody, bool aHTML);

    IEmailAccount fAccount;
};

enum class TWebhookFormat { Ntfy, Discord, Slack, Json };
// Accepts "ntfy", "discord", "slack", "json"; raises ENotificationError otherwise.
TWebhookFormat WebhookFormatFromName(const std::string& aName);

// One web hook request: the body and its headers.
struct TWebhookRequest {
    std::string contentType;
    std::string title;  // sent as the Title header (ntfy only)
    std::string body;
};
TWebhookRequest BuildWebhookAlert(TWebhookFormat aFormat, const TAlertNotification& aNotification);
TWebhookRequest BuildWebhookTest(TWebhookFormat aFormat, TTestMessageKind aKind);

// Posts each digest once to a web hook (ntfy, Discord, Slack or plain JSON).
class TWebhookTransport : public INotificationTransport {
public:
    TWebhookTransport(std::string aURL, TWebhookFormat aFormat, TProxySettings& aProxySettings);
    std::string GetName() const override;
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void Post(const TWebhookRequest& aRequest);

    std::string fURL;
    TWebhookFormat fFormat;
    TProxySettings& fProxySettings;
};

}  // namespace trawlix
