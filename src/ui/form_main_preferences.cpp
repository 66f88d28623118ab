// The main window's side of the preferences window.
#include "ui/alerts_controller.h"
#include "ui/form_main.h"
#include "ui/form_settings.h"
#include "ui/results_model.h"

#include <QTableView>

namespace trawlix {

// The alerts' side owns the window: its Alerts page and the alerts window open each other.
TformSettings& TformMain::PreferencesWindow() { return fAlerts->MakePreferencesWindow(); }

void TformMain::OnPreferencesChanged() {
    // New colours show at once; the other settings are read where they are used.
    fResultsModel->Repaint();
    lvResults->viewport()->update();
}

void TformMain::ShowPreferences(int aPage) {
    if (!fSession || !fAlerts) return;
    PreferencesWindow().Execute(aPage);
}

}  // namespace trawlix
