#include "ui/qt_main_thread_binding.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <stdexcept>

namespace trawlix {

namespace {
constexpr int cTickMilliseconds = 1;
}  // namespace

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
    fCalls.Close();
}

bool TQtMainThreadBinding::IsMainThread() const { return std::this_thread::get_id() == fMainThread; }

void TQtMainThreadBinding::PostBlocking(std::function<void()> aWork) {
    if (IsMainThread()) {
        aWork();
        return;
    }
    fCalls.PostAndWait(std::move(aWork), [this] { WakeMainThread(); });
}

void TQtMainThreadBinding::WakeMainThread() {
    // A queued invocation wakes the event loop at once instead of at the next tick.
    QMetaObject::invokeMethod(this, [this] { fCalls.RunPending(); }, Qt::QueuedConnection);
}

void TQtMainThreadBinding::OnTick() {
    fCalls.RunPending();
    TSynchronizator::GetInstance().OnTimer();
}

void TQtMainThreadBinding::ProcessMessages() {
    if (!IsMainThread()) throw std::logic_error("ProcessMessages must be called on the main thread.");
    fCalls.RunPending();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    TSynchronizator::GetInstance().OnTimer();
}

bool TQtMainThreadBinding::IsTerminating() const { return fCalls.EndRequested(); }

void TQtMainThreadBinding::Terminate() {
    fCalls.RequestEnd();
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

int TQtMainThreadBinding::PendingBlockingCalls() const { return fCalls.PendingCount(); }

}  // namespace trawlix
