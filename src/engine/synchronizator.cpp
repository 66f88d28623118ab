#include "engine/synchronizator.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <stdexcept>

namespace trawlix {

namespace {

std::atomic<IMainThreadBinding*> gMainThreadBinding{nullptr};

std::mutex gInstanceMutex;
std::unique_ptr<TSynchronizator> gInstance;

constexpr auto cTickInterval = std::chrono::milliseconds(1);
constexpr auto cLockRetryPause = std::chrono::milliseconds(5);

std::uint64_t SteadyMilliseconds() {
    auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace

void SetMainThreadBinding(IMainThreadBinding* aBinding) { gMainThreadBinding.store(aBinding); }

IMainThreadBinding* GetMainThreadBinding() { return gMainThreadBinding.load(); }

// --- TSynchronizator ----------------------------------------------------------------------

TSynchronizator::TSynchronizator(TCreateKey) {}

TSynchronizator& TSynchronizator::GetInstance() {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<TSynchronizator>(TCreateKey{});
    return *gInstance;
}

void TSynchronizator::FreeInstance() {
    std::unique_ptr<TSynchronizator> instance;
    {
        std::lock_guard lock(gInstanceMutex);
        instance = std::move(gInstance);
    }
}

TSynchronizator& Synch() { return TSynchronizator::GetInstance(); }

TSynchronizator& Synchronizator() { return TSynchronizator::GetInstance(); }

void TSynchronizator::SynchronizeBlocking(const TSyncProcedure& aProc, const std::string& aParams) {
    IMainThreadBinding* binding = GetMainThreadBinding();
    if (!binding) throw std::logic_error("No main thread is bound to run the call on.");
    if (binding->IsMainThread()) {
        aProc(aParams);
        return;
    }
    // The binding's loop must not see the exception; it travels back to this thread.
    std::exception_ptr failure;
    binding->PostBlocking([&] {
        try {
            aProc(aParams);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (failure) std::rethrow_exception(failure);
}

void TSynchronizator::SynchronizeNonBlocking(TSyncProcedure aProc, const std::string& aParams, int aAfterMiliseconds,
                                             bool aPushToFront) {
    SynchronizeNonBlocking({}, std::move(aProc), aParams, aAfterMiliseconds, aPushToFront, true, true);
}

void TSynchronizator::SynchronizeNonBlocking(const std::string& aName, TSyncProcedure aProc,
                                             const std::string& aParams, int aAfterMiliseconds, bool aPushToFront,
                                             bool aAddIfExists, bool aSearchFromBack) {
    TCLock lock(fLock);
    if (!aAddIfExists && ExistsInQueue(aName, aSearchFromBack)) return;
    TSyncObject call;
    call.Name = aName;
    call.Proc = std::move(aProc);
    call.Params = aParams;
    call.TickCount = Now();
    // A negative delay would wrap to an enormous one and the call would never run.
    call.AfterMiliseconds = static_cast<std::uint64_t>(std::max(aAfterMiliseconds, 0));
    if (aPushToFront)
        fQueue.push_front(std::move(call));
    else
        fQueue.push_back(std::move(call));
    // A main loop asleep until the next call it knew of must see this one.
    if (IMainThreadBinding* binding = GetMainThreadBinding()) binding->Wake();
}

bool TSynchronizator::ExistsInQueue(const std::string& aName, bool aSearchFromBack) {
    TCLock lock(fLock);
    auto hasName = [&](const TSyncObject& aCall) { return aCall.Name == aName; };
    if (aSearchFromBack) return std::find_if(fQueue.rbegin(), fQueue.rend(), hasName) != fQueue.rend();
    return std::find_if(fQueue.begin(), fQueue.end(), hasName) != fQueue.end();
}

int TSynchronizator::GetQueueCount() {
    TCLock lock(fLock);
    return static_cast<int>(fQueue.size());
}

long long TSynchronizator::MillisecondsUntilNextCall() {
    TCLock lock(fLock);
    if (fQueue.empty()) return -1;
    const std::uint64_t now = fClock ? fClock() : SteadyMilliseconds();
    std::uint64_t soonest = std::numeric_limits<std::uint64_t>::max();
    for (const TSyncObject& call : fQueue) {
        if (call.IsDue(now)) return 0;
        soonest = std::min(soonest, call.TickCount + call.AfterMiliseconds - now);
    }
    return static_cast<long long>(soonest);
}

bool TSynchronizator::TakeFirstDue(std::uint64_t aNow, TSyncObject& aCall) {
    TCLock lock(fLock);
    auto due = std::find_if(fQueue.begin(), fQueue.end(), [&](const TSyncObject& c) { return c.IsDue(aNow); });
    if (due == fQueue.end()) return false;
    aCall = std::move(*due);
    fQueue.erase(due);
    return true;
}

void TSynchronizator::OnTimer() {
    const std::uint64_t now = Now();
    TSyncObject call;
    if (!TakeFirstDue(now, call)) return;
    // Run outside the lock, so the call may queue further calls.
    try {
        if (call.Proc) call.Proc(call.Params);
    } catch (...) {
        // Nobody waits for a queued call; its failure must not stop the queue.
    }
}

void TSynchronizator::SetClock(TClock aClock) { SetLocked(fLock, fClock, std::move(aClock)); }

std::uint64_t TSynchronizator::Now() {
    TCLock lock(fLock);
    return fClock ? fClock() : SteadyMilliseconds();
}

// --- EnterCriticalSectionProcessMessages ---------------------------------------------------

bool EnterCriticalSectionProcessMessages(TCCriticalSection& aCriticalSection) {
    try {
        for (;;) {
            IMainThreadBinding* binding = GetMainThreadBinding();
            if (binding && binding->IsTerminating()) return false;
            if (aCriticalSection.TryEnter()) return true;
            if (binding && binding->IsMainThread()) binding->ProcessMessages();
            std::this_thread::sleep_for(cLockRetryPause);
        }
    } catch (...) {
        return false;
    }
}

// --- THeadlessMainLoop ----------------------------------------------------------------------

THeadlessMainLoop::THeadlessMainLoop()
    : fMainThread(std::this_thread::get_id()), fLastTick(std::chrono::steady_clock::now()) {}

THeadlessMainLoop::~THeadlessMainLoop() {
    IMainThreadBinding* self = this;
    gMainThreadBinding.compare_exchange_strong(self, nullptr);
    fCalls.Close();
}

bool THeadlessMainLoop::IsMainThread() const { return std::this_thread::get_id() == fMainThread; }

void THeadlessMainLoop::PostBlocking(std::function<void()> aWork) {
    if (IsMainThread()) {
        aWork();
        return;
    }
    fCalls.PostAndWait(std::move(aWork));
}

void THeadlessMainLoop::ProcessMessages() {
    CheckMainThread("ProcessMessages");
    fCalls.RunPending();
    TickIfDue();
}

void THeadlessMainLoop::TickIfDue() {
    auto now = std::chrono::steady_clock::now();
    if (now - fLastTick < cTickInterval) return;
    fLastTick = now;
    TSynchronizator::GetInstance().OnTimer();
}

bool THeadlessMainLoop::IsTerminating() const { return fCalls.EndRequested(); }

void THeadlessMainLoop::Terminate() { fCalls.RequestEnd(); }

void THeadlessMainLoop::Wake() { fCalls.Wake(); }

std::chrono::steady_clock::time_point THeadlessMainLoop::NextCallTime(
    std::chrono::steady_clock::time_point aUntil) const {
    const long long untilCall = TSynchronizator::GetInstance().MillisecondsUntilNextCall();
    if (untilCall < 0) return aUntil;
    // One queued call runs per tick: a due call waits only for the tick's end.
    const auto callTime = untilCall == 0 ? fLastTick + cTickInterval
                                         : std::chrono::steady_clock::now() + std::chrono::milliseconds(untilCall);
    return std::min(callTime, aUntil);
}

void THeadlessMainLoop::ServeOnce(std::chrono::steady_clock::time_point aUntil) {
    CheckMainThread("ServeOnce");
    ProcessMessages();
    if (IsTerminating()) return;
    fCalls.WaitForCalls(NextCallTime(aUntil));
    ProcessMessages();
}

void THeadlessMainLoop::Run() {
    RunUntil([] { return false; });
}

bool THeadlessMainLoop::RunUntil(const std::function<bool()>& aDone, std::chrono::milliseconds aTimeout) {
    CheckMainThread("RunUntil");
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        aTimeout == std::chrono::milliseconds::max() ? Clock::time_point::max() : Clock::now() + aTimeout;
    for (;;) {
        ProcessMessages();
        if (aDone()) return true;
        if (IsTerminating() || Clock::now() >= deadline) return false;
        fCalls.WaitForCalls(std::min(fLastTick + cTickInterval, deadline));
    }
}

int THeadlessMainLoop::PendingBlockingCalls() const { return fCalls.PendingCount(); }

void THeadlessMainLoop::CheckMainThread(const char* aWhat) const {
    if (!IsMainThread()) throw std::logic_error(std::string(aWhat) + " must be called on the main thread.");
}

}  // namespace trawlix
