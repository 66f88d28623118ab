#include "ui/form_main.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "model/categories.h"
#include "model/searches.h"
#include "model/version.h"
#include "ui/ask_line.h"
#include "ui/alerts_controller.h"
#include "ui/desktop_notifier.h"
#include "ui/balloon_hint.h"
#include "ui/criteria_panel.h"
#include "ui/filter_bar.h"
#include "ui/form_email_accounts.h"
#include "ui/form_main_parts.h"
#include "ui/info_window.h"
#include "ui/map_preview.h"
#include "ui/results_list.h"
#include "ui/results_replies.h"
#include "ui/results_model.h"
#include "ui/splash_window.h"
#include "ui/form_timeline.h"
#include "ui/thumbnails_and_preview.h"
#include "ui/timeline_preview.h"
#include "ui/user_dialogs.h"
#include "ui/vendor_actions.h"
#include "ui/whisper_splitter.h"

// The pictures live in the program's static library: they must be registered by hand.
static void InitPictures() { Q_INIT_RESOURCE(trawlix); }

namespace trawlix {

using namespace form_main;

namespace {

QAction* MakeAction(QObject* aParent, const QString& aName, const QString& aCaption, const QString& aHint,
                    const QKeySequence& aShortcut = {}, const QString& aPicture = {}) {
    auto* action = new QAction(aCaption, aParent);
    action->setObjectName(aName);
    action->setToolTip(aHint.isEmpty() ? aCaption : aHint);
    action->setStatusTip(aHint);
    if (!aShortcut.isEmpty()) action->setShortcut(aShortcut);
    if (!aPicture.isEmpty()) action->setIcon(Picture(aPicture));
    return action;
}

// Calls back whenever a watched widget changes its size.
class TResizeWatcher : public QObject {
public:
    TResizeWatcher(std::function<void()> aOnResized, QObject* aParent)
        : QObject(aParent), fOnResized(std::move(aOnResized)) {}

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override {
        if (aEvent->type() == QEvent::Resize) fOnResized();
        return QObject::eventFilter(aWatched, aEvent);
    }

private:
    std::function<void()> fOnResized;
};

}  // namespace

namespace form_main {

// A queued call finds the window gone when the program ended in between: it then does nothing.
void OnMainThread(TformMain* aWindow, std::function<void()> aWork) {
    IMainThreadBinding* binding = GetMainThreadBinding();
    if (!binding || binding->IsMainThread()) {
        aWork();
        return;
    }
    QPointer<TformMain> window(aWindow);
    Synch().SynchronizeNonBlocking(
        [window, work = std::move(aWork)](const std::string&) {
            if (window) work();
        },
        "");
}

}  // namespace form_main

// --- construction ----------------------------------------------------------------------

TformMain::TformMain(TSession* aSession, IUserDialogs& aDialogs, QWidget* aParent)
    : QMainWindow(aParent), fSession(aSession), fDialogs(aDialogs) {
    InitPictures();
    setObjectName("formMain");
    setWindowTitle(QString("Trawlix, version %1").arg(kVersion));
    setWindowIcon(Picture("trawlix"));
    fInfo = std::make_unique<TfrmInfo>(this);
    fVendor = new TVendorActions(this, aSession, aDialogs);
    CreateActions();
    CreateCentralArea();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateTray();
    ClearStaleStatusTips();
    CreateAlerts();
    CreateReplies();
    fTimerAnimateSynch.setInterval(cTabPicturesMs);
    connect(&fTimerAnimateSynch, &QTimer::timeout, this, &TformMain::UpdateTabPictures);
    fTimerIdle.setInterval(cIdleMs);
    connect(&fTimerIdle, &QTimer::timeout, this, &TformMain::UpdateActions);
    fTimerIdle.start();
    timerRefreshPreviews.setInterval(TformTimeline::cEmptyRefreshMs);
    connect(&timerRefreshPreviews, &QTimer::timeout, this, &TformMain::RefreshPreviews);
    timerRefreshPreviews.start();
    fTimerAnimate = std::make_unique<TThreadedTimer>();
    fTimerAnimate->SetOnTimer([this](TThreadedTimer&) { AnimateTabs(); });
    OrientationChooser = [this](TOrientation aCurrent, bool aFirstRun) {
        return TformFirstRun::Execute(aCurrent, aFirstRun, this);
    };
    OpenAddress = [](const QString& aAddress) { return QDesktopServices::openUrl(QUrl(aAddress)); };
    TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    fVendor->OpenAddress = [this](const QString& aAddress) { return OpenAddress && OpenAddress(aAddress); };
    fVendor->ShowNews = [this](const std::filesystem::path& aPage) { ShowNewsTab(aPage); };
    resize(1200, 800);
}

TformMain::~TformMain() {
    ReleaseReplies();
    StopAnimation();
    for (int tab = 0; tab < tcTabs->count(); ++tab) DetachSearch(TabSearch(tab));
    fTimerAnimateSynch.stop();
    fTimerIdle.stop();
    timerRefreshPreviews.stop();
    pnlLeft->TimerFillSearch().stop();
}

void TformMain::CreateActions() {
    actNewTab = MakeAction(this, "actNewTab", "New search", "Open a new search", QKeySequence("Ctrl+T"), "new_search");
    actCloseTab = MakeAction(this, "actCloseTab", "Close search", "Close the search", QKeySequence("Ctrl+W"), "close_search");
    actClone = MakeAction(this, "actClone", "Clone search", "Clone search", {}, "clone_search");
    actWizzard = MakeAction(this, "actWizzard", "Wizard", "Search wizard", {}, "wizard");
    actSearch = MakeAction(this, "actSearch", "Start search", "", QKeySequence("Ctrl+S"), "start_search");
    actSearch->setData(0);
    actSaveMySearches = MakeAction(this, "actSaveMySearches", "Save My Searches", "Saves all the searches manually",
                                   QKeySequence("Ctrl+Shift+S"), "save");
    actMap = MakeAction(this, "actMap", "Show map preview", "Show map preview", {}, "map");
    actManageAlerts = MakeAction(this, "actManageAlerts", "Manage alerts", "Manage alerts", {}, "alerts");
    actPauseSearching = MakeAction(this, "actPauseSearching", "Pause Searching", "");
    actPreviousSearch = MakeAction(this, "actPreviousSearch", "Previous tab", "Previous search", QKeySequence("Ctrl+PgUp"));
    actNextSearch = MakeAction(this, "actNextSearch", "Next tab", "Next search", QKeySequence("Ctrl+PgDown"));
    actClearResults = MakeAction(this, "actClearResults", "Clear results", "Clear results");
    actClearAllFields = MakeAction(this, "actClearAllFields", "Clear all fields", "Clear all the criteria fields");
    actPreferences = MakeAction(this, "actPreferences", "Preferences", "Preferences", QKeySequence("F10"), "preferences");
    actHelp = MakeAction(this, "actHelp", "Help", "Help", {}, "help");
    actExit = MakeAction(this, "actExit", "Exit", "Exit Trawlix", QKeySequence("Alt+Q"), "exit");
    actAbout = MakeAction(this, "actAbout", "About", "About");
    actChangeOrientation = MakeAction(this, "actChangeOrientation", "Change Orientation", "Change Orientation");
    connect(actChangeOrientation, &QAction::triggered, this, [this] {
        CheckOrientation(true);
        SetSplitterHeightsAndWidths();
    });
    connect(actHelp, &QAction::triggered, this, [this] { OpenVendorPage("tutorial.php"); });
    connect(actPreferences, &QAction::triggered, this, [this] { ShowPreferences(0); });
    for (QAction* action : {actNewTab, actCloseTab, actClone, actSearch, actSaveMySearches, actPauseSearching,
                            actPreviousSearch, actNextSearch, actClearResults, actClearAllFields, actExit})
        addAction(action);  // shortcuts work wherever the focus is

    connect(actNewTab, &QAction::triggered, this, &TformMain::NewSearchFromUser);
    connect(actCloseTab, &QAction::triggered, this, [this] { CloseTab(false); });
    connect(actClone, &QAction::triggered, this, &TformMain::Clone);
    connect(actWizzard, &QAction::triggered, this, [this] { RunSearchWizard(CurrentSearch()); });
    connect(actSearch, &QAction::triggered, this, &TformMain::StartStopSearch);
    connect(actSaveMySearches, &QAction::triggered, this, [this] { SaveMySearches(true); });
    connect(actPauseSearching, &QAction::triggered, this, &TformMain::PauseSearching);
    connect(actNextSearch, &QAction::triggered, this, [this] {
        if (tcTabs->count() > 0) SelectTab((tcTabs->currentIndex() + 1) % tcTabs->count());
    });
    connect(actPreviousSearch, &QAction::triggered, this, [this] {
        if (tcTabs->count() > 0) SelectTab((tcTabs->currentIndex() + tcTabs->count() - 1) % tcTabs->count());
    });
    connect(actClearResults, &QAction::triggered, this, &TformMain::ClearResults);
    connect(actExit, &QAction::triggered, this, &TformMain::Exit);
    connect(actAbout, &QAction::triggered, this, [this] {
        TformSplash splash(this);
        splash.Execute(0);
    });
}

void TformMain::CreateMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->addAction(actPreferences);
    file->addSeparator();
    QAction* exitItem = file->addAction("Exit (Alt+Q)");
    connect(exitItem, &QAction::triggered, actExit, &QAction::trigger);

