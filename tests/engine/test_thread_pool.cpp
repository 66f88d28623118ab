#include "engine/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/thread_test_support.h"

namespace trawlix {
namespace {

using namespace std::chrono_literals;

using test::WaitUntil;

// Holds jobs inside Work until the test opens it.
class Gate {
public:
    void Open() {
        {
            std::lock_guard lock(fMutex);
            fOpen = true;
        }
        fOpened.notify_all();
    }
    void Pass() {
        std::unique_lock lock(fMutex);
        fOpened.wait_for(lock, test::cGenerousWait, [this] { return fOpen; });
    }

private:
    std::mutex fMutex;
    std::condition_variable fOpened;
    bool fOpen = false;
};

// What the jobs of one test did, in the order they did it.
struct JobLog {
    std::mutex mutex;
    std::vector<std::string> started;
    std::vector<std::string> done;
    std::vector<std::string> freed;
    std::vector<std::pair<std::string, TPoolThread*>> workers;

    void Add(std::vector<std::string>& aList, const std::string& aLabel) {
        std::lock_guard lock(mutex);
        aList.push_back(aLabel);
    }
    size_t Count(const std::vector<std::string>& aList) {
        std::lock_guard lock(mutex);
        return aList.size();
    }
    TPoolThread* WorkerOf(const std::string& aLabel) {
        std::lock_guard lock(mutex);
        for (auto& [label, worker] : workers)
            if (label == aLabel) return worker;
        return nullptr;
    }
};

class LoggedJob : public TPoolJob {
public:
    LoggedJob(JobLog& aLog, std::string aLabel, Gate* aGate = nullptr, bool aFails = false)
        : TPoolJob(nullptr, [&aLog](TPoolJob& aJob) { aLog.Add(aLog.done, static_cast<LoggedJob&>(aJob).fLabel); }),
          fLog(aLog), fLabel(std::move(aLabel)), fGate(aGate), fFails(aFails) {}
    ~LoggedJob() override { fLog.Add(fLog.freed, fLabel); }

    void Work(TPoolThread& aWorker) override {
        {
            std::lock_guard lock(fLog.mutex);
            fLog.started.push_back(fLabel);
            fLog.workers.emplace_back(fLabel, &aWorker);
        }
        if (fGate) fGate->Pass();
        if (fFails) throw std::runtime_error("download failed");
    }

private:
    JobLog& fLog;
    std::string fLabel;
    Gate* fGate;
    bool fFails;
};

TEST(ThreadPoolTest, HeadJobGoesToTheLastIdleWorker) {
    JobLog log;
    Gate gate;
    {
        TThreadPool pool(3);
        ASSERT_EQ(pool.GetThreadCount(), 3);
        for (const char* label : {"first", "second", "third"})
            pool.AddJob(std::make_unique<LoggedJob>(log, label, &gate));
        ASSERT_TRUE(WaitUntil([&] { return log.Count(log.started) == 3; }));
        // Each worker became busy when given its job, so the next job went to the idle
        // worker that was then last.
        EXPECT_EQ(log.WorkerOf("first"), &pool.GetThread(2));
        EXPECT_EQ(log.WorkerOf("second"), &pool.GetThread(1));
        EXPECT_EQ(log.WorkerOf("third"), &pool.GetThread(0));
        gate.Open();
        EXPECT_TRUE(WaitUntil([&] { return log.Count(log.freed) == 3; }));
    }
    EXPECT_EQ(log.Count(log.done), 3u);
}

TEST(ThreadPoolTest, JobPushedToFrontRunsBeforeEarlierWaitingJobs) {
    JobLog log;
    Gate gate;
    TThreadPool pool(1);
    pool.AddJob(std::make_unique<LoggedJob>(log, "busy", &gate));
    ASSERT_TRUE(WaitUntil([&] { return log.Count(log.started) == 1; }));
    pool.AddJob(std::make_unique<LoggedJob>(log, "queued"));
    pool.AddJob(std::make_unique<LoggedJob>(log, "urgent"), true);
    pool.AddJob(std::make_unique<LoggedJob>(log, "last"));
    EXPECT_EQ(pool.GetJobCount(), 3);
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return log.Count(log.done) == 4; }));
    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.started, (std::vector<std::string>{"busy", "urgent", "queued", "last"}));
}

