#include "app/session.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "app/crash_reports.h"
#include "app/notifications.h"
#include "app/platform.h"
#include "app/private_files.h"
#include "app/rest_connection.h"
#include "app/settings.h"
#include "app/vendor_services.h"
#include "app/user_notifier.h"
#include "engine/clock.h"
#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "engine/threads.h"
#include "mail/auto_reply_thread.h"
#include "mail/email_accounts.h"
#include "mail/email_message_with_accounts.h"
#include "mail/email_reply_history.h"
#include "mail/saved_messages.h"
#include "model/duplicate_folding.h"
#include "model/alert.h"
#include "model/categories.h"
#include "model/gsm_networks.h"
#include "model/objects_storage.h"
#include "model/places.h"
#include "model/searches.h"
#include "model/zip_codes.h"
#include "run/image_downloader.h"
#include "run/search_run_environment.h"
#include "sites/craig_posting_page.h"
#include "sites/posting_scrapers.h"
#include "sites/site_search_factory.h"

namespace trawlix {

namespace fs = std::filesystem;

namespace {

TSession* gSession = nullptr;

// Runs a procedure on the main thread and waits for it.
void OnMainThread(const std::function<void()>& aProc) {
    Synch().SynchronizeBlocking([&aProc](const std::string&) { aProc(); }, "");
}

// Waits for a background phase while the main thread keeps serving the calls it hands over.
void WaitServingMainThread(TcThread& aThread) {
    while (!aThread.Finished()) {
        if (auto* binding = GetMainThreadBinding()) binding->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    aThread.WaitFor();
}

bool FileHasContent(const fs::path& aPath) {
    std::error_code ec;
    return fs::is_regular_file(aPath, ec) && fs::file_size(aPath, ec) > 0;
}

std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return buf;
}

}  // namespace

TSession* Session() { return gSession; }
void SetSession(TSession* aSession) { gSession = aSession; }

// --- background phases ------------------------------------------------------------------

class TInitSessionThread : public TcThread {
public:
    explicit TInitSessionThread(TSession& aSession) : TcThread("TInitSessionThread"), fSession(aSession) {}
    ~TInitSessionThread() override { TerminateAndWait(); }

protected:
    void Execute() override {
        try {
            fSession.LoadEverything(*this);
        } catch (const std::exception& e) {
            ReportFailure(ExceptionClassName(e), e.what());
        } catch (...) {
            ReportFailure("unknown", "Unknown error");
        }
        OnMainThread([this] { fSession.OnInitThreadTerminate(); });
    }

private:
    void ReportFailure(const std::string& aClassName, const std::string& aMessage) {
        // The same text an error of the event loop carries, so that a report reads alike.
        const std::string stack = ExceptionDebugText(aClassName, aMessage, CurrentStackFrames(1));
        OnMainThread([this] { fSession.OnFailedInitialize(); });
        OnMainThread([this] { fSession.GetNotifier().Warning(kInitializationErrorMessage); });
        OnMainThread([this, &aMessage, &stack] { fSession.GetNotifier().ErrorReport(aMessage, stack); });
    }

