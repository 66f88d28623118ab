#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/critical_section.h"
#include "model/entry.h"

namespace trawlix {

class IUserNotifier;
class TCategories;
class TEmailAccounts;
class TSavedMessages;
class TEmailReplyHistory;
class TAutoReplyThread;
class TGSMNetworks;
class TObjectsStorage;
class TPlaces;
class TSearch;
class TSearches;
class TSettings;
class TSiteCategories;
class TZIPCodes;
class TInitSessionThread;
class TFinishSessionThread;
class TAutoSaveThread;
class TImageDownloader;
class TRESTConnection;
struct TSearchRunEnvironment;
struct TNotifyContext;
struct TNotifyOutcome;
struct TPreparedDigest;

// The local user the program always works as.
struct TCSUser {
    int ID = -1;
    int UsrType = 1;
    std::string Pass;
    std::string RealName;
    std::string Phone;
    std::string EMail;
    int NetworkID = 0;
    bool ShowAutoReplyFooter = true;
};

inline constexpr const char* kStatusIdle = "Idle";
inline constexpr const char* kStatusConnecting = "Connecting...";
inline constexpr const char* kStatusDisconnecting = "Disconnecting...";

inline constexpr const char* kBrokenDatabaseMessage =
    "The file that stores your search information appears to be broken. Trying to reload from the latest backup.";
inline constexpr const char* kNoBackupMessage = "No backup was found. Please reinstall the program to fix the broken files.";
inline constexpr const char* kDatabaseInUseMessage = "The database is in use by another program";
// A reader cannot undo a save that a killed program left half done; the next writer does.
inline constexpr const char* kUnfinishedSaveMessage =
    "The last save to the database was cut short and is undone by the next start of Trawlix or its watcher";
inline constexpr const char* kInitializationErrorMessage = "Error occurred during program initialization.";
// Shown once when saving in the background starts failing; saving is tried again meanwhile.
inline constexpr const char* kAutoSaveFailedMessage =
    "Your changes could not be saved. They are kept and saving is tried again every few seconds.\n\n";
inline constexpr const char* kExitSaveFailedQuestion =
    "Your searches could not be saved. Try again? (No ends the program without them.)\n\n";

// Owns every long-lived object of a run: storage, settings, reference data, searches.
// Loads them on a background thread at start and saves them on another at the end;
// both hand their main-thread work to the main-thread queue.
class TSession {
public:
    struct TOptions {
        std::filesystem::path dataFolder;       // with a trailing separator
        std::filesystem::path settingsFile;
        std::filesystem::path autostartFile;
        std::filesystem::path installedFiles;   // copied into a new data folder
        std::string executablePath;
        // Another instance owns the files: read them, write nothing.
        bool readOnly = false;
        // How long the start waits for another program that holds the database locked
        // before it gives up (and leaves the file alone).
        std::chrono::milliseconds databaseBusyWait{30000};
        // How often changed searches are saved in the background.
        std::chrono::milliseconds autoSaveInterval{2000};

        // The files and folders of this user on this machine, where both programs keep them.
        static TOptions ForThisUser(bool aReadOnly = false);
    };

    // Builds the session on the main thread: settings, folders, database with its backup.
    TSession(TOptions aOptions, IUserNotifier& aNotifier);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // Starts the initialisation thread; returns at once.
    void InitSession();
    // Serves the main thread until the initialisation has ended.
    void WaitUntilIdle();
    void StopInitialize();
    bool StopAllSearches(bool aWait);
    void FinishSession(bool aShowProgress);
    void TerminateApplication();
    // Has the background saver store the changed searches now rather than at its next turn
    // (a run just ended).
    void SaveSoon();
    // Why the searches could not be saved when the session finished; empty when they were.
    std::string GetExitSaveError() const;

    std::string GetStatus() const;
    bool GetOnline() const;
    bool GetInitialized() const;
    bool GetReadOnly() const { return fOptions.readOnly; }
    std::function<void()> OnSessionInitialized;
    // A digest went out or failed: the status text, on the main thread. The window shows it
    // in its status bar and, when it failed, in the tray; the headless watcher prints it.
    std::function<void(const std::string& aText, bool aFailed)> OnNotificationStatus;

