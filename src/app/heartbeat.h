#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <string>

namespace trawlix {

class TSettings;

// Whether aURL can be a heartbeat address: empty (none), or http:// or https:// with a host.
bool IsValidHeartbeatURL(const std::string& aURL);

// Fetches the HeartbeatURL setting (a GET, the convention of dead-man's-switch services)
// through the program's proxy settings. Returns why it failed, empty when it went through
// or no address is set; never raises: a heartbeat that fails must not stop the watcher.
std::string PingHeartbeat(TSettings& aSettings);

// The watcher's heartbeat: one ping at a time on a thread of its own, so that a service that
// hangs holds up neither the searches nor the exit (a signal ends its transfer). Each
// failure goes to aLog, from the ping's thread.
class THeartbeat {
public:
    THeartbeat(TSettings& aSettings, std::function<void(const std::string&)> aLog);
    ~THeartbeat();
    THeartbeat(const THeartbeat&) = delete;
    THeartbeat& operator=(const THeartbeat&) = delete;

    // After a completed tick: pings unless no address is set, the last ping still runs or
    // began less than cMinSecondsBetween ago (ticks come every few seconds; the services
    // count pings in minutes and throttle those that come faster).
    void Beat();

    static constexpr int cMinSecondsBetween = 60;

private:
    TSettings& fSettings;
    std::chrono::steady_clock::time_point fLastPing{};
    bool fPinged = false;
    std::function<void(const std::string&)> fLog;
    std::future<void> fPing;
};

}  // namespace trawlix