    miSearches = menuBar()->addMenu("Searches");
    miSearches->setObjectName("miSearches");
    connect(miSearches, &QMenu::aboutToShow, this, &TformMain::UpdateSearchMenuItems);
    UpdateSearchMenuItems();

    QMenu* tools = menuBar()->addMenu("Tools");
    fResultsList->AddMenus(*menuBar(), *tools, *tools);
    for (QAction* menu : menuBar()->actions())
        if (menu->menu() && menu->text() == "Results")
            fMapPreview->Install(*menu->menu(), *static_cast<QVBoxLayout*>(gbResults->layout()));
    tools->addAction(actPreferences);
    QAction* mapEdit = tools->addAction("Map Edit");
    mapEdit->setVisible(false);
    tools->addAction(actChangeOrientation);
    tools->addAction(actManageAlerts);
    // The preferences' Alerts page, under the name users look for.
    QAction* notificationSettings = tools->addAction("Notification settings");
    notificationSettings->setObjectName("actNotificationSettings");
    connect(notificationSettings, &QAction::triggered, this, [this] {
        if (fAlerts) fAlerts->ShowNotificationSettings();
    });
    EmailReplyHistory1 = tools->addAction("Email Reply History");
    EmailReplyHistory1->setObjectName("EmailReplyHistory1");
    // The compose window will hold the account list; until it comes, a small window does.
    QAction* emailAccounts = tools->addAction("Email accounts");
    emailAccounts->setObjectName("actEmailAccounts");
    connect(emailAccounts, &QAction::triggered, this, [this] { ShowEmailAccounts(*this, *fSession, fDialogs); });