    TObjectsStorage* GetObjectStorage() const { return fObjectStorage.get(); }
    TSettings& GetSettings() const { return *FSettings; }
    // Stores the setting and lets the results fold (or show every duplicate) from now on.
    void SetFoldDuplicates(bool aFold);
    // Saves the settings for the windows' handlers; a failure (a full disk, a file that could
    // not be read at start) is told to the user once, not raised into the event loop.
    bool SaveSettings() noexcept;
    const TCSUser* GetCurrentUser() const { return FCurrentUser.get(); }
    // Changed on the main thread only (the notification settings).
    TCSUser* GetCurrentUser() { return FCurrentUser.get(); }
    TPlaces* GetPlaces() const { return FPlaces.get(); }
    TSiteCategories* GetBackpageCategories() const { return fBackpageCategories.get(); }
    TCategories* GetCategories() const { return FCategories.get(); }
    TGSMNetworks* GetGSMNetworks() const { return FGSMNetworks.get(); }
    TSearches* GetMySearches() const { return FMySearches.get(); }
    TZIPCodes* GetZIPCodes() const { return fZIPCodes.get(); }
    // The user's SMTP accounts; null once the session has finished.
    TEmailAccounts* GetEmailAccounts() const { return fEmailAccounts.get(); }
    // The user's saved reply texts; null once the session has finished.
    TSavedMessages* GetSavedMessages() const { return fSavedMessages.get(); }
    // Every mail the accounts sent; lives as long as the session.
    TEmailReplyHistory& GetReplyHistory() const { return *fReplyHistory; }
    // Answers the new results of automatic runs whose alert has an automatic reply.
    TAutoReplyThread& GetAutoReplyThread() const { return *fAutoReplyThread; }
    // The thumbnail downloads; stops handing out jobs once the session finishes.
    TImageDownloader& GetImageDownloader() const { return *fImageDownloader; }
    // The connection to the vendor's web services (update check, profile).
    TRESTConnection& GetRESTConnection() const { return *fRESTConnection; }
    // The value the vendor's host keeps under aPropName; raises when it cannot be asked.
    std::string GetPropertyValue(const std::string& aPropName) const;
    const std::filesystem::path& GetDataFolder() const { return fDataFolder; }
    const std::filesystem::path& GetProgramsFolder() const { return fProgramsFolder; }
    std::filesystem::path GetDatabaseFile() const { return DatabaseFileIn(fDataFolder); }
    static std::filesystem::path DatabaseFileIn(const std::filesystem::path& aDataFolder) {
        return aDataFolder / "object_storage.cur";
    }
    IUserNotifier& GetNotifier() const { return fNotifier; }
    // What runs and site adapters read of this session: its places, Backpage categories,
    // host settings and state. The session installs it when it is made.
    std::shared_ptr<TSearchRunEnvironment> MakeRunEnvironment() const;
    // What a digest needs (transport, phone, carrier address), from the settings as they are now.
    TNotifyContext MakeNotifyContext() const;
    // The digest of an automatic run of aSearch, with its lock held; the outcome is
    // recorded in the settings (whether the transport works).
    TNotifyOutcome SendDigest(TSearch& aSearch) const;
    // SendDigest in steps, for a window that sends on a thread of its own: prepared with the
    // search's lock held; noted (on the search when it is still open, else aSearch is null)
    // and recorded on the main thread.
    TPreparedDigest PrepareDigest(TSearch& aSearch, const TNotifyContext& aContext) const;
    TNotifyOutcome NoteDigestSent(TSearch* aSearch, const TPreparedDigest& aDigest) const;
    // SendDigest, then its status told through OnNotificationStatus on the main thread.
    void NotifyForNewResultsOf(TSearch& aSearch) const;
    // Looks the search's stored ZIP code up again, as an automatic run does before it starts.
    void RefreshZIPCodeObject(TSearch& aSearch) const;

private:
    // The search at aIndex of the user's list as it is now; null past its end or without a list.
    TSearch* SearchAt(size_t aIndex) const;
    friend class TInitSessionThread;
    friend class TFinishSessionThread;

