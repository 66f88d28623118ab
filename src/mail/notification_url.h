#pragma once

#include <string>
#include <vector>

#include "mail/notification_transport.h"

namespace trawlix {

class TEmailAccounts;
class TProxySettings;

// A notification URL that cannot be used; the message names the part that is wrong and
// never repeats a token.
class ENotificationURLError : public ENotificationError {
public:
    using ENotificationError::ENotificationError;
};

enum class TDestinationKind { Telegram, Pushover, Gotify, Ntfy, Discord, Slack, Json, Mailto };

// One destination, written the way other self-hosted tools write them:
//   tgram://BOTTOKEN/CHATID             pover://USERKEY@APPTOKEN[?priority=-2..2]
//   gotify://HOST[:PORT][/PATH]/TOKEN   gotifys://... (https)   [?priority=0..10]
//   ntfy://TOPIC (ntfy.sh)   ntfy://HOST/TOPIC (http)   ntfys://HOST/TOPIC (https)
//   discord://ID/TOKEN   slack://TOKENA/TOKENB/TOKENC   json://HOST/PATH   jsons://HOST/PATH
//   mailto://ACCOUNTID[?to=ADDRESS]     (one of the user's own SMTP accounts)
struct TNotificationURL {
    TDestinationKind kind = TDestinationKind::Json;
    std::string text;       // as written (trimmed)
    std::string endpoint;   // the http(s) address a web hook or Gotify posts to
    std::string token;      // bot token, application token, web hook token
    std::string recipient;  // Telegram's chat, Pushover's user key
    int priority = 0;
    int accountID = 0;      // mailto
    std::string mailTo;     // mailto's ?to=, empty for the alert's own address
    std::vector<std::string> secrets;  // what must never be shown
};

// Reads one notification URL; raises ENotificationURLError naming the wrong part.
TNotificationURL ParseNotificationURL(const std::string& aText);
// The URL with its secrets shown as "***", for lists, logs and errors.
std::string MaskedNotificationURL(const TNotificationURL& aURL);
// The same for a stored text, which may not read: then only its scheme is shown.
std::string MaskedNotificationURL(const std::string& aText);
// A short name for a destination that shows none of its secrets, the same for the same URL
// (what the digest notes as told by it).
std::string DestinationKey(const std::string& aText);

// The transport for one destination; the API addresses of Telegram and Pushover may be moved
// with TRAWLIX_TELEGRAM_API and TRAWLIX_PUSHOVER_API (tests). Raises ENotificationError when
// a mailto account does not exist.
INotificationTransportPtr MakeDestinationTransport(const TNotificationURL& aURL, TProxySettings& aProxySettings,
                                                   const TEmailAccounts* aAccounts);

}  // namespace trawlix
