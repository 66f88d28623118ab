#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace trawlix {

class TProxySettings;

// One request to a notification service.
struct TPushRequest {
    std::string url;
    std::string contentType;
    std::string body;
    std::vector<std::string> headers;  // "Name: value"
};

// A 429 whose Retry-After is at most this long is waited out and the request made once more;
// a longer one leaves the service alone until then.
inline constexpr long cShortRetryAfterSeconds = 5;
// What a 429 without Retry-After (and without a wait in its body) is taken to ask.
inline constexpr long cDefaultRetryAfterSeconds = 60;

// aText with every non-empty secret replaced by "***": errors of the HTTP client name the
// address, and some services carry the token in it.
std::string Redacted(std::string aText, const std::vector<std::string>& aSecrets);

// The reason a service gave in its JSON answer: the first of "description" (Telegram),
// "errorDescription" (Gotify), "errors" (Pushover, a list), "error", "message"; empty when
// the body says none.
std::string ServiceReason(const std::string& aBody);
// The wait a service asked for in its JSON answer ("parameters": {"retry_after": N}); -1 without.
long RetryAfterInBody(const std::string& aBody);

// Delivers requests to one notification service: an answer 2xx is sent; a 429 is waited out
// when short, else the service is not asked again before the time it gave (other
// transports of the same service and key included); anything else raises
// ENotificationError naming the service and its reason. No message carries a secret.
class TPushDelivery {
public:
    // aRateKey names the account the service counts against (a bot, an app token).
    TPushDelivery(std::string aServiceName, std::string aRateKey, std::vector<std::string> aSecrets,
                  TProxySettings& aProxySettings);
    void Send(const TPushRequest& aRequest);

private:
    void RefuseWhileRateLimited() const;
    [[noreturn]] void RaiseRateLimited(long aSeconds) const;
    [[noreturn]] void RaiseRefused(long aStatus, const std::string& aBody) const;

    std::string fServiceName;
    std::string fRateKey;
    std::vector<std::string> fSecrets;
    TProxySettings& fProxySettings;
};

// Forgets every wait services asked for (tests).
void ForgetServiceWaits();

}  // namespace trawlix
