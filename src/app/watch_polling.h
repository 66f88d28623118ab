#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace trawlix {

class THostBudget;
class TPollCache;

// How a watcher polls the sites: while it lives, every page request of the site clients
// waits for its host's turn in the per-host budget, and the searches that ask for the same
// page within a tick share one answer (see SetSitePolling). Figures per tick and per host
// come from here, and so does the warning that the budget cannot keep every interval.
class TWatchPolling {
public:
    // Answers fetched this long ago still serve a search asking for the same page.
    static constexpr std::chrono::milliseconds cShareWindow{10000};

    explicit TWatchPolling(int aRequestsPerMinutePerHost);
    ~TWatchPolling();
    TWatchPolling(const TWatchPolling&) = delete;
    TWatchPolling& operator=(const TWatchPolling&) = delete;

    int RequestsPerMinutePerHost() const;

    struct THostTick {
        std::string host;
        int requests = 0;  // since the last tick
        int left = 0;      // of the budget, in the last minute
    };
    // The requests per host since the last call.
    std::vector<THostTick> TakeTick();
    // Requests per host since the watcher started.
    const std::map<std::string, long long>& TotalRequests() const { return fTotals; }
    int AnswersShared() const;
    int AnswersNotModified() const;

    // One search that the budget cannot poll as often as its interval asks.
    struct TShortfall {
        std::string host;
        int distinctRequests = 0;  // pages of that host the searches ask for
        int bestSeconds = 0;       // how often each of them can be asked at best
        std::vector<std::string> searches;
    };
    // The shortfalls not told yet, from the pages asked for so far; aIntervals gives each
    // search's interval in seconds by its name. Each search is told once.
    std::vector<TShortfall> NewShortfalls(const std::map<std::string, int>& aIntervals);

private:
    std::shared_ptr<THostBudget> fBudget;
    std::shared_ptr<TPollCache> fCache;
    std::map<std::string, long long> fTotals;
    std::set<std::string> fToldSearches;
};

// The host of an address ("sfbay.craigslist.org"), lower case; empty when there is none.
std::string HostOfAddress(const std::string& aURL);

// The text a watcher prints for a shortfall.
std::string ShortfallText(const TWatchPolling::TShortfall& aShortfall, int aRequestsPerMinute);

}  // namespace trawlix
