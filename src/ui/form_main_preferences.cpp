// The main window's side of the preferences window.
#include "ui/alerts_controller.h"
#include "ui/form_main.h"
#include "ui/form_settings.h"
#include "ui/results_model.h"

#include <QTableView>

namespace trawlix {

TformSettings& TformMain::PreferencesWindow() {
    if (!fPreferences) {
        fPreferences = new TformSettings(*fSession, fDialogs, fAlerts->Tests(), this);
        // New colours show at once; the other settings are read where they are used.
        fPreferences->OnSettingsChanged = [this] {
            fResultsModel->Repaint();
            lvResults->viewport()->update();
        };
    }
    return *fPreferences;
}

void TformMain::ShowPreferences(int aPage) {
    if (!fSession || !fAlerts) return;
    PreferencesWindow().Execute(aPage);
}

}  // namespace trawlix
