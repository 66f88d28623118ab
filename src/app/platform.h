#pragma once

#include <filesystem>
#include <string>

namespace trawlix::platform {

// Where the program keeps its data: $TRAWLIX_DATA_DIR, else $XDG_DATA_HOME/Trawlix/,
// else ~/.local/share/Trawlix/.
std::filesystem::path DataFolder();
// Where the settings file lives: $TRAWLIX_CONFIG_DIR, else
// $XDG_CONFIG_HOME/VelmoraSolutions/Trawlix/, else ~/.config/VelmoraSolutions/Trawlix/.
std::filesystem::path ConfigFolder();
std::filesystem::path SettingsFile();
// The start-with-the-system entry: $XDG_CONFIG_HOME/autostart/trawlix.desktop.
std::filesystem::path AutostartFile();
// Folder for the bring-to-front socket: $XDG_RUNTIME_DIR, else the data folder.
std::filesystem::path RuntimeFolder();
std::filesystem::path BringToFrontSocketPath();

std::string ExecutablePath();
std::filesystem::path ProgramsFolder();
// The files installed with the program: reference data, the empty database.
// $TRAWLIX_INSTALLED_DATA_DIR, else those of the program's own installation.
std::filesystem::path InstalledDataFolder();
// The map files: $TRAWLIX_MAPS_DIR, else "maps" of the installed files, else the maps
// drawn by the build. They are read where they lie, never copied into the data folder.
std::filesystem::path MapsFolder();
// The installed files of a program whose executable lies in aProgramsFolder: the
// installation's share/trawlix/, else (a build tree) the source data folder.
std::filesystem::path InstalledDataFolderBeside(const std::filesystem::path& aProgramsFolder);

// Copies every installed file that the data folder lacks; existing files are kept.
void CopyMissingInstalledFiles(const std::filesystem::path& aInstalled, const std::filesystem::path& aDataFolder);

// The single-instance guard: an exclusive lock on a file, held while the object lives.
class TInstanceLock {
public:
    explicit TInstanceLock(const std::filesystem::path& aLockFile);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;
    // False when another process holds the lock, or when it could not be taken at all.
    bool Acquired() const { return fHeld; }
    // Waits while another process holds the lock. False when aStopFd became readable first
    // (a termination signal) or the lock cannot be taken at all (see Error).
    bool WaitUntilAcquired(int aStopFd);
    // Why the lock could not be taken ("Cannot lock the data folder <path>: <reason>"); empty
    // when it was taken or another process holds it.
    const std::string& Error() const { return fError; }

private:
    int TryLock();  // 0 once held, else the errno of the attempt
    void Fail(const std::string& aReason);

    std::filesystem::path fFolder;
    int fFd = -1;
    bool fHeld = false;
    std::string fError;
};

// The lock lives beside the data it guards, so that one data folder has one writer whatever
// the environment of each process (cron, su and ssh sessions differ in XDG_RUNTIME_DIR).
std::filesystem::path InstanceLockFile();

// Tells a running instance to come to the front; false when none listens.
bool SendBringToFront();

// A logout, `systemctl stop` or Ctrl+C (SIGHUP, SIGTERM, SIGINT) ends the program the
// normal way: while an object of this class lives, such a signal only notes itself and
// writes a byte to a pipe that the main loop watches; the program then stops its searches,
// saves and releases its lock as its Exit does. A second signal of the same kind acts as
// if nothing were installed, so a stuck exit can still be cut short.
class TTerminationSignals {
public:
    TTerminationSignals();
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    // Readable once a signal came; for a QSocketNotifier or poll.
    int ReadFd() const;
    // The signal that came, 0 while none did.
    static int Received();
    // ReadFd of the instance watching now, -1 while none does.
    static int WatchedReadFd();
};

// The current call stack, symbolised as far as the binary allows.
std::string CallStack();

// Opens a file or address with the user's preferred program.
bool ShellOpen(const std::string& aTarget);

}  // namespace trawlix::platform
