#include "engine/critical_section.h"

namespace trawlix {

namespace {
std::atomic<unsigned long> gNextLockNumber{1};
}

TCCriticalSection::TCCriticalSection(const std::string& aName)
    : fName(aName + "-" + std::to_string(gNextLockNumber++)) {}

void TCCriticalSection::Acquire() {
    fMutex.lock();
    fEntered = true;
}

void TCCriticalSection::Release() {
    fEntered = false;
    fMutex.unlock();
}

bool TCCriticalSection::TryEnter() {
    if (!fMutex.try_lock()) return false;
    fEntered = true;
    return true;
}

TThreadSafeObject::TThreadSafeObject(const std::string& aClassName)
    : fCriticalSection(aClassName + " CriticalSection") {}

}  // namespace trawlix
