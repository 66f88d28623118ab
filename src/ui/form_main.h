#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "ui/animate_data.h"
#include "ui/form_first_run.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QTabBar;
class QTableView;
class QToolBar;

namespace trawlix {

class IUserDialogs;
class TAlertsController;
class TDesktopNotifier;
class TformSettings;
class TVendorActions;
class TBalloonHint;
class TThreadedTimer;
class TCriteriaPanel;
class TFilterBar;
class TResultsModel;
class TSearch;
class TSession;
class TViewHelper;
class TResultsList;
class TResultsReplies;
class TThumbnailsAndPreview;
class TMapPreview;
class TTimelinePreview;
class TWhisperSplitter;
class TfrmInfo;
class TNewsPage;

// The main window: one tab per search, the criteria panel on the left, the results on
// the right, the toolbar, menus, status bar and tray icon.
class TformMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int cCollapsedWidth = 34;
    static constexpr int cErrorBalloonPauseMs = 3300;

    struct TOptions {
        bool showSplash = true;        // the 3 s splash before the tabs are built
        bool showMaximized = true;
    };

    TformMain(TSession* aSession, IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    ~TformMain() override;

    // Starts the session and waits for it, serving the main thread; true when the window may show.
    bool Init();
    // Once the session has loaded: trees, tabs, and the window shown.
    void LoginSuccess(const TOptions& aOptions);

    void AddTab(TSearch& aSearch);
    TSearch* CurrentSearch() const;
    // The search of a tab; none for the news tab.
    TSearch* TabSearch(int aIndex) const;
    // "What's new" after an upgrade: a tab that is no search, showing aPage in place of the
    // criteria and results while selected. Closed as any tab is.
    void ShowNewsTab(const std::filesystem::path& aPage);
    bool IsNewsTab(int aIndex) const;
    TNewsPage* NewsPage() const { return fNewsPage; }
    void RealignSearches();
    void ShowStatusBarMessage(const std::string& aMsg);
    // The alert check, the alerts window and the notification settings; null without a session.
    TAlertsController* Alerts() const { return fAlerts.get(); }
    // "Preferences", made on first use and reused; ShowPreferences runs it on the given page.
    TformSettings& PreferencesWindow();
    // The preferences were saved or the result colours changed.
    void OnPreferencesChanged();
    void ShowPreferences(int aPage);
    // Starts aSearch as an automatic run (the alert scheduler's turn); true when it runs.
    bool StartAutomaticSearch(TSearch& aSearch);
    // A second start asked us to come back.
    void BringToFront();
    bool ExitInProgress() const { return fExitting; }
    int ExitContinuations() const { return fExitContinuations; }
    bool CriteriaCollapsed() const;
    void OnCriteriaHideShow(int aShortcutTab = -1);

    // Preview below (portrait) or beside (landscape) the results.
    TOrientation Orientation() const { return fOrientation; }
    void CheckOrientation(bool aChange);
    void SetOrientation(TOrientation aOrientation);
    void SetSplitterHeightsAndWidths();
    void SetGBResultsDimensions();
    // Asks the user for an orientation (the orientation chooser, as on the first start when
    // aFirstRun); tests answer it.
    std::function<TOrientation(TOrientation aCurrent, bool aFirstRun)> OrientationChooser;
    // Opens an address in the default browser; false when none opened.
    std::function<bool(const QString& aAddress)> OpenAddress;
    // Whether the desktop shows a tray to come back from; tests answer it.
    std::function<bool()> TrayAvailable;
    // "Reply by EMail" and "Forward to EMail"; null without a session.
    TResultsReplies* Replies() const { return fReplies.get(); }
    // The update check, problem report, news, error window and crash reports.
    TVendorActions* Vendor() const { return fVendor; }

    // Search callbacks (wired by AddTab).
    void OnSearchProgress(TSearch& aSender, double aProgress);
    void OnSearchError(TSearch& aSender, const std::string& aErrorText);
    void OnSearchStopped(TSearch& aSender);

    // Balloons: one over a control at a time, dying after aDieAfter ms.
    void ShowFastBaloonHint(QWidget* aControl, const QString& aHint, int aDY, int aDX, int aDieAfter);
    void ShowEmptySearchHint(bool aOverrideOnShowing);
    // After a start by the user: one of the tips not shown before, if any can be shown.
    void ShowStartTip();
    const TBalloonHint* FastBaloonHint() const { return fFastBaloonHintHandle.get(); }
    const TBalloonHint* NewOptionsBalloon() const { return fNewOptionsBalloon.get(); }
    // The tray's balloon: shown for aTimeout ms; its text stays readable until replaced or cleared.
    void ShowTrayBalloon(const QString& aText, QSystemTrayIcon::MessageIcon aIcon, int aTimeout);
    const QString& TrayBalloonText() const { return fTrayBalloonText; }

    TCriteriaPanel* Criteria() const { return pnlLeft; }
    TFilterBar* FilterBar() const { return sbFilter; }
    TResultsModel* ResultsModel() const { return fResultsModel.get(); }
    TTimelinePreview& TimelinePreview() const { return *fTimelinePreview; }
    TResultsList* ResultsList() const { return fResultsList.get(); }
    TThumbnailsAndPreview* ThumbnailsAndPreview() const { return fThumbnailsAndPreview.get(); }
    TMapPreview* MapPreview() const { return fMapPreview.get(); }

    // The window's actions ("act" and what each does), shared by the menus, the tool bar and
    // the tray menu.
    QAction* actNewTab;
    QAction* actCloseTab;
    QAction* actClone;
    QAction* actWizzard;
    QAction* actSearch;
    QAction* actSaveMySearches;
    QAction* actMap;
    QAction* actManageAlerts;
    QAction* actPauseSearching;
    QAction* actPreviousSearch;
    QAction* actNextSearch;
    QAction* actClearResults;
    QAction* actClearAllFields;
    QAction* actPreferences;
    QAction* actHelp;
    QAction* actExit;
    QAction* actAbout;
    QAction* actChangeOrientation;
    QAction* EmailReplyHistory1;
    QTabBar* tcTabs;
    QLabel* lblResultsCount;
    // What went wrong in the shown search's last run: failed pages and site problems.
    QLabel* lblRunFailures;
    QWidget* gbResults;
    QSplitter* splitterPreview;
    QTabWidget* pcPreview;
    QTableView* lvResults;
    QProgressBar* pbSearching;
    QLabel* StatusBar;
    QMenu* miSearches;
    QSystemTrayIcon* TrayIcon = nullptr;
    QAction* pmTrayHideShow;

protected:
    void closeEvent(QCloseEvent* aEvent) override;
    void changeEvent(QEvent* aEvent) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateCentralArea();
    void CreateStatusBar();
    void CreateTray();
    void ClearStaleStatusTips();
    // The alert check and its windows, wired to the window (form_main_alerts.cpp).
    void CreateAlerts();
    void ShowNotificationStatus(const std::string& aText, bool aFailed);
    // After a run: its site problems on the site boxes, the status bar and the tray; the
    // notices of sites that turned bad or work again.
    void ShowSiteProblems(TSearch& aSearch);
    // A desktop pop-up for the new results of an automatic run, outside quiet hours; a
    // click on it shows the search's tab.
    void ShowDesktopNotice(TSearch& aSearch);
    void OpenSearchOfNotice(int aSearchID);
    // Shows or hides lblRunFailures for aSearch's last run, whatever "Show errors" says.
    void ShowRunFailures(const TSearch& aSearch);
    // Replies, forwards, the compose window and the reply history (form_main_replies.cpp).
    void CreateReplies();
    // The automatic replies no longer call into this window.
    void ReleaseReplies();

    void OnTabChanging();
    void OnTabChanged(int aIndex);
    void OnTabMoved(int aFrom, int aTo);
    void SelectTab(int aIndex);
    // The search no longer calls back into this window.
    static void DetachSearch(TSearch* aSearch);
    void FillControls(TSearch& aSearch);
    void UpdateActions();
    void UpdateTabPictures();
    void UpdateSearchMenuItems();
    void UpdateCurrentTabCaption(const QString& aCaption);
    // The news page or the criteria and results take the window's main area.
    void ShowNewsArea(bool aNews);

    void NewTab();
    // "New search": through the wizard when the user wants it, else an empty search.
    void NewSearchFromUser();
    // The search wizard on aSearch, or on a new search (given a tab) when none.
    void RunSearchWizard(TSearch* aSearch);
    void ExecutePostSearchWizardActions(TSearch& aSearch);
    // On the first start's empty search: the wizard when the user wants it, else the hint at
    // the places to choose.
    void GuideToFirstSearch();
    void CloseTab(bool aAsk);
    static bool SearchHoldsData(const TSearch& aSearch);
    int TabIndexOf(const TSearch* aSearch) const;
    // Stops the run of a search about to be freed and waits for its threads; false when the
    // program began to exit meanwhile.
    bool StopAndWaitForClosedSearch(TSearch& aSearch);
    void Clone();
    void StartStopSearch();
    void SaveMySearches(bool aFromUser);
    void PauseSearching();
    void ClearResults();
    void Exit();
    void ContinueExit();
    bool AnySearchRunning() const;
    void StopAllSearches(bool aWait);
    void ShowNewOptionsBalloon();
    // Frees the balloon in aSlot after aDieAfter ms, unless another has taken its place.
    void CloseBalloonLater(std::unique_ptr<TBalloonHint> TformMain::*aSlot, int aDieAfter);
    void ShowTrayHideShow(bool aShow);
    // The animation thread's tick: reads the tabs' searches into fAnimateData.
    void AnimateTabs();
    void StopAnimation();
    int ResultsAreaLength() const;
    void SetPreviewLength(int aPreviewLength);
    // Caption gets whatever width the other columns leave, and at least its minimum.
    void FitCaptionColumn();
    void RefreshPreviews();
    void SaveResultsDimensions();
    // A balloon may point at aControl's centre moved by aOffset: shown, usable and on a screen.
    bool CanPointAt(const QWidget* aControl, const QPoint& aOffset) const;
    // Opens a page of the vendor's site in the default browser.
    void OpenVendorPage(const std::string& aPath);

    TSession* fSession;
    IUserDialogs& fDialogs;
    TVendorActions* fVendor = nullptr;
    TCCriticalSection fTabsCriticalSection{"TformMain.fTabsCriticalSection"};
    TCriteriaPanel* pnlLeft;
    TFilterBar* sbFilter;
    TWhisperSplitter* splitterCriteria;
    std::unique_ptr<TResultsModel> fResultsModel;
    std::unique_ptr<TViewHelper> fViewHelper;
    std::unique_ptr<TfrmInfo> fInfo;
    std::unique_ptr<TResultsList> fResultsList;  // after the model and helper it uses
    std::unique_ptr<TThumbnailsAndPreview> fThumbnailsAndPreview;  // after the list it mirrors
    std::unique_ptr<TMapPreview> fMapPreview;
    std::unique_ptr<TTimelinePreview> fTimelinePreview;
    // Rebuilds the preview page in front that follows the results (the timeline).
    QTimer timerRefreshPreviews;
    QTimer fTimerAnimateSynch;
    QTimer fTimerIdle;
    std::vector<int> fTabFrames;  // the spinner frame each tab shows
    // The tabs' searches as the animation thread sees them; guarded by fTabsCriticalSection.
    std::vector<const TSearch*> fTabSearches;
    TAnimateData fAnimateData;
    std::unique_ptr<TThreadedTimer> fTimerAnimate;
    std::unique_ptr<TBalloonHint> fFastBaloonHintHandle;
    std::unique_ptr<TBalloonHint> fNewOptionsBalloon;
    QString fTrayBalloonText;
    bool fOnShowing = false;
    bool fExitting = false;
    bool fExitContinued = false;
    int fExitContinuations = 0;
    bool fSearchingPaused = false;
    std::unique_ptr<TAlertsController> fAlerts;
    std::unique_ptr<TDesktopNotifier> fDesktopNotifier;
    std::unique_ptr<TResultsReplies> fReplies;
    class TformSearchWizard* fSearchWizard = nullptr;  // made at its first use
    bool fCanShowErrorBalloon = true;
    bool fHasBeenMinimizedToTray = false;
    bool fTrayShowsNewResults = false;
    TOrientation fOrientation = orPortrait;
    bool fOrientationChecked = false;
    int fCriteriaOpenWidth = 0;
    TSearch* fShownSearch = nullptr;  // whose criteria the panel shows
    bool fClosingTab = false;
    TSearch* fClosingSearch = nullptr;  // its run is being stopped before its tab closes
    TNewsPage* fNewsPage = nullptr;  // while the news tab is open
};

}  // namespace trawlix
