#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace trawlix {

// A named re-entrant lock. The name is a diagnostic label only.
class TCCriticalSection {
public:
    explicit TCCriticalSection(const std::string& aName = {});
    TCCriticalSection(const TCCriticalSection&) = delete;
    TCCriticalSection& operator=(const TCCriticalSection&) = delete;

    void Acquire();
    void Release();
    bool TryEnter();

    // Lockable interface, so std::lock_guard / std::unique_lock work on it.
    void lock() { Acquire(); }
    void unlock() { Release(); }
    bool try_lock() { return TryEnter(); }

    const std::string& Name() const { return fName; }
    bool Entered() const { return fEntered.load(); }

private:
    std::recursive_mutex fMutex;
    std::string fName;
    std::atomic<bool> fEntered{false};
};

using TCLock = std::lock_guard<TCCriticalSection>;

// A copy of a field read under its lock, for getters of fields that other threads write.
template <class T>
T Locked(TCCriticalSection& aLock, const T& aField) {
    TCLock lock(aLock);
    return aField;
}

// Writes a field under its lock.
template <class T>
void SetLocked(TCCriticalSection& aLock, T& aField, std::type_identity_t<T> aValue) {
    TCLock lock(aLock);
    aField = std::move(aValue);
}

// Base of every model object that carries its own lock.
class TThreadSafeObject {
public:
    explicit TThreadSafeObject(const std::string& aClassName);
    virtual ~TThreadSafeObject() = default;
    TThreadSafeObject(const TThreadSafeObject&) = delete;
    TThreadSafeObject& operator=(const TThreadSafeObject&) = delete;

    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }

protected:
    mutable TCCriticalSection fCriticalSection;
};

}  // namespace trawlix
