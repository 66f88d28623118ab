#include "app/watch_polling.h"

#include <algorithm>

#include "engine/host_budget.h"
#include "engine/http_client.h"
#include "engine/poll_cache.h"
#include "engine/text_functions.h"

namespace trawlix {

TWatchPolling::TWatchPolling(int aRequestsPerMinutePerHost)
    : fBudget(std::make_shared<THostBudget>(std::max(1, aRequestsPerMinutePerHost))),
      fCache(std::make_shared<TPollCache>(cShareWindow)) {
    SetSitePolling(fBudget, fCache);
}

TWatchPolling::~TWatchPolling() { SetSitePolling(nullptr, nullptr); }

int TWatchPolling::RequestsPerMinutePerHost() const { return fBudget->RequestsPerMinute(); }

std::vector<TWatchPolling::THostTick> TWatchPolling::TakeTick() {
    std::vector<THostTick> tick;
    for (const auto& [host, figures] : fBudget->TakeFigures()) {
        tick.push_back({host, figures.requests, figures.left});
        fTotals[host] += figures.requests;
    }
    return tick;
}

int TWatchPolling::AnswersShared() const { return fCache->Figures().served; }

int TWatchPolling::AnswersNotModified() const { return fCache->Figures().notModified; }

std::vector<TWatchPolling::TShortfall> TWatchPolling::NewShortfalls(const std::map<std::string, int>& aIntervals) {
    std::map<std::string, std::vector<std::string>> urlsByHost;
    for (const std::string& url : fCache->URLs()) urlsByHost[HostOfAddress(url)].push_back(url);
    std::vector<TShortfall> shortfalls;
    const int perMinute = fBudget->RequestsPerMinute();
    for (const auto& [host, urls] : urlsByHost) {
        // Taking turns, each page of the host comes round once in this many seconds.
        const int bestSeconds = static_cast<int>((urls.size() * 60 + perMinute - 1) / perMinute);
        TShortfall shortfall{host, static_cast<int>(urls.size()), bestSeconds, {}};
        std::set<std::string> searches;
        for (const std::string& url : urls)
            for (const std::string& asker : fCache->Askers(url)) searches.insert(asker);
        for (const std::string& search : searches) {
            auto interval = aIntervals.find(search);
            if (interval == aIntervals.end() || interval->second >= bestSeconds) continue;
            if (!fToldSearches.insert(search).second) continue;
            shortfall.searches.push_back(search);
        }
        if (!shortfall.searches.empty()) shortfalls.push_back(std::move(shortfall));
    }
    return shortfalls;
}

std::string HostOfAddress(const std::string& aURL) {
    const std::size_t scheme = aURL.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    std::size_t end = aURL.find_first_of("/?#", start);
    if (end == std::string::npos) end = aURL.size();
    std::string host = aURL.substr(start, end - start);
    if (const std::size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
    if (const std::size_t colon = host.rfind(':'); colon != std::string::npos && host.find(']') == std::string::npos)
        host.erase(colon);
    return LowerCase(host);
}

std::string ShortfallText(const TWatchPolling::TShortfall& aShortfall, int aRequestsPerMinute) {
    std::string names;
    for (const std::string& search : aShortfall.searches) names += (names.empty() ? "" : ", ") + search;
    return "The budget of " + std::to_string(aRequestsPerMinute) + " requests a minute per host cannot poll " +
           aShortfall.host + " as often as asked: its " + std::to_string(aShortfall.distinctRequests) +
           " pages each come round every " + std::to_string(aShortfall.bestSeconds) +
           " seconds at best, so these searches are polled that often: " + names + ".";
}

}  // namespace trawlix
