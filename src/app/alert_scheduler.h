#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

#include "engine/clock.h"

namespace trawlix {

class TSearch;

// Re-runs the searches whose alerts are due. The owner calls Tick every
// cCheckIntervalMs and Poll whenever it likes (at the latest when
// MillisecondsUntilAutoSearch says); the scheduler starts at most one search per
// cStaggerMs through its one OnAutoSearch chain. Main thread only.
class TAlertScheduler {
public:
    // Short enough that a search re-runs within a few seconds of its due time, whatever
    // its place in the queue; a check is only a walk over the alerts.
    static constexpr int cCheckIntervalMs = 5000;
    static constexpr int cStaggerMs = 10000;

    struct THooks {
        // The user's searches, in list order.
        std::function<std::vector<TSearch*>()> searches;
        // Starts aSearch as an automatic run; true when it is running afterwards.
        std::function<bool(TSearch& aSearch)> startSearch;
        // Looks the search's stored ZIP code up again before an automatic run; may be empty.
        std::function<void(TSearch& aSearch)> refreshZIPCode;
        TNowFunction now;
        // Whether digests are held at a time (quiet hours); may be empty.
        std::function<bool(double aNow)> inQuietHours;
        // Quiet hours have just ended: the digests they held go out together.
        std::function<void()> sendHeldDigests;
        // The pause between two automatic starts. The headless watcher paces the sites by
        // its per-host budget instead and starts what is due at once.
        int staggerMs = cStaggerMs;
        // Whether another search may start now; may be empty (always). A pass that may not
        // start one keeps the queue until the owner calls OnAutoSearch again.
        std::function<bool()> mayStartAnother;
    };

    explicit TAlertScheduler(THooks aHooks);

    // The check: first, when quiet hours ended since the last check, the held digests are
    // sent. Then queues, in list order, every search whose alert is enabled and due that
    // is neither queued nor running, and starts the chain when it is not running. Answers
    // how many were queued.
    int Tick();
    // Runs OnAutoSearch when the chain's next pass is due.
    void Poll();
    // Milliseconds until the chain's next pass (0 when due); -1 when the chain is idle.
    long long MillisecondsUntilAutoSearch() const;
    // Milliseconds until the next enabled search that is neither queued nor running falls
    // due (0 when one is due), at most aLongest; a due search whose sites all back off
    // counts as due again cCheckIntervalMs later. An idle owner sleeps that long.
    long long MillisecondsUntilNextDue(long long aLongest) const;
    // One pass of the chain: starts the first queued search still in the list and sets the
    // next pass cStaggerMs later; when a search does not start, the next queued one is
    // tried at once. A pass that finds the queue empty ends the chain until a tick queues more.
    void OnAutoSearch();

    // While paused a pass drops the search it takes; a later tick queues it again.
    void SetSearchingPaused(bool aValue) { fSearchingPaused = aValue; }
    bool GetSearchingPaused() const { return fSearchingPaused; }
    // The window is closing: no search starts any more.
    void Close();
    bool AnyEnabled() const;
    std::size_t QueueLength() const { return fAutoSearchQueue.size(); }
    bool ChainRunning() const { return fChainRunning; }

    // When aSearch is due: its last automatic start plus its interval, or a day ago when
    // it has not run automatically since the program started.
    static double DueTime(const TSearch& aSearch);
    // The same in whole seconds since the day-number epoch, -1 when never run: the clock's
    // seconds compared with a day fraction in floating point would miss by a rounding.
    static long long DueSecond(const TSearch& aSearch);
    static long long ToSecond(double aDayNumber);

private:
    bool InList(const TSearch* aSearch) const;
    bool Queued(const TSearch* aSearch) const;
    void SendHeldDigestsAfterQuietHours(double aNow);
    TSearch* TakeNextQueued();

    THooks fHooks;
    std::deque<TSearch*> fAutoSearchQueue;
    bool fChainRunning = false;
    double fNextPassAt = 0;
    bool fSearchingPaused = false;
    bool fExitting = false;
    bool fWasQuiet = false;
};

}  // namespace trawlix
