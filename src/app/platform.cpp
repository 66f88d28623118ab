#include "app/platform.h"

#include <execinfo.h>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <cstring>
#include <memory>

#include "model/version.h"

namespace trawlix::platform {

namespace {

std::filesystem::path EnvPath(const char* aName) {
    const char* value = std::getenv(aName);
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path HomeFolder() {
    auto home = EnvPath("HOME");
    return home.empty() ? std::filesystem::temp_directory_path() : home;
}

std::filesystem::path XdgFolder(const char* aVariable, const char* aFallback) {
    auto folder = EnvPath(aVariable);
    return folder.empty() ? HomeFolder() / aFallback : folder;
}

}  // namespace

std::filesystem::path DataFolder() {
    auto folder = EnvPath("TRAWLIX_DATA_DIR");
    if (folder.empty()) folder = XdgFolder("XDG_DATA_HOME", ".local/share") / "Trawlix";
    return folder / "";
}

std::filesystem::path ConfigFolder() {
    auto folder = EnvPath("TRAWLIX_CONFIG_DIR");
    if (folder.empty()) folder = XdgFolder("XDG_CONFIG_HOME", ".config") / "VelmoraSolutions" / "Trawlix";
    return folder / "";
}

std::filesystem::path SettingsFile() { return ConfigFolder() / "settings.conf"; }

std::filesystem::path AutostartFile() {
    return XdgFolder("XDG_CONFIG_HOME", ".config") / "autostart" / "trawlix.desktop";
}

std::filesystem::path RuntimeFolder() {
    auto folder = EnvPath("XDG_RUNTIME_DIR");
    return folder.empty() ? DataFolder() : folder;
}

std::filesystem::path BringToFrontSocketPath() { return RuntimeFolder() / "BringTrawlixToFront"; }

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::filesystem::path ProgramsFolder() { return std::filesystem::path(ExecutablePath()).parent_path() / ""; }

std::filesystem::path InstalledDataFolderBeside(const std::filesystem::path& aProgramsFolder) {
    // An install keeps its files in ../share/trawlix wherever it was put (/usr, /usr/local,
    // a DESTDIR), so no installation path is built into the program. Without them this is a
    // build tree, which uses its sources even when another copy is installed on the machine.
    auto besideProgram = (aProgramsFolder / "..").lexically_normal() / "share" / "trawlix";
    std::error_code ec;
    if (std::filesystem::is_directory(besideProgram, ec)) return besideProgram;
    return TRAWLIX_SOURCE_DATA_DIR;
}

std::filesystem::path InstalledDataFolder() {
    auto override = EnvPath("TRAWLIX_INSTALLED_DATA_DIR");
    if (!override.empty()) return override;
    return InstalledDataFolderBeside(ProgramsFolder());
}

std::filesystem::path MapsFolder() {
    auto override = EnvPath("TRAWLIX_MAPS_DIR");
    if (!override.empty()) return override;
    std::error_code ec;
    auto installed = InstalledDataFolder() / "maps";
    if (std::filesystem::is_directory(installed, ec)) return installed;
#ifdef TRAWLIX_BUILD_MAPS_DIR
    return TRAWLIX_BUILD_MAPS_DIR;
#else
    return installed;
#endif
}

void CopyMissingInstalledFiles(const std::filesystem::path& aInstalled, const std::filesystem::path& aDataFolder) {
    namespace fs = std::filesystem;
    fs::create_directories(aDataFolder);
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(aInstalled, ec)) {
        auto relative = fs::relative(entry.path(), aInstalled);
        // The public sources of the reference data stay with the build, and the service
        // files belong to the system's service manager, not to a user's data.
        auto first = relative.begin()->string();
        if (first == "sources" || first == "systemd") continue;  // stay with the build and the package
        if (first == "maps" || first == "news") continue;  // read where they are installed
        if (entry.path().extension() == ".sql") continue;
        auto target = aDataFolder / relative;
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else if (entry.is_regular_file() && !fs::exists(target)) {
            fs::create_directories(target.parent_path());
            fs::copy_file(entry.path(), target);
        }
    }
}

TInstanceLock::TInstanceLock(const std::filesystem::path& aLockFile) : fFolder(aLockFile.parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(aLockFile.parent_path(), ec);
    if (ec) {
        Fail(ec.message());
        return;
    }
    fFd = ::open(aLockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fFd < 0) {
        Fail(std::strerror(errno));
        return;
    }
    if (const int error = TryLock(); error != 0 && error != EWOULDBLOCK) Fail(std::strerror(error));
}

void TInstanceLock::Fail(const std::string& aReason) {
    fError = "Cannot lock the data folder " + fFolder.string() + ": " + aReason;
}

TInstanceLock::~TInstanceLock() {
    if (fFd >= 0) ::close(fFd);  // closing releases the lock
}

int TInstanceLock::TryLock() {
    if (::flock(fFd, LOCK_EX | LOCK_NB) != 0) return errno;
    fHeld = true;
    return 0;
}

bool TInstanceLock::WaitUntilAcquired(int aStopFd) {
    // Polled rather than a blocking flock: the signal handlers restart blocking calls, and a
    // `systemctl stop` must end the wait at once.
    constexpr int cRetryMs = 250;
    while (fFd >= 0 && !fHeld) {
        const int error = TryLock();
        if (error != 0 && error != EWOULDBLOCK && error != EINTR) {
            Fail(std::strerror(error));
            return false;
        }
        if (fHeld) break;
        pollfd stop{aStopFd, POLLIN, 0};
        if (::poll(&stop, aStopFd >= 0 ? 1 : 0, cRetryMs) > 0) return false;
    }
    return fHeld;
}

std::filesystem::path InstanceLockFile() { return DataFolder() / "Trawlix.lock"; }

bool SendBringToFront() {
    auto path = BringToFrontSocketPath().string();
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (sent) {
        const char message[] = "BringTrawlixToFront\n";
        sent = ::write(fd, message, sizeof message - 1) == static_cast<ssize_t>(sizeof message - 1);
    }
    ::close(fd);
    return sent;
}

std::string CallStack() {
    void* frames[64];
    int count = ::backtrace(frames, 64);
    std::unique_ptr<char*, decltype(&std::free)> symbols(::backtrace_symbols(frames, count), &std::free);
    std::string text;
    for (int i = 1; symbols && i < count; ++i) text += std::string(symbols.get()[i]) + "\n";
    return text;
}

bool ShellOpen(const std::string& aTarget) {
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::execlp("xdg-open", "xdg-open", aTarget.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return true;
}

// --- termination signals ----------------------------------------------------------------

namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> gReceivedSignal{0};
int gSignalPipe[2] = {-1, -1};
struct sigaction gPreviousActions[3];

extern "C" void OnTerminationSignal(int aSignal) {
    const int savedErrno = errno;
    gReceivedSignal.store(aSignal);
    if (gSignalPipe[1] >= 0) {
        const char byte = 1;
        // Async-signal-safe; a full pipe already tells the reader enough.
        [[maybe_unused]] const auto written = write(gSignalPipe[1], &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TTerminationSignals::TTerminationSignals() {
    if (gSignalPipe[0] >= 0) throw std::logic_error("termination signals are already watched");
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error(std::strerror(errno));
    gReceivedSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second signal of a kind ends the program at once. SA_RESTART keeps
    // blocking calls of other threads from failing with EINTR.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i)
        sigaction(kTerminationSignals[i], &action, &gPreviousActions[i]);
}

TTerminationSignals::~TTerminationSignals() {
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i)
        sigaction(kTerminationSignals[i], &gPreviousActions[i], nullptr);
    for (int& fd : gSignalPipe) {
        close(fd);
        fd = -1;
    }
}

int TTerminationSignals::ReadFd() const { return gSignalPipe[0]; }

int TTerminationSignals::Received() { return gReceivedSignal.load(); }

int TTerminationSignals::WatchedReadFd() { return gSignalPipe[0]; }

}  // namespace trawlix::platform
