#include "app/alert_scheduler.h"

#include <algorithm>
#include <cmath>

#include "model/search.h"
#include "run/site_problem.h"

namespace trawlix {

namespace {

constexpr double cMillisecondsPerDay = 86400000.0;
constexpr double cSecondsPerDay = 86400.0;

}  // namespace

TAlertScheduler::TAlertScheduler(THooks aHooks) : fHooks(std::move(aHooks)) {
    if (!fHooks.now) fHooks.now = LocalNow;
}

double TAlertScheduler::DueTime(const TSearch& aSearch) {
    const TAlert& alert = aSearch.GetAlert();
    const double lastSearchedAt = alert.GetLastSearchedAt();
    if (lastSearchedAt == 0) return -1;  // never run automatically: due at the first tick
    return lastSearchedAt + alert.GetIntervalSeconds() / cSecondsPerDay;
}

long long TAlertScheduler::ToSecond(double aDayNumber) { return std::llround(aDayNumber * 86400.0); }

long long TAlertScheduler::DueSecond(const TSearch& aSearch) {
    const TAlert& alert = aSearch.GetAlert();
    const double lastSearchedAt = alert.GetLastSearchedAt();
    if (lastSearchedAt == 0) return -1;
    return ToSecond(lastSearchedAt) + alert.GetIntervalSeconds();
}

bool TAlertScheduler::AnyEnabled() const {
    if (!fHooks.searches) return false;
    const auto searches = fHooks.searches();
    return std::any_of(searches.begin(), searches.end(),
                       [](const TSearch* aSearch) { return aSearch->GetAlert().GetEnabled(); });
}

void TAlertScheduler::SendHeldDigestsAfterQuietHours(double aNow) {
    if (!fHooks.inQuietHours) return;
    const bool quiet = fHooks.inQuietHours(aNow);
    if (fWasQuiet && !quiet && fHooks.sendHeldDigests) fHooks.sendHeldDigests();
    fWasQuiet = quiet;
}

int TAlertScheduler::Tick() {
    if (fExitting) return 0;
    const double now = fHooks.now();
    SendHeldDigestsAfterQuietHours(now);
    if (!fHooks.searches) return 0;
    int queued = 0;
    for (TSearch* search : fHooks.searches()) {
        if (!search->GetAlert().GetEnabled()) continue;
        // A run still going is not due again: its end is the next thing to wait for.
        if (Queued(search) || search->GetSearching()) continue;
        const long long due = DueSecond(*search);
        // A search never run automatically is due "a day ago", whatever the clock says.
        if (due >= 0 && ToSecond(now) < due) continue;
        // Every site it searches is backing off: the run would have nothing to fetch.
        if (EverySiteBacksOff(*search, now)) continue;
        fAutoSearchQueue.push_back(search);
        ++queued;
    }
    if (queued > 0 && !fChainRunning) {
        fChainRunning = true;
        fNextPassAt = now;
    }
    return queued;
}

long long TAlertScheduler::MillisecondsUntilNextDue(long long aLongest) const {
    if (fExitting || !fHooks.searches) return aLongest;
    const double now = fHooks.now();
    long long soonest = aLongest;
    for (TSearch* search : fHooks.searches()) {
        if (!search->GetAlert().GetEnabled() || Queued(search) || search->GetSearching()) continue;
        const long long due = DueSecond(*search);
        long long wait = due < 0 ? 0 : (due - ToSecond(now)) * 1000;
        if (wait <= 0 && EverySiteBacksOff(*search, now)) wait = cCheckIntervalMs;
        soonest = std::min(soonest, std::max(wait, 0LL));
    }
    return soonest;
}

long long TAlertScheduler::MillisecondsUntilAutoSearch() const {
    if (!fChainRunning || fExitting) return -1;
    const double left = (fNextPassAt - fHooks.now()) * cMillisecondsPerDay;
    return left <= 0 ? 0 : static_cast<long long>(std::ceil(left));
}

void TAlertScheduler::Poll() {
    if (MillisecondsUntilAutoSearch() == 0) OnAutoSearch();
}

bool TAlertScheduler::InList(const TSearch* aSearch) const {
    const auto searches = fHooks.searches();
    return std::find(searches.begin(), searches.end(), aSearch) != searches.end();
}

bool TAlertScheduler::Queued(const TSearch* aSearch) const {
    return std::find(fAutoSearchQueue.begin(), fAutoSearchQueue.end(), aSearch) != fAutoSearchQueue.end();
}

TSearch* TAlertScheduler::TakeNextQueued() {
    while (!fAutoSearchQueue.empty()) {
        TSearch* search = fAutoSearchQueue.front();
        fAutoSearchQueue.pop_front();
        // A search closed since it was queued is gone.
        if (InList(search)) return search;
    }
    return nullptr;
}

void TAlertScheduler::OnAutoSearch() {
    // A search that could not start lets the next one go at once (a pass with no delay).
    while (!fExitting) {
        if (!fAutoSearchQueue.empty() && fHooks.mayStartAnother && !fHooks.mayStartAnother()) {
            // Full: the owner calls again when a run ends; the fallback pass is far off.
            fNextPassAt = fHooks.now() + cCheckIntervalMs / cMillisecondsPerDay;
            return;
        }
        TSearch* search = TakeNextQueued();
        if (!search) break;
        const double now = fHooks.now();
        fNextPassAt = now + fHooks.staggerMs / cMillisecondsPerDay;
        fChainRunning = true;
        if (fSearchingPaused) return;
        if (fHooks.refreshZIPCode) fHooks.refreshZIPCode(*search);
        search->GetAlert().SetLastSearchedAt(now);
        if (fHooks.startSearch && fHooks.startSearch(*search)) return;
    }
    // Nothing left: the chain rests until a tick queues more, so there is only ever one.
    fChainRunning = false;
}

void TAlertScheduler::Close() {
    fExitting = true;
    fChainRunning = false;
    fAutoSearchQueue.clear();
}

}  // namespace trawlix