    QMenu* help = menuBar()->addMenu("Help");
    help->addAction(actHelp);
    QAction* contact = help->addAction("Contact us");
    connect(contact, &QAction::triggered, this, [this] { OpenVendorPage("contact.php"); });
    // The vendor's report and update services come later.
    connect(help->addAction("Generate Problem Report"), &QAction::triggered, fVendor,
            &TVendorActions::GenerateProblemReport);
    help->addSeparator();
    connect(help->addAction("Check for Update"), &QAction::triggered, fVendor, &TVendorActions::CheckForUpdate);
    help->addSeparator();
    help->addAction(actAbout);
}

void TformMain::UpdateSearchMenuItems() {
    miSearches->clear();
    for (QAction* action : {actNewTab, actCloseTab, actClone, actSaveMySearches, actManageAlerts, actPauseSearching})
        miSearches->addAction(action);
    miSearches->addSeparator();
    miSearches->addAction(actNextSearch);
    miSearches->addAction(actPreviousSearch);
    miSearches->addSeparator();
    miSearches->addAction(actClearResults);
    miSearches->addAction(actClearAllFields);
    miSearches->addAction(actSearch);
    miSearches->addSeparator();
    for (int tab = 0; tab < tcTabs->count(); ++tab) {
        TSearch* search = TabSearch(tab);
        if (!search) continue;
        const QString name = QString::fromStdString(search->GetName()).trimmed();
        QAction* item = miSearches->addAction(CaptionOf(name.isEmpty() ? cUntitled : name, cMenuCaptionPixels));
        connect(item, &QAction::triggered, this, [this, search] {
            for (int index = 0; index < tcTabs->count(); ++index)
                if (TabSearch(index) == search) SelectTab(index);
        });
    }
}