TEST(ThreadPoolTest, FailingJobsEndOnlyThemselves) {
    JobLog log;
    Gate gate;
    TThreadPool pool(2);
    for (int i = 0; i < 4; ++i) pool.AddJob(std::make_unique<LoggedJob>(log, "fails" + std::to_string(i), nullptr, true));
    ASSERT_TRUE(WaitUntil([&] { return log.Count(log.freed) == 4; }));
    EXPECT_EQ(log.Count(log.done), 0u);

    // Both workers are still alive: two jobs can be inside Work at the same time.
    pool.AddJob(std::make_unique<LoggedJob>(log, "a", &gate));
    pool.AddJob(std::make_unique<LoggedJob>(log, "b", &gate));
    EXPECT_TRUE(WaitUntil([&] { return log.Count(log.started) == 6; }));
    gate.Open();
    EXPECT_TRUE(WaitUntil([&] { return log.Count(log.done) == 2; }));
}

TEST(ThreadPoolTest, OnDoneRunsOnTheWorkerWithTheJobAndItsData) {
    std::atomic<bool> done{false};
    std::thread::id doneOn;
    TPoolThread* worker = nullptr;
    int data = 17;
    int seenData = 0;

    class DataJob : public TPoolJob {
    public:
        using TPoolJob::TPoolJob;
        void Work(TPoolThread& aWorker) override { fWorker = &aWorker; }
        TPoolThread* fWorker = nullptr;
    };

    TThreadPool pool(1);
    pool.AddJob(std::make_unique<DataJob>(&data, [&](TPoolJob& aJob) {
        doneOn = std::this_thread::get_id();
        worker = static_cast<DataJob&>(aJob).fWorker;
        seenData = *static_cast<int*>(aJob.GetData());
        done = true;
    }));
    ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
    ASSERT_TRUE(WaitUntil([&] { return pool.GetThread(0).IsIdle(); }));
    EXPECT_NE(doneOn, std::this_thread::get_id());
    EXPECT_EQ(worker, &pool.GetThread(0));
    EXPECT_EQ(seenData, 17);
}

TEST(ThreadPoolTest, JobsStillWaitingWhenThePoolGoesAreFreedWithoutRunning) {
    JobLog log;
    Gate gate;
    auto pool = std::make_unique<TThreadPool>(1);
    pool->AddJob(std::make_unique<LoggedJob>(log, "in progress", &gate));
    ASSERT_TRUE(WaitUntil([&] { return log.Count(log.started) == 1; }));
    for (const char* label : {"w1", "w2", "w3"}) pool->AddJob(std::make_unique<LoggedJob>(log, label));

    // As the session does: stop handing out jobs first, then free the pool.
    pool->Terminate();
    pool->WaitFor();
    gate.Open();
    pool.reset();

    std::lock_guard lock(log.mutex);
    EXPECT_EQ(log.started, std::vector<std::string>{"in progress"});
    EXPECT_EQ(log.done, std::vector<std::string>{"in progress"});
    EXPECT_EQ(log.freed.size(), 4u);
}

// A pool with its own kind of worker, the way the picture downloader is built.
class NumberedWorker : public TPoolThread {
public:
    explicit NumberedWorker(int aNumber) : fNumber(aNumber) {}
    int Number() const { return fNumber; }

private:
    int fNumber;
};

class NumberedPool : public TThreadPool {
public:
    NumberedPool() : TThreadPool(0, false, "NumberedPool") {
        for (int i = 1; i <= 3; ++i) AddThread(std::make_unique<NumberedWorker>(i));
        Start();
    }
};

class NumberJob : public TPoolJob {
public:
    explicit NumberJob(std::atomic<int>& aNumber) : fNumber(aNumber) {}
    void Work(TPoolThread& aWorker) override { fNumber = dynamic_cast<NumberedWorker&>(aWorker).Number(); }

private:
    std::atomic<int>& fNumber;
};

TEST(ThreadPoolTest, SubclassedWorkersServeTheirOwnPool) {
    std::atomic<int> number{0};
    NumberedPool pool;
    pool.AddJob(std::make_unique<NumberJob>(number));
    EXPECT_TRUE(WaitUntil([&] { return number.load() != 0; }));
    EXPECT_EQ(number.load(), 3);
}

TEST(ThreadPoolTest, EmptyJobOrWorkerIsRefused) {
    TThreadPool pool(0);
    EXPECT_THROW(pool.AddJob(nullptr), std::invalid_argument);
    EXPECT_THROW(pool.AddThread(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace trawlix
