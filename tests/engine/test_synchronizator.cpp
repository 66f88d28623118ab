#include "engine/synchronizator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/thread_test_support.h"

namespace trawlix {
namespace {

using namespace std::chrono_literals;

using test::WaitUntil;
constexpr auto cGenerous = test::cGenerousWait;

// --- the queue, driven tick by tick with a clock the test moves ---------------------------

class SynchronizatorQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        TSynchronizator::FreeInstance();
        Synch().SetClock([this] { return fNow.load(); });
    }
    void TearDown() override { TSynchronizator::FreeInstance(); }

    TSyncProcedure Record(const std::string& aLabel) {
        return [this, aLabel](const std::string&) { fRan.push_back(aLabel); };
    }

    std::atomic<std::uint64_t> fNow{1000};
    std::vector<std::string> fRan;
};

struct QueuedCall {
    std::string label;
    int delay;
    bool toFront;
};

struct QueueOrderCase {
    const char* name;
    std::vector<QueuedCall> calls;
    std::uint64_t tickAfter;  // milliseconds after queuing at which the ticks happen
    std::vector<std::string> expected;
};

class SynchronizatorQueueOrderTest : public SynchronizatorQueueTest,
                                     public ::testing::WithParamInterface<QueueOrderCase> {};

TEST_P(SynchronizatorQueueOrderTest, RunsDueCallsInQueueOrder) {
    const QueueOrderCase& c = GetParam();
    for (const QueuedCall& call : c.calls) Synch().SynchronizeNonBlocking(Record(call.label), {}, call.delay, call.toFront);
    fNow += c.tickAfter;
    for (size_t i = 0; i <= c.calls.size(); ++i) Synch().OnTimer();
    EXPECT_EQ(fRan, c.expected);
    EXPECT_EQ(Synch().GetQueueCount(), static_cast<int>(c.calls.size() - c.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SynchronizatorQueueOrderTest,
    ::testing::Values(
        QueueOrderCase{"Fifo", {{"a", 0, false}, {"b", 0, false}, {"c", 0, false}}, 0, {"a", "b", "c"}},
        QueueOrderCase{"PushToFrontJumpsDueCalls", {{"a", 0, false}, {"b", 0, false}, {"c", 0, true}}, 0, {"c", "a", "b"}},
        QueueOrderCase{"UndelayedOvertakesDelayed", {{"late", 500, false}, {"now", 0, false}}, 0, {"now"}},
        QueueOrderCase{"OneMillisecondShort", {{"late", 500, false}}, 499, {}},
        QueueOrderCase{"DelayElapsedKeepsQueueOrder", {{"late", 500, false}, {"now", 0, false}}, 500, {"late", "now"}},
        QueueOrderCase{"NegativeDelayIsNone", {{"a", -5, false}}, 0, {"a"}},
        QueueOrderCase{"PushedToFrontButNotDue", {{"a", 0, false}, {"b", 300, true}}, 0, {"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SynchronizatorQueueTest, TenQueuedCallsRunOneAPerTickInOrder) {
    for (int i = 0; i < 10; ++i) Synch().SynchronizeNonBlocking(Record(std::to_string(i)), {});
    for (int tick = 1; tick <= 10; ++tick) {
        Synch().OnTimer();
        ASSERT_EQ(fRan.size(), static_cast<size_t>(tick));
        EXPECT_EQ(fRan.back(), std::to_string(tick - 1));
        EXPECT_EQ(Synch().GetQueueCount(), 10 - tick);
    }
}

TEST_F(SynchronizatorQueueTest, DelayedCallRunsOnceItsTimeHasCome) {
    Synch().SynchronizeNonBlocking(Record("late"), {}, 500, false);
    Synch().SynchronizeNonBlocking(Record("now"), {}, 0, false);
    Synch().OnTimer();
    Synch().OnTimer();
    EXPECT_EQ(fRan, std::vector<std::string>{"now"});
    fNow += 500;
    Synch().OnTimer();
    EXPECT_EQ(fRan, (std::vector<std::string>{"now", "late"}));
}

TEST_F(SynchronizatorQueueTest, NamedCallIsNotDuplicatedWhileWaitingAndAcceptedAgainAfterRunning) {
    auto queueRepaint = [&](const std::string& aLabel) {
        Synch().SynchronizeNonBlocking("Results.Repaint", Record(aLabel), {}, 20, false, false, true);
    };
    queueRepaint("first");
    queueRepaint("second");
    EXPECT_EQ(Synch().GetQueueCount(), 1);

    fNow += 20;
    Synch().OnTimer();
    EXPECT_EQ(fRan, std::vector<std::string>{"first"});
    EXPECT_FALSE(Synch().ExistsInQueue("Results.Repaint", true));

    queueRepaint("third");
    EXPECT_EQ(Synch().GetQueueCount(), 1);
    fNow += 20;
    Synch().OnTimer();
    EXPECT_EQ(fRan, (std::vector<std::string>{"first", "third"}));
}

TEST_F(SynchronizatorQueueTest, DuplicatesAreAddedWhenAskedAndAnonymousCallsAlwaysQueue) {
    Synch().SynchronizeNonBlocking("Refresh", Record("a"), {}, 0, false, true, true);
    Synch().SynchronizeNonBlocking("Refresh", Record("b"), {}, 0, false, true, false);
    Synch().SynchronizeNonBlocking("Other", Record("c"), {}, 0, false, false, true);
    Synch().SynchronizeNonBlocking(Record("d"), {});
    Synch().SynchronizeNonBlocking(Record("e"), {});
    EXPECT_EQ(Synch().GetQueueCount(), 5);
}

struct ExistsCase {
    const char* queued;
    const char* asked;
    bool expected;
};

TEST_F(SynchronizatorQueueTest, ExistsInQueueMatchesNamesExactlyInEitherDirection) {
    const std::vector<ExistsCase> cases = {
        {"Repaint", "Repaint", true},   {"Repaint", "repaint", false}, {"Repaint", "Repaint ", false},
        {"Repaint", "", true},  // the anonymous call queued below has the empty name
        {"Repaint", "Other", false},
    };
    for (const ExistsCase& c : cases) {
        TSynchronizator::FreeInstance();
        Synch().SynchronizeNonBlocking(Record("anonymous"), {});
        Synch().SynchronizeNonBlocking(c.queued, Record("named"), {}, 0, false, true, true);
        Synch().SynchronizeNonBlocking(Record("anonymous"), {});
        for (bool fromBack : {false, true})
            EXPECT_EQ(Synch().ExistsInQueue(c.asked, fromBack), c.expected)
                << "queued '" << c.queued << "' asked '" << c.asked << "' from back " << fromBack;
    }
}

TEST_F(SynchronizatorQueueTest, FailingCallIsSwallowedAndTheNextStillRuns) {
    Synch().SynchronizeNonBlocking([](const std::string&) { throw std::runtime_error("lost"); }, {});
    Synch().SynchronizeNonBlocking([](const std::string&) { throw 7; }, {});
    Synch().SynchronizeNonBlocking(Record("after"), {});
    EXPECT_NO_THROW(Synch().OnTimer());
    EXPECT_NO_THROW(Synch().OnTimer());
    EXPECT_TRUE(fRan.empty());
    Synch().OnTimer();
    EXPECT_EQ(fRan, std::vector<std::string>{"after"});
}

TEST_F(SynchronizatorQueueTest, QueuedCallGetsItsParamsAndMayQueueAnother) {
    Synch().SynchronizeNonBlocking(
        [this](const std::string& aParams) {
            fRan.push_back(aParams);
            Synch().SynchronizeNonBlocking([this](const std::string& aInner) { fRan.push_back(aInner); }, "inner");
        },
        "outer");
    Synch().OnTimer();
    EXPECT_EQ(Synch().GetQueueCount(), 1);
    Synch().OnTimer();
    EXPECT_EQ(fRan, (std::vector<std::string>{"outer", "inner"}));
}

TEST_F(SynchronizatorQueueTest, CallsQueuedFromManyThreadsAllRunInEachThreadsOrder) {
    constexpr int cThreads = 4;
    constexpr int cCallsEach = 250;
    std::vector<std::vector<int>> seen(cThreads);
    std::vector<std::thread> producers;
    for (int t = 0; t < cThreads; ++t)
        producers.emplace_back([&, t] {
            for (int i = 0; i < cCallsEach; ++i)
                Synch().SynchronizeNonBlocking([&seen, t, i](const std::string&) { seen[t].push_back(i); }, {});
        });
    for (auto& producer : producers) producer.join();
    ASSERT_EQ(Synch().GetQueueCount(), cThreads * cCallsEach);
    while (Synch().GetQueueCount() > 0) Synch().OnTimer();
    for (int t = 0; t < cThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<size_t>(cCallsEach));
        for (int i = 0; i < cCallsEach; ++i) EXPECT_EQ(seen[t][i], i);
    }
}

TEST_F(SynchronizatorQueueTest, FreeingTheInstanceDropsWaitingCalls) {
    Synch().SynchronizeNonBlocking(Record("never"), {});
    TSynchronizator::FreeInstance();
    EXPECT_EQ(Synch().GetQueueCount(), 0);
    Synch().OnTimer();
    EXPECT_TRUE(fRan.empty());
}

TEST_F(SynchronizatorQueueTest, TellsHowLongUntilTheNextCallIsDue) {
    EXPECT_EQ(Synch().MillisecondsUntilNextCall(), -1);
    Synch().SynchronizeNonBlocking(Record("later"), "", 300);
    Synch().SynchronizeNonBlocking(Record("sooner"), "", 120);
    EXPECT_EQ(Synch().MillisecondsUntilNextCall(), 120);
    fNow += 100;
    EXPECT_EQ(Synch().MillisecondsUntilNextCall(), 20);
    Synch().SynchronizeNonBlocking(Record("now"), "");
    EXPECT_EQ(Synch().MillisecondsUntilNextCall(), 0);
}

// --- blocking calls and the headless main loop --------------------------------------------------

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        TSynchronizator::FreeInstance();
        SetMainThreadBinding(&fLoop);
    }
    void TearDown() override {
        SetMainThreadBinding(nullptr);
        TSynchronizator::FreeInstance();
    }

    THeadlessMainLoop fLoop;
};

struct TestFailure : std::runtime_error {
    TestFailure(const std::string& aMessage, int aCode) : std::runtime_error(aMessage), code(aCode) {}
    int code;
};

TEST_F(MainLoopTest, BlockingCallOnTheMainThreadRunsAtOnce) {
    std::string got;
    Synch().SynchronizeBlocking([&](const std::string& aParams) { got = aParams; }, "now");
    EXPECT_EQ(got, "now");
}

TEST_F(MainLoopTest, BlockingCallFromAWorkerRunsOnTheMainThreadAndWaits) {
    std::thread::id ranOn;
    std::string got;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        Synch().SynchronizeBlocking(
            [&](const std::string& aParams) {
                ranOn = std::this_thread::get_id();
                got = aParams;
            },
            "progress 3/10");
        returned = true;
    });
    EXPECT_TRUE(fLoop.RunUntil([&] { return returned.load(); }, cGenerous));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(got, "progress 3/10");
}

