#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <thread>

#include "engine/blocking_call_queue.h"
#include "engine/synchronizator.h"

namespace trawlix {

// Binds the main-thread queue to the Qt event loop: a 1 ms timer serves the queue, and
// blocking calls from worker threads run on the GUI thread. The pending calls are kept
// here rather than only in Qt's event queue, so that ProcessMessages (called while the
// main thread waits for a lock or a background phase) runs them as well.
class TQtMainThreadBinding : public QObject, public IMainThreadBinding {
    Q_OBJECT
public:
    // Installs itself as the program's binding; create it on the GUI thread.
    explicit TQtMainThreadBinding(QObject* aParent = nullptr);
    // Uninstalls itself; callers still waiting get an exception instead of waiting forever.
    ~TQtMainThreadBinding() override;

    bool IsMainThread() const override;
    void PostBlocking(std::function<void()> aWork) override;
    void ProcessMessages() override;
    bool IsTerminating() const override;
    void Terminate() override;

    int PendingBlockingCalls() const;

private:
    void OnTick();
    void WakeMainThread();

    std::thread::id fMainThread;
    QTimer fTimer;
    TBlockingCallQueue fCalls;
};

}  // namespace trawlix