void TformMain::CreateToolBar() {
    QToolBar* toolBar = addToolBar("ToolBar");
    toolBar->setObjectName("ToolBar");
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (QAction* action : {actNewTab, actCloseTab, actClone, actWizzard, actSearch}) toolBar->addAction(action);
    toolBar->addSeparator();
    for (QAction* action : {actSaveMySearches, actMap, actManageAlerts}) toolBar->addAction(action);
    toolBar->addSeparator();
    for (QAction* action : {actPreferences, actHelp, actExit}) toolBar->addAction(action);
}

void TformMain::CreateCentralArea() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    tcTabs = new QTabBar(central);
    tcTabs->setObjectName("tcTabs");
    tcTabs->setMovable(true);
    tcTabs->setUsesScrollButtons(true);
    tcTabs->setExpanding(false);
    // The bar's arrows step through the searches instead of only scrolling the tab strip.
    for (QToolButton* arrow : tcTabs->findChildren<QToolButton*>()) {
        QAction* step = arrow->objectName() == "ScrollLeftButton" ? actPreviousSearch : actNextSearch;
        disconnect(arrow, &QToolButton::clicked, nullptr, nullptr);
        connect(arrow, &QToolButton::clicked, step, &QAction::trigger);
    }
    tcTabs->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* closeFromMenu = new QAction("Close search", tcTabs);
    connect(closeFromMenu, &QAction::triggered, this, [this] { CloseTab(true); });
    tcTabs->addAction(actNewTab);
    tcTabs->addAction(closeFromMenu);
    tcTabs->addAction(actClone);
    auto* tabMenuSeparator = new QAction(tcTabs);
    tabMenuSeparator->setSeparator(true);
    tcTabs->addAction(tabMenuSeparator);
    tcTabs->addAction(actSearch);
    tcTabs->addAction(actClearResults);
    layout->addWidget(tcTabs);

    splitterCriteria = new TWhisperSplitter(Qt::Horizontal, central);
    splitterCriteria->setObjectName("splitterCriteria");
    splitterCriteria->setHandleWidth(8);
    splitterCriteria->Bitmap = QPixmap(":/pictures/DotInset.svg");
    splitterCriteria->BitmapInterations = cCriteriaGripCopies;
    splitterCriteria->HideOnClick = true;
    splitterCriteria->OnHideShow = [this] { OnCriteriaHideShow(); };
    // The criteria do not fit a narrower panel; a collapsed panel is opened by a click instead.
    splitterCriteria->OnCanResize = [this](int aWidth) {
        return !CriteriaCollapsed() && aWidth >= TCriteriaPanel::cDesignedWidth;
    };
    pnlLeft = new TCriteriaPanel(fDialogs, splitterCriteria);
    auto* pnlMain = new QWidget(splitterCriteria);
    pnlMain->setObjectName("pnlMain");
    auto* mainLayout = new QVBoxLayout(pnlMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    sbFilter = new TFilterBar(pnlMain);
    mainLayout->addWidget(sbFilter);
    splitterPreview = new TWhisperSplitter(Qt::Vertical, pnlMain);
    splitterPreview->setObjectName("splitterPreview");
    splitterPreview->setChildrenCollapsible(false);
    splitterPreview->setHandleWidth(6);
    gbResults = new QWidget(splitterPreview);
    gbResults->setObjectName("gbResults");
    auto* resultsLayout = new QVBoxLayout(gbResults);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    lblResultsCount = new QLabel("Results (0 found) ", gbResults);
    lblResultsCount->setObjectName("lblResultsCount");
    resultsLayout->addWidget(lblResultsCount);
    lblRunFailures = new QLabel(gbResults);
    lblRunFailures->setObjectName("lblRunFailures");
    lblRunFailures->setWordWrap(true);
    lblRunFailures->setTextFormat(Qt::PlainText);
    lblRunFailures->setStyleSheet("QLabel { color: #7a1f00; background: #fff4e5; padding: 3px; }");
    lblRunFailures->hide();
    resultsLayout->addWidget(lblRunFailures);
    lvResults = new QTableView(gbResults);
    lvResults->setObjectName("lvResults");
    fResultsModel = std::make_unique<TResultsModel>();
    lvResults->setModel(fResultsModel.get());
    lvResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvResults->verticalHeader()->hide();
    lvResults->verticalHeader()->setDefaultSectionSize(20);
    // Caption takes the width the other columns leave, but never less than it needs to be read.
    lvResults->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Interactive);
    const int widths[TResultsModel::cColumnCount] = {40, 50, 70, 250, 60, 157, 157, 98};
    for (int column = 0; column < TResultsModel::cColumnCount; ++column)
        if (column != 3) lvResults->setColumnWidth(column, widths[column]);
    resultsLayout->addWidget(lvResults, 1);
    pcPreview = new QTabWidget(splitterPreview);
    pcPreview->setObjectName("pcPreview");
    splitterPreview->addWidget(gbResults);
    splitterPreview->addWidget(pcPreview);
    mainLayout->addWidget(splitterPreview, 1);
    connect(splitterPreview, &QSplitter::splitterMoved, this, [this] {
        if (!fSession) return;
        const int preview = splitterPreview->sizes().value(1);
        if (fOrientation == orLandscape)
            fSession->GetSettings().SetPreviewPanelWidth(preview);
        else
            fSession->GetSettings().SetPreviewPanelHeight(preview);
        fSession->SaveSettings();
    });
    splitterCriteria->addWidget(pnlLeft);
    splitterCriteria->addWidget(pnlMain);
    splitterCriteria->setStretchFactor(1, 1);
    splitterCriteria->setSizes({TCriteriaPanel::cDesignedWidth, 900});
    layout->addWidget(splitterCriteria, 1);
    setCentralWidget(central);
    fViewHelper = std::make_unique<TViewHelper>(*fResultsModel, *lblResultsCount);
    fResultsList = std::make_unique<TResultsList>(TResultsListContext{
        fSession, &fDialogs, fInfo.get(), lvResults, fResultsModel.get(), fViewHelper.get(), lblResultsCount, this,
        [this] { return CurrentSearch(); }, [this] { return fExitting; }});
    fResultsList->Install(*static_cast<QVBoxLayout*>(gbResults->layout()));
    fThumbnailsAndPreview = std::make_unique<TThumbnailsAndPreview>(TThumbnailsAndPreviewContext{
        fSession, lvResults, fResultsModel.get(), fResultsList.get(), pcPreview, [this] { return CurrentSearch(); },
        [this] { return fExitting; }});
    fThumbnailsAndPreview->Install(*static_cast<QVBoxLayout*>(gbResults->layout()));
    fMapPreview = std::make_unique<TMapPreview>(TMapPreviewContext{
        [this] { return fSession ? fSession->GetPlaces() : nullptr; }, this, pcPreview, actMap,
        [this] { return CurrentSearch(); }});
    fTimelinePreview = std::make_unique<TTimelinePreview>(pcPreview, [this] { return CurrentSearch(); });

    connect(tcTabs, &QTabBar::currentChanged, this, &TformMain::OnTabChanged);
    connect(tcTabs, &QTabBar::tabMoved, this, &TformMain::OnTabMoved);
    connect(tcTabs, &QTabBar::tabBarClicked, this, [this](int aIndex) {
        if (aIndex != tcTabs->currentIndex()) OnTabChanging();
    });
    pnlLeft->OnSearchClicked = [this] { actSearch->trigger(); };
    pnlLeft->OnWizardClicked = [this] { actWizzard->trigger(); };
    pnlLeft->OnHideShowClicked = [this](int aShortcutTab) { OnCriteriaHideShow(aShortcutTab); };
    connect(splitterCriteria, &QSplitter::splitterMoved, this, [this](int aPosition) {
        // Narrower than designed, or while collapsed, the panel does not follow the splitter.
        if (CriteriaCollapsed() || aPosition < TCriteriaPanel::cDesignedWidth) {
            splitterCriteria->setSizes({CriteriaCollapsed() ? cCollapsedWidth : TCriteriaPanel::cDesignedWidth,
                                        splitterCriteria->width()});
            return;
        }
        if (fSession) {
            fSession->GetSettings().SetCriteriaPanelWidth(aPosition);
            fSession->SaveSettings();
        }
    });
    connect(actClearAllFields, &QAction::triggered, pnlLeft, &TCriteriaPanel::ClearAllFields);
    pnlLeft->OnCaptionChanged = [this](const QString& aCaption) { UpdateCurrentTabCaption(aCaption); };
    pnlLeft->OnSelectionChanged = [this] {
        ShowEmptySearchHint(false);
        UpdateActions();
    };
    pnlLeft->OnNewOptionsAvailable = [this] { ShowNewOptionsBalloon(); };
    sbFilter->ApplyFilter = [this] {
        if (TSearch* search = CurrentSearch()) fViewHelper->RebuildViewList(*search);
    };
    sbFilter->FocusAway = [this] { pnlLeft->FocusSearchName(); };
    sbFilter->HeightLimit = [this, pnlMain] {
        // Beside the preview the bar may take a quarter of the column; above it, a third of what the preview leaves.
        if (fOrientation == orLandscape) return pnlMain->height() / 4;
        return (pnlMain->height() - pcPreview->height()) / 3;
    };
    auto* watcher = new TResizeWatcher([this] { sbFilter->OnFilterResized(); }, this);
    pnlMain->installEventFilter(watcher);
    pcPreview->installEventFilter(watcher);
    lvResults->viewport()->installEventFilter(new TResizeWatcher([this] { FitCaptionColumn(); }, this));
    connect(lvResults->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int aColumn) {
        if (aColumn != TResultsModel::cCaptionColumn) FitCaptionColumn();
    });
}

