#include "mail/notification_url.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "engine/text_functions.h"
#include "mail/email_accounts.h"
#include "mail/notification_transports.h"
#include "mail/push_delivery.h"
#include "mail/push_transports.h"

namespace trawlix {

namespace {

constexpr const char* cNtfyDefaultServer = "https://ntfy.sh";
constexpr const char* cDiscordHooks = "https://discord.com/api/webhooks/";
constexpr const char* cSlackHooks = "https://hooks.slack.com/services/";

// A URL cut into its scheme, the parts between slashes and the query's values.
struct TURLParts {
    std::string scheme;
    std::string body;                   // between "://" and "?"
    std::vector<std::string> segments;  // body split at "/", empty ones dropped
    std::map<std::string, std::string> query;
    std::string rawQuery;  // after "?", as written
};

[[noreturn]] void Refuse(const std::string& aScheme, const std::string& aWhy) {
    throw ENotificationURLError("The notification URL " + aScheme + "://... is not valid: " + aWhy);
}

bool AllOf(const std::string& aText, const char* aAllowedPunctuation) {
    return !aText.empty() && std::all_of(aText.begin(), aText.end(), [&](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view(aAllowedPunctuation).find(c) != std::string_view::npos;
    });
}

bool IsNumber(const std::string& aText, bool aSigned = false) {
    const std::string digits = aSigned && aText.starts_with("-") ? aText.substr(1) : aText;
    return !digits.empty() && digits.size() <= 19 &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string PercentDecoded(const std::string& aText) {
    std::string decoded;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '%' && i + 2 < aText.size() && std::isxdigit(static_cast<unsigned char>(aText[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(aText[i + 2]))) {
            decoded += static_cast<char>(std::strtol(aText.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            decoded += aText[i] == '+' ? ' ' : aText[i];
        }
    }
    return decoded;
}

TURLParts SplitURL(const std::string& aText) {
    const std::size_t separator = aText.find("://");
    if (separator == std::string::npos || separator == 0)
        throw ENotificationURLError(
            "A notification URL starts with its kind, such as tgram://, pover://, gotify://, ntfy://, discord://, "
            "json:// or mailto://");
    TURLParts parts;
    parts.scheme = LowerCase(aText.substr(0, separator));
    std::string rest = aText.substr(separator + 3);
    const std::size_t question = rest.find('?');
    if (question != std::string::npos) {
        parts.rawQuery = rest.substr(question + 1);
        std::size_t start = question + 1;
        while (start <= rest.size()) {
            std::size_t end = rest.find('&', start);
            if (end == std::string::npos) end = rest.size();
            const std::string pair = rest.substr(start, end - start);
            const std::size_t equals = pair.find('=');
            if (!pair.empty())
                parts.query[LowerCase(pair.substr(0, equals))] =
                    equals == std::string::npos ? std::string() : PercentDecoded(pair.substr(equals + 1));
            start = end + 1;
        }
        rest.resize(question);
    }
    parts.body = rest;
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) parts.segments.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Refuses query values the kind does not know: a typo must not pass unnoticed.
void AllowOnly(const TURLParts& aParts, std::initializer_list<const char*> aKnown) {
    for (const auto& [key, value] : aParts.query)
        if (std::none_of(aKnown.begin(), aKnown.end(), [&](const char* aKey) { return key == aKey; }))
            Refuse(aParts.scheme, "the option \"" + key + "\" is not known here");
}

void Expect(const TURLParts& aParts, std::size_t aCount, const std::string& aForm) {
    if (aParts.segments.size() != aCount)
        Refuse(aParts.scheme, "it must have the form " + aParts.scheme + "://" + aForm);
}

// A host name, an IPv4 address or [IPv6], with an optional port.
void CheckHost(const std::string& aScheme, const std::string& aHost) {
    std::string name = aHost;
    const std::size_t colon = aHost.rfind(':');
    if (colon != std::string::npos && aHost.find(']', colon) == std::string::npos) {
        const std::string port = aHost.substr(colon + 1);
        if (!IsNumber(port) || port.size() > 5 || std::stol(port) < 1 || std::stol(port) > 65535)
            Refuse(aScheme, "the port \"" + port + "\" is not a number from 1 to 65535");
        name = aHost.substr(0, colon);
    }
    const bool ipv6 = name.size() > 2 && name.front() == '[' && name.back() == ']' &&
                      AllOf(name.substr(1, name.size() - 2), ":.");
    if (!ipv6 && (!AllOf(name, ".-_") || name.front() == '.' || name.front() == '-'))
        Refuse(aScheme, "the host \"" + name + "\" is not a host name");
}

int PriorityOption(const TURLParts& aParts, int aLowest, int aHighest, int aDefault) {
    const auto found = aParts.query.find("priority");
    if (found == aParts.query.end()) return aDefault;
    static const std::map<std::string, int> names = {{"lowest", -2}, {"low", -1}, {"normal", 0}, {"high", 1},
                                                     {"emergency", 2}};
    const auto named = names.find(LowerCase(found->second));
    const int priority = named != names.end() && aLowest < 0 ? named->second
                         : IsNumber(found->second, true)    ? std::stoi(found->second)
                                                             : aHighest + 1;
    if (priority < aLowest || priority > aHighest)
        Refuse(aParts.scheme, "the priority \"" + found->second + "\" is not from " + std::to_string(aLowest) + " to " +
                                  std::to_string(aHighest));
    return priority;
}

TNotificationURL Telegram(const TURLParts& aParts) {
    AllowOnly(aParts, {});
    Expect(aParts, 2, "BOTTOKEN/CHATID");
    TNotificationURL url;
    url.kind = TDestinationKind::Telegram;
    url.token = PercentDecoded(aParts.segments[0]);
    const std::size_t colon = url.token.find(':');
    if (colon == std::string::npos || !IsNumber(url.token.substr(0, colon)) || !AllOf(url.token.substr(colon + 1), "_-"))
        Refuse(aParts.scheme, "the bot token is not of the form 123456789:ABC-DEF... that @BotFather gives");
    url.recipient = PercentDecoded(aParts.segments[1]);
    const bool channel = url.recipient.size() > 1 && url.recipient.front() == '@' && AllOf(url.recipient.substr(1), "_");
    if (!channel && !IsNumber(url.recipient, true))
        Refuse(aParts.scheme, "the chat id \"" + url.recipient + "\" is neither a number nor an @channel name");
    url.secrets = {url.token};
    return url;
}

TNotificationURL Pushover(const TURLParts& aParts) {
    AllowOnly(aParts, {"priority"});
    const std::size_t at = aParts.body.find('@');
    if (at == std::string::npos || aParts.segments.size() != 1)
        Refuse(aParts.scheme, "it must have the form pover://USERKEY@APPTOKEN");
    TNotificationURL url;
    url.kind = TDestinationKind::Pushover;
    url.recipient = aParts.body.substr(0, at);
    url.token = aParts.body.substr(at + 1);
    while (!url.token.empty() && url.token.back() == '/') url.token.pop_back();
    // Both are 30 letters and digits.
    if (url.recipient.size() != 30 || !AllOf(url.recipient, ""))
        Refuse(aParts.scheme, "the user key is not 30 letters and digits");
    if (url.token.size() != 30 || !AllOf(url.token, ""))
        Refuse(aParts.scheme, "the application token is not 30 letters and digits");
    url.priority = PriorityOption(aParts, -2, 2, 0);
    url.secrets = {url.recipient, url.token};
    return url;
}

TNotificationURL Gotify(const TURLParts& aParts, bool aSecure) {
    AllowOnly(aParts, {"priority"});
    if (aParts.segments.size() < 2) Refuse(aParts.scheme, "it must have the form " + aParts.scheme + "://HOST/TOKEN");
    CheckHost(aParts.scheme, aParts.segments.front());
    TNotificationURL url;
    url.kind = TDestinationKind::Gotify;
    url.token = aParts.segments.back();
    if (!AllOf(url.token, "._-")) Refuse(aParts.scheme, "the application token has characters a token has not");
    url.endpoint = (aSecure ? "https://" : "http://") + aParts.segments.front();
    for (std::size_t i = 1; i + 1 < aParts.segments.size(); ++i) url.endpoint += "/" + aParts.segments[i];
    url.priority = PriorityOption(aParts, 0, 10, 5);
    url.secrets = {url.token};
    return url;
}

TNotificationURL Ntfy(const TURLParts& aParts, bool aSecure) {
    AllowOnly(aParts, {});
    if (aParts.segments.empty() || aParts.segments.size() > 2)
        Refuse(aParts.scheme, "it must have the form " + aParts.scheme + "://TOPIC or " + aParts.scheme + "://HOST/TOPIC");
    const std::string& topic = aParts.segments.back();
    if (!AllOf(topic, "_-") || topic.size() > 64)
        Refuse(aParts.scheme, "the topic \"" + topic + "\" is not 1 to 64 letters, digits, \"-\" or \"_\"");
    TNotificationURL url;
    url.kind = TDestinationKind::Ntfy;
    if (aParts.segments.size() == 1) {
        url.endpoint = std::string(cNtfyDefaultServer) + "/" + topic;
    } else {
        CheckHost(aParts.scheme, aParts.segments.front());
        url.endpoint = (aSecure ? "https://" : "http://") + aParts.segments.front() + "/" + topic;
    }
    return url;
}

TNotificationURL Discord(const TURLParts& aParts) {
    AllowOnly(aParts, {});
    Expect(aParts, 2, "WEBHOOKID/TOKEN");
    if (!IsNumber(aParts.segments[0])) Refuse(aParts.scheme, "the web hook id \"" + aParts.segments[0] + "\" is not a number");
    TNotificationURL url;
    url.kind = TDestinationKind::Discord;
    url.token = aParts.segments[1];
    if (!AllOf(url.token, "_-")) Refuse(aParts.scheme, "the web hook token has characters a token has not");
    url.endpoint = cDiscordHooks + aParts.segments[0] + "/" + url.token;
    url.secrets = {url.token};
    return url;
}

TNotificationURL Slack(const TURLParts& aParts) {
    AllowOnly(aParts, {});
    Expect(aParts, 3, "TOKENA/TOKENB/TOKENC");
    for (const std::string& token : aParts.segments)
        if (!AllOf(token, "")) Refuse(aParts.scheme, "the tokens are letters and digits");
    TNotificationURL url;
    url.kind = TDestinationKind::Slack;
    url.token = aParts.segments[2];
    url.endpoint = cSlackHooks + aParts.segments[0] + "/" + aParts.segments[1] + "/" + url.token;
    url.secrets = {url.token};
    return url;
}

TNotificationURL Json(const TURLParts& aParts, bool aSecure) {
    if (aParts.segments.empty()) Refuse(aParts.scheme, "it must have the form " + aParts.scheme + "://HOST/PATH");
    CheckHost(aParts.scheme, aParts.segments.front());
    TNotificationURL url;
    url.kind = TDestinationKind::Json;
    // The query belongs to the hook's own address; hooks often carry their key in the path
    // or the query, so both count as secret.
    const std::string query = aParts.rawQuery.empty() ? std::string() : "?" + aParts.rawQuery;
    url.endpoint = (aSecure ? "https://" : "http://") + aParts.body + query;
    const std::string pathAndQuery = aParts.body.substr(aParts.segments.front().size()) + query;
    if (pathAndQuery.size() > 1) url.secrets = {pathAndQuery.substr(1)};
    return url;
}

TNotificationURL Mailto(const TURLParts& aParts) {
    AllowOnly(aParts, {"to"});
    Expect(aParts, 1, "ACCOUNTID");
    if (!IsNumber(aParts.segments[0]) || aParts.segments[0].size() > 9)
        Refuse(aParts.scheme, "the account \"" + aParts.segments[0] + "\" is not an account's number (trawlix-cli accounts list)");
    TNotificationURL url;
    url.kind = TDestinationKind::Mailto;
    url.accountID = std::stoi(aParts.segments[0]);
    const auto to = aParts.query.find("to");
    if (to != aParts.query.end()) {
        url.mailTo = Trim(to->second);
        if (url.mailTo.empty() || url.mailTo.find('@') == std::string::npos)
            Refuse(aParts.scheme, "the address \"" + to->second + "\" is not an e-mail address");
    }
    return url;
}

// A transport that sends one account's e-mail to a fixed address, or to the alert's.
class TMailtoTransport : public INotificationTransport {
public:
    TMailtoTransport(IEmailAccount aAccount, std::string aTo) : fAccount(aAccount), fSmtp(aAccount), fTo(std::move(aTo)) {}
    std::string GetName() const override { return "mailto:" + std::to_string(fAccount->GetID()); }
    void SendAlert(const TAlertNotification& aNotification) override {
        TAlertNotification mail = aNotification;
        mail.smsTo.clear();
        if (!fTo.empty()) mail.emailTo = fTo;
        if (mail.emailTo.empty())
            throw ENotificationError("No address to mail to: the alert has no e-mail address (or add ?to=ADDRESS)");
        fSmtp.SendAlert(mail);
    }
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override {
        const std::string to = !fTo.empty() ? fTo : !aTo.empty() ? aTo : fAccount->GetSenderAddress();
        fSmtp.SendTest(aKind, to);
    }

private:
    IEmailAccount fAccount;
    TSmtpNotificationTransport fSmtp;
    std::string fTo;
};

// Errors of the lower layers name the address, which holds the token of some services.
class TRedactingTransport : public INotificationTransport {
public:
    TRedactingTransport(INotificationTransportPtr aInner, std::vector<std::string> aSecrets)
        : fInner(std::move(aInner)), fSecrets(std::move(aSecrets)) {}
    std::string GetName() const override { return fInner->GetName(); }
    void SendAlert(const TAlertNotification& aNotification) override {
        Redacting([&] { fInner->SendAlert(aNotification); });
    }
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override {
        Redacting([&] { fInner->SendTest(aKind, aTo); });
    }

private:
    template <class TWork>
    void Redacting(TWork&& aWork) {
        try {
            aWork();
        } catch (const std::exception& e) {
            throw ENotificationError(Redacted(e.what(), fSecrets));
        }
    }

    INotificationTransportPtr fInner;
    std::vector<std::string> fSecrets;
};

INotificationTransportPtr MakeTransport(const TNotificationURL& aURL, TProxySettings& aProxySettings,
                                        const TEmailAccounts* aAccounts);

std::string APIBase(const char* aVariable, const char* aDefault) {
    const char* moved = std::getenv(aVariable);
    return moved && *moved ? moved : aDefault;
}

}  // namespace

TNotificationURL ParseNotificationURL(const std::string& aText) {
    const TURLParts parts = SplitURL(Trim(aText));
    TNotificationURL url;
    if (parts.scheme == "tgram") url = Telegram(parts);
    else if (parts.scheme == "pover") url = Pushover(parts);
    else if (parts.scheme == "gotify" || parts.scheme == "gotifys") url = Gotify(parts, parts.scheme == "gotifys");
    else if (parts.scheme == "ntfy" || parts.scheme == "ntfys") url = Ntfy(parts, parts.scheme == "ntfys");
    else if (parts.scheme == "discord") url = Discord(parts);
    else if (parts.scheme == "slack") url = Slack(parts);
    else if (parts.scheme == "json" || parts.scheme == "jsons") url = Json(parts, parts.scheme == "jsons");
    else if (parts.scheme == "mailto") url = Mailto(parts);
    else
        throw ENotificationURLError("The notification URL kind \"" + parts.scheme +
                                    "://\" is not known (tgram, pover, gotify, gotifys, ntfy, ntfys, discord, slack, "
                                    "json, jsons, mailto)");
    url.text = Trim(aText);
    return url;
}

std::string MaskedNotificationURL(const TNotificationURL& aURL) { return Redacted(aURL.text, aURL.secrets); }

std::string MaskedNotificationURL(const std::string& aText) {
    try {
        return MaskedNotificationURL(ParseNotificationURL(aText));
    } catch (const ENotificationError&) {
        const std::size_t separator = aText.find("://");
        return separator == std::string::npos ? std::string("***") : Trim(aText.substr(0, separator)) + "://***";
    }
}

std::string DestinationKey(const std::string& aText) {
    // FNV-1a, stable across runs and builds.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : Trim(aText)) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

INotificationTransportPtr MakeDestinationTransport(const TNotificationURL& aURL, TProxySettings& aProxySettings,
                                                   const TEmailAccounts* aAccounts) {
    return std::make_shared<TRedactingTransport>(MakeTransport(aURL, aProxySettings, aAccounts), aURL.secrets);
}

namespace {

INotificationTransportPtr MakeTransport(const TNotificationURL& aURL, TProxySettings& aProxySettings,
                                        const TEmailAccounts* aAccounts) {
    switch (aURL.kind) {
        case TDestinationKind::Telegram:
            return std::make_shared<TTelegramTransport>(aURL.token, aURL.recipient, aProxySettings,
                                                        APIBase("TRAWLIX_TELEGRAM_API", cTelegramAPI));
        case TDestinationKind::Pushover:
            return std::make_shared<TPushoverTransport>(aURL.recipient, aURL.token, aURL.priority, aProxySettings,
                                                        APIBase("TRAWLIX_PUSHOVER_API", cPushoverAPI));
        case TDestinationKind::Gotify:
            return std::make_shared<TGotifyTransport>(aURL.endpoint, aURL.token, aURL.priority, aProxySettings);
        case TDestinationKind::Ntfy:
            return std::make_shared<TWebhookTransport>(aURL.endpoint, TWebhookFormat::Ntfy, aProxySettings);
        case TDestinationKind::Discord:
            return std::make_shared<TWebhookTransport>(aURL.endpoint, TWebhookFormat::Discord, aProxySettings);
        case TDestinationKind::Slack:
            return std::make_shared<TWebhookTransport>(aURL.endpoint, TWebhookFormat::Slack, aProxySettings);
        case TDestinationKind::Json:
            return std::make_shared<TWebhookTransport>(aURL.endpoint, TWebhookFormat::Json, aProxySettings);
        case TDestinationKind::Mailto:
        default: {
            IEmailAccount account = aAccounts ? aAccounts->GetAccountByID(aURL.accountID) : nullptr;
            if (!account) throw ENotificationError("The e-mail account " + std::to_string(aURL.accountID) + " does not exist");
            return std::make_shared<TMailtoTransport>(account, aURL.mailTo);
        }
    }
}

}  // namespace

}  // namespace trawlix
