#include "ui/alerts_controller.h"

#include <algorithm>

#include "app/alert_scheduler.h"
#include "app/session.h"
#include "app/site_watch.h"
#include "model/alert.h"
#include "model/search.h"
#include "model/searches.h"
#include "ui/form_alerts.h"
#include "ui/form_notification_settings.h"
#include "ui/form_settings.h"
#include "ui/notification_tests.h"

namespace trawlix {

TAlertsController::TAlertsController(TSession& aSession, IUserDialogs& aDialogs, QWidget& aMainWindow, THooks aHooks)
    : fSession(aSession), fDialogs(aDialogs), fMainWindow(aMainWindow), fHooks(std::move(aHooks)) {
    TAlertScheduler::THooks hooks;
    hooks.searches = [this] {
        std::vector<TSearch*> searches;
        if (TSearches* mine = fSession.GetMySearches())
            for (const auto& search : mine->GetAllSearches()) searches.push_back(search.get());
        return searches;
    };
    hooks.startSearch = [this](TSearch& aSearch) { return fHooks.startAutomaticRun && fHooks.startAutomaticRun(aSearch); };
    hooks.refreshZIPCode = [this](TSearch& aSearch) { fSession.RefreshZIPCodeObject(aSearch); };
    hooks.now = [this] { return Now(); };
    hooks.inQuietHours = [this](double aNow) { return InQuietHours(fSession, aNow); };
    hooks.sendHeldDigests = [this] {
        std::vector<TSearch*> idle;
        if (TSearches* mine = fSession.GetMySearches())
            for (const auto& search : mine->GetAllSearches())
                if (search->GetAlert().GetEnabled() && !search->GetSearching()) idle.push_back(search.get());
        SendHeldDigestsInBackground(fSession, idle);
    };
    fScheduler = std::make_unique<TAlertScheduler>(std::move(hooks));
    fTests = std::make_unique<TNotificationTests>(aSession, aDialogs);

    timerCheckForNewResults.setInterval(TAlertScheduler::cCheckIntervalMs);
    connect(&timerCheckForNewResults, &QTimer::timeout, this, &TAlertsController::timerCheckForNewResultsTimer);
    fAutoSearchTimer.setSingleShot(true);
    connect(&fAutoSearchTimer, &QTimer::timeout, this, &TAlertsController::OnAutoSearchTimer);
    // A digest reports from the thread that ended its run; the session hands it here on
    // the main thread.
    fSession.OnNotificationStatus = [this](const std::string& aText, bool aFailed) {
        if (fHooks.showNotificationStatus) fHooks.showNotificationStatus(aText, aFailed);
        if (fAlertsWindow) fAlertsWindow->RefreshTransportStatus();
    };
}

TAlertsController::~TAlertsController() {
    fSession.OnNotificationStatus = nullptr;
    timerCheckForNewResults.stop();
    fAutoSearchTimer.stop();
    // The windows use the tests object that goes with this controller.
    delete fAlertsWindow.data();
    delete fPreferences.data();
}

void TAlertsController::RefreshTimerCheckForNewResultsEnabled() {
    const TSearches* searches = fSession.GetMySearches();
    const bool enabled = searches && !searches->GetAllSearches().empty() && searches->HasEnabledAlerts();
    if (!enabled)
        timerCheckForNewResults.stop();
    else if (!timerCheckForNewResults.isActive())
        timerCheckForNewResults.start();
}

void TAlertsController::timerCheckForNewResultsTimer() {
    if (fScheduler->Tick() > 0 || fScheduler->ChainRunning()) ScheduleNextPass();
}

void TAlertsController::ScheduleNextPass() {
    const long long wait = fScheduler->MillisecondsUntilAutoSearch();
    if (wait < 0) return;  // the chain has ended
    fAutoSearchTimer.start(static_cast<int>(std::min<long long>(wait, TAlertScheduler::cStaggerMs)));
}

void TAlertsController::OnAutoSearchTimer() {
    fScheduler->Poll();
    ScheduleNextPass();
}

void TAlertsController::SetSearchingPaused(bool aPaused) { fScheduler->SetSearchingPaused(aPaused); }

void TAlertsController::Close() {
    fScheduler->Close();
    timerCheckForNewResults.stop();
    fAutoSearchTimer.stop();
}

TformAlerts* TAlertsController::AlertsWindow() const { return fAlertsWindow.data(); }

TformSettings* TAlertsController::PreferencesWindow() const { return fPreferences.data(); }

TformAlerts& TAlertsController::MakeAlertsWindow() {
    if (!fAlertsWindow) {
        fAlertsWindow = new TformAlerts(fSession, fDialogs, *fTests, &fMainWindow);
        fAlertsWindow->OnGlobalSettings = [this] { fGlobalSettingsAsked = true; };
        if (EditAutoReplyMessage)
            fAlertsWindow->EditAutoReplyMessage = [this](TAlert& aAlert) { EditAutoReplyMessage(aAlert); };
    }
    return *fAlertsWindow;
}

TformSettings& TAlertsController::MakePreferencesWindow() {
    if (!fPreferences) {
        fPreferences = new TformSettings(fSession, fDialogs, *fTests, &fMainWindow);
        fPreferences->Alerts->OnManageAlerts = [this] { ShowAlerts(nullptr); };
        fPreferences->OnSettingsChanged = [this] {
            if (fHooks.settingsChanged) fHooks.settingsChanged();
        };
    }
    return *fPreferences;
}

void TAlertsController::ShowAlerts(TSearch* aSearch) {
    TformAlerts& window = MakeAlertsWindow();
    if (window.isVisible()) return;
    if (fPreferences) fPreferences->Alerts->SetAlertsWindowShowing(true);
    fGlobalSettingsAsked = false;
    window.Execute(aSearch);
    if (fPreferences) fPreferences->Alerts->SetAlertsWindowShowing(false);
    // Also when opened from the settings: an alert switched on there needs the timer too.
    RefreshTimerCheckForNewResultsEnabled();
    if (fGlobalSettingsAsked) ShowNotificationSettings();
}

void TAlertsController::ShowNotificationSettings() {
    // Open below the alerts window already, it only shows its Alerts page again.
    MakePreferencesWindow().Execute(TformSettings::pgAlerts);
    if (fAlertsWindow) fAlertsWindow->RefreshTransportStatus();
}

}  // namespace trawlix
