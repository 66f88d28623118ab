#include "engine/host_budget.h"

#include <algorithm>
#include <random>
#include <utility>

namespace trawlix {

namespace {

constexpr auto cMinute = std::chrono::minutes(1);
// A waiting request looks at its thread's stop flag this often.
constexpr auto cStopCheck = std::chrono::seconds(1);

std::function<double()> ThreadSafeRandom() {
    auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
    auto mutex = std::make_shared<std::mutex>();
    return [engine, mutex] {
        std::lock_guard lock(*mutex);
        return std::uniform_real_distribution<double>(0.0, 1.0)(*engine);
    };
}

}  // namespace

THostSchedule::THostSchedule(int aRequestsPerMinute, double aJitter, std::function<double()> aRandom)
    : fRequestsPerMinute(std::max(1, aRequestsPerMinute)), fJitter(std::max(0.0, aJitter)),
      fRandom(std::move(aRandom)) {}

void THostSchedule::Forget(THost& aHost, TTime aNow) {
    auto& started = aHost.started;
    started.erase(std::remove_if(started.begin(), started.end(), [&](TTime aAt) { return aAt + cMinute <= aNow; }),
                  started.end());
}

bool THostSchedule::TryStart(const std::string& aHost, TTime aNow, TTime& aRetryAt) {
    THost& host = fHosts[aHost];
    if (host.busy) {
        aRetryAt = TTime::max();
        return false;
    }
    Forget(host, aNow);
    TTime allowed = host.nextStart;
    // The spacing already keeps a minute's count down; the window also holds when the
    // budget changed under way.
    if (static_cast<int>(host.started.size()) >= fRequestsPerMinute)
        allowed = std::max(allowed, host.started.front() + cMinute);
    if (aNow < allowed) {
        aRetryAt = allowed;
        return false;
    }
    const auto spacing = std::chrono::duration_cast<std::chrono::steady_clock::duration>(cMinute) / fRequestsPerMinute;
    const double share = fRandom ? fJitter * fRandom() : 0.0;
    host.nextStart = aNow + spacing + std::chrono::duration_cast<std::chrono::steady_clock::duration>(spacing * share);
    host.started.push_back(aNow);
    host.busy = true;
    return true;
}

void THostSchedule::Finished(const std::string& aHost) { fHosts[aHost].busy = false; }

int THostSchedule::Left(const std::string& aHost, TTime aNow) const {
    auto it = fHosts.find(aHost);
    if (it == fHosts.end()) return fRequestsPerMinute;
    const auto& started = it->second.started;
    const auto recent = std::count_if(started.begin(), started.end(), [&](TTime aAt) { return aAt + cMinute > aNow; });
    return std::max(0, fRequestsPerMinute - static_cast<int>(recent));
}

// --- THostBudget --------------------------------------------------------------------------

THostBudget::THostBudget(int aRequestsPerMinute, double aJitter)
    : fSchedule(aRequestsPerMinute, aJitter, ThreadSafeRandom()) {}

THostBudget::TTicket::TTicket(TTicket&& aOther) noexcept
    : fBudget(std::exchange(aOther.fBudget, nullptr)), fHost(std::move(aOther.fHost)) {}

THostBudget::TTicket& THostBudget::TTicket::operator=(TTicket&& aOther) noexcept {
    if (this != &aOther) {
        if (fBudget) fBudget->Release(fHost);
        fBudget = std::exchange(aOther.fBudget, nullptr);
        fHost = std::move(aOther.fHost);
    }
    return *this;
}

THostBudget::TTicket::~TTicket() {
    if (fBudget) fBudget->Release(fHost);
}

THostBudget::TTicket THostBudget::Acquire(const std::string& aHost, const std::function<bool()>& aServedMeanwhile,
                                          const std::function<void()>& aCheckStopped) {
    std::unique_lock lock(fMutex);
    for (;;) {
        if (aCheckStopped) aCheckStopped();
        // Asked outside the schedule's lock: the answer may take another lock of its own.
        lock.unlock();
        const bool served = aServedMeanwhile && aServedMeanwhile();
        lock.lock();
        if (served) return {};
        const auto now = std::chrono::steady_clock::now();
        THostSchedule::TTime retryAt;
        if (fSchedule.TryStart(aHost, now, retryAt)) {
            ++fRequests[aHost];
            return TTicket(this, aHost);
        }
        fChanged.wait_until(lock, std::min(retryAt, now + cStopCheck));
    }
}

void THostBudget::Release(const std::string& aHost) {
    {
        std::lock_guard lock(fMutex);
        fSchedule.Finished(aHost);
    }
    fChanged.notify_all();
}

std::map<std::string, THostBudget::THostFigures> THostBudget::TakeFigures() {
    std::lock_guard lock(fMutex);
    std::map<std::string, THostFigures> figures;
    const auto now = std::chrono::steady_clock::now();
    for (const auto& [host, count] : fRequests) figures[host] = {count, fSchedule.Left(host, now)};
    fRequests.clear();
    return figures;
}

}  // namespace trawlix