void TformMain::CreateStatusBar() {
    StatusBar = new QLabel(this);
    StatusBar->setObjectName("StatusBar");
    pbSearching = new QProgressBar(this);
    pbSearching->setObjectName("pbSearching");
    pbSearching->setRange(0, cProgressMaximum);
    pbSearching->setMaximumWidth(200);
    pbSearching->hide();
    statusBar()->addWidget(StatusBar, 1);
    statusBar()->addPermanentWidget(pbSearching);
}

void TformMain::ClearStaleStatusTips() {
    // A hint is about what the pointer is over. Once its action runs it goes: a dialog the
    // action opens takes the pointer away without the button hearing of it, and the hint
    // would stay behind.
    for (QAction* action : findChildren<QAction*>())
        connect(action, &QAction::triggered, statusBar(), &QStatusBar::clearMessage);
}

// --- start -----------------------------------------------------------------------------

bool TformMain::Init() {
    if (!fSession) return true;
    // The window needs nothing of its own once the session is up: it waits for it below.
    fSession->OnSessionInitialized = [] {};
    fSession->InitSession();
    fSession->WaitUntilIdle();
    return true;
}

void TformMain::LoginSuccess(const TOptions& aOptions) {
    if (aOptions.showSplash) {
        TformSplash splash(this);
        splash.Execute(cSplashMs);
    }
    fTimerAnimateSynch.start();
    fTimerAnimate->SetInterval(cAnimateMs);
    fTimerAnimate->Start();
    if (!fSession || !fSession->GetMySearches()) {
        // Initialisation failed: an empty window that can only be closed.
        show();
        return;
    }
    TSettings& settings = fSession->GetSettings();
    pnlLeft->SetSiteCaptions({settings.GetCraigslistDomain(), "backpage.com", settings.GetOodleDomain(),
                              settings.GetEBayClassifiedsDomain(), settings.GetCarsComDomain(),
                              settings.GetAutotraderDomain()});
    pnlLeft->SetReferenceData(fSession->GetPlaces() ? fSession->GetPlaces()->GetCountries() : TPlaceList{},
                              fSession->GetCategories() ? fSession->GetCategories()->GetMainCategories() : TPlaceList{},
                              fSession->GetZIPCodes());
    if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
    {
        std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
        fOnShowing = true;
        while (tcTabs->count() > 0) tcTabs->removeTab(0);
        fTabSearches.clear();
        fTabFrames.clear();
        for (const auto& search : fSession->GetMySearches()->GetAllSearches()) AddTab(*search);
        fOnShowing = false;
    }
    pnlLeft->TimerFillSearch().start();
    CheckOrientation(false);
    if (settings.GetCriteriaPanelWidth() >= TCriteriaPanel::cDesignedWidth)
        splitterCriteria->setSizes({settings.GetCriteriaPanelWidth(), width()});
    ShowEmptySearchHint(true);
    if (fAlerts) fAlerts->RefreshTimerCheckForNewResultsEnabled();
    const bool hadTabs = tcTabs->count() > 0;
    if (!hadTabs) NewTab();
    const bool newsShown = fVendor->ShowNewsAfterUpgrade();
    // After an upgrade the criteria panel starts open, whatever it was at the last exit.
    if (hadTabs && !newsShown && settings.GetCriteriaHidden() && !CriteriaCollapsed()) OnCriteriaHideShow();
    if (aOptions.showMaximized)
        showMaximized();
    else
        show();
    raise();
    activateWindow();
    // The sizes need the window's final geometry.
    QTimer::singleShot(0, this, [this] {
        SetGBResultsDimensions();
        SetSplitterHeightsAndWidths();
        sbFilter->OnFilterResized();
    });
    fVendor->OfferCrashReports();
    // A first start (no search kept) leads to a first search once the window is up.
    if (!hadTabs) QTimer::singleShot(0, this, [this] { GuideToFirstSearch(); });
}