    TSession& fSession;
};

class TFinishSessionThread : public TcThread {
public:
    TFinishSessionThread(TSession& aSession, bool aShowProgress)
        : TcThread("TFinishSessionThread"), fSession(aSession), fShowProgress(aShowProgress) {}
    ~TFinishSessionThread() override { TerminateAndWait(); }
    bool GetShowProgress() const { return fShowProgress; }

protected:
    void Execute() override {
        fSession.SaveAndFreeEverything();
        OnMainThread([this] { fSession.OnFinalized(); });
    }

private:
    TSession& fSession;
    bool fShowProgress;
};

// Stores the searches that changed, every few seconds and whenever asked, so that a crash
// or a kill loses only the last few seconds of work.
class TAutoSaveThread : public TcThread {
public:
    TAutoSaveThread(TSession& aSession, std::chrono::milliseconds aInterval)
        : TcThread("TAutoSaveThread"), fSession(aSession), fInterval(aInterval) {}
    ~TAutoSaveThread() override { TerminateAndWait(); }
    // Saves at once instead of at the end of the pause.
    void SaveNow() { Wake(); }

protected:
    void Execute() override {
        while (!Terminated()) {
            SleepFor(fInterval);
            if (Terminated()) break;
            fSession.AutoSaveStep();
        }
    }

private:
    TSession& fSession;
    std::chrono::milliseconds fInterval;
};

// --- construction -------------------------------------------------------------------------

TSession::TOptions TSession::TOptions::ForThisUser(bool aReadOnly) {
    TOptions options;
    options.dataFolder = platform::DataFolder();
    options.settingsFile = platform::SettingsFile();
    options.autostartFile = platform::AutostartFile();
    options.installedFiles = platform::InstalledDataFolder();
    options.executablePath = platform::ExecutablePath();
    options.readOnly = aReadOnly;
    return options;
}

TSession::TSession(TOptions aOptions, IUserNotifier& aNotifier)
    : fOptions(std::move(aOptions)), fNotifier(aNotifier) {
    FSettings = std::make_unique<TSettings>(fOptions.settingsFile, fOptions.autostartFile, fOptions.executablePath);
    FSettings->SetReadOnly(fOptions.readOnly);
    ReportSettingsProblems();
    // A new alert goes to the user's own address as it is when the alert is made.
    TSettings* settings = FSettings.get();
    SetAlertDefaultEmailSource([settings] { return Trim(settings->GetUserEMail()); });
    fDataFolder = fOptions.dataFolder;
    fProgramsFolder = fs::path(fOptions.executablePath).parent_path() / "";
    if (!fOptions.readOnly) platform::KeepUserFilesPrivate(fDataFolder, fOptions.settingsFile);
    OpenStorage();
    // A session built after another one finished (tests, a second run in one process).
    AllowTransfers();
    // Files the opening just made (the database, its backup) get the same protection.
    if (!fOptions.readOnly) platform::KeepUserFilesPrivate(fDataFolder, fOptions.settingsFile);
    fEmailAccounts = std::make_unique<TEmailAccounts>();
    fSavedMessages = std::make_unique<TSavedMessages>();
    fReplyHistory = std::make_unique<TEmailReplyHistory>();
    fAutoReplyThread = std::make_unique<TAutoReplyThread>();
    InstallReplies();
    SetDownloadScratchFolder(fDataFolder.string());
    CreateSiteDownloaders(FSettings->GetProxySettings());
    fImageDownloader = std::make_unique<TImageDownloader>(FSettings->GetProxySettings());
    fRESTConnection = std::make_unique<TRESTConnection>(GetVendorDownloader());
    InstallSiteSearchFactory();
    fPreviousRunEnvironment = SetSearchRunEnvironment(MakeRunEnvironment());
    trawlix::SetFoldDuplicates(FSettings->GetFoldDuplicates());
}

void TSession::SetFoldDuplicates(bool aFold) {
    FSettings->SetFoldDuplicates(aFold);
    trawlix::SetFoldDuplicates(aFold);
}

std::string TSession::GetPropertyValue(const std::string& aPropName) const {
    return trawlix::GetPropertyValue(*fRESTConnection, FSettings->GetVendorHost(), aPropName);
}

std::shared_ptr<TSearchRunEnvironment> TSession::MakeRunEnvironment() const {
    auto environment = std::make_shared<TSearchRunEnvironment>();
    environment->places = [this] { return GetPlaces(); };
    environment->backpageCategories = [this] { return GetBackpageCategories(); };
    const TSettings& settings = GetSettings();
    environment->showUnreachableURLErrors = [&settings] { return settings.GetShowUnreachableURLErrors(); };
    environment->craigslistDomain = [&settings] { return settings.GetCraigslistDomain(); };
    environment->oodleDomain = [&settings] { return settings.GetOodleDomain(); };
    environment->eBayClassifiedsDomain = [&settings] { return settings.GetEBayClassifiedsDomain(); };
    environment->carsComHost = [&settings] { return settings.GetCarsComDomain(); };
    environment->autotraderHost = [&settings] { return settings.GetAutotraderDomain(); };
    environment->canShowResults = [this] { return GetOnline() && GetStatus() != kStatusDisconnecting; };
    environment->notifyForNewResults = [this](TSearch& aSearch) { NotifyForNewResultsOf(aSearch); };
    environment->queueAutomaticReply = [this](TSearch& aSearch, const IEntry& aEntry) {
        QueueAutomaticReply(aSearch, aEntry);
    };
    return environment;
}

TNotifyContext TSession::MakeNotifyContext() const {
    TNotifyContext context = trawlix::MakeNotifyContext(*FSettings, FGSMNetworks.get(), fEmailAccounts.get());
    if (!fOptions.readOnly)
        context.saveSearch = [this](TSearch& aSearch) {
            if (FMySearches) FMySearches->SaveSearch(aSearch);
        };
    return context;
}

TNotifyOutcome TSession::SendDigest(TSearch& aSearch) const {
    QueueUnansweredReplies(aSearch);
    TNotifyOutcome outcome = NotifyForNewResults(aSearch, true, true, MakeNotifyContext());
    if (!outcome.statusText.empty() && !outcome.held) RecordNotificationResult(*FSettings, !outcome.failed, outcome.error);
    return outcome;
}

TPreparedDigest TSession::PrepareDigest(TSearch& aSearch, const TNotifyContext& aContext) const {
    QueueUnansweredReplies(aSearch);
    return trawlix::PrepareDigest(aSearch, true, true, aContext);
}

TNotifyOutcome TSession::NoteDigestSent(TSearch* aSearch, const TPreparedDigest& aDigest) const {
    TNotifyOutcome outcome = trawlix::NoteDigestSent(aSearch, aDigest, MakeNotifyContext());
    if (!outcome.statusText.empty() && !outcome.held) RecordNotificationResult(*FSettings, !outcome.failed, outcome.error);
    return outcome;
}

void TSession::NotifyForNewResultsOf(TSearch& aSearch) const {
    const TNotifyOutcome outcome = SendDigest(aSearch);
    if (outcome.statusText.empty()) return;
    const std::string text = outcome.statusText;
    const bool failed = outcome.failed;
    Synch().SynchronizeNonBlocking(
        [text, failed](const std::string&) {
            TSession* session = Session();
            if (session && session->OnNotificationStatus) session->OnNotificationStatus(text, failed);
        },
        "");
}

// --- replies -------------------------------------------------------------------------------

namespace {

double LocalNowWithMilliseconds() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const double millis = static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return LocalNow() + millis / 86400000.0;
}

// The reply address of a Craigslist ad from its posting page; other sites show none.
std::string LookUpReplyAddress(const TEntry& aEntry) {
    if (aEntry.GetFromSite() != ssCraigslist) return {};
    TDownloadFailure failure;
    const std::string page = DownloadFile(aEntry.GetLink(), GetSiteDownloader(ssCraigslist), failure);
    if (page.empty()) throw std::runtime_error(failure.text.empty() ? "The ad's page could not be read" : failure.text);
    std::string address = GetEntryEmail(TPostingSource::Craigslist, page);
    // Today's site gives the address only to a person who answered its captcha.
    if (address.empty() && ReadCraigPosting(page).isToday) throw std::runtime_error(cCraigReplyBehindCaptcha);
    return address;
}

}  // namespace