TEST_F(MainLoopTest, ExceptionOfABlockingCallIsRaisedAgainInTheWorker) {
    std::atomic<bool> returned{false};
    std::string message;
    int code = 0;
    bool caughtForeign = false;
    std::thread worker([&] {
        try {
            Synch().SynchronizeBlocking([](const std::string&) { throw TestFailure("list is gone", 42); }, {});
        } catch (const TestFailure& e) {
            message = e.what();
            code = e.code;
        }
        try {
            Synch().SynchronizeBlocking([](const std::string&) { throw 5; }, {});
        } catch (int) {
            caughtForeign = true;
        }
        returned = true;
    });
    EXPECT_TRUE(fLoop.RunUntil([&] { return returned.load(); }, cGenerous));
    worker.join();
    EXPECT_EQ(message, "list is gone");
    EXPECT_EQ(code, 42);
    EXPECT_TRUE(caughtForeign);
}

TEST_F(MainLoopTest, BlockingCallWithoutAMainThreadIsRefused) {
    SetMainThreadBinding(nullptr);
    bool ran = false;
    std::thread worker([&] {
        EXPECT_THROW(Synch().SynchronizeBlocking([&](const std::string&) { ran = true; }, {}), std::logic_error);
    });
    worker.join();
    EXPECT_FALSE(ran);
}

