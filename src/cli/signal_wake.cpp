#include "cli/signal_wake.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "app/platform.h"

namespace trawlix::cli {

TSignalWake::TSignalWake(std::function<void()> aWake) {
    if (pipe2(fStop, O_CLOEXEC) != 0) throw std::runtime_error(std::strerror(errno));
    fThread = std::thread(&TSignalWake::WaitForSignal, this, platform::TTerminationSignals::WatchedReadFd(),
                          std::move(aWake));
}

TSignalWake::~TSignalWake() {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(fStop[1], &byte, 1);
    fThread.join();
    close(fStop[0]);
    close(fStop[1]);
}

void TSignalWake::WaitForSignal(int aSignalFd, std::function<void()> aWake) {
    pollfd watched[2] = {{fStop[0], POLLIN, 0}, {aSignalFd, POLLIN, 0}};
    const nfds_t count = aSignalFd >= 0 ? 2 : 1;
    for (;;) {
        if (poll(watched, count, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[0].revents) return;
        // The byte stays in the pipe for whoever else reads it; one wake is all it takes.
        if (count == 2 && watched[1].revents) {
            aWake();
            return;
        }
    }
}

}  // namespace trawlix::cli