void TSession::InstallReplies() {
    TEmailReplyHistory* history = fReplyHistory.get();
    SetOnMailSent([this, history](const TSentMail& aMail) {
        history->Add(aMail.from, aMail.dest, LocalNowWithMilliseconds(), aMail.subject, aMail.body, aMail.adURL);
        // A mail that answers no ad is stored now; a reply once its ad is marked.
        if (aMail.adURL.empty()) StoreAcceptedReply();
    });
    SetEntryRepliedListener([this](const TEntry&) { StoreAcceptedReply(); });
    fAutoReplyThread->SetAnsweredBefore(
        [history](const TEntry& aEntry) { return history->HasReplyTo(aEntry.GetLink()); });
    TSettings* settings = FSettings.get();
    SetEmailAccountsUsageLimitSource([settings] { return settings->GetEmailAccountsUsageLimit(); });
    SetEntryEmailLookup(LookUpReplyAddress);
    // The alerts' reply messages name their accounts, which load before the searches.
    SetAlertReplyMessageLoader([this](TObjectsStorage& aStorage, int aObjectID) -> IAlertReplyMessagePtr {
        if (!fEmailAccounts) return nullptr;
        return TEmailMessageWithAccounts::LoadFrom(aStorage, aObjectID, *fEmailAccounts);
    });
    fAutoReplyThread->SetOnReplyFailed([](const IEntry& aEntry, const std::string& aReason) {
        const std::string text = "The automatic reply to " + aEntry->GetLink() + " was not sent: " + aReason;
        Synch().SynchronizeNonBlocking(
            [text](const std::string&) {
                TSession* session = Session();
                if (session && session->OnNotificationStatus) session->OnNotificationStatus(text, true);
            },
            "");
    });
}

