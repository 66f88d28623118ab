#include "app/heartbeat.h"

#include <chrono>

#include "app/settings.h"
#include "engine/http_client.h"
#include "engine/text_functions.h"
#include "mail/push_delivery.h"

namespace trawlix {

bool IsValidHeartbeatURL(const std::string& aURL) {
    const std::string url = LowerCase(Trim(aURL));
    if (url.empty()) return true;
    for (const char* scheme : {"http://", "https://"})
        if (url.starts_with(scheme))
            return url.size() > std::string(scheme).size() && url.find_first_of(" \t\r\n") == std::string::npos &&
                   url[std::string(scheme).size()] != '/';
    return false;
}

std::string PingHeartbeat(TSettings& aSettings) {
    const std::string url = Trim(aSettings.GetHeartbeatURL());
    if (url.empty()) return {};
    if (!IsValidHeartbeatURL(url)) return "The heartbeat address is not an http:// or https:// address";
    try {
        TCHttpClient client(aSettings.GetProxySettings(), false);
        const long status = client.Ping(url);
        if (status >= 200 && status <= 299) return {};
        return "The heartbeat address answered HTTP " + std::to_string(status);
    } catch (const std::exception& e) {
        // The address's path is often the check's secret id: the log shows only the host.
        const std::size_t pathStart = url.find('/', url.find("://") + 3);
        const std::string path = pathStart == std::string::npos ? std::string() : url.substr(pathStart + 1);
        return std::string("The heartbeat could not be sent: ") + Redacted(e.what(), {path});
    }
}

THeartbeat::THeartbeat(TSettings& aSettings, std::function<void(const std::string&)> aLog)
    : fSettings(aSettings), fLog(std::move(aLog)) {}

THeartbeat::~THeartbeat() {
    if (fPing.valid()) fPing.wait();
}

void THeartbeat::Beat() {
    if (Trim(fSettings.GetHeartbeatURL()).empty()) return;
    if (fPing.valid() && fPing.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    const auto now = std::chrono::steady_clock::now();
    if (fPinged && now - fLastPing < std::chrono::seconds(cMinSecondsBetween)) return;
    fPinged = true;
    fLastPing = now;
    fPing = std::async(std::launch::async, [this] {
        const std::string problem = PingHeartbeat(fSettings);
        if (!problem.empty() && fLog) fLog(problem);
    });
}

}  // namespace trawlix
