#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/critical_section.h"

namespace trawlix {

// Base of every worker thread: its own lock and its own stop flag, polled by Execute.
//
// A thread is always created suspended and runs once Start (or Launch) is called: a base
// constructor cannot safely start a thread that calls the derived class's Execute, because
// the derived part is not built yet. Classes that must run at once call Start at the end of
// their own constructor.
//
// A subclass whose Execute uses the subclass's own members calls TerminateAndWait first
// thing in its destructor, so that Execute has returned before those members go.
class TcThread {
public:
    explicit TcThread(const std::string& aClassName = "TcThread");
    virtual ~TcThread();
    TcThread(const TcThread&) = delete;
    TcThread& operator=(const TcThread&) = delete;

    // Runs Execute on a new thread. Not for a thread that frees itself: use Launch.
    void Start();
    // Starts a thread that has FreeOnTerminate set; from here on it owns itself and is
    // deleted on its own thread when Execute returns.
    static void Launch(std::unique_ptr<TcThread> aThread);

    // Asks Execute to stop; wakes a thread sleeping in SleepFor but does not wait.
    void Terminate();
    bool Terminated() const;
    bool GetIsTerminated() const { return Terminated(); }
    // True on a thread of this class whose stop was asked for: long calls deep below Execute
    // (a network transfer) give up early through it. False on any other thread.
    static bool CurrentThreadTerminated();
    // Waits until Execute has returned; returns at once when the thread never started.
    void WaitFor();
    // True once Execute has returned.
    bool Finished() const;

    bool GetFreeOnTerminate() const;
    void SetFreeOnTerminate(bool aValue);

    TCCriticalSection& GetThreadCriticalSection() const { return fThreadCriticalSection; }

protected:
    virtual void Execute() = 0;

    // Sleeps up to aDuration; returns early when the thread is terminated or woken.
    void SleepFor(std::chrono::milliseconds aDuration);
    // Ends the current or next SleepFor of this thread early.
    void Wake();
    void TerminateAndWait();

    mutable TCCriticalSection fThreadCriticalSection;

private:
    void Run();
    void CheckNotStarted() const;

    bool fIsTerminated = false;
    bool fFreeOnTerminate = false;
    bool fStarted = false;
    bool fFinished = false;
    std::thread fThread;
    std::mutex fJoinMutex;

    std::mutex fWakeMutex;
    std::condition_variable fWakeCondition;
    bool fWakeRequested = false;
    bool fStopRequested = false;  // mirrors fIsTerminated under fWakeMutex
};

// An ordered list of name=value pairs; names match without regard to ASCII case.
class TNameValueList {
public:
    // The value of aName, empty when the name is absent.
    std::string GetValue(const std::string& aName) const;
    void SetValue(const std::string& aName, const std::string& aValue);
    bool Contains(const std::string& aName) const;
    int Count() const { return static_cast<int>(fItems.size()); }
    // One "name=value" line per pair, in the order the names were first set.
    std::string Text() const;

private:
    std::vector<std::pair<std::string, std::string>>::const_iterator Find(const std::string& aName) const;

    std::vector<std::pair<std::string, std::string>> fItems;
};

// Runs one procedure in the background, then one procedure on the main thread, then frees
// itself. Fill Params, set ExecuteMethod and OnFinishedMethod, then TcThread::Launch it.
class TSimpleThread : public TcThread {
public:
    using TProcWithParams = std::function<void(TNameValueList&)>;
    using TFinishedMethod = std::function<void()>;

    // Where a failure of ExecuteMethod is reported.
    static constexpr const char* cExceptionParam = "exception";

    TSimpleThread();
    ~TSimpleThread() override;

    TNameValueList& Params() { return fParams; }
    const TNameValueList& GetParams() const { return fParams; }
    void SetExecuteMethod(TProcWithParams aMethod);
    void SetOnFinishedMethod(TFinishedMethod aMethod);

protected:
    void Execute() override;

private:
    void RunExecuteMethod();
    void RunOnFinishedMethod();

    TNameValueList fParams;
    TProcWithParams fExecuteMethod;
    TFinishedMethod fOnFinishedMethod;
};

// Calls OnTimer on its own thread every Interval milliseconds; Interval 0 means idle.
class TThreadedTimer : public TcThread {
public:
    using TOnTimer = std::function<void(TThreadedTimer&)>;

    TThreadedTimer();
    ~TThreadedTimer() override;

    int GetInterval() const;
    void SetInterval(int aMilliseconds);
    TOnTimer GetOnTimer() const;
    void SetOnTimer(TOnTimer aHandler);

protected:
    void Execute() override;

private:
    void Tick();

    int fInterval = 0;
    TOnTimer fOnTimer;
};

}  // namespace trawlix
