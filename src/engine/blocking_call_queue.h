#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace trawlix {

// The calls that worker threads hand to the main thread and wait for, shared by every
// main-thread binding: a worker queues its call and sleeps until the main thread has run
// it, or until the queue closes. Also holds the binding's "asked to end" flag, since a
// main loop waits on the same condition for calls and for that request.
class TBlockingCallQueue {
public:
    TBlockingCallQueue() = default;
    // Closes the queue.
    ~TBlockingCallQueue();
    TBlockingCallQueue(const TBlockingCallQueue&) = delete;
    TBlockingCallQueue& operator=(const TBlockingCallQueue&) = delete;

    // From a worker thread: queues aWork, calls aWakeMainThread (under the queue's lock, so
    // it must not wait for the main thread) and returns once aWork has run. What aWork
    // raises is raised here. Throws when the queue is or becomes closed before aWork ran.
    void PostAndWait(std::function<void()> aWork, const std::function<void()>& aWakeMainThread = {});
    // From the main thread: runs every call queued so far.
    void RunPending();
    // Callers still waiting get an exception instead of waiting forever; returns once
    // every one of them has left, and refuses later calls.
    void Close();
    int PendingCount() const;
    // Sleeps until a call is queued, the end is asked for, a Wake, or aUntil. A Wake that
    // came since the last wait ends the next one at once.
    void WaitForCalls(std::chrono::steady_clock::time_point aUntil);
    // Any thread: ends the current or next WaitForCalls.
    void Wake();

    void RequestEnd();
    bool EndRequested() const;

private:
    struct TCall;

    mutable std::mutex fMutex;
    std::condition_variable fChanged;
    std::deque<std::shared_ptr<TCall>> fPending;
    int fWaiters = 0;
    bool fClosed = false;
    bool fEndRequested = false;
    bool fWoken = false;
};

}  // namespace trawlix
