#include "ui/qt_main_thread_binding.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <stdexcept>

namespace trawlix {

namespace {
constexpr int cTickMilliseconds = 1;
constexpr const char* cNotServing = "The main thread no longer serves calls.";
}  // namespace

struct TQtMainThreadBinding::TBlockingCall {
    std::function<void()> Work;
    bool Done = false;
};

TQtMainThreadBinding::TQtMainThreadBinding(QObject* aParent)
    : QObject(aParent), fMainThread(std::this_thread::get_id()) {
    fTimer.setInterval(cTickMilliseconds);
    connect(&fTimer, &QTimer::timeout, this, &TQtMainThreadBinding::OnTick);
    fTimer.start();
    SetMainThreadBinding(this);
}

TQtMainThreadBinding::~TQtMainThreadBinding() {
    if (GetMainThreadBinding() == this) SetMainThreadBinding(nullptr);
    fTimer.stop();
    std::unique_lock lock(fMutex);
    fClosed = true;
    fChanged.notify_all();
    // The waiters still use this object's mutex while they leave.
    fChanged.wait(lock, [this] { return fWaiters == 0; });
}

bool TQtMainThreadBinding::IsMainThread() const { return std::this_thread::get_id() == fMainThread; }

void TQtMainThreadBinding::PostBlocking(std::function<void()> aWork) {
    if (IsMainThread()) {
        aWork();
        return;
    }
    auto call = std::make_shared<TBlockingCall>();
    call->Work = std::move(aWork);
    std::unique_lock lock(fMutex);
    if (fClosed) throw std::runtime_error(cNotServing);
    fPending.push_back(call);
    ++fWaiters;
    WakeMainThread();
    fChanged.wait(lock, [&] { return call->Done || fClosed; });
    --fWaiters;
    if (fWaiters == 0) fChanged.notify_all();
    if (!call->Done) throw std::runtime_error(cNotServing);
}

void TQtMainThreadBinding::WakeMainThread() {
    // A queued invocation wakes the event loop at once instead of at the next tick.
    QMetaObject::invokeMethod(this, [this] { RunBlockingCalls(); }, Qt::QueuedConnection);
}

void TQtMainThreadBinding::RunBlockingCalls() {
    std::deque<std::shared_ptr<TBlockingCall>> batch;
    {
        std::lock_guard lock(fMutex);
        batch.swap(fPending);
    }
    for (auto& call : batch) {
        call->Work();  // SynchronizeBlocking catches what the work raises
        {
            std::lock_guard lock(fMutex);
            call->Done = true;
        }
        fChanged.notify_all();
    }
}

void TQtMainThreadBinding::OnTick() {
    RunBlockingCalls();
    TSynchronizator::GetInstance().OnTimer();
}

void TQtMainThreadBinding::ProcessMessages() {
    if (!IsMainThread()) throw std::logic_error("ProcessMessages must be called on the main thread.");
    RunBlockingCalls();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    TSynchronizator::GetInstance().OnTimer();
}

bool TQtMainThreadBinding::IsTerminating() const {
    std::lock_guard lock(fMutex);
    return fTerminating;
}

void TQtMainThreadBinding::Terminate() {
    {
        std::lock_guard lock(fMutex);
        fTerminating = true;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

int TQtMainThreadBinding::PendingBlockingCalls() const {
    std::lock_guard lock(fMutex);
    return static_cast<int>(fPending.size());
}

}  // namespace trawlix
