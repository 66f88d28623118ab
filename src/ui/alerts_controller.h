#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "engine/clock.h"

class QWidget;

namespace trawlix {

class IUserDialogs;
class TAlert;
class TAlertScheduler;
class TNotificationTests;
class TSearch;
class TSession;
class TformAlerts;
class TformSettings;

// The main window's side of the alerts: the check timer that drives the re-run
// scheduler, the alerts window and the preferences window (whose Alerts page holds the
// notification settings), and where the status of a digest is shown.
class TAlertsController : public QObject {
    Q_OBJECT
public:
    struct THooks {
        // Starts the search as an automatic run in the main window; true when it runs afterwards.
        std::function<bool(TSearch& aSearch)> startAutomaticRun;
        // Shows a digest's status line; aFailed when it could not be sent.
        std::function<void(const std::string& aText, bool aFailed)> showNotificationStatus;
        // Told after the preferences were saved and whenever the result colours changed.
        std::function<void()> settingsChanged;
    };

    TAlertsController(TSession& aSession, IUserDialogs& aDialogs, QWidget& aMainWindow, THooks aHooks);
    ~TAlertsController() override;

    // The check timer runs exactly while some search has its alert switched on.
    void RefreshTimerCheckForNewResultsEnabled();
    // The check: queues the due searches and starts the first of them.
    void timerCheckForNewResultsTimer();
    void SetSearchingPaused(bool aPaused);
    // The main window is closing: no automatic run starts any more.
    void Close();

    // "Manage alerts", modal, with aSearch's row selected (the first row without one).
    void ShowAlerts(TSearch* aSearch);
    // The preferences on their Alerts page, modal (only switches to that page when they
    // are open already).
    void ShowNotificationSettings();

    // Edits an alert's automatic-reply message (the compose window); the alerts window's
    // button stays off while unset.
    std::function<void(TAlert&)> EditAutoReplyMessage;

    // The clock the scheduler reads; tests set their own.
    TNowFunction Now = LocalNow;

    QTimer timerCheckForNewResults;
    TAlertScheduler& Scheduler() const { return *fScheduler; }
    TNotificationTests& Tests() const { return *fTests; }
    // The windows, made on first use; null before.
    TformAlerts* AlertsWindow() const;
    TformSettings* PreferencesWindow() const;
    // Prepared for showing (tests drive the windows themselves rather than modally).
    TformAlerts& MakeAlertsWindow();
    TformSettings& MakePreferencesWindow();

private:
    // Arms the stagger timer for the scheduler's next pass, if one is due.
    void ScheduleNextPass();
    void OnAutoSearchTimer();

    TSession& fSession;
    IUserDialogs& fDialogs;
    QWidget& fMainWindow;
    THooks fHooks;
    std::unique_ptr<TAlertScheduler> fScheduler;
    std::unique_ptr<TNotificationTests> fTests;
    QTimer fAutoSearchTimer;
    // Children of the main window, freed with this controller.
    QPointer<TformAlerts> fAlertsWindow;
    QPointer<TformSettings> fPreferences;
    bool fGlobalSettingsAsked = false;
};

}  // namespace trawlix
