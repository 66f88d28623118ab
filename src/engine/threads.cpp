#include "engine/threads.h"

#include <algorithm>
#include <stdexcept>

#include "engine/synchronizator.h"

namespace trawlix {

namespace {

bool SameNameIgnoringCase(const std::string& aLeft, const std::string& aRight) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
    return std::equal(aLeft.begin(), aLeft.end(), aRight.begin(), aRight.end(),
                      [&](char a, char b) { return lower(a) == lower(b); });
}

constexpr auto cIdleTimerPoll = std::chrono::milliseconds(100);

// The TcThread whose Execute runs on this thread, while it runs.
thread_local const TcThread* tCurrentThread = nullptr;

}  // namespace

// --- TcThread ------------------------------------------------------------------------

TcThread::TcThread(const std::string& aClassName)
    : fThreadCriticalSection(aClassName + " CriticalSection") {}

TcThread::~TcThread() { TerminateAndWait(); }

void TcThread::CheckNotStarted() const {
    if (fStarted) throw std::logic_error("The thread has already been started.");
}

void TcThread::Start() {
    std::lock_guard join(fJoinMutex);
    {
        TCLock lock(fThreadCriticalSection);
        if (fFreeOnTerminate) throw std::logic_error("A thread that frees itself is started with Launch.");
        CheckNotStarted();
        fStarted = true;
    }
    fThread = std::thread([this] { Run(); });
}

void TcThread::Launch(std::unique_ptr<TcThread> aThread) {
    if (!aThread) throw std::invalid_argument("No thread to launch.");
    {
        TCLock lock(aThread->fThreadCriticalSection);
        if (!aThread->fFreeOnTerminate) throw std::logic_error("Only a thread that frees itself is launched.");
        aThread->CheckNotStarted();
        aThread->fStarted = true;
    }
    // The running thread holds the only owner, so nobody else can join or delete it; it
    // is detached here, before it could possibly have finished and deleted itself.
    std::thread([owner = std::move(aThread)]() mutable {
        owner->Run();
        owner.reset();
    }).detach();
}

void TcThread::Run() {
    {
        // A wake-up asked for before the thread ran is stale: Execute looks at its state
        // before it first sleeps anyway.
        std::lock_guard wake(fWakeMutex);
        fWakeRequested = false;
    }
    tCurrentThread = this;
    try {
        Execute();
    } catch (...) {
        // An exception leaving a thread would end the process; a thread that wants its
        // failures seen reports them itself.
    }
    tCurrentThread = nullptr;
    TCLock lock(fThreadCriticalSection);
    fFinished = true;
}

void TcThread::Terminate() {
    {
        TCLock lock(fThreadCriticalSection);
        fIsTerminated = true;
    }
    {
        std::lock_guard wake(fWakeMutex);
        fStopRequested = true;
    }
    fWakeCondition.notify_all();
}

bool TcThread::Terminated() const {
    TCLock lock(fThreadCriticalSection);
    return fIsTerminated;
}

bool TcThread::CurrentThreadTerminated() {
    return tCurrentThread != nullptr && tCurrentThread->Terminated();
}

bool TcThread::Finished() const {
    TCLock lock(fThreadCriticalSection);
    return fFinished;
}

void TcThread::WaitFor() {
    if (GetFreeOnTerminate()) throw std::logic_error("Cannot wait for a thread that frees itself.");
    std::lock_guard join(fJoinMutex);
    if (!fThread.joinable()) return;
    if (fThread.get_id() == std::this_thread::get_id()) throw std::logic_error("A thread cannot wait for itself.");
    fThread.join();
}

void TcThread::TerminateAndWait() {
    Terminate();
    std::lock_guard join(fJoinMutex);
    if (!fThread.joinable()) return;
    if (fThread.get_id() == std::this_thread::get_id()) {
        // Deleted from inside its own Execute: joining would wait forever.
        fThread.detach();
        return;
    }
    fThread.join();
}

bool TcThread::GetFreeOnTerminate() const { return Locked(fThreadCriticalSection, fFreeOnTerminate); }

void TcThread::SetFreeOnTerminate(bool aValue) {
    TCLock lock(fThreadCriticalSection);
    CheckNotStarted();
    fFreeOnTerminate = aValue;
}

