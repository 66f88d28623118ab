#include "ui/form_main.h"

#include <QAction>
#include <QLabel>
#include <QTabBar>

#include "app/site_watch.h"
#include "model/search.h"
#include "run/site_problem.h"
#include "ui/alerts_controller.h"
#include "ui/criteria_panel.h"
#include "ui/desktop_notifier.h"
#include "ui/form_main_parts.h"
#include "ui/results_model.h"

namespace trawlix {

using namespace form_main;

// --- alerts ----------------------------------------------------------------------------

void TformMain::CreateAlerts() {
    if (!fSession) return;
    TAlertsController::THooks hooks;
    hooks.startAutomaticRun = [this](TSearch& aSearch) { return StartAutomaticSearch(aSearch); };
    hooks.showNotificationStatus = [this](const std::string& aText, bool aFailed) {
        ShowNotificationStatus(aText, aFailed);
    };
    hooks.settingsChanged = [this] { OnPreferencesChanged(); };
    fAlerts = std::make_unique<TAlertsController>(*fSession, fDialogs, *this, std::move(hooks));
    connect(actManageAlerts, &QAction::triggered, this, [this] { fAlerts->ShowAlerts(CurrentSearch()); });
    fDesktopNotifier = std::make_unique<TDesktopNotifier>();
    connect(fDesktopNotifier.get(), &TDesktopNotifier::OpenSearch, this, &TformMain::OpenSearchOfNotice);
}

void TformMain::ShowDesktopNotice(TSearch& aSearch) {
    if (!fSession || !fDesktopNotifier || InQuietHours(*fSession, LocalNow())) return;
    if (const auto notice = DesktopNoticeFor(aSearch)) fDesktopNotifier->Show(*notice);
}

void TformMain::OpenSearchOfNotice(int aSearchID) {
    for (int i = 0; i < tcTabs->count(); ++i) {
        TSearch* search = TabSearch(i);
        if (!search || search->GetID() != aSearchID) continue;
        ShowTrayHideShow(true);
        tcTabs->setCurrentIndex(i);
        return;
    }
}

bool TformMain::StartAutomaticSearch(TSearch& aSearch) {
    if (fExitting) return false;
    // The results go to the window's list when the search is shown; no separate list.
    aSearch.Search(fViewHelper.get(), false);
    if (!aSearch.GetSearching()) return false;
    if (&aSearch == CurrentSearch()) {
        actSearch->setText("Stop search");
        actSearch->setIcon(Picture("stop_search"));
        actSearch->setData(1);
        pnlLeft->SetSearchCaption(actSearch->text());
    }
    return true;
}

void TformMain::ShowSiteProblems(TSearch& aSearch) {
    if (fSession && !aSearch.GetCalledFromUser()) TellSiteChangesInBackground(*fSession, aSearch);
    if (&aSearch == CurrentSearch()) pnlLeft->ShowSiteProblems(aSearch);
    std::string text;
    for (const TSiteProblemReport& report : LastRunSiteProblems(aSearch))
        text += (text.empty() ? "" : "\n") + report.problem;
    if (text.empty()) return;
    ShowStatusBarMessage(text);
    ShowTrayBalloon(QString::fromStdString(text), QSystemTrayIcon::Warning, cTrayBalloonMs);
}

void TformMain::ShowRunFailures(const TSearch& aSearch) {
    const std::string summary = aSearch.GetSearching() ? std::string() : RunFailureSummary(aSearch);
    lblRunFailures->setText(QString::fromStdString(summary));
    lblRunFailures->setVisible(!summary.empty());
}

void TformMain::ShowNotificationStatus(const std::string& aText, bool aFailed) {
    ShowStatusBarMessage(aText);
    // A digest that did not go out must not pass unseen while the window is hidden.
    if (aFailed) ShowTrayBalloon(QString::fromStdString(aText), QSystemTrayIcon::Warning, cTrayBalloonMs);
}

}  // namespace trawlix