    void ReportSettingsProblems();
    void OpenStorage();
    std::unique_ptr<TObjectsStorage> OpenStorageWaitingWhileBusy(const std::filesystem::path& aFile) const;
    void RestoreStorageFromBackup();
    void ReportUnreadableSearches();
    void RefreshBackup();
    void SetState(const std::string& aStatus, bool aOnline, bool aInitialized);
    void OnInitialized();
    void OnFailedInitialize();
    void OnInitThreadTerminate();
    void CreateSearches();
    void SaveSearchesServingMainThread();
    void SaveAndFreeEmailAccounts();
    // The reply machinery's hooks into the layers below (history, usage limit, address
    // lookup, stored reply messages) and their removal.
    void InstallReplies();
    void UninstallReplies();
    void LoadReplies();
    void SaveReplyHistory();
    // Waits until every queued automatic reply went out or failed; gives up only when a
    // signal asks the program to end or no reply finished for cQueuedRepliesStall.
    void WaitForQueuedReplies();
    static constexpr std::chrono::seconds cQueuedRepliesStall{60};
    void QueueAutomaticReply(TSearch& aSearch, const IEntry& aEntry) const;
    // Queues again the automatic replies of aSearch that did not go out in an earlier run.
    void QueueUnansweredReplies(TSearch& aSearch) const;
    // A reply the server accepted: its history row and replied mark are committed now.
    void StoreAcceptedReply();
    void StartAutoSave();
    void StopAutoSave();
    friend class TAutoSaveThread;
    // One turn of the background saver, on its thread.
    void AutoSaveStep();
    // The steps of the background phases, run on their threads.
    void LoadEverything(TInitSessionThread& aThread);
    void SaveAndFreeEverything();
    void OnFinalized();

    TOptions fOptions;
    IUserNotifier& fNotifier;
    mutable TCCriticalSection fStateLock{"TSession state"};

    std::unique_ptr<TObjectsStorage> fObjectStorage;
    std::unique_ptr<TSettings> FSettings;
    std::unique_ptr<TCSUser> FCurrentUser;
    std::unique_ptr<TPlaces> FPlaces;
    std::unique_ptr<TSiteCategories> fBackpageCategories;
    std::unique_ptr<TCategories> FCategories;
    std::unique_ptr<TGSMNetworks> FGSMNetworks;
    std::unique_ptr<TSearches> FMySearches;
    std::unique_ptr<TZIPCodes> fZIPCodes;
    std::unique_ptr<TEmailAccounts> fEmailAccounts;
    std::unique_ptr<TSavedMessages> fSavedMessages;
    std::unique_ptr<TEmailReplyHistory> fReplyHistory;
    std::unique_ptr<TAutoReplyThread> fAutoReplyThread;
    std::unique_ptr<TImageDownloader> fImageDownloader;
    std::unique_ptr<TRESTConnection> fRESTConnection;
    bool FInitialized = false;
    std::string FStatus = kStatusIdle;
    bool FOnline = false;
    std::unique_ptr<TInitSessionThread> FInitSessionThread;
    std::unique_ptr<TFinishSessionThread> fFinishSessionThread;
    std::unique_ptr<TAutoSaveThread> fAutoSaveThread;
    bool fAutoSaveFailing = false;  // the saver's own state
    std::string fExitSaveError;      // guarded by fStateLock
    bool fFinished = false;
    std::string fLastSettingsSaveError;
    std::filesystem::path fDataFolder;
    std::filesystem::path fProgramsFolder;
    // The run environment this session replaced, put back when it goes.
    std::shared_ptr<const TSearchRunEnvironment> fPreviousRunEnvironment;
};

// The session of this run, or null before it is built and after it is freed.
TSession* Session();
void SetSession(TSession* aSession);

}  // namespace trawlix