void TSession::UninstallReplies() {
    SetOnMailSent({});
    SetEntryRepliedListener({});
    SetEmailAccountsUsageLimitSource({});
    SetEntryEmailLookup({});
    SetAlertReplyMessageLoader({});
}

void TSession::LoadReplies() {
    try {
        fReplyHistory->Load(*fObjectStorage, FCurrentUser->ID);
    } catch (const std::exception&) {
        // An unreadable history table starts this run with an empty history.
    }
    fEmailAccounts->Load(*fObjectStorage, FCurrentUser->ID);
    fSavedMessages->Load(*fObjectStorage, FCurrentUser->ID);
}

void TSession::WaitForQueuedReplies() {
    // A reply being handed over (its address looked up) still counts, so an idle session
    // leaves at once. However many are queued they all go: only a signal, or no progress
    // for a long while, ends the wait early.
    const auto unfinished = [this] {
        int count = fAutoReplyThread->UnfinishedCount();
        if (fEmailAccounts)
            for (const auto& account : fEmailAccounts->GetAccounts()) count += account->UnfinishedCount();
        return count;
    };
    int last = unfinished();
    auto lastProgress = std::chrono::steady_clock::now();
    while (last > 0 && platform::TTerminationSignals::Received() == 0 &&
           std::chrono::steady_clock::now() - lastProgress < cQueuedRepliesStall) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int now = unfinished();
        if (now != last) lastProgress = std::chrono::steady_clock::now();
        last = now;
    }
}

void TSession::SaveReplyHistory() {
    // Rolled back on failure: the rows stored before stay as they were.
    if (!fOptions.readOnly && fReplyHistory->Changed()) fReplyHistory->Save(*fObjectStorage, FCurrentUser->ID);
}

void TSession::StoreAcceptedReply() {
    if (fOptions.readOnly || !FMySearches || !FCurrentUser) return;
    try {
        FMySearches->RunUnderSaveLock([this] {
            SaveReplyHistory();
            FMySearches->SaveChangedSearches();
        });
    } catch (const std::exception&) {
        // Kept in memory: the background saver and the end of the session try again.
    }
}

void TSession::QueueAutomaticReply(TSearch& aSearch, const IEntry& aEntry) const {
    const TAlert& alert = aSearch.GetAlert();
    if (!alert.GetEnabled() || !alert.GetAutoReply()) return;
    auto message = std::dynamic_pointer_cast<TEmailMessageWithAccounts>(alert.GetAutoReplyMessage());
    if (!message) return;
    // Stored with the search until it went out, so a reply cut short is sent by a later run.
    aEntry->SetAwaitingAutoReply(true);
    fAutoReplyThread->Add(aEntry, message);
}

void TSession::QueueUnansweredReplies(TSearch& aSearch) const {
    if (aSearch.GetCalledFromUser()) return;
    for (const IEntry& entry : aSearch.GetSearchResults())
        if (entry->GetAwaitingAutoReply() && !entry->GetReplied()) QueueAutomaticReply(aSearch, entry);
}

void TSession::RefreshZIPCodeObject(TSearch& aSearch) const {
    const std::string code = Trim(aSearch.GetZIPCode());
    aSearch.SetZIPCodeObject(fZIPCodes && !code.empty() ? fZIPCodes->GetCode(PadZIPCode(code)) : nullptr);
}

