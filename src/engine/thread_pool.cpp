#include "engine/thread_pool.h"

#include <stdexcept>

namespace trawlix {

namespace {
// How long an idle worker or an idle dispatcher sleeps when nobody wakes it.
constexpr auto cIdlePoll = std::chrono::milliseconds(20);
}  // namespace

// --- TPoolJob ---------------------------------------------------------------------------

TPoolJob::TPoolJob(void* aData, TOnPoolJobDone aOnDone) : fData(aData), fOnDone(std::move(aOnDone)) {}

// --- TPoolThread -------------------------------------------------------------------------

TPoolThread::TPoolThread() : TcThread("TPoolThread") {}

TPoolThread::~TPoolThread() { TerminateAndWait(); }

bool TPoolThread::IsIdle() const {
    TCLock lock(fThreadCriticalSection);
    return !fJob;
}

TPoolJob* TPoolThread::GetJob() const {
    TCLock lock(fThreadCriticalSection);
    return fJob.get();
}

void TPoolThread::SetJob(std::unique_ptr<TPoolJob> aJob) {
    {
        TCLock lock(fThreadCriticalSection);
        if (fJob) throw std::logic_error("The worker is busy.");
        fJob = std::move(aJob);
    }
    Wake();
}

void TPoolThread::SetOnIdle(std::function<void()> aOnIdle) {
    TCLock lock(fThreadCriticalSection);
    fOnIdle = std::move(aOnIdle);
}

void TPoolThread::Execute() {
    while (!Terminated()) {
        // The job stays in fJob while it runs, so the pool sees this worker as busy; only
        // this thread clears it, so the pointer stays valid outside the lock.
        TPoolJob* job = GetJob();
        if (!job) {
            SleepFor(cIdlePoll);
            continue;
        }
        RunJob(*job);
        FinishJob();
    }
}

void TPoolThread::RunJob(TPoolJob& aJob) {
    try {
        aJob.Work(*this);
        if (aJob.GetOnDone()) aJob.GetOnDone()(aJob);
    } catch (...) {
        // A failed job ends that job only; the worker goes on with the next one.
    }
}

void TPoolThread::FinishJob() {
    std::unique_ptr<TPoolJob> finished;
    std::function<void()> onIdle;
    {
        TCLock lock(fThreadCriticalSection);
        finished = std::move(fJob);
        onIdle = fOnIdle;
    }
    finished.reset();
    if (onIdle) onIdle();
}

// --- TThreadPool -------------------------------------------------------------------------------

TThreadPool::TThreadPool(int aThreadCount) : TThreadPool(aThreadCount, true, "TThreadPool") {}

TThreadPool::TThreadPool(int aThreadCount, bool aStartDispatcher, const std::string& aClassName)
    : TcThread(aClassName) {
    AddThreads(aThreadCount);
    if (aStartDispatcher) Start();
}

TThreadPool::~TThreadPool() {
    // The dispatcher first, so that no job is handed out while the workers stop.
    TerminateAndWait();
    StopWorkers();
    fThreads.clear();
    fJobs.clear();
}

void TThreadPool::StopWorkers() {
    std::vector<TPoolThread*> workers;
    {
        TCLock lock(fThreadCriticalSection);
        for (auto& worker : fThreads) workers.push_back(worker.get());
    }
    // All are told first, so they wind down together instead of one after another.
    for (TPoolThread* worker : workers) worker->Terminate();
    for (TPoolThread* worker : workers) worker->WaitFor();
}

void TThreadPool::AddThread(std::unique_ptr<TPoolThread> aThread) {
    if (!aThread) throw std::invalid_argument("No worker to add.");
    aThread->SetOnIdle([this] { Wake(); });
    aThread->Start();
    TCLock lock(fThreadCriticalSection);
    fThreads.push_back(std::move(aThread));
}

void TThreadPool::AddThreads(int aThreadCount) {
    for (int i = 0; i < aThreadCount; ++i) AddThread(std::make_unique<TPoolThread>());
}

void TThreadPool::AddJob(std::unique_ptr<TPoolJob> aJob, bool aPushToFront) {
    if (!aJob) throw std::invalid_argument("No job to add.");
    {
        TCLock lock(fThreadCriticalSection);
        if (aPushToFront)
            fJobs.push_front(std::move(aJob));
        else
            fJobs.push_back(std::move(aJob));
    }
    Wake();
}

int TThreadPool::GetThreadCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fThreads.size());
}

TPoolThread& TThreadPool::GetThread(int aIndex) const {
    TCLock lock(fThreadCriticalSection);
    return *fThreads.at(static_cast<size_t>(aIndex));
}

int TThreadPool::GetJobCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fJobs.size());
}

void TThreadPool::Execute() {
    while (!Terminated()) {
        if (!FindJobAndThread()) SleepFor(cIdlePoll);
    }
}

bool TThreadPool::FindJobAndThread() {
    TCLock lock(fThreadCriticalSection);
    if (fJobs.empty()) return false;
    TPoolThread* worker = LastIdleThread();
    if (!worker) return false;
    std::unique_ptr<TPoolJob> job = std::move(fJobs.front());
    fJobs.pop_front();
    worker->SetJob(std::move(job));
    return true;
}

TPoolThread* TThreadPool::LastIdleThread() const {
    TPoolThread* found = nullptr;
    for (const auto& worker : fThreads)
        if (worker->IsIdle()) found = worker.get();
    return found;
}

}  // namespace trawlix
