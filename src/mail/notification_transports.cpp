#include "mail/notification_transports.h"

#include <algorithm>
#include <cstdio>

#include "engine/proxy_settings.h"
#include "engine/text_functions.h"
#include "mail/digest_text.h"
#include "mail/mime_message.h"
#include "mail/push_delivery.h"
#include "mail/smtp_client.h"

namespace trawlix {

const char* const cTestEmailHTML =
    "<html><head></head><body><p>This is a test notifications email that you have requested. </p><p>The mail "
    "has arrived successfully and you can receive notifications. </p><p>You can set up each search individually "
    "from \"Tools\" -> \"Manage alerts\". </p><p>This is an automatically generated email. Please do not "
    "answer!<p><p><br/>Thanks, <br/> the Trawlix team!</p></body></html>";

namespace {

// Discord refuses a message longer than this.
constexpr std::size_t cDiscordContentLimit = 2000;

// Raises the transport's failure in the caller's words, whatever the lower layer raised.
template <class TWork>
void AsNotificationError(TWork&& aWork) {
    try {
        aWork();
    } catch (const ENotificationError&) {
        throw;
    } catch (const std::exception& e) {
        throw ENotificationError(e.what());
    }
}

std::string JsonPrice(double aPrice) {
    if (aPrice < 0) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", aPrice);
    return text;
}

// A header value on one line; anything but printable ASCII as one RFC 2047 word.
std::string HeaderValue(std::string aText) {
    for (char& c : aText)
        if (c == '\r' || c == '\n') c = ' ';
    const bool ascii = std::all_of(aText.begin(), aText.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    return ascii ? aText : "=?UTF-8?B?" + Base64EncodeStr(aText) + "?=";
}

std::string JsonResult(const TDigestResult& aResult) {
    std::string json = "{\"title\": " + JsonString(aResult.title) + ", \"link\": " + JsonString(aResult.link) +
                       ", \"price\": " + JsonPrice(aResult.price);
    if (aResult.priceWas >= 0) json += ", \"price_was\": " + JsonPrice(aResult.priceWas);
    return json + ", \"location\": " + JsonString(aResult.location) + "}";
}

std::string JsonResults(const std::vector<TDigestResult>& aResults) {
    std::string json = "[";
    for (std::size_t i = 0; i < aResults.size(); ++i) json += (i > 0 ? ", " : "") + JsonResult(aResults[i]);
    return json + "]";
}

TWebhookRequest PlainWebhook(TWebhookFormat aFormat, const std::string& aTitle, const std::string& aText) {
    switch (aFormat) {
        case TWebhookFormat::Ntfy:
            return {"text/plain; charset=utf-8", aTitle, aText};
        case TWebhookFormat::Discord:
            return {"application/json", {},
                    "{\"content\": " + JsonString(Utf8Prefix(aText, cDiscordContentLimit)) + "}"};
        case TWebhookFormat::Slack:
        default:
            return {"application/json", {}, "{\"text\": " + JsonString(aText) + "}"};
    }
}

}  // namespace

// --- the vendor's mail service -------------------------------------------------------

std::string BuildVendorMailBody(const TVendorMailRequest& aRequest) {
    std::string body = std::string("auth=") + cVendorMailAuth + "&to=" + aRequest.to;
    body += "&subject=" + (aRequest.encodeSubject ? URLEncode(aRequest.subject) : aRequest.subject);
    if (aRequest.isHTML) body += std::string("&content=") + cVendorHTMLContent;
    body += "&from=" + aRequest.from;
    body += "&message=" + (aRequest.encodeMessage ? URLEncode(Base64EncodeStr(aRequest.message)) : aRequest.message);
    return body;
}

TVendorMailTransport::TVendorMailTransport(std::string aVendorHost, TProxySettings& aProxySettings)
    : fVendorHost(std::move(aVendorHost)), fProxySettings(aProxySettings) {}

std::string TVendorMailTransport::GetName() const { return "vendor"; }

void PostVendorMail(const std::string& aVendorHost, TProxySettings& aProxySettings, const TVendorMailRequest& aRequest) {
    if (aVendorHost.empty() || aVendorHost.find_first_of("/?#@ ") != std::string::npos)
        throw ENotificationError("The mail service's host \"" + aVendorHost + "\" is not a host name");
    AsNotificationError([&] {
        TCHttpClient client(aProxySettings, false);
        client.Post("http://" + aVendorHost + "/" + cVendorMailScript, "application/x-www-form-urlencoded",
                    BuildVendorMailBody(aRequest));
    });
}

void TVendorMailTransport::Post(const TVendorMailRequest& aRequest) { PostVendorMail(fVendorHost, fProxySettings, aRequest); }

void TVendorMailTransport::SendAlert(const TAlertNotification& aNotification) {
    if (!aNotification.smsTo.empty())
        Post({aNotification.smsTo, aNotification.searchName, true, false, aNotification.smsText, true});
    if (!aNotification.emailTo.empty())
        Post({aNotification.emailTo, aNotification.emailSubject, true, true, aNotification.emailHTML, true});
}

void TVendorMailTransport::SendTest(TTestMessageKind aKind, const std::string& aTo) {
    if (aKind == TTestMessageKind::Email)
        Post({aTo, cTestEmailSubject, false, true, cTestEmailHTML, true});
    else
        Post({aTo, cTestSMSSubject, true, false, cTestSMSText, false});
}

// --- the user's own SMTP account -------------------------------------------------------

TSmtpNotificationTransport::TSmtpNotificationTransport(IEmailAccount aAccount) : fAccount(std::move(aAccount)) {}

std::string TSmtpNotificationTransport::GetName() const { return "smtp:" + std::to_string(fAccount->GetID()); }

void TSmtpNotificationTransport::Send(const std::string& aTo, const std::string& aSubject, const std::string& aBody,
                                      bool aHTML) {
    TMailContent content;
    content.from = fAccount->GetSenderAddress();
    AsNotificationError([&] { content.recipients = ParseRecipients(aTo); });
    if (content.recipients.empty()) throw ENotificationError("No recipient address was given");
    content.subject = aSubject;
    content.body = aBody;
    content.isHTML = aHTML;
    AsNotificationError([&] { SendSmtpMail(fAccount->GetSmtpServer(), content); });
}

void TSmtpNotificationTransport::SendAlert(const TAlertNotification& aNotification) {
    if (!aNotification.smsTo.empty()) Send(aNotification.smsTo, aNotification.searchName, aNotification.smsText, false);
    if (!aNotification.emailTo.empty())
        Send(aNotification.emailTo, aNotification.emailSubject, aNotification.emailHTML, true);
}

void TSmtpNotificationTransport::SendTest(TTestMessageKind aKind, const std::string& aTo) {
    if (aKind == TTestMessageKind::Email)
        Send(aTo, cTestEmailSubject, cTestEmailHTML, true);
    else
        Send(aTo, cTestSMSSubject, cTestSMSText, false);
}

// --- web hooks -----------------------------------------------------------------------

TWebhookFormat WebhookFormatFromName(const std::string& aName) {
    if (aName == "ntfy") return TWebhookFormat::Ntfy;
    if (aName == "discord") return TWebhookFormat::Discord;
    if (aName == "slack") return TWebhookFormat::Slack;
    if (aName == "json") return TWebhookFormat::Json;
    throw ENotificationError("Unknown web hook format \"" + aName + "\" (ntfy, discord, slack or json)");
}

TWebhookRequest BuildWebhookNotice(TWebhookFormat aFormat, const TAlertNotification& aNotification) {
    if (aFormat != TWebhookFormat::Json) return PlainWebhook(aFormat, aNotification.noticeTitle, aNotification.noticeText);
    return {"application/json", {},
            "{\"search\": " + JsonString(aNotification.searchName) + ", \"notice\": " +
                JsonString(aNotification.noticeTitle) + ", \"text\": " + JsonString(aNotification.noticeText) + "}"};
}

TWebhookRequest BuildWebhookAlert(TWebhookFormat aFormat, const TAlertNotification& aNotification) {
    if (!aNotification.noticeText.empty()) return BuildWebhookNotice(aFormat, aNotification);
    if (aFormat != TWebhookFormat::Json)
        return PlainWebhook(aFormat, DigestTitle(aNotification), DigestPlainText(aNotification));
    std::string body = "{\"search\": " + JsonString(aNotification.searchName) +
                       ", \"count\": " + std::to_string(aNotification.count) +
                       ", \"results\": " + JsonResults(aNotification.results);
    if (!aNotification.priceDrops.empty()) body += ", \"price_drops\": " + JsonResults(aNotification.priceDrops);
    if (!aNotification.digestId.empty()) body += ", \"digest_id\": " + JsonString(aNotification.digestId);
    return {"application/json", {}, body + "}"};
}

TWebhookRequest BuildWebhookTest(TWebhookFormat aFormat, TTestMessageKind aKind) {
    if (aFormat != TWebhookFormat::Json) return PlainWebhook(aFormat, "Trawlix test message", TestText(aKind));
    return {"application/json", {},
            std::string("{\"test\": true, \"kind\": ") + (aKind == TTestMessageKind::Email ? "\"email\"" : "\"sms\"") +
                ", \"message\": " + JsonString(TestText(aKind)) + "}"};
}

TWebhookTransport::TWebhookTransport(std::string aURL, TWebhookFormat aFormat, TProxySettings& aProxySettings)
    : fURL(std::move(aURL)), fFormat(aFormat), fProxySettings(aProxySettings) {}

std::string TWebhookTransport::GetName() const { return "webhook"; }

void TWebhookTransport::Post(const TWebhookRequest& aRequest) {
    if (!fURL.starts_with("http://") && !fURL.starts_with("https://"))
        throw ENotificationError("The web hook address \"" + fURL + "\" is not an http:// or https:// address");
    std::vector<std::string> headers;
    if (!aRequest.title.empty()) headers.push_back("Title: " + HeaderValue(aRequest.title));
    // A hook's query often holds its access key; 429 and Retry-After are handled as for
    // the other services.
    const std::size_t query = fURL.find('?');
    TPushDelivery delivery("Web hook", "webhook:" + fURL,
                           {query == std::string::npos ? std::string() : fURL.substr(query + 1)}, fProxySettings);
    delivery.Send({fURL, aRequest.contentType, aRequest.body, headers});
}

void TWebhookTransport::SendAlert(const TAlertNotification& aNotification) {
    // One digest, one push: the hook stands for both the SMS and the e-mail.
    Post(BuildWebhookAlert(fFormat, aNotification));
}

void TWebhookTransport::SendTest(TTestMessageKind aKind, const std::string&) { Post(BuildWebhookTest(fFormat, aKind)); }

}  // namespace trawlix
