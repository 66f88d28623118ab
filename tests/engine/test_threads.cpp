#include "engine/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/synchronizator.h"

#include "engine/thread_test_support.h"

namespace trawlix {
namespace {

using namespace std::chrono_literals;

using test::WaitUntil;

// Loops until told to stop, then tells the test it has left Execute.
class LoopingThread : public TcThread {
public:
    explicit LoopingThread(std::atomic<bool>& aExited) : TcThread("LoopingThread"), fExited(aExited) {}
    ~LoopingThread() override { TerminateAndWait(); }

    std::atomic<int> rounds{0};

protected:
    void Execute() override {
        while (!Terminated()) {
            ++rounds;
            SleepFor(1ms);
        }
        fExited = true;
    }

private:
    std::atomic<bool>& fExited;
};

TEST(TcThreadTest, SuspendedThreadRunsOnlyOnceStarted) {
    std::atomic<bool> exited{false};
    LoopingThread thread(exited);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(thread.rounds.load(), 0);
    EXPECT_FALSE(thread.Finished());

    thread.Start();
    EXPECT_TRUE(WaitUntil([&] { return thread.rounds.load() > 0; }));
    EXPECT_FALSE(thread.Terminated());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    thread.WaitFor();
    EXPECT_TRUE(exited);
    EXPECT_TRUE(thread.Finished());
}

TEST(TcThreadTest, DestroyingARunningThreadStopsItAndWaitsForIt) {
    std::atomic<bool> exited{false};
    auto thread = std::make_unique<LoopingThread>(exited);
    thread->Start();
    ASSERT_TRUE(WaitUntil([&] { return thread->rounds.load() > 0; }));
    thread.reset();
    EXPECT_TRUE(exited);
}

TEST(TcThreadTest, WaitingForAThreadNeverStartedReturnsAtOnce) {
    std::atomic<bool> exited{false};
    LoopingThread thread(exited);
    thread.WaitFor();
    EXPECT_FALSE(thread.Finished());
}

TEST(TcThreadTest, MisusedStartsAreRefused) {
    std::atomic<bool> exited{false};
    LoopingThread running(exited);
    running.Start();
    EXPECT_THROW(running.Start(), std::logic_error);
    EXPECT_THROW(running.SetFreeOnTerminate(true), std::logic_error);

    auto notSelfFreeing = std::make_unique<LoopingThread>(exited);
    EXPECT_THROW(TcThread::Launch(std::move(notSelfFreeing)), std::logic_error);

    LoopingThread selfFreeing(exited);
    selfFreeing.SetFreeOnTerminate(true);
    EXPECT_THROW(selfFreeing.Start(), std::logic_error);
    EXPECT_THROW(selfFreeing.WaitFor(), std::logic_error);
}

class FailingThread : public TcThread {
protected:
    void Execute() override { throw std::runtime_error("worker failed"); }
};

TEST(TcThreadTest, ExceptionLeavingExecuteEndsOnlyThatThread) {
    FailingThread thread;
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
}

// Tells the test when it has been freed.
class SelfFreeingThread : public TcThread {
public:
    explicit SelfFreeingThread(std::promise<std::thread::id>& aFreed) : fFreed(aFreed) { SetFreeOnTerminate(true); }
    ~SelfFreeingThread() override { fFreed.set_value(std::this_thread::get_id()); }

protected:
    void Execute() override {}

private:
    std::promise<std::thread::id>& fFreed;
};

TEST(TcThreadTest, ThreadThatFreesItselfIsDeletedOnItsOwnThread) {
    std::promise<std::thread::id> freed;
    auto freedOn = freed.get_future();
    TcThread::Launch(std::make_unique<SelfFreeingThread>(freed));
    ASSERT_EQ(freedOn.wait_for(test::cGenerousWait), std::future_status::ready);
    EXPECT_NE(freedOn.get(), std::this_thread::get_id());
}

// --- TNameValueList ----------------------------------------------------------------------------------

TEST(NameValueListTest, ValuesAreFoundByNameWhateverTheCase) {
    TNameValueList params;
    params.SetValue("Address", "a@b.c");
    params.SetValue("count", "3");
    params.SetValue("ADDRESS", "x@y.z");

    struct Case {
        const char* name;
        const char* expected;
        bool present;
    };
    for (const Case& c : {Case{"address", "x@y.z", true}, Case{"Count", "3", true}, Case{"missing", "", false},
                          Case{"addres", "", false}}) {
        EXPECT_EQ(params.GetValue(c.name), c.expected) << c.name;
        EXPECT_EQ(params.Contains(c.name), c.present) << c.name;
    }
    EXPECT_EQ(params.Count(), 2);
    EXPECT_EQ(params.Text(), "Address=x@y.z\ncount=3\n");
}

// --- TSimpleThread ----------------------------------------------------------------------------------------

class ObservedSimpleThread : public TSimpleThread {
public:
    explicit ObservedSimpleThread(std::atomic<bool>& aFreed) : fFreed(aFreed) {}
    ~ObservedSimpleThread() override { fFreed = true; }

private:
    std::atomic<bool>& fFreed;
};

class SimpleThreadTest : public ::testing::Test {
protected:
    void SetUp() override { SetMainThreadBinding(&fLoop); }
    void TearDown() override {
        SetMainThreadBinding(nullptr);
        TSynchronizator::FreeInstance();
    }

