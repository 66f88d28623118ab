#pragma once

#include <functional>
#include <thread>

namespace trawlix::cli {

// Calls aWake from a thread of its own when a termination signal comes: a main loop that
// sleeps until its next due time hears of the signal at once. The signal handler itself
// may only write to its pipe.
class TSignalWake {
public:
    explicit TSignalWake(std::function<void()> aWake);
    ~TSignalWake();
    TSignalWake(const TSignalWake&) = delete;
    TSignalWake& operator=(const TSignalWake&) = delete;

private:
    void WaitForSignal(int aSignalFd, std::function<void()> aWake);

    int fStop[2] = {-1, -1};
    std::thread fThread;
};

}  // namespace trawlix::cli
