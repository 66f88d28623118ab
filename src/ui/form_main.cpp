#include "ui/form_main.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/settings_file.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/keyword_syntax.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "model/categories.h"
#include "model/filter.h"
#include "model/searches.h"
#include "model/version.h"
#include "ui/balloon_hint.h"
#include "ui/criteria_panel.h"
#include "ui/filter_bar.h"
#include "ui/form_email_accounts.h"
#include "ui/info_window.h"
#include "ui/results_list.h"
#include "ui/results_model.h"
#include "ui/splash_window.h"
#include "ui/thumbnails_and_preview.h"
#include "ui/user_dialogs.h"
#include "ui/whisper_splitter.h"

// The pictures live in the program's static library: they must be registered by hand.
static void InitPictures() { Q_INIT_RESOURCE(trawlix); }

namespace trawlix {

namespace {

constexpr int cSplashMs = 3000;
constexpr int cTabPicturesMs = 50;
constexpr int cAnimateMs = 20;
constexpr int cTrayBalloonMs = 3000;
constexpr int cEmptySearchHintMs = 4000;
constexpr int cNewOptionsBalloonMs = 2000;
constexpr int cBalloonAboveControl = 20;
constexpr int cStartTipMs = 9000;
constexpr int cCaptionMinimumWidth = 250;
constexpr const char* cCriteriaSplitterTip =
    "When you have your search criteria ready, you might want to click on this blue splitter and Hide/Show the left "
    "criteria panel.";
constexpr const char* cAlertsTip =
    "Once you make sure you get the correct search results, you can setup an alert and be automatically notified "
    "for new hits.";
constexpr int cIdleMs = 100;
constexpr int cAnimationFrames = 31;
constexpr int cCriteriaGripCopies = 40;
constexpr int cProgressMaximum = 1000;
constexpr int cTabSearchRole = Qt::UserRole + 1;
constexpr const char* cUntitled = "(Untitled)";
constexpr const char* cNoLocations = "You must select some locations and categories to search in.";
constexpr const char* cNoSites =
    "You must select at least one website to search in (from the \"Websites to search\" panel in the \"Search "
    "settings\")";
constexpr const char* cSaveManually =
    "Searches are saved automatically when closing the program. Are you sure you want to save them manually now?";
constexpr const char* cNewResultsBalloon = "There are new results available.";
constexpr const char* cNewResultsMessage =
    "There are new results available for one or more of your searches.\r\n\r\nYou can disable this message from "
    "\"Tools\" -> \"Preferences\" -> \"General\".";
constexpr const char* cMinimizedBalloon =
    "Trawlix was minimized to tray.\r\nDouble-click the binocular icon to bring it back to front.";

QIcon Picture(const QString& aName) { return QIcon(":/pictures/" + aName + ".svg"); }

QIcon FramePicture(int aFrame) { return Picture(QString("tab_frame_%1").arg(aFrame, 2, 10, QChar('0'))); }

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

// Runs aWork on the main thread for aWindow: at once there, queued from a worker thread.
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

// --- construction ----------------------------------------------------------------------

TformMain::TformMain(TSession* aSession, IUserDialogs& aDialogs, QWidget* aParent)
    : QMainWindow(aParent), fSession(aSession), fDialogs(aDialogs) {
    InitPictures();
    setObjectName("formMain");
    setWindowTitle(QString("Trawlix, version %1").arg(kVersion));
    setWindowIcon(Picture("trawlix"));
    fInfo = std::make_unique<TfrmInfo>(this);
    CreateActions();
    CreateCentralArea();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateTray();
    ClearStaleStatusTips();
    fTimerAnimateSynch.setInterval(cTabPicturesMs);
    connect(&fTimerAnimateSynch, &QTimer::timeout, this, &TformMain::UpdateTabPictures);
    fTimerIdle.setInterval(cIdleMs);
    connect(&fTimerIdle, &QTimer::timeout, this, &TformMain::UpdateActions);
    fTimerIdle.start();
    fTimerAnimate = std::make_unique<TThreadedTimer>();
    fTimerAnimate->SetOnTimer([this](TThreadedTimer&) { AnimateTabs(); });
    OrientationChooser = [this](TOrientation aCurrent, bool aFirstRun) {
        return TformFirstRun::Execute(aCurrent, aFirstRun, this);
    };
    OpenAddress = [](const QString& aAddress) { return QDesktopServices::openUrl(QUrl(aAddress)); };
    resize(1200, 800);
}

TformMain::~TformMain() {
    StopAnimation();
    for (int tab = 0; tab < tcTabs->count(); ++tab) DetachSearch(TabSearch(tab));
    fTimerAnimateSynch.stop();
    fTimerIdle.stop();
    pnlLeft->TimerFillSearch().stop();
}

void TformMain::CreateActions() {
    actNewTab = MakeAction(this, "actNewTab", "New search", "Open a new search", QKeySequence("Ctrl+T"), "new_search");
    actCloseTab = MakeAction(this, "actCloseTab", "Close search", "Close the search", QKeySequence("Ctrl+W"), "close_search");
    actClone = MakeAction(this, "actClone", "Clone search", "Clone search", {}, "clone_search");
    actWizzard = MakeAction(this, "actWizzard", "Wizzard", "Search wizard", {}, "wizard");
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
    // The windows of these come with later parts of the program.
    for (QAction* later : {actWizzard, actMap, actManageAlerts, actPreferences})
        later->setEnabled(false);
    for (QAction* action : {actNewTab, actCloseTab, actClone, actSearch, actSaveMySearches, actPauseSearching,
                            actPreviousSearch, actNextSearch, actClearResults, actClearAllFields, actExit})
        addAction(action);  // shortcuts work wherever the focus is

    connect(actNewTab, &QAction::triggered, this, &TformMain::NewTab);
    connect(actCloseTab, &QAction::triggered, this, [this] { CloseTab(false); });
    connect(actClone, &QAction::triggered, this, &TformMain::Clone);
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
    tools->addAction(actPreferences);
    QAction* mapEdit = tools->addAction("Map Edit");
    mapEdit->setVisible(false);
    tools->addAction(actChangeOrientation);
    tools->addAction(actManageAlerts);
    tools->addAction("Email Reply History")->setEnabled(false);  // comes with the replies
    // The compose window will hold the account list; until it comes, a small window does.
    QAction* emailAccounts = tools->addAction("Email accounts");
    emailAccounts->setObjectName("actEmailAccounts");
    connect(emailAccounts, &QAction::triggered, this, [this] { ShowEmailAccounts(*this, *fSession, fDialogs); });

    QMenu* help = menuBar()->addMenu("Help");
    help->addAction(actHelp);
    QAction* contact = help->addAction("Contact us");
    connect(contact, &QAction::triggered, this, [this] { OpenVendorPage("contact.php"); });
    // The vendor's report and update services come later.
    help->addAction("Generate Problem Report")->setEnabled(false);
    help->addSeparator();
    help->addAction("Check for Update")->setEnabled(false);
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
        QAction* item = miSearches->addAction(name.isEmpty() ? cUntitled : name);
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

    connect(tcTabs, &QTabBar::currentChanged, this, &TformMain::OnTabChanged);
    connect(tcTabs, &QTabBar::tabMoved, this, &TformMain::OnTabMoved);
    connect(tcTabs, &QTabBar::tabBarClicked, this, [this](int aIndex) {
        if (aIndex != tcTabs->currentIndex()) OnTabChanging();
    });
    connect(pnlLeft->btnSearch, &QPushButton::clicked, actSearch, &QAction::trigger);
    connect(pnlLeft->tbtnHideCriteria, &QToolButton::clicked, this, [this] { OnCriteriaHideShow(); });
    connect(pnlLeft->tcCriteriaShortcuts, &QTabBar::tabBarClicked, this, [this](int aTab) { OnCriteriaHideShow(aTab); });
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
    sbFilter->FocusAway = [this] { pnlLeft->edtSearchName->setFocus(); };
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

void TformMain::FitCaptionColumn() {
    QHeaderView* header = lvResults->horizontalHeader();
    int others = 0;
    for (int column = 0; column < header->count(); ++column)
        if (column != TResultsModel::cCaptionColumn && !header->isSectionHidden(column))
            others += header->sectionSize(column);
    const int width = std::max(cCaptionMinimumWidth, lvResults->viewport()->width() - others);
    if (header->sectionSize(TResultsModel::cCaptionColumn) != width)
        header->resizeSection(TResultsModel::cCaptionColumn, width);
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

void TformMain::CreateTray() {
    pmTrayHideShow = new QAction("Hide", this);
    pmTrayHideShow->setObjectName("pmTrayHideShow");
    connect(pmTrayHideShow, &QAction::triggered, this, [this] { ShowTrayHideShow(!isVisible()); });
    // Made even without a tray to show it in: its menu and balloons then simply stay unseen.
    TrayIcon = new QSystemTrayIcon(Picture("trawlix"), this);
    TrayIcon->setToolTip("Trawlix - double click to show");
    auto* menu = new QMenu(this);
    menu->setObjectName("pmTray");
    menu->addAction(pmTrayHideShow);
    QAction* exitItem = menu->addAction("Exit (Alt+Q)");
    connect(exitItem, &QAction::triggered, actExit, &QAction::trigger);
    TrayIcon->setContextMenu(menu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason aReason) {
        if (aReason == QSystemTrayIcon::DoubleClick && fSession && fSession->GetSettings().GetMinimizeToTray())
            ShowTrayHideShow(!isVisible());
    });
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
    if (tcTabs->count() == 0) {
        NewTab();
    } else if (settings.GetCriteriaHidden() && !CriteriaCollapsed()) {
        OnCriteriaHideShow();
    }
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
}

// --- orientation and panel sizes -------------------------------------------------------

void TformMain::CheckOrientation(bool aChange) {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const TSettingsFile::TValue stored = settings.ReadDirect("orientation", {TSettingsFile::TKind::Integer, -1, {}});
    TOrientation orientation = stored.integer == orLandscape ? orLandscape : orPortrait;
    if (aChange || stored.kind != TSettingsFile::TKind::Integer || stored.integer < 0) {
        if (OrientationChooser) orientation = OrientationChooser(fOrientation, !aChange);
        settings.SetDirectInteger("orientation", orientation);
        fSession->SaveSettings();
    }
    SetOrientation(orientation);
    fOrientationChecked = true;
    SetGBResultsDimensions();
}

int TformMain::ResultsAreaLength() const {
    const QSize area = splitterPreview->size();
    return (fOrientation == orLandscape ? area.width() : area.height()) - splitterPreview->handleWidth();
}

void TformMain::SetPreviewLength(int aPreviewLength) {
    const int area = ResultsAreaLength();
    aPreviewLength = std::clamp(aPreviewLength, 0, std::max(area, 0));
    splitterPreview->setSizes({area - aPreviewLength, aPreviewLength});
}

void TformMain::SetOrientation(TOrientation aOrientation) {
    if (aOrientation == fOrientation && fOrientationChecked) return;
    const QList<int> before = splitterPreview->sizes();
    const int total = before.value(0) + before.value(1);
    const double previewShare = total > 0 ? static_cast<double>(before.value(1)) / total : 0.5;
    fOrientation = aOrientation;
    setUpdatesEnabled(false);
    splitterPreview->setOrientation(aOrientation == orLandscape ? Qt::Horizontal : Qt::Vertical);
    // The preview keeps its share of the results area when it moves.
    SetPreviewLength(static_cast<int>(std::lround(ResultsAreaLength() * previewShare)));
    setUpdatesEnabled(true);
    sbFilter->OnFilterResized();
}

void TformMain::SetSplitterHeightsAndWidths() {
    if (!fOrientationChecked || !fSession) return;
    TSettings& settings = fSession->GetSettings();
    const int criteriaWidth = settings.GetCriteriaPanelWidth();
    if (criteriaWidth >= TCriteriaPanel::cDesignedWidth && !CriteriaCollapsed())
        splitterCriteria->setSizes({criteriaWidth, splitterCriteria->width() - criteriaWidth});
    const int area = ResultsAreaLength();
    int preview = fOrientation == orLandscape ? settings.GetPreviewPanelWidth() : settings.GetPreviewPanelHeight();
    // A stored size that no longer fits (a smaller screen) gives way to half the area.
    if (preview <= 0 || preview > 0.9 * area) preview = static_cast<int>(std::lround(area / 2.0));
    SetPreviewLength(preview);
}

void TformMain::SetGBResultsDimensions() {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const char* name = fOrientation == orLandscape ? "gbResultsWidth" : "gbResultsHeight";
    const TSettingsFile::TValue stored = settings.ReadDirect(name, {TSettingsFile::TKind::Integer, -1, {}});
    const int area = ResultsAreaLength();
    const int results = stored.integer > 0 ? static_cast<int>(stored.integer) : area / 2;
    SetPreviewLength(area - results);
}

void TformMain::SaveResultsDimensions() {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const int results = splitterPreview->sizes().value(0);
    settings.SetDirectInteger(fOrientation == orLandscape ? "gbResultsWidth" : "gbResultsHeight", results);
    settings.SetDirectInteger("lvResultsColumn3Width", lvResults->columnWidth(3));
    fSession->SaveSettings();
}

// --- tabs ------------------------------------------------------------------------------

TSearch* TformMain::TabSearch(int aIndex) const {
    if (aIndex < 0 || aIndex >= tcTabs->count()) return nullptr;
    return reinterpret_cast<TSearch*>(tcTabs->tabData(aIndex).value<quintptr>());
}

TSearch* TformMain::CurrentSearch() const { return TabSearch(tcTabs->currentIndex()); }

void TformMain::AddTab(TSearch& aSearch) {
    aSearch.OnProgress = [this](TSearch& aSender, double aProgress) { OnSearchProgress(aSender, aProgress); };
    aSearch.OnError = [this](TSearch& aSender, const std::string& aText) { OnSearchError(aSender, aText); };
    aSearch.OnSearchStopped = [this](TSearch& aSender) { OnSearchStopped(aSender); };
    aSearch.OnSearchStarted = [](TSearch&) {};
    if (tcTabs->count() > 1) OnTabChanging();
    const QString name = QString::fromStdString(aSearch.GetName()).trimmed();
    const int index = tcTabs->addTab(Picture("tab_idle"), name.isEmpty() ? cUntitled : name);
    tcTabs->setTabData(index, QVariant::fromValue(reinterpret_cast<quintptr>(&aSearch)));
    fTabFrames.push_back(0);
    if (EnterCriticalSectionProcessMessages(fTabsCriticalSection)) {
        std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
        fTabSearches.push_back(&aSearch);
    }
    if (tcTabs->currentIndex() == index)
        OnTabChanged(index);
    else
        SelectTab(index);
}

void TformMain::DetachSearch(TSearch* aSearch) {
    if (!aSearch) return;
    aSearch->OnProgress = nullptr;
    aSearch->OnError = nullptr;
    aSearch->OnSearchStopped = nullptr;
    aSearch->OnSearchStarted = nullptr;
}

void TformMain::SelectTab(int aIndex) {
    if (aIndex == tcTabs->currentIndex()) return;
    OnTabChanging();
    tcTabs->setCurrentIndex(aIndex);
}

void TformMain::OnTabChanging() {
    if (fExitting || fClosingTab) return;
    TSearch* current = fShownSearch;
    if (!current) return;
    try {
        pnlLeft->FillSearch(*current, true);
    } catch (...) {
        // A copy that fails leaves the search as it was; the tab still changes.
    }
}

void TformMain::OnTabChanged(int aIndex) {
    TSearch* search = TabSearch(aIndex);
    // Dragging a tab moves the current index without changing the shown search.
    if (!search || search == fShownSearch) return;
    pnlLeft->CollapseCategoryPanels();
    FillControls(*search);
    search->SetNewResultsAvailable({});
}

void TformMain::OnTabMoved(int aFrom, int aTo) {
    std::swap(fTabFrames[aFrom], fTabFrames[aTo]);
    // The new order is stored with the next save, as any other edit is.
    RealignSearches();
}

void TformMain::FillControls(TSearch& aSearch) {
    fShownSearch = &aSearch;
    for (int tab = 0; tab < tcTabs->count(); ++tab)
        if (TSearch* other = TabSearch(tab)) other->SetFillInLV(other == &aSearch);
    pnlLeft->FillControls(aSearch);
    fResultsList->ResetForTab();
    fThumbnailsAndPreview->ResetForTab();
    fViewHelper->RebuildViewList(aSearch);
    lvResults->clearSelection();
    const bool running = aSearch.GetSearching();
    actSearch->setText(running ? "Stop search" : "Start search");
    actSearch->setIcon(Picture(running ? "stop_search" : "start_search"));
    actSearch->setData(running ? 1 : 0);
    pnlLeft->btnSearch->setText(actSearch->text());
    sbFilter->SetSearch(&aSearch);
    pbSearching->setVisible(running);
    ShowEmptySearchHint(false);
    UpdateActions();  // the enabled states follow the new tab at once, not at the next idle tick
}

void TformMain::UpdateCurrentTabCaption(const QString& aCaption) {
    const int index = tcTabs->currentIndex();
    if (index >= 0 && tcTabs->tabText(index) != aCaption) tcTabs->setTabText(index, aCaption);
}

void TformMain::RealignSearches() {
    if (!fSession || !fSession->GetMySearches()) return;
    if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
    std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
    std::vector<TSearch*> order;
    for (int tab = 0; tab < tcTabs->count(); ++tab)
        if (TSearch* search = TabSearch(tab)) order.push_back(search);
    fSession->GetMySearches()->Reorder(order);
}

void TformMain::NewTab() {
    if (!fSession || !fSession->GetMySearches()) return;
    if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
    std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
    // A new search starts empty; the user fills it in the criteria panel.
    TSearch& search = fSession->GetMySearches()->AddSearch(std::make_unique<TSearch>());
    AddTab(search);
}

void TformMain::Clone() {
    TSearch* current = CurrentSearch();
    if (!current || !fSession || !fSession->GetMySearches()) return;
    fInfo->Execute();
    QApplication::processEvents();
    pnlLeft->FillSearch(*current, true);
    TSearches& searches = *fSession->GetMySearches();
    std::unique_ptr<TSearch> clone;
    try {
        clone = searches.CloneSearch(*current);
    } catch (const std::exception& e) {
        fInfo->Finish();
        fDialogs.Warning(e.what());
        return;
    }
    fInfo->Finish();
    if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
    std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
    AddTab(searches.AddSearch(std::move(clone)));
}

bool TformMain::SearchHoldsData(const TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    return !aSearch.GetSearchResults().empty() || !aSearch.GetFavourites().empty();
}

int TformMain::TabIndexOf(const TSearch* aSearch) const {
    for (int tab = 0; tab < tcTabs->count(); ++tab)
        if (TabSearch(tab) == aSearch) return tab;
    return -1;
}

bool TformMain::StopAndWaitForClosedSearch(TSearch& aSearch) {
    // Its site threads may still fetch, parse and merge into it: the search is freed only once
    // they have let go. The window keeps serving its queue meanwhile, as the exit does.
    fClosingSearch = &aSearch;
    if (aSearch.GetSearching()) fInfo->Execute();
    aSearch.StopSearchAndWait();
    fClosingSearch = nullptr;
    if (!fExitting) fInfo->Finish();
    // An exit that went on meanwhile has taken the search over.
    return !fExitting;
}

void TformMain::CloseTab(bool aAsk) {
    if (fClosingSearch || fExitting) return;
    const int current = tcTabs->currentIndex();
    if (current < 0) return;
    TSearch* search = TabSearch(current);
    // A search with results or favourites (and their notes) is not thrown away unasked.
    if (search && (aAsk || SearchHoldsData(*search))) {
        const QString name = QString::fromStdString(search->GetName()).trimmed();
        const std::string question = "Are you sure you want to close the search \"" +
                                     (name.isEmpty() ? std::string(cUntitled) : name.toStdString()) +
                                     "\"? All its data will be lost.";
        if (!fDialogs.Confirm(question)) return;
    }
    if (search && !StopAndWaitForClosedSearch(*search)) return;
    // The tabs may have been moved or switched while the run ended.
    const int index = search ? TabIndexOf(search) : current;
    if (index < 0) return;
    if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
    {
        std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
        fClosingTab = true;
        if (search) {
            if (fShownSearch == search) fShownSearch = nullptr;
            fViewHelper->Clear();
            sbFilter->SetSearch(nullptr);
            pnlLeft->ForgetSearch(search);
        }
        if (index > 0 && index == tcTabs->currentIndex()) tcTabs->setCurrentIndex(index - 1);
        tcTabs->removeTab(index);
        fTabFrames.erase(fTabFrames.begin() + index);
        std::erase(fTabSearches, search);
        fClosingTab = false;
        if (search && fSession && fSession->GetMySearches()) {
            DetachSearch(search);
            try {
                std::unique_ptr<TSearch> removed = fSession->GetMySearches()->DeleteSearch(search);
            } catch (const std::exception& e) {
                // The search stays in the list and in the database; it is back on the next start.
                fDialogs.Warning(e.what());
            }
        }
        if (TSearch* shown = CurrentSearch(); shown && shown != fShownSearch) FillControls(*shown);
    }
    if (tcTabs->count() == 0) Exit();
}

// --- searching -------------------------------------------------------------------------

void TformMain::StartStopSearch() {
    TSearch* search = CurrentSearch();
    if (!search) return;
    if (!pnlLeft->HasSelectedLocationsAndCategories(search) && pnlLeft->edtZIPCode->text().trimmed().isEmpty()) {
        fDialogs.Information(cNoLocations);
        return;
    }
    if (!pnlLeft->HasSelectedSites()) {
        fDialogs.Information(cNoSites);
        return;
    }
    pnlLeft->edtSearchName->setFocus();
    if (actSearch->data().toInt() == 1) {
        search->StopSearch();
        actSearch->setText("Start search");
        actSearch->setIcon(Picture("start_search"));
        actSearch->setData(0);
        pnlLeft->btnSearch->setText(actSearch->text());
        return;
    }
    // The user may go on, or stop here and fix the keywords.
    if (UnbalancedQuoteWarningApplies(search->GetKeywords()) && !fDialogs.Confirm(kUnbalancedQuoteWarning)) return;
    if (!search->GetNewResultsAvailable().Available && PhraseWithOrWarningApplies(search->GetKeywords()) &&
        !fDialogs.Confirm(kPhraseWithOrWarning))
        return;
    pnlLeft->RefreshCurrentSearchZIPCodeObject(search, true);
    if (pnlLeft->cbClearResults->isChecked()) {
        try {
            search->FillOldResults(true);
        } catch (...) {
            // Old results that cannot be cleared stay; the run goes on.
        }
    }
    search->FillOldResults(false);
    pnlLeft->FillSearch(*search, true);
    fViewHelper->RebuildViewList(*search);
    search->Search(fViewHelper.get(), true);
    if (!search->GetSearching()) return;
    actSearch->setText("Stop search");
    actSearch->setIcon(Picture("stop_search"));
    actSearch->setData(1);
    pnlLeft->btnSearch->setText(actSearch->text());
    pbSearching->setValue(0);
    pbSearching->show();
    ShowStartTip();
}

void TformMain::ShowStartTip() {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    struct TTip {
        QWidget* control;
        const char* text;
        int (TSettings::*shown)() const;
        void (TSettings::*setShown)(const int&);
    };
    // Each tip is shown once, ever; only a tip whose control can be seen and used is a candidate.
    std::vector<TTip> candidates;
    for (const TTip& tip : {TTip{splitterCriteria->handle(1), cCriteriaSplitterTip,
                                 &TSettings::GetCriteriaSplitterBalloonHintShown,
                                 &TSettings::SetCriteriaSplitterBalloonHintShown},
                            TTip{findChild<QToolBar*>("ToolBar")->widgetForAction(actManageAlerts), cAlertsTip,
                                 &TSettings::GetAlertsBalloonHintShown, &TSettings::SetAlertsBalloonHintShown}})
        if ((settings.*tip.shown)() < 1 && CanPointAt(tip.control, {})) candidates.push_back(tip);
    if (candidates.empty()) return;
    const TTip& tip = candidates[QRandomGenerator::global()->bounded(static_cast<int>(candidates.size()))];
    ShowFastBaloonHint(tip.control, tip.text, 0, 0, cStartTipMs);
    if (!FastBaloonHint() || FastBaloonHint()->Text() != tip.text) return;
    (settings.*tip.setShown)(1);
    fSession->SaveSettings();
}

bool TformMain::CanPointAt(const QWidget* aControl, const QPoint& aOffset) const {
    if (!aControl || !isVisible() || !aControl->isVisible() || !aControl->isEnabled()) return false;
    if (aControl->visibleRegion().isEmpty()) return false;  // scrolled away or covered by its parent's edge
    const QPoint point = aControl->mapToGlobal(aControl->rect().center() + aOffset);
    return QGuiApplication::screenAt(point) != nullptr;
}

void TformMain::OnSearchProgress(TSearch& aSender, double aProgress) {
    TSearch* sender = &aSender;
    OnMainThread(this, [this, sender, aProgress] {
        if (sender != CurrentSearch()) return;
        pbSearching->setValue(static_cast<int>(std::lround(aProgress * cProgressMaximum)));
        pbSearching->setVisible(sender->GetSearching());
        lvResults->viewport()->update();
    });
}

void TformMain::OnSearchError(TSearch& /*aSender*/, const std::string& aErrorText) {
    // Always queued: the error may come from a site's thread holding the search's lock.
    QPointer<TformMain> window(this);
    Synch().SynchronizeNonBlocking(
        [this, window](const std::string& aText) {
            if (!window || !fCanShowErrorBalloon) return;
            ShowTrayBalloon(QString::fromStdString(aText), QSystemTrayIcon::Warning, cTrayBalloonMs);
            QApplication::beep();
            ShowStatusBarMessage(aText);
            fCanShowErrorBalloon = false;
            Synch().SynchronizeNonBlocking(
                [window](const std::string&) {
                    if (window) window->fCanShowErrorBalloon = true;
                },
                "", cErrorBalloonPauseMs);
        },
        aErrorText);
}

void TformMain::OnSearchStopped(TSearch& aSender) {
    TSearch* sender = &aSender;
    OnMainThread(this, [this, sender] {
        if (fExitting) {
            if (!AnySearchRunning()) ContinueExit();
            return;
        }
        // What the run found is stored now rather than at the saver's next turn.
        if (fSession) fSession->SaveSoon();
        if (sender != CurrentSearch()) return;
        try {
            fViewHelper->RebuildViewList(*sender);
        } catch (...) {
            // The list keeps what it showed.
        }
        lvResults->viewport()->update();
    });
}

bool TformMain::AnySearchRunning() const {
    if (!fSession || !fSession->GetMySearches()) return false;
    for (const auto& search : fSession->GetMySearches()->GetAllSearches())
        if (search->GetSearching()) return true;
    return false;
}

void TformMain::StopAllSearches(bool aWait) {
    if (fSession) fSession->StopAllSearches(aWait);
    if (!fSession || !fSession->GetMySearches()) return;
    for (const auto& search : fSession->GetMySearches()->GetAllSearches())
        if (search->GetSearching()) search->StopSearch();
    auto* binding = GetMainThreadBinding();
    while (aWait && AnySearchRunning() && binding && !binding->IsTerminating()) binding->ProcessMessages();
}

void TformMain::PauseSearching() {
    fSearchingPaused = !fSearchingPaused;
    if (fSearchingPaused) {
        fInfo->Execute();
        StopAllSearches(true);
        fInfo->Finish();
    }
    actPauseSearching->setText(fSearchingPaused ? "Resume Searching" : "Pause Searching");
}

void TformMain::ClearResults() {
    // The menu item does what the results toolbar's erase button does.
    TSearch* search = CurrentSearch();
    if (!search || search->GetSearching()) return;
    fResultsList->EraseResults();
}

void TformMain::SaveMySearches(bool aFromUser) {
    if (!fSession || !fSession->GetMySearches()) return;
    if (aFromUser && !fDialogs.Confirm(cSaveManually)) return;
    fInfo->Execute();
    StopAllSearches(true);
    if (TSearch* current = CurrentSearch()) pnlLeft->FillSearch(*current, true);
    RealignSearches();
    const bool saved = fSession->GetMySearches()->SaveMySearches([] { QApplication::processEvents(); });
    fInfo->Finish();
    ShowStatusBarMessage(saved ? "Searches saved." : "The searches could not be saved.");
    if (!saved)
        fDialogs.Warning("The searches could not be saved: " + fSession->GetMySearches()->GetLastSaveError() +
                         "\n\nThey are kept and saving is tried again every few seconds.");
}

// --- exit ------------------------------------------------------------------------------

void TformMain::Exit() {
    if (!fSession || !fSession->GetMySearches()) {
        fExitting = true;
        QApplication::quit();
        return;
    }
    if (fExitting) return;
    fExitting = true;
    lvResults->clearSelection();
    fViewHelper->Clear();
    StopAllSearches(false);
    if (!AnySearchRunning()) ContinueExit();
    fInfo->Execute();
}

void TformMain::ContinueExit() {
    if (fExitContinued) return;
    fExitContinued = true;
    ++fExitContinuations;
    StopAnimation();
    fTimerAnimateSynch.stop();
    pnlLeft->TimerFillSearch().stop();
    if (TSearch* current = CurrentSearch()) {
        try {
            pnlLeft->FillSearch(*current, true);
        } catch (...) {
            // Save what the search holds.
        }
    }
    RealignSearches();
    SaveResultsDimensions();
    // The searches are freed by the session's shut-down: nothing may point at them after this.
    {
        const QSignalBlocker quiet(tcTabs);  // no tab may be shown again on the way out
        fShownSearch = nullptr;
        for (int tab = 0; tab < tcTabs->count(); ++tab) {
            DetachSearch(TabSearch(tab));
            pnlLeft->ForgetSearch(TabSearch(tab));
        }
        while (tcTabs->count() > 0) tcTabs->removeTab(0);
    }
    sbFilter->SetSearch(nullptr);
    fTabFrames.clear();
    {
        TCLock lock(fTabsCriticalSection);  // the animation thread has already ended
        fTabSearches.clear();
    }
    fSession->FinishSession(true);
}

void TformMain::closeEvent(QCloseEvent* aEvent) {
    if (auto* binding = GetMainThreadBinding(); binding && binding->IsTerminating()) {
        aEvent->accept();
        return;
    }
    aEvent->ignore();
    Exit();
}

// --- idle rules, pictures, tray --------------------------------------------------------

void TformMain::UpdateActions() {
    TSearch* search = CurrentSearch();
    fResultsList->UpdateActions();
    actClone->setEnabled(search);
    actClearAllFields->setEnabled(search);
    actSearch->setEnabled(search && (pnlLeft->LastHasSelectedLocationsAndCategories() ||
                                     !pnlLeft->edtZIPCode->text().trimmed().isEmpty()));
    pnlLeft->btnSearch->setEnabled(actSearch->isEnabled());
    const bool running = search && search->GetSearching();
    pbSearching->setVisible(running);
    if (!running && actSearch->data().toInt() == 1) {
        actSearch->setText("Start search");
        actSearch->setIcon(Picture("start_search"));
        actSearch->setData(0);
        pnlLeft->btnSearch->setText(actSearch->text());
    }
    const bool toTray = fSession && fSession->GetSettings().GetMinimizeToTray();
    pmTrayHideShow->setVisible(toTray);
    pmTrayHideShow->setText(isVisible() ? "Hide" : "Show");
    if (TrayIcon) TrayIcon->setVisible(!fOnShowing);
}

void TformMain::AnimateTabs() {
    TCLock lock(fTabsCriticalSection);
    fAnimateData.Rebuild(fTabSearches);
}

void TformMain::StopAnimation() {
    // The thread reads the searches: it must be gone before any of them is freed.
    if (fTimerAnimate) fTimerAnimate->Terminate();
    fTimerAnimate.reset();
}

void TformMain::UpdateTabPictures() {
    if (!fTabsCriticalSection.TryEnter()) return;  // busy: skip this tick
    std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
    bool anyNew = false;
    {
        TCLock dataLock(fAnimateData.GetCriticalSection());
        for (int tab = 0; tab < tcTabs->count() && tab < static_cast<int>(fTabFrames.size()); ++tab) {
            TSearch* search = TabSearch(tab);
            if (!search) continue;
            const TAnimatedTab* state = fAnimateData.Find(search);
            if (!state) break;  // not read by the animation thread yet: the next tick shows it
            if (state->NewResultsAvailable) {
                fTabFrames[tab] = -2;
                tcTabs->setTabIcon(tab, Picture("tab_new_results"));
            } else if (state->Searching) {
                fTabFrames[tab] = (std::max(fTabFrames[tab], -1) + 1) % cAnimationFrames;
                tcTabs->setTabIcon(tab, FramePicture(fTabFrames[tab]));
            } else if (fTabFrames[tab] != -1) {
                fTabFrames[tab] = -1;
                tcTabs->setTabIcon(tab, Picture("tab_idle"));
            }
        }
        anyNew = fAnimateData.NewResultsAvailable();
    }
    if (anyNew == fTrayShowsNewResults) return;
    fTrayShowsNewResults = anyNew;
    if (TrayIcon) TrayIcon->setIcon(Picture(anyNew ? "tray_new_results" : "trawlix"));
    if (!anyNew) {
        fTrayBalloonText.clear();
        return;
    }
    QApplication::beep();
    ShowTrayBalloon(cNewResultsBalloon, QSystemTrayIcon::Information, cTrayBalloonMs);
    if (fSession && fSession->GetSettings().GetMsgBoxNewResults() && !fSession->GetSettings().GetMinimizeToTray())
        // Shown once the tab lock is released: the box waits for the user.
        QTimer::singleShot(0, this, [this] { fDialogs.Information(cNewResultsMessage); });
}

void TformMain::ShowTrayBalloon(const QString& aText, QSystemTrayIcon::MessageIcon aIcon, int aTimeout) {
    fTrayBalloonText = aText;
    if (TrayIcon && !aText.isEmpty()) TrayIcon->showMessage("Trawlix", aText, aIcon, aTimeout);
}

void TformMain::ShowTrayHideShow(bool aShow) {
    if (!aShow) {
        hide();
        return;
    }
    showMaximized();
    raise();
    activateWindow();
}

void TformMain::BringToFront() {
    // Only a window hidden in the tray comes back; a shown one stays as it is.
    if (!isVisible() || isMinimized()) ShowTrayHideShow(true);
}

void TformMain::changeEvent(QEvent* aEvent) {
    QMainWindow::changeEvent(aEvent);
    if (aEvent->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (!fSession || !fSession->GetSettings().GetMinimizeToTray()) return;
    // Hidden once the state change is over, unless the window was brought back in between.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized() && fSession->GetSettings().GetMinimizeToTray()) hide();
    });
    if (fHasBeenMinimizedToTray) return;
    fHasBeenMinimizedToTray = true;
    ShowTrayBalloon(cMinimizedBalloon, QSystemTrayIcon::Information, cTrayBalloonMs);
}

void TformMain::OpenVendorPage(const std::string& aPath) {
    if (!fSession) return;
    const std::string address = "http://" + fSession->GetSettings().GetVendorHost() + "/" + aPath;
    if (OpenAddress && OpenAddress(QString::fromStdString(address))) return;
    // Without a browser the user can still copy the address from the message.
    fDialogs.Information("No web browser could be opened. The page is at:\n" + address);
}

void TformMain::ShowStatusBarMessage(const std::string& aMsg) { StatusBar->setText(QString::fromStdString(aMsg)); }

// --- criteria panel frame and balloons -------------------------------------------------

bool TformMain::CriteriaCollapsed() const { return pnlLeft->pnlLeftSummary->isVisibleTo(pnlLeft); }

void TformMain::OnCriteriaHideShow(int aShortcutTab) {
    const bool collapse = !CriteriaCollapsed();
    if (collapse) {
        fCriteriaOpenWidth = pnlLeft->width();
        pnlLeft->pnlLeftPanelHeader->clear();
        pnlLeft->CategoryPanelGroup->parentWidget()->parentWidget()->hide();  // the accordion's scroll area
        pnlLeft->pnlLeftPanelFooter->hide();
        pnlLeft->pnlLeftSummary->show();
        pnlLeft->tbtnHideCriteria->setIcon(Picture("expand"));
        splitterCriteria->setSizes({cCollapsedWidth, splitterCriteria->width()});
    } else {
        const int width = fCriteriaOpenWidth < 50 ? TCriteriaPanel::cDesignedWidth : fCriteriaOpenWidth;
        fCriteriaOpenWidth = 0;
        pnlLeft->pnlLeftPanelHeader->setText("   Search settings");
        pnlLeft->pnlLeftSummary->hide();
        pnlLeft->CategoryPanelGroup->parentWidget()->parentWidget()->show();
        pnlLeft->pnlLeftPanelFooter->show();
        pnlLeft->tbtnHideCriteria->setIcon(Picture("collapse"));
        TCategoryPanel* panels[] = {pnlLeft->cpCriteria, pnlLeft->cpLocations, pnlLeft->cpCategories,
                                    pnlLeft->cpCustomProps, pnlLeft->cpMisc};
        if (aShortcutTab >= 0 && aShortcutTab < 5) {
            panels[aShortcutTab]->SetOpen(true);
            emit panels[aShortcutTab]->Opened(panels[aShortcutTab]);
        }
        pnlLeft->cpSitesToSearch->SetOpen(true);
        splitterCriteria->setSizes({width, splitterCriteria->width()});
    }
    if (fSession) {
        fSession->GetSettings().SetCriteriaHidden(collapse);
        fSession->SaveSettings();
    }
}

void TformMain::ShowFastBaloonHint(QWidget* aControl, const QString& aHint, int aDY, int aDX, int aDieAfter) {
    // A balloon off the screen, or at a control that cannot be used, tells the user nothing.
    if (!CanPointAt(aControl, QPoint(aDX, aDY))) return;
    if (fFastBaloonHintHandle && fFastBaloonHintHandle->isVisible() && fFastBaloonHintHandle->Text() == aHint) return;
    fFastBaloonHintHandle.reset();
    const QPoint point = aControl->mapToGlobal(aControl->rect().center() + QPoint(aDX, aDY));
    fFastBaloonHintHandle = std::make_unique<TBalloonHint>(aHint);
    fFastBaloonHintHandle->ShowAt(point);
    CloseBalloonLater(&TformMain::fFastBaloonHintHandle, aDieAfter);
}

void TformMain::CloseBalloonLater(std::unique_ptr<TBalloonHint> TformMain::*aSlot, int aDieAfter) {
    QPointer<TformMain> window(this);
    QPointer<TBalloonHint> balloon((this->*aSlot).get());
    Synch().SynchronizeNonBlocking(
        [window, balloon, aSlot](const std::string&) {
            if (window && balloon && (window->*aSlot).get() == balloon.data()) (window->*aSlot).reset();
        },
        "", aDieAfter);
}

void TformMain::ShowNewOptionsBalloon() {
    TCategoryPanel* panel = pnlLeft->cpCustomProps;
    if (!CanPointAt(panel, QPoint(0, -(panel->height() / 2) - cBalloonAboveControl))) return;
    fNewOptionsBalloon = std::make_unique<TBalloonHint>("More options are available...");
    fNewOptionsBalloon->ShowAt(panel->mapToGlobal(QPoint(panel->width() / 2, -cBalloonAboveControl)));
    CloseBalloonLater(&TformMain::fNewOptionsBalloon, cNewOptionsBalloonMs);
}

void TformMain::ShowEmptySearchHint(bool aOverrideOnShowing) {
    if (pnlLeft->SearchChanging() || (fOnShowing && !aOverrideOnShowing) || CriteriaCollapsed()) return;
    bool locations = false;
    bool categories = false;
    pnlLeft->HasSelectedLocationsAndCategories(CurrentSearch(), locations, categories);
    if (locations && categories) {
        fFastBaloonHintHandle.reset();
        return;
    }
    QWidget* panel = locations ? pnlLeft->cpCategories : pnlLeft->cpLocations;
    const QString hint =
        locations ? "And then choose the categories to be searched..." : "Choose some locations to search in...";
    // Centred over the panel, pointing a little above its top edge.
    ShowFastBaloonHint(panel, hint, -(panel->height() / 2) - cBalloonAboveControl, 0, cEmptySearchHintMs);
}

}  // namespace trawlix
