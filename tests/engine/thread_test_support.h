#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace trawlix::test {

// Long enough that only a real hang runs into it.
inline constexpr std::chrono::milliseconds cGenerousWait{5000};

// Waits for a condition that another thread makes true. Does not serve the main thread:
// where the main thread must work meanwhile, use THeadlessMainLoop::RunUntil.
inline bool WaitUntil(const std::function<bool()>& aDone, std::chrono::milliseconds aTimeout = cGenerousWait) {
    auto deadline = std::chrono::steady_clock::now() + aTimeout;
    while (!aDone()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace trawlix::test
