#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "engine/threads.h"

namespace trawlix {

class TPoolThread;

// One unit of work for a pool. Owned by the pool until handed to a worker, then by the
// worker, which frees it when done.
class TPoolJob {
public:
    // Called on the worker thread after Work succeeded; the job is freed right after.
    using TOnPoolJobDone = std::function<void(TPoolJob&)>;

    explicit TPoolJob(void* aData = nullptr, TOnPoolJobDone aOnDone = {});
    virtual ~TPoolJob() = default;
    TPoolJob(const TPoolJob&) = delete;
    TPoolJob& operator=(const TPoolJob&) = delete;

    // Runs on the worker thread and may use the worker's own resources.
    virtual void Work(TPoolThread& aWorker) = 0;

    void* GetData() const { return fData; }
    void SetData(void* aData) { fData = aData; }
    const TOnPoolJobDone& GetOnDone() const { return fOnDone; }
    void SetOnDone(TOnPoolJobDone aOnDone) { fOnDone = std::move(aOnDone); }

private:
    void* fData;
    TOnPoolJobDone fOnDone;
};

// A pool worker: runs the job the pool hands it, one at a time. Subclasses add the
// resources their jobs need (an HTTP client, say).
class TPoolThread : public TcThread {
public:
    TPoolThread();
    ~TPoolThread() override;

    bool IsIdle() const;
    // The job being worked on, nullptr when idle.
    TPoolJob* GetJob() const;
    // Called by the pool, only while the worker is idle.
    void SetJob(std::unique_ptr<TPoolJob> aJob);
    // Called after each job, on the worker thread; the pool uses it to dispatch at once.
    void SetOnIdle(std::function<void()> aOnIdle);

protected:
    void Execute() override;

private:
    void RunJob(TPoolJob& aJob);
    void FinishJob();

    std::unique_ptr<TPoolJob> fJob;
    std::function<void()> fOnIdle;
};

// A fixed set of workers fed from a job queue by the pool's own (dispatcher) thread. The
// head job always goes to the idle worker that comes last in the list.
class TThreadPool : public TcThread {
public:
    // Adds aThreadCount plain workers and starts the dispatcher.
    explicit TThreadPool(int aThreadCount);
    // Stops the dispatcher, then every worker (each finishes its job in progress); jobs
    // still waiting are freed without running.
    ~TThreadPool() override;

    // Appends a worker and starts it.
    void AddThread(std::unique_ptr<TPoolThread> aThread);
    void AddThreads(int aThreadCount);
    // The pool owns the job from here on.
    void AddJob(std::unique_ptr<TPoolJob> aJob, bool aPushToFront = false);

    int GetThreadCount() const;
    TPoolThread& GetThread(int aIndex) const;
    int GetJobCount() const;

protected:
    // For subclasses that add their own workers: with aStartDispatcher false, call Start
    // once the subclass is built.
    TThreadPool(int aThreadCount, bool aStartDispatcher, const std::string& aClassName);

    void Execute() override;
    // Hands the head job to the last idle worker; false when nothing was handed out.
    bool FindJobAndThread();

private:
    TPoolThread* LastIdleThread() const;
    void StopWorkers();

    std::vector<std::unique_ptr<TPoolThread>> fThreads;
    std::deque<std::unique_ptr<TPoolJob>> fJobs;
};

}  // namespace trawlix
