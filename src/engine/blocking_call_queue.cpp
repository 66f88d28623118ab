#include "engine/blocking_call_queue.h"

#include <exception>
#include <stdexcept>

namespace trawlix {

namespace {
constexpr const char* cNotServing = "The main thread no longer serves calls.";
}  // namespace

struct TBlockingCallQueue::TCall {
    std::function<void()> Work;
    bool Done = false;
    std::exception_ptr Failure;
};

TBlockingCallQueue::~TBlockingCallQueue() { Close(); }

void TBlockingCallQueue::PostAndWait(std::function<void()> aWork, const std::function<void()>& aWakeMainThread) {
    auto call = std::make_shared<TCall>();
    call->Work = std::move(aWork);
    std::unique_lock lock(fMutex);
    if (fClosed) throw std::runtime_error(cNotServing);
    fPending.push_back(call);
    ++fWaiters;
    fChanged.notify_all();
    if (aWakeMainThread) aWakeMainThread();
    fChanged.wait(lock, [&] { return call->Done || fClosed; });
    --fWaiters;
    if (fWaiters == 0) fChanged.notify_all();
    if (!call->Done) throw std::runtime_error(cNotServing);
    if (call->Failure) std::rethrow_exception(call->Failure);
}

void TBlockingCallQueue::RunPending() {
    std::deque<std::shared_ptr<TCall>> batch;
    {
        std::lock_guard lock(fMutex);
        batch.swap(fPending);
    }
    for (auto& call : batch) {
        try {
            call->Work();
        } catch (...) {
            call->Failure = std::current_exception();
        }
        {
            std::lock_guard lock(fMutex);
            call->Done = true;
        }
        fChanged.notify_all();
    }
}

void TBlockingCallQueue::Close() {
    std::unique_lock lock(fMutex);
    fClosed = true;
    fChanged.notify_all();
    // The waiters still use this object's mutex while they leave.
    fChanged.wait(lock, [this] { return fWaiters == 0; });
}

int TBlockingCallQueue::PendingCount() const {
    std::lock_guard lock(fMutex);
    return static_cast<int>(fPending.size());
}

void TBlockingCallQueue::WaitForCalls(std::chrono::steady_clock::time_point aUntil) {
    std::unique_lock lock(fMutex);
    fChanged.wait_until(lock, aUntil, [this] { return !fPending.empty() || fEndRequested || fWoken; });
    fWoken = false;
}

void TBlockingCallQueue::Wake() {
    {
        std::lock_guard lock(fMutex);
        fWoken = true;
    }
    fChanged.notify_all();
}

void TBlockingCallQueue::RequestEnd() {
    {
        std::lock_guard lock(fMutex);
        fEndRequested = true;
    }
    fChanged.notify_all();
}

bool TBlockingCallQueue::EndRequested() const {
    std::lock_guard lock(fMutex);
    return fEndRequested;
}

}  // namespace trawlix