bool TSession::SaveSettings() noexcept {
    try {
        FSettings->SaveSettings();
        fLastSettingsSaveError.clear();
        return true;
    } catch (const std::exception& e) {
        // A splitter drag saves many times a second: the same failure is told once.
        try {
            if (fLastSettingsSaveError != e.what()) {
                fLastSettingsSaveError = e.what();
                fNotifier.Warning(std::string("The settings could not be saved: ") + e.what());
            }
        } catch (...) {
        }
        return false;
    }
}

void TSession::ReportSettingsProblems() {
    const std::string error = FSettings->GetLoadError();
    if (!error.empty())
        fNotifier.Warning("The settings could not be read (" + error +
                          "). Trawlix runs with the default settings and leaves that file as it is.");
    std::string warnings;
    for (const auto& warning : FSettings->GetLoadWarnings()) warnings += (warnings.empty() ? "" : "\n") + warning;
    if (!warnings.empty()) fNotifier.Warning(warnings);
}

void TSession::OpenStorage() {
    const fs::path current = fDataFolder / "object_storage.cur";
    if (!fOptions.readOnly) {
        const fs::path backup = fDataFolder / "object_storage.tmp";
        fs::create_directories(fDataFolder);
        if (!fs::exists(current) && fs::exists(backup)) fs::copy_file(backup, current);
        // A first start gets the installed files; whatever the user already has stays.
        if (fs::is_directory(fOptions.installedFiles))
            platform::CopyMissingInstalledFiles(fOptions.installedFiles, fDataFolder);
    }
    try {
        fObjectStorage = OpenStorageWaitingWhileBusy(current);
    } catch (const std::exception& e) {
        // Busy is not broken: the file is left exactly as it is.
        if (const auto* sqlite = dynamic_cast<const ESQLiteError*>(&e); sqlite && sqlite->IsBusy())
            throw std::runtime_error(std::string(kDatabaseInUseMessage) + " (" + current.string() +
                                     "). Close that program and try again.");
        if (const auto* sqlite = dynamic_cast<const ESQLiteError*>(&e); sqlite && sqlite->NeedsRollbackByWriter())
            throw std::runtime_error(std::string(kUnfinishedSaveMessage) + " (" + current.string() + ").");
        if (fOptions.readOnly) throw;
        RestoreStorageFromBackup();
    }
    // Only a file that opened and passed the check becomes the next backup.
    if (!fOptions.readOnly && fObjectStorage) RefreshBackup();
}

std::unique_ptr<TObjectsStorage> TSession::OpenStorageWaitingWhileBusy(const fs::path& aFile) const {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + fOptions.databaseBusyWait;
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        const int timeout = static_cast<int>(std::clamp<milliseconds::rep>(left.count(), 0, TSQLiteDB::cDefaultBusyTimeoutMs));
        try {
            return std::make_unique<TObjectsStorage>(
                aFile.string(), timeout, fOptions.readOnly ? TSQLiteDB::TAccess::ReadOnly : TSQLiteDB::TAccess::ReadWrite);
        } catch (const ESQLiteError& e) {
            if (!e.IsBusy() || steady_clock::now() >= deadline) throw;
        }
        std::this_thread::sleep_for(milliseconds(100));
    }
}

void TSession::RestoreStorageFromBackup() {
    const fs::path current = fDataFolder / "object_storage.cur";
    const fs::path backup = fDataFolder / "object_storage.tmp";
    // Moved aside rather than deleted: the user may still recover something from it.
    const fs::path aside = fDataFolder / ("object_storage.broken-" + TimeStamp() + ".cur");
    std::error_code ec;
    bool movedAside = false;
    if (fs::exists(current)) {
        fs::rename(current, aside, ec);
        movedAside = !ec;
    }
    fNotifier.Warning(std::string(kBrokenDatabaseMessage) +
                      (movedAside ? " The damaged file was kept as " + aside.string() + "." : std::string()));
    if (!FileHasContent(backup)) {
        fs::remove(backup, ec);
        fNotifier.Warning(kNoBackupMessage);
        return;
    }
    fs::copy_file(backup, current, fs::copy_options::overwrite_existing);
    try {
        fObjectStorage = OpenStorageWaitingWhileBusy(current);
    } catch (const std::exception& e) {
        // The copy is the same as the backup, which stays where it is for the user.
        fs::remove(current, ec);
        throw std::runtime_error("The backup " + backup.string() + " cannot be used either: " + e.what());
    }
}