TEST_F(MainLoopTest, WorkerWaitingWhenTheLoopGoesGetsAnError) {
    auto loop = std::make_unique<THeadlessMainLoop>();
    SetMainThreadBinding(loop.get());
    bool ran = false;
    bool refused = false;
    std::thread worker([&] {
        try {
            Synch().SynchronizeBlocking([&](const std::string&) { ran = true; }, {});
        } catch (const std::runtime_error&) {
            refused = true;
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return loop->PendingBlockingCalls() == 1; }));
    loop.reset();
    worker.join();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(refused);
    EXPECT_EQ(GetMainThreadBinding(), nullptr);
}

TEST_F(MainLoopTest, QueuedCallsFromAWorkerRunOnTheMainThreadInOrder) {
    std::vector<std::string> ran;
    std::vector<std::thread::id> ranOn;
    std::thread worker([&] {
        for (const char* label : {"one", "two", "three"})
            Synch().SynchronizeNonBlocking(
                [&](const std::string& aParams) {
                    ran.push_back(aParams);
                    ranOn.push_back(std::this_thread::get_id());
                },
                label);
    });
    worker.join();
    EXPECT_TRUE(fLoop.RunUntil([&] { return ran.size() == 3; }, cGenerous));
    EXPECT_EQ(ran, (std::vector<std::string>{"one", "two", "three"}));
    for (auto id : ranOn) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(MainLoopTest, TerminateFromAWorkerEndsRun) {
    std::thread worker([&] { fLoop.Terminate(); });
    fLoop.Run();
    worker.join();
    EXPECT_TRUE(fLoop.IsTerminating());
}

TEST_F(MainLoopTest, RunUntilGivesUpAtItsTimeOut) { EXPECT_FALSE(fLoop.RunUntil([] { return false; }, 20ms)); }

TEST_F(MainLoopTest, ServingCallsOffTheMainThreadIsRefused) {
    std::thread worker([&] {
        EXPECT_THROW(fLoop.ProcessMessages(), std::logic_error);
        EXPECT_THROW(fLoop.RunUntil([] { return true; }, 1ms), std::logic_error);
        EXPECT_FALSE(fLoop.IsMainThread());
    });
    worker.join();
    EXPECT_TRUE(fLoop.IsMainThread());
}

// --- taking a lock on the main thread -------------------------------------------------------------

TEST_F(MainLoopTest, MainThreadGetsALockWhoseHolderWaitsForTheMainThread) {
    TCCriticalSection searchLock("TSearch");
    std::atomic<bool> holding{false};
    std::atomic<bool> workerDone{false};
    bool ranOnMain = false;
    std::thread worker([&] {
        TCLock lock(searchLock);
        holding = true;
        Synch().SynchronizeBlocking([&](const std::string&) { ranOnMain = true; }, {});
        workerDone = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));

    ASSERT_TRUE(EnterCriticalSectionProcessMessages(searchLock));
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(workerDone);
    searchLock.Release();
    worker.join();
}

TEST_F(MainLoopTest, WaitingForALockServesQueuedCalls) {
    TCCriticalSection lock("TSearch");
    std::atomic<bool> holding{false};
    std::atomic<bool> served{false};
    std::thread worker([&] {
        TCLock held(lock);
        Synch().SynchronizeNonBlocking([&](const std::string&) { served = true; }, {});
        holding = true;
        WaitUntil([&] { return served.load(); });
    });
    ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));
    ASSERT_TRUE(EnterCriticalSectionProcessMessages(lock));
    EXPECT_TRUE(served);
    lock.Release();
    worker.join();
}

