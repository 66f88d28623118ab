#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace trawlix {

// How many requests one host gets: at most aRequestsPerMinute in any minute, spaced at
// least a minute / aRequestsPerMinute apart plus a random share of that (aJitter), and one
// at a time. Adding searches lengthens the wait of each, never the load on a site. Time
// comes in as an argument, so the decisions are plain and testable.
class THostSchedule {
public:
    using TTime = std::chrono::steady_clock::time_point;
    // aRandom answers in [0, 1); empty draws no jitter.
    THostSchedule(int aRequestsPerMinute, double aJitter, std::function<double()> aRandom);

    // True when a request to aHost may start at aNow (it is then counted and the host is
    // busy until Finished); otherwise aRetryAt says when to ask again (max while a request
    // to the host is under way).
    bool TryStart(const std::string& aHost, TTime aNow, TTime& aRetryAt);
    void Finished(const std::string& aHost);
    // Requests still allowed to aHost in the minute up to aNow.
    int Left(const std::string& aHost, TTime aNow) const;
    int RequestsPerMinute() const { return fRequestsPerMinute; }

private:
    struct THost {
        bool busy = false;
        TTime nextStart{};
        std::vector<TTime> started;  // within the last minute
    };
    static void Forget(THost& aHost, TTime aNow);

    int fRequestsPerMinute;
    double fJitter;
    std::function<double()> fRandom;
    std::map<std::string, THost> fHosts;
};

// The schedule shared by the threads of a watcher. A request waits for its turn in
// Acquire; the turn ends when the returned ticket goes.
class THostBudget {
public:
    explicit THostBudget(int aRequestsPerMinute, double aJitter = 0.2);

    class TTicket {
    public:
        TTicket() = default;
        TTicket(THostBudget* aBudget, std::string aHost) : fBudget(aBudget), fHost(std::move(aHost)) {}
        TTicket(TTicket&& aOther) noexcept;
        TTicket& operator=(TTicket&& aOther) noexcept;
        ~TTicket();
        explicit operator bool() const { return fBudget != nullptr; }

    private:
        THostBudget* fBudget = nullptr;
        std::string fHost;
    };

    // Waits for aHost's turn. Answers an empty ticket when aServedMeanwhile turns true
    // (another thread fetched what the caller needs while it waited) and raises what
    // aCheckStopped raises (checked at least once a second).
    TTicket Acquire(const std::string& aHost, const std::function<bool()>& aServedMeanwhile,
                    const std::function<void()>& aCheckStopped);

    struct THostFigures {
        int requests = 0;  // since the last TakeFigures
        int left = 0;      // still allowed in the last minute
    };
    // The requests made per host since the last call, with the budget each has left.
    std::map<std::string, THostFigures> TakeFigures();
    int RequestsPerMinute() const { return fSchedule.RequestsPerMinute(); }

private:
    void Release(const std::string& aHost);

    std::mutex fMutex;
    std::condition_variable fChanged;
    THostSchedule fSchedule;
    std::map<std::string, int> fRequests;
};

}  // namespace trawlix
