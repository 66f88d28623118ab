#include "mail/push_delivery.h"

#include <map>
#include <mutex>
#include <thread>

#include <simdjson.h>

#include "engine/http_client.h"
#include "mail/notification_transport.h"

namespace trawlix {

namespace {

using TSteadyTime = std::chrono::steady_clock::time_point;

// Until when each service account asked to be left alone, for the whole program: the
// watcher's next run must not knock again before the time it was given.
class TServiceWaits {
public:
    void WaitUntil(const std::string& aKey, TSteadyTime aUntil) {
        std::lock_guard lock(fLock);
        fUntil[aKey] = aUntil;
    }
    // Seconds left to wait; 0 when the service may be asked.
    long SecondsLeft(const std::string& aKey) {
        std::lock_guard lock(fLock);
        const auto found = fUntil.find(aKey);
        if (found == fUntil.end()) return 0;
        const auto left = std::chrono::ceil<std::chrono::seconds>(found->second - std::chrono::steady_clock::now());
        if (left.count() > 0) return static_cast<long>(left.count());
        fUntil.erase(found);
        return 0;
    }
    void Clear() {
        std::lock_guard lock(fLock);
        fUntil.clear();
    }

private:
    std::mutex fLock;
    std::map<std::string, TSteadyTime> fUntil;
};

TServiceWaits& ServiceWaits() {
    static TServiceWaits waits;
    return waits;
}

// Waits in short steps, so that the exit does not wait for it.
void SleepUnlessAborted(long aSeconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(aSeconds);
    while (std::chrono::steady_clock::now() < until && !TransfersAborted())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

bool IsSuccess(long aStatus) { return aStatus >= 200 && aStatus <= 299; }

long WaitAsked(const TPostAnswer& aAnswer) {
    if (aAnswer.retryAfter >= 0) return aAnswer.retryAfter;
    const long inBody = RetryAfterInBody(aAnswer.body);
    return inBody >= 0 ? inBody : cDefaultRetryAfterSeconds;
}

// The document's fields, or nothing for a body that is not a JSON object.
template <class TRead>
void ReadJsonObject(const std::string& aBody, TRead&& aRead) {
    simdjson::ondemand::parser parser;
    const simdjson::padded_string padded(aBody);
    simdjson::ondemand::document document;
    if (parser.iterate(padded).get(document)) return;
    simdjson::ondemand::object object;
    if (document.get_object().get(object)) return;
    aRead(object);
}

std::string FirstText(simdjson::ondemand::value aValue) {
    std::string_view text;
    if (!aValue.get_string().get(text)) return std::string(text);
    simdjson::ondemand::array list;
    if (aValue.get_array().get(list)) return {};
    for (auto item : list)
        if (!item.get_string().get(text)) return std::string(text);
    return {};
}

}  // namespace

std::string Redacted(std::string aText, const std::vector<std::string>& aSecrets) {
    for (const std::string& secret : aSecrets) {
        if (secret.empty()) continue;
        for (std::size_t at = aText.find(secret); at != std::string::npos; at = aText.find(secret, at + 3))
            aText.replace(at, secret.size(), "***");
    }
    return aText;
}

std::string ServiceReason(const std::string& aBody) {
    std::map<std::string, std::string, std::less<>> texts;
    ReadJsonObject(aBody, [&](simdjson::ondemand::object& aObject) {
        for (auto field : aObject) {
            std::string_view key;
            simdjson::ondemand::value value;
            if (field.unescaped_key().get(key) || field.value().get(value)) return;
            texts[std::string(key)] = FirstText(value);
        }
    });
    // Gotify's "error" is only the status's name; its description says more.
    for (const char* key : {"description", "errorDescription", "errors", "message", "error"}) {
        const auto found = texts.find(key);
        if (found != texts.end() && !found->second.empty()) return found->second;
    }
    return {};
}

long RetryAfterInBody(const std::string& aBody) {
    long seconds = -1;
    ReadJsonObject(aBody, [&](simdjson::ondemand::object& aObject) {
        simdjson::ondemand::object parameters;
        if (aObject["parameters"].get_object().get(parameters)) return;
        int64_t value = 0;
        if (!parameters["retry_after"].get_int64().get(value) && value >= 0) seconds = static_cast<long>(value);
    });
    return seconds;
}

void ForgetServiceWaits() { ServiceWaits().Clear(); }

TPushDelivery::TPushDelivery(std::string aServiceName, std::string aRateKey, std::vector<std::string> aSecrets,
                             TProxySettings& aProxySettings)
    : fServiceName(std::move(aServiceName)),
      fRateKey(std::move(aRateKey)),
      fSecrets(std::move(aSecrets)),
      fProxySettings(aProxySettings) {}

void TPushDelivery::RefuseWhileRateLimited() const {
    const long left = ServiceWaits().SecondsLeft(fRateKey);
    if (left > 0)
        throw ENotificationError(fServiceName + " asked to wait before the next message; not sent, " +
                                 std::to_string(left) + " seconds are left");
}

void TPushDelivery::RaiseRateLimited(long aSeconds) const {
    ServiceWaits().WaitUntil(fRateKey, std::chrono::steady_clock::now() + std::chrono::seconds(aSeconds));
    throw ENotificationError(fServiceName + " asks to wait " + std::to_string(aSeconds) +
                             " seconds before the next message (HTTP 429)");
}

void TPushDelivery::RaiseRefused(long aStatus, const std::string& aBody) const {
    const std::string reason = Redacted(ServiceReason(aBody), fSecrets);
    const std::string said = reason.empty() ? std::string() : ": " + reason;
    if (aStatus == 401 || aStatus == 403)
        throw ENotificationError(fServiceName + " refused the token (HTTP " + std::to_string(aStatus) + said + ")");
    throw ENotificationError(fServiceName + " answered HTTP " + std::to_string(aStatus) + said);
}

void TPushDelivery::Send(const TPushRequest& aRequest) {
    RefuseWhileRateLimited();
    TPostAnswer answer;
    for (int attempt = 0;; ++attempt) {
        try {
            TCHttpClient client(fProxySettings, false);
            answer = client.PostForAnswer(aRequest.url, aRequest.contentType, aRequest.body, aRequest.headers);
        } catch (const std::exception& e) {
            throw ENotificationError(fServiceName + ": " + Redacted(e.what(), fSecrets));
        }
        if (IsSuccess(answer.status)) return;
        if (answer.status != 429) RaiseRefused(answer.status, answer.body);
        const long wait = WaitAsked(answer);
        if (attempt > 0 || wait > cShortRetryAfterSeconds) RaiseRateLimited(wait);
        SleepUnlessAborted(wait);
    }
}

}  // namespace trawlix