TEST_F(MainLoopTest, FreeLockIsTakenAtOnce) {
    TCCriticalSection lock("free");
    ASSERT_TRUE(EnterCriticalSectionProcessMessages(lock));
    EXPECT_TRUE(lock.Entered());
    lock.Release();
}

TEST_F(MainLoopTest, TerminatingApplicationGetsNoLock) {
    for (bool heldByWorker : {false, true}) {
        THeadlessMainLoop loop;
        SetMainThreadBinding(&loop);
        loop.Terminate();
        TCCriticalSection lock("shutdown");
        std::atomic<bool> holding{false};
        std::atomic<bool> release{false};
        std::thread worker;
        if (heldByWorker) {
            worker = std::thread([&] {
                TCLock held(lock);
                holding = true;
                WaitUntil([&] { return release.load(); });
            });
            ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));
        }
        EXPECT_FALSE(EnterCriticalSectionProcessMessages(lock)) << "held by worker " << heldByWorker;
        release = true;
        if (worker.joinable()) worker.join();
        SetMainThreadBinding(&fLoop);
    }
}

// A main thread whose event processing fails.
class FailingBinding : public IMainThreadBinding {
public:
    bool IsMainThread() const override { return true; }
    void PostBlocking(std::function<void()> aWork) override { aWork(); }
    void ProcessMessages() override { throw std::runtime_error("event loop broke"); }
    bool IsTerminating() const override { return false; }
    void Terminate() override {}
};

