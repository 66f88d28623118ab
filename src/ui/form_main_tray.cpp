#include "ui/form_main.h"

#include <QAction>
#include <QMenu>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QSplitter>
#include <QToolBar>

#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "ui/balloon_hint.h"
#include "ui/criteria_panel.h"
#include "ui/form_main_parts.h"
#include "ui/whisper_splitter.h"

namespace trawlix {

using namespace form_main;

// --- tray ------------------------------------------------------------------------------

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
    // Without a tray a hidden window could not be brought back: it stays minimised normally.
    if (!TrayAvailable || !TrayAvailable()) return;
    // Hidden once the state change is over, unless the window was brought back in between.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized() && fSession->GetSettings().GetMinimizeToTray()) hide();
    });
    if (fHasBeenMinimizedToTray) return;
    fHasBeenMinimizedToTray = true;
    ShowTrayBalloon(cMinimizedBalloon, QSystemTrayIcon::Information, cTrayBalloonMs);
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

// --- balloons --------------------------------------------------------------------------

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
    QWidget* panel = pnlLeft->CustomOptionsPanel();
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
    QWidget* panel = locations ? pnlLeft->CategoriesPanel() : pnlLeft->LocationsPanel();
    const QString hint =
        locations ? "And then choose the categories to be searched..." : "Choose some locations to search in...";
    // Centred over the panel, pointing a little above its top edge.
    ShowFastBaloonHint(panel, hint, -(panel->height() / 2) - cBalloonAboveControl, 0, cEmptySearchHintMs);
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

}  // namespace trawlix