// --- idle rules ----------------------------------------------------------------------

void TformMain::UpdateActions() {
    TSearch* search = CurrentSearch();
    fResultsList->UpdateActions();
    actClone->setEnabled(search);
    actClearAllFields->setEnabled(search);
    actSearch->setEnabled(search && (pnlLeft->LastHasSelectedLocationsAndCategories() ||
                                     pnlLeft->HasZIPCode()));
    pnlLeft->SetSearchEnabled(actSearch->isEnabled());
    const bool running = search && search->GetSearching();
    pbSearching->setVisible(running);
    if (!running && actSearch->data().toInt() == 1) {
        actSearch->setText("Start search");
        actSearch->setIcon(Picture("start_search"));
        actSearch->setData(0);
        pnlLeft->SetSearchCaption(actSearch->text());
    }
    const bool toTray = fSession && fSession->GetSettings().GetMinimizeToTray();
    pmTrayHideShow->setVisible(toTray);
    pmTrayHideShow->setText(isVisible() ? "Hide" : "Show");
    if (TrayIcon) TrayIcon->setVisible(!fOnShowing);
}

void TformMain::OpenVendorPage(const std::string& aPath) {
    if (!fSession) return;
    const std::string address = "http://" + fSession->GetSettings().GetVendorHost() + "/" + aPath;
    if (OpenAddress && OpenAddress(QString::fromStdString(address))) return;
    // Without a browser the user can still copy the address from the message.
    fDialogs.Information("No web browser could be opened. The page is at:\n" + address);
}

void TformMain::ShowStatusBarMessage(const std::string& aMsg) { StatusBar->setText(QString::fromStdString(aMsg)); }

// The timeline in front follows the results: a long list is recounted less often, a
// millisecond per result, an empty one every second.
void TformMain::RefreshPreviews() {
    if (fExitting || !fSession || !fSession->GetMySearches()) return;
    if (fTimelinePreview->IsActive()) timerRefreshPreviews.setInterval(fTimelinePreview->Refresh());
}

}  // namespace trawlix