TEST_F(MainLoopTest, FailureWhileServingCallsEndsTheWaitWithoutTheLock) {
    FailingBinding failing;
    SetMainThreadBinding(&failing);
    TCCriticalSection lock("busy");
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::thread worker([&] {
        TCLock held(lock);
        holding = true;
        WaitUntil([&] { return release.load(); });
    });
    ASSERT_TRUE(WaitUntil([&] { return holding.load(); }));
    EXPECT_FALSE(EnterCriticalSectionProcessMessages(lock));
    release = true;
    worker.join();
    SetMainThreadBinding(&fLoop);
}


// An idle watcher sleeps in ServeOnce: what ends the sleep is work, a Wake, or its deadline,
// never a tick of its own. The deadlines here are far off: a loop that missed the event
// would sleep until them, and the check after it would fail.
TEST_F(MainLoopTest, ServeOnceSleepsUntilAWakeFromAnotherThread) {
    const auto deadline = std::chrono::steady_clock::now() + cGenerous;
    std::thread waker([this] {
        std::this_thread::sleep_for(50ms);
        fLoop.Wake();
    });
    fLoop.ServeOnce(deadline);
    waker.join();
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
}

TEST_F(MainLoopTest, ServeOnceRunsACallQueuedWhileItSlept) {
    const auto deadline = std::chrono::steady_clock::now() + cGenerous;
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(50ms);
        Synch().SynchronizeNonBlocking([&](const std::string&) { ran = true; }, "");
    });
    while (!ran && std::chrono::steady_clock::now() < deadline) fLoop.ServeOnce(deadline);
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
}

TEST_F(MainLoopTest, AWakeBeforeServeOnceIsNotLost) {
    const auto deadline = std::chrono::steady_clock::now() + cGenerous;
    fLoop.Wake();
    fLoop.ServeOnce(deadline);
    EXPECT_LT(std::chrono::steady_clock::now(), deadline);
}

}  // namespace
}  // namespace trawlix
