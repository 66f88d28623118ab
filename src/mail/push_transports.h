#pragma once

#include <string>
#include <vector>

#include "mail/notification_transport.h"

namespace trawlix {

class TProxySettings;

inline constexpr const char* cTelegramAPI = "https://api.telegram.org";
inline constexpr const char* cPushoverAPI = "https://api.pushover.net";
// Telegram takes at most this many characters (UTF-16 units) in one message.
inline constexpr std::size_t cTelegramMessageLimit = 4096;
// Pushover's limits, in characters.
inline constexpr std::size_t cPushoverMessageLimit = 1024;
inline constexpr std::size_t cPushoverTitleLimit = 250;
inline constexpr std::size_t cPushoverURLLimit = 512;
inline constexpr std::size_t cPushoverURLTitleLimit = 100;

// The length of a UTF-8 text as Telegram counts it: UTF-16 code units.
std::size_t Utf16Length(const std::string& aText);
// The messages a digest (or notice) makes for Telegram, in its HTML: each at most
// cTelegramMessageLimit long, cut only at line ends; every one opens with the search's name
// and the digest's id, and "(2/3)" when there is more than one.
std::vector<std::string> TelegramMessages(const TAlertNotification& aNotification);

// Telegram's Bot API: sendMessage to one chat, HTML parse mode.
class TTelegramTransport : public INotificationTransport {
public:
    TTelegramTransport(std::string aBotToken, std::string aChatID, TProxySettings& aProxySettings,
                       std::string aAPIBase = cTelegramAPI);
    std::string GetName() const override { return "telegram"; }
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void SendMessage(const std::string& aHTML);

    std::string fBotToken;
    std::string fChatID;
    TProxySettings& fProxySettings;
    std::string fAPIBase;
};

// Pushover's messages.json: the user's key, the application's token, a title, the first
// ad's address and the priority (-2 to 2).
class TPushoverTransport : public INotificationTransport {
public:
    TPushoverTransport(std::string aUserKey, std::string aAppToken, int aPriority, TProxySettings& aProxySettings,
                       std::string aAPIBase = cPushoverAPI);
    std::string GetName() const override { return "pushover"; }
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void Send(const std::string& aTitle, const std::string& aMessage, const TDigestResult* aFirst);

    std::string fUserKey;
    std::string fAppToken;
    int fPriority;
    TProxySettings& fProxySettings;
    std::string fAPIBase;
};

// Gotify's /message with an application token, the text in Markdown, a click on the
// notification opening the first ad.
class TGotifyTransport : public INotificationTransport {
public:
    // aServerURL: "https://host[:port][/path]" without the trailing "/message".
    TGotifyTransport(std::string aServerURL, std::string aAppToken, int aPriority, TProxySettings& aProxySettings);
    std::string GetName() const override { return "gotify"; }
    void SendAlert(const TAlertNotification& aNotification) override;
    void SendTest(TTestMessageKind aKind, const std::string& aTo) override;

private:
    void Send(const std::string& aTitle, const std::string& aMarkdown, const std::string& aClickURL);

    std::string fServerURL;
    std::string fAppToken;
    int fPriority;
    TProxySettings& fProxySettings;
};

}  // namespace trawlix