namespace {

// The backup was copied from the database after its last change: copying again would give
// the same bytes. A copy gets the time it was made, so a database written since is newer.
bool BackupIsCurrent(const fs::path& aDatabase, const fs::path& aBackup) {
    std::error_code ec;
    const auto backupSize = fs::file_size(aBackup, ec);
    if (ec || backupSize != fs::file_size(aDatabase, ec) || ec) return false;
    const auto backupTime = fs::last_write_time(aBackup, ec);
    if (ec) return false;
    const auto databaseTime = fs::last_write_time(aDatabase, ec);
    return !ec && databaseTime < backupTime;
}

}  // namespace

void TSession::RefreshBackup() {
    const fs::path current = fDataFolder / "object_storage.cur";
    const fs::path backup = fDataFolder / "object_storage.tmp";
    // Most starts follow a session that changed nothing; a large database is not copied
    // again for them.
    if (BackupIsCurrent(current, backup)) return;
    // Copied beside the backup first, so that a failed copy (a full disk) never costs the
    // backup that is there.
    const fs::path fresh = fDataFolder / "object_storage.tmp.new";
    std::error_code ec;
    if (!fs::copy_file(current, fresh, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(fresh, ec);
        return;
    }
    fs::rename(fresh, backup, ec);
    if (ec) fs::remove(fresh, ec);
}

// --- state ----------------------------------------------------------------------------

void TSession::SetState(const std::string& aStatus, bool aOnline, bool aInitialized) {
    TCLock lock(fStateLock);
    FStatus = aStatus;
    FOnline = aOnline;
    FInitialized = aInitialized;
}

std::string TSession::GetStatus() const { return Locked(fStateLock, FStatus); }

bool TSession::GetOnline() const { return Locked(fStateLock, FOnline); }

bool TSession::GetInitialized() const { return Locked(fStateLock, FInitialized); }

// --- initialisation -------------------------------------------------------------------

void TSession::InitSession() {
    {
        TCLock lock(fStateLock);
        FStatus = kStatusConnecting;
    }
    FInitSessionThread = std::make_unique<TInitSessionThread>(*this);
    FInitSessionThread->Start();
}

void TSession::WaitUntilIdle() {
    while (GetStatus() != kStatusIdle) {
        if (auto* binding = GetMainThreadBinding()) binding->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TSession::LoadEverything(TInitSessionThread& aThread) {
    if (aThread.Terminated()) return;
    FCurrentUser = std::make_unique<TCSUser>();
    FCurrentUser->EMail = FSettings->GetUserEMail();
    FCurrentUser->Phone = FSettings->GetUserPhone();
    if (aThread.Terminated()) return;
    const std::string folder = fDataFolder.string();
    FPlaces = std::make_unique<TPlaces>(folder + "Places.cur");
    fBackpageCategories = TSiteCategories::CreateFromFile<TBackpageCategory>(folder + "cats-bckpg.cur");
    FCategories = std::make_unique<TCategories>(folder + "Categories.cur");
    FGSMNetworks = std::make_unique<TGSMNetworks>(folder + "GSMNetworks.cur");
    if (aThread.Terminated()) return;
    if (!fObjectStorage) throw std::runtime_error("The search information could not be opened.");
    LoadReplies();
    // The searches read their ZIP codes' coordinates as they load.
    fZIPCodes = std::make_unique<TZIPCodes>(folder + "ZIPCodes.cur");
    OnMainThread([this] { CreateSearches(); });
    FMySearches->LoadSearches();
    if (!FMySearches->UnreadableSearches().empty()) OnMainThread([this] { ReportUnreadableSearches(); });
    OnMainThread([this] { OnInitialized(); });
}

void TSession::ReportUnreadableSearches() {
    for (const auto& search : FMySearches->UnreadableSearches())
        fNotifier.Warning("The search \"" + search.name + "\" could not be read (" + search.reason +
                          "). It is left in the database as it is and does not appear in the list.");
}

void TSession::CreateSearches() {
    TSearchLookups lookups;
    lookups.places = FPlaces.get();
    lookups.categories = FCategories.get();
    lookups.zipCodes = fZIPCodes.get();
    FMySearches = std::make_unique<TSearches>(fDataFolder, *fObjectStorage, lookups);
}

void TSession::OnInitialized() {
    SetState(kStatusIdle, true, true);
    StartAutoSave();
    if (OnSessionInitialized) OnSessionInitialized();
}

void TSession::OnFailedInitialize() {
    SetState(kStatusIdle, false, false);
    if (OnSessionInitialized) OnSessionInitialized();
}

void TSession::OnInitThreadTerminate() {
    // The thread object is joined and freed by whoever waits next; nothing else to forget.
}

void TSession::StopInitialize() {
    if (FInitSessionThread) FInitSessionThread->Terminate();
    OnFailedInitialize();
}

// --- shut-down ------------------------------------------------------------------------

namespace {
void ProcessPendingMessages() {
    if (auto* binding = GetMainThreadBinding()) binding->ProcessMessages();
}
}  // namespace

TSearch* TSession::SearchAt(size_t aIndex) const {
    if (!FMySearches) return nullptr;
    const auto& searches = FMySearches->GetAllSearches();
    return aIndex < searches.size() ? searches[aIndex].get() : nullptr;
}

bool TSession::StopAllSearches(bool aWait) {
    // The messages handled between two searches may rebuild the list (saving puts it in tab
    // order) or free it (an exit goes on as soon as the last run has stopped), so the list is
    // looked up afresh at every step instead of being walked with an iterator.
    bool anyRunning = false;
    for (size_t i = 0;; ++i) {
        ProcessPendingMessages();
        TSearch* search = SearchAt(i);
        if (!search) break;
        if (!search->GetSearching()) continue;
        anyRunning = true;
        search->StopSearch();
    }
    if (!anyRunning || !aWait) return anyRunning;
    // A running site thread still uses its search: wait until every one has let go.
    for (bool stillRunning = true; stillRunning;) {
        stillRunning = false;
        for (size_t i = 0;; ++i) {
            ProcessPendingMessages();
            TSearch* search = SearchAt(i);
            if (!search) break;
            if (!search->GetSearching()) continue;
            stillRunning = true;
            search->StopSearch();
            break;
        }
        if (stillRunning) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// --- saving as the user works ------------------------------------------------------------

void TSession::StartAutoSave() {
    if (fOptions.readOnly || !FMySearches || fAutoSaveThread) return;
    fAutoSaveThread = std::make_unique<TAutoSaveThread>(*this, fOptions.autoSaveInterval);
    fAutoSaveThread->Start();
}

void TSession::StopAutoSave() {
    if (!fAutoSaveThread) return;
    fAutoSaveThread->Terminate();
    // A save under way ends first; the main thread keeps serving calls meanwhile.
    WaitServingMainThread(*fAutoSaveThread);
    fAutoSaveThread.reset();
}

void TSession::SaveSoon() {
    if (fAutoSaveThread) fAutoSaveThread->SaveNow();
}

void TSession::AutoSaveStep() {
    try {
        FMySearches->SaveChangedSearches();
        fAutoSaveFailing = false;
    } catch (const std::exception& e) {
        // Told once per failing stretch; the searches stay changed and the next turn retries.
        if (fAutoSaveFailing) return;
        fAutoSaveFailing = true;
        const std::string message = kAutoSaveFailedMessage + std::string(e.what());
        Synch().SynchronizeNonBlocking(
            [message](const std::string&) {
                if (TSession* session = Session()) session->GetNotifier().Warning(message);
            },
            "");
    }
}

std::string TSession::GetExitSaveError() const { return Locked(fStateLock, fExitSaveError); }

void TSession::FinishSession(bool aShowProgress) {
    // Automatic replies already queued go out first, address look-ups included: their ads
    // are no longer new, so no later run would queue them again.
    WaitForQueuedReplies();
    // Beyond them the exit never waits for the network: every transfer under way ends now.
    AbortAllTransfers();
    // The exit save below stores everything; no background save may overlap it.
    StopAutoSave();
    // No new picture download starts while the results it would land in are saved and freed.
    fImageDownloader->StopDispatcher();
    // Searches are saved and freed next; none may still have a site thread using it.
    if (StopAllSearches(false)) StopAllSearches(true);
    {
        TCLock lock(fStateLock);
        FStatus = kStatusDisconnecting;
    }
    if (FInitSessionThread) WaitServingMainThread(*FInitSessionThread);
    fFinishSessionThread = std::make_unique<TFinishSessionThread>(*this, aShowProgress);
    fFinishSessionThread->Start();
    if (aShowProgress) return;  // the desktop program shows its progress window and keeps looping
    WaitServingMainThread(*fFinishSessionThread);
}

void TSession::SaveAndFreeEverything() {
    bool wasInitialized = GetInitialized();
    {
        TCLock lock(fStateLock);
        FOnline = false;
    }
    try {
        OnMainThread([this] { StopInitialize(); });
    } catch (...) {
        // Nothing to stop is no reason not to save.
    }
    if (!wasInitialized) return;
    if (!fOptions.readOnly) OnMainThread([this] { SaveSearchesServingMainThread(); });
    WaitForQueuedReplies();
    SaveAndFreeEmailAccounts();
    SaveReplyHistory();
    FPlaces.reset();
    FCategories.reset();
    FGSMNetworks.reset();
    OnMainThread([this] { FMySearches.reset(); });
    FCurrentUser.reset();
    TCLock lock(fStateLock);
    FInitialized = false;
}

void TSession::SaveAndFreeEmailAccounts() {
    if (!fOptions.readOnly && fSavedMessages->Changed()) {
        try {
            fSavedMessages->Save(*fObjectStorage, FCurrentUser->ID);
        } catch (const std::exception&) {
            // A locked or failing database keeps the messages as they were last stored.
        }
    }
    // Unchanged accounts are not written again: a session that changed nothing writes nothing.
    if (!fOptions.readOnly && fEmailAccounts->Changed()) {
        try {
            fEmailAccounts->Save(*fObjectStorage, FCurrentUser->ID);
        } catch (const std::exception&) {
            // A locked or failing database keeps the accounts as they were last stored.
        }
    }
    // Their sending threads stop here; mail still queued is dropped. Freed on the main
    // thread, where the windows look the list up.
    OnMainThread([this] { fEmailAccounts.reset(); });
}

void TSession::SaveSearchesServingMainThread() {
    // Saving many results takes a while; the main thread keeps serving queued calls meanwhile.
    const auto serve = [] {
        if (auto* binding = GetMainThreadBinding()) binding->ProcessMessages();
    };
    // A failed save keeps everything in memory; the user decides whether to try again.
    while (!FMySearches->SaveMySearches(serve)) {
        const std::string error = FMySearches->GetLastSaveError();
        if (fNotifier.AskRetry(kExitSaveFailedQuestion + error)) continue;
        TCLock lock(fStateLock);
        fExitSaveError = error;
        return;
    }
}

void TSession::OnFinalized() {
    fFinished = true;
    TerminateApplication();
    TCLock lock(fStateLock);
    FInitialized = false;
}

void TSession::TerminateApplication() {
    if (auto* binding = GetMainThreadBinding()) binding->Terminate();
}

TSession::~TSession() {
    StopAutoSave();
    if (GetInitialized() && !fFinished) FinishSession(false);
    if (FInitSessionThread) WaitServingMainThread(*FInitSessionThread);
    if (fFinishSessionThread) WaitServingMainThread(*fFinishSessionThread);
    // Nothing runs any more: the environment that reads this session goes before its parts.
    SetSearchRunEnvironment(std::move(fPreviousRunEnvironment));
    SetAlertDefaultEmailSource({});
    UninstallReplies();
    // Queued automatic replies are dropped; the history outlives the thread that feeds it.
    fAutoReplyThread.reset();
    fReplyHistory.reset();
    fZIPCodes.reset();
    // Its workers' clients read the proxy settings: they go before the settings do.
    fImageDownloader.reset();
    FSettings.reset();  // saves the settings
    fObjectStorage.reset();
    ReleaseSiteDownloaders();
    // Whatever transfers come after this session (another one, in tests) may run again.
    AllowTransfers();
}

}  // namespace trawlix
