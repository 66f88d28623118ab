#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/blocking_call_queue.h"
#include "engine/critical_section.h"

namespace trawlix {

// What "the main thread" is. The desktop program binds it to the Qt event loop, the
// command-line program and the tests to THeadlessMainLoop. The binding calls
// TSynchronizator::GetInstance().OnTimer() on its 1 ms tick.
class IMainThreadBinding {
public:
    virtual ~IMainThreadBinding() = default;

    virtual bool IsMainThread() const = 0;
    // Runs aWork on the main thread and returns once it has run there. Called from any
    // other thread; aWork does not throw. Throws when the main thread can no longer serve it.
    virtual void PostBlocking(std::function<void()> aWork) = 0;
    // Main thread only: runs every pending blocking call and the tick if one is due.
    virtual void ProcessMessages() = 0;
    // True once the application has been asked to end.
    virtual bool IsTerminating() const = 0;
    // Asks the main loop to end.
    virtual void Terminate() = 0;
    // Something for the main thread was queued, or an event its owner waits for came: a
    // main loop that sleeps between calls looks again. Any thread; must not block.
    virtual void Wake() {}
};

// Installs the binding used by TSynchronizator and EnterCriticalSectionProcessMessages;
// nullptr clears it. The binding is not owned: it must stay alive, and installed, until
// every thread that may hand calls to the main thread has ended.
void SetMainThreadBinding(IMainThreadBinding* aBinding);
IMainThreadBinding* GetMainThreadBinding();

using TSyncProcedure = std::function<void(const std::string&)>;

// One queued call to the main thread.
struct TSyncObject {
    std::string Name;  // de-duplication key; empty for anonymous calls
    TSyncProcedure Proc;
    std::string Params;
    std::uint64_t TickCount = 0;         // clock reading when queued, milliseconds
    std::uint64_t AfterMiliseconds = 0;  // 0: as soon as possible

    bool IsDue(std::uint64_t aNow) const { return AfterMiliseconds == 0 || TickCount + AfterMiliseconds <= aNow; }
};

// The process-wide queue of calls that worker threads hand to the main thread.
class TSynchronizator {
    struct TCreateKey {
        explicit TCreateKey() = default;
    };

public:
    // Milliseconds of a monotonic clock.
    using TClock = std::function<std::uint64_t()>;

    // Only GetInstance creates one.
    explicit TSynchronizator(TCreateKey);

    static TSynchronizator& GetInstance();
    // Frees the instance; calls still queued are dropped without running.
    static void FreeInstance();

    TSynchronizator(const TSynchronizator&) = delete;
    TSynchronizator& operator=(const TSynchronizator&) = delete;

    // Runs aProc(aParams) on the main thread and returns when it has run; on the main
    // thread itself it runs at once. An exception raised by aProc is raised again here.
    void SynchronizeBlocking(const TSyncProcedure& aProc, const std::string& aParams);

    // Queues an anonymous call. A negative delay counts as none.
    void SynchronizeNonBlocking(TSyncProcedure aProc, const std::string& aParams, int aAfterMiliseconds = 0,
                                bool aPushToFront = false);
    // Queues a named call; with aAddIfExists false it is dropped while a call of that
    // name is still waiting.
    void SynchronizeNonBlocking(const std::string& aName, TSyncProcedure aProc, const std::string& aParams,
                                int aAfterMiliseconds, bool aPushToFront, bool aAddIfExists, bool aSearchFromBack);

    // aSearchFromBack only picks the scan direction.
    bool ExistsInQueue(const std::string& aName, bool aSearchFromBack);
    int GetQueueCount();
    // Milliseconds until the first queued call is due: 0 when one is due now, -1 when the
    // queue is empty. A main loop sleeps that long instead of ticking for nothing.
    long long MillisecondsUntilNextCall();

    // The main thread's tick: runs the first due call, if any. Its exceptions are dropped.
    void OnTimer();

    // Replaces the clock (tests); an empty clock restores the steady clock.
    void SetClock(TClock aClock);

private:
    std::uint64_t Now();
    bool TakeFirstDue(std::uint64_t aNow, TSyncObject& aCall);

    TCCriticalSection fLock{"TSynchronizator"};
    std::deque<TSyncObject> fQueue;
    TClock fClock;
};

// Both return TSynchronizator::GetInstance().
TSynchronizator& Synch();
TSynchronizator& Synchronizator();

// The main thread takes a lock that a worker may hold while that worker waits for the
// main thread: keeps serving the main thread's calls until the lock is free. True when
// taken (release it); false when the application is terminating or serving calls failed.
bool EnterCriticalSectionProcessMessages(TCCriticalSection& aCriticalSection);

// The main thread of the command-line program and the tests: the thread that creates it.
// Blocking calls and the 1 ms tick are served while Run or RunUntil runs, or whenever
// the main thread calls ProcessMessages.
class THeadlessMainLoop : public IMainThreadBinding {
public:
    THeadlessMainLoop();
    // Callers still waiting for a blocking call get an exception instead of waiting forever.
    ~THeadlessMainLoop() override;
    THeadlessMainLoop(const THeadlessMainLoop&) = delete;
    THeadlessMainLoop& operator=(const THeadlessMainLoop&) = delete;

    bool IsMainThread() const override;
    void PostBlocking(std::function<void()> aWork) override;
    void ProcessMessages() override;
    bool IsTerminating() const override;
    void Terminate() override;
    void Wake() override;

    // Serves what is waiting, then sleeps until the next queued call is due, a call or a
    // Wake comes, Terminate, or aUntil, and serves what came. A watcher idles on this:
    // nothing wakes it but work and its own deadline.
    void ServeOnce(std::chrono::steady_clock::time_point aUntil);

    // Serves calls until Terminate.
    void Run();
    // Serves calls until aDone returns true (checked between rounds), Terminate, or the
    // time-out; returns aDone's last answer.
    bool RunUntil(const std::function<bool()>& aDone,
                  std::chrono::milliseconds aTimeout = std::chrono::milliseconds::max());

    int PendingBlockingCalls() const;

private:
    void CheckMainThread(const char* aWhat) const;
    void TickIfDue();
    std::chrono::steady_clock::time_point NextCallTime(std::chrono::steady_clock::time_point aUntil) const;

    std::thread::id fMainThread;
    TBlockingCallQueue fCalls;
    std::chrono::steady_clock::time_point fLastTick;
};

}  // namespace trawlix
