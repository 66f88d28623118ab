// The Qt binding of the main-thread queue, and the bring-to-front socket.
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "app/platform.h"
#include "engine/critical_section.h"
#include "engine/synchronizator.h"
#include "support/test_support.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/single_instance.h"
#include "ui_test_registry.h"

using namespace trawlix;

class TestQtMainThreadBinding : public QObject {
    Q_OBJECT

private slots:
    void aWorkersBlockingCallRunsOnTheGuiThread() {
        TQtMainThreadBinding binding;
        std::atomic<bool> done{false};
        QThread* ranOn = nullptr;
        std::thread worker([&] {
            Synch().SynchronizeBlocking([&](const std::string& aText) {
                QCOMPARE(aText, std::string("hello"));
                ranOn = QThread::currentThread();
            }, "hello");
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 5000));
        worker.join();
        QCOMPARE(ranOn, QCoreApplication::instance()->thread());
    }

    void theGuiThreadWaitingForALockServesTheWorkerHoldingIt() {
        TQtMainThreadBinding binding;
        TCCriticalSection lock("held by the worker");
        std::atomic<bool> locked{false};
        std::atomic<bool> served{false};
        std::thread worker([&] {
            TCLock hold(lock);
            locked = true;
            // The GUI thread is inside EnterCriticalSectionProcessMessages by now.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            Synch().SynchronizeBlocking([&](const std::string&) { served = true; }, "");
        });
        while (!locked) std::this_thread::yield();
        QVERIFY(EnterCriticalSectionProcessMessages(lock));
        lock.Release();
        QVERIFY(served.load());
        worker.join();
    }

    void delayedCallsRunOnTheTimerAfterTheirDelay() {
        TQtMainThreadBinding binding;
        QElapsedTimer clock;
        clock.start();
        qint64 ranAfter = -1;
        Synch().SynchronizeNonBlocking([&](const std::string&) { ranAfter = clock.elapsed(); }, "", 80);
        QTest::qWait(20);
        QCOMPARE(ranAfter, qint64(-1));
        QVERIFY(QTest::qWaitFor([&] { return ranAfter >= 0; }, 2000));
        QVERIFY(ranAfter >= 80);
    }

    void aWorkerStillWaitingWhenTheBindingGoesGetsAnError() {
        auto binding = std::make_unique<TQtMainThreadBinding>();
        std::atomic<bool> failed{false};
        std::atomic<bool> posted{false};
        std::thread worker([&] {
            try {
                posted = true;
                binding->PostBlocking([] {});
            } catch (const std::runtime_error&) {
                failed = true;
            }
        });
        while (!posted) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        binding.reset();  // no event loop ran: the call was never served
        worker.join();
        QVERIFY(failed.load());
        QCOMPARE(GetMainThreadBinding(), nullptr);
    }

    void terminateEndsTheEventLoop() {
        TQtMainThreadBinding binding;
        QTimer::singleShot(10, [&binding] { binding.Terminate(); });
        QTimer failSafe;
        failSafe.setSingleShot(true);
        bool timedOut = false;
        connect(&failSafe, &QTimer::timeout, [&] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        failSafe.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!timedOut);
        QVERIFY(binding.IsTerminating());
    }

    void aSecondStartAsksTheFirstToComeToTheFront() {
        test::TempDir runtime;
        qputenv("XDG_RUNTIME_DIR", QByteArray(runtime.Path().c_str()));
        int broughtBack = 0;
        {
            TBringToFrontServer server(platform::BringToFrontSocketPath(), [&] { ++broughtBack; });
            QVERIFY(server.IsListening());
            QVERIFY(platform::SendBringToFront());
            QTRY_COMPARE(broughtBack, 1);
            QVERIFY(platform::SendBringToFront());
            QTRY_COMPARE(broughtBack, 2);
        }
        QVERIFY(!platform::SendBringToFront());  // nobody listens any more
        // A socket file left by a run that crashed does not keep the next one from listening.
        {
            TBringToFrontServer first(platform::BringToFrontSocketPath(), [] {});
            TBringToFrontServer second(platform::BringToFrontSocketPath(), [&] { ++broughtBack; });
            QVERIFY(second.IsListening());
        }
    }
};

TRAWLIX_UI_TEST(TestQtMainThreadBinding)
#include "test_qt_main_thread_binding.moc"