void TcThread::SleepFor(std::chrono::milliseconds aDuration) {
    // Only the wake state is read here, never the thread's lock: Wake may be called by
    // code that holds that lock, and the two must not be taken in opposite orders.
    std::unique_lock wake(fWakeMutex);
    fWakeCondition.wait_for(wake, aDuration, [this] { return fWakeRequested || fStopRequested; });
    fWakeRequested = false;
}

void TcThread::Wake() {
    {
        std::lock_guard wake(fWakeMutex);
        fWakeRequested = true;
    }
    fWakeCondition.notify_all();
}

// --- TNameValueList -----------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>>::const_iterator TNameValueList::Find(const std::string& aName) const {
    return std::find_if(fItems.begin(), fItems.end(),
                        [&](const auto& item) { return SameNameIgnoringCase(item.first, aName); });
}

std::string TNameValueList::GetValue(const std::string& aName) const {
    auto item = Find(aName);
    return item == fItems.end() ? std::string() : item->second;
}

void TNameValueList::SetValue(const std::string& aName, const std::string& aValue) {
    auto item = Find(aName);
    if (item == fItems.end()) {
        fItems.emplace_back(aName, aValue);
        return;
    }
    fItems[static_cast<size_t>(item - fItems.begin())].second = aValue;
}

bool TNameValueList::Contains(const std::string& aName) const { return Find(aName) != fItems.end(); }

std::string TNameValueList::Text() const {
    std::string text;
    for (const auto& [name, value] : fItems) text += name + "=" + value + "\n";
    return text;
}

// --- TSimpleThread -----------------------------------------------------------------------------

TSimpleThread::TSimpleThread() : TcThread("TSimpleThread") { SetFreeOnTerminate(true); }

TSimpleThread::~TSimpleThread() { TerminateAndWait(); }

void TSimpleThread::SetExecuteMethod(TProcWithParams aMethod) { fExecuteMethod = std::move(aMethod); }

void TSimpleThread::SetOnFinishedMethod(TFinishedMethod aMethod) { fOnFinishedMethod = std::move(aMethod); }

void TSimpleThread::Execute() {
    RunExecuteMethod();
    RunOnFinishedMethod();
}

void TSimpleThread::RunExecuteMethod() {
    // An exception with an empty message would read as success to the finishing
    // procedure, which only looks at whether "exception" holds text.
    try {
        if (fExecuteMethod) fExecuteMethod(fParams);
    } catch (const std::exception& e) {
        std::string message = e.what();
        fParams.SetValue(cExceptionParam, message.empty() ? "Unknown error" : message);
    } catch (...) {
        fParams.SetValue(cExceptionParam, "Unknown error");
    }
}

void TSimpleThread::RunOnFinishedMethod() {
    if (!fOnFinishedMethod) return;
    try {
        Synch().SynchronizeBlocking([this](const std::string&) { fOnFinishedMethod(); }, {});
    } catch (...) {
        // The finishing procedure is the thread's only way to report; nothing is left to tell.
    }
}

// --- TThreadedTimer -------------------------------------------------------------------------------

TThreadedTimer::TThreadedTimer() : TcThread("TThreadedTimer") {}

TThreadedTimer::~TThreadedTimer() { TerminateAndWait(); }

int TThreadedTimer::GetInterval() const { return Locked(fThreadCriticalSection, fInterval); }

void TThreadedTimer::SetInterval(int aMilliseconds) {
    {
        TCLock lock(fThreadCriticalSection);
        fInterval = aMilliseconds;
    }
    // A new interval takes effect now rather than after the sleep in progress.
    Wake();
}

TThreadedTimer::TOnTimer TThreadedTimer::GetOnTimer() const { return Locked(fThreadCriticalSection, fOnTimer); }

void TThreadedTimer::SetOnTimer(TOnTimer aHandler) { SetLocked(fThreadCriticalSection, fOnTimer, std::move(aHandler)); }

void TThreadedTimer::Execute() {
    while (!Terminated()) {
        int interval = GetInterval();
        if (interval <= 0) {
            SleepFor(cIdleTimerPoll);
            continue;
        }
        Tick();
        SleepFor(std::chrono::milliseconds(interval));
    }
}

void TThreadedTimer::Tick() {
    TOnTimer handler = GetOnTimer();
    if (!handler || Terminated()) return;
    try {
        handler(*this);
    } catch (...) {
        // A failing tick must not stop the timer.
    }
}

}  // namespace trawlix