    THeadlessMainLoop fLoop;
};

struct SimpleThreadCase {
    const char* name;
    std::function<void(TNameValueList&)> body;
    const char* expectedException;
};

TEST_F(SimpleThreadTest, OutcomeReachesTheFinishingProcedureOnTheMainThread) {
    const std::vector<SimpleThreadCase> cases = {
        {"succeeds", [](TNameValueList& p) { p.SetValue("result", "sent to " + p.GetValue("to")); }, ""},
        {"raises", [](TNameValueList&) { throw std::runtime_error("Connection refused"); }, "Connection refused"},
        {"raises without a message", [](TNameValueList&) { throw std::runtime_error(""); }, "Unknown error"},
        {"raises a non-standard exception", [](TNameValueList&) { throw 3; }, "Unknown error"},
    };
    for (const SimpleThreadCase& c : cases) {
        std::atomic<bool> freed{false};
        std::atomic<bool> finished{false};
        std::thread::id ranOn;
        std::string exception;
        std::string result;
        auto thread = std::make_unique<ObservedSimpleThread>(freed);
        TSimpleThread& simple = *thread;
        simple.Params().SetValue("to", "bob@example.com");
        simple.SetExecuteMethod(c.body);
        simple.SetOnFinishedMethod([&] {
            ranOn = std::this_thread::get_id();
            exception = simple.GetParams().GetValue(TSimpleThread::cExceptionParam);
            result = simple.GetParams().GetValue("result");
            finished = true;
        });
        TcThread::Launch(std::move(thread));

        ASSERT_TRUE(fLoop.RunUntil([&] { return finished.load(); }, test::cGenerousWait)) << c.name;
        EXPECT_EQ(ranOn, std::this_thread::get_id()) << c.name;
        EXPECT_EQ(exception, c.expectedException) << c.name;
        if (std::string(c.expectedException).empty()) {
            EXPECT_EQ(result, "sent to bob@example.com");
        }
        EXPECT_TRUE(WaitUntil([&] { return freed.load(); })) << c.name;
    }
}

TEST_F(SimpleThreadTest, ThreadWithoutFinishingProcedureStillFreesItself) {
    std::atomic<bool> freed{false};
    std::atomic<bool> ran{false};
    auto thread = std::make_unique<ObservedSimpleThread>(freed);
    thread->SetExecuteMethod([&](TNameValueList&) { ran = true; });
    TcThread::Launch(std::move(thread));
    EXPECT_TRUE(WaitUntil([&] { return freed.load(); }));
    EXPECT_TRUE(ran);
}

// --- TThreadedTimer --------------------------------------------------------------------------------------

TEST(ThreadedTimerTest, IdleAtIntervalZeroAndTicksOnceAnIntervalIsSet) {
    TThreadedTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<bool> onTimerThread{true};
    const auto testThread = std::this_thread::get_id();
    timer.SetOnTimer([&](TThreadedTimer& aSender) {
        if (std::this_thread::get_id() == testThread || &aSender != &timer) onTimerThread = false;
        ++ticks;
    });
    timer.Start();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(ticks.load(), 0);

    timer.SetInterval(2);
    EXPECT_TRUE(WaitUntil([&] { return ticks.load() >= 3; }));
    EXPECT_TRUE(onTimerThread);
    timer.Terminate();
    timer.WaitFor();
    const int stoppedAt = ticks.load();
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ticks.load(), stoppedAt);
}

TEST(ThreadedTimerTest, FailingHandlerDoesNotStopTheTimer) {
    TThreadedTimer timer;
    std::atomic<int> ticks{0};
    timer.SetInterval(1);
    timer.SetOnTimer([&](TThreadedTimer&) {
        ++ticks;
        throw std::runtime_error("paint failed");
    });
    timer.Start();
    EXPECT_TRUE(WaitUntil([&] { return ticks.load() >= 3; }));
}

TEST(ThreadedTimerTest, StoppingALongIntervalTimerDoesNotWaitOutTheInterval) {
    // Without the wake-up, WaitFor below would take a minute.
    TThreadedTimer timer;
    std::atomic<int> ticks{0};
    timer.SetInterval(60000);
    timer.SetOnTimer([&](TThreadedTimer&) { ++ticks; });
    timer.Start();
    ASSERT_TRUE(WaitUntil([&] { return ticks.load() == 1; }));
    timer.Terminate();
    timer.WaitFor();
    EXPECT_TRUE(timer.Finished());
}

}  // namespace
}  // namespace trawlix
