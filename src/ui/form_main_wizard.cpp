#include "ui/form_main.h"

#include <QAction>

#include <mutex>

#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "model/categories.h"
#include "model/places.h"
#include "model/search.h"
#include "model/searches.h"
#include "ui/alerts_controller.h"
#include "ui/criteria_panel.h"
#include "ui/form_main_parts.h"
#include "ui/form_search_wizard.h"

namespace trawlix {

using namespace form_main;

// --- the search wizard -----------------------------------------------------------------

void TformMain::NewSearchFromUser() {
    if (fSession && fSession->GetSettings().GetShowSearchWizzard()) RunSearchWizard(nullptr);
    else NewTab();
}

void TformMain::GuideToFirstSearch() {
    TSearch* search = CurrentSearch();
    if (!fSession || !search || fExitting) return;
    if (fSession->GetSettings().GetShowSearchWizzard())
        RunSearchWizard(search);
    else
        ShowEmptySearchHint(true);
}

void TformMain::RunSearchWizard(TSearch* aSearch) {
    if (!fSession || !fSession->GetMySearches()) return;
    TSettings& settings = fSession->GetSettings();
    if (!fSearchWizard) {
        fSearchWizard = new TformSearchWizard(fDialogs, this);
        fSearchWizard->SetReferenceData(
            fSession->GetPlaces() ? fSession->GetPlaces()->GetCountries() : TPlaceList{},
            fSession->GetCategories() ? fSession->GetCategories()->GetMainCategories() : TPlaceList{},
            fSession->GetZIPCodes(),
            {settings.GetCraigslistDomain(), "backpage.com", settings.GetOodleDomain(),
             settings.GetEBayClassifiedsDomain(), settings.GetCarsComDomain(), settings.GetAutotraderDomain()});
        fSearchWizard->SetSearches(fSession->GetMySearches());
    }
    // The wizard starts from what the panel shows, edits not yet copied included.
    if (aSearch) pnlLeft->FillSearch(*aSearch, true);
    const bool finished = fSearchWizard->Execute(aSearch, settings.GetShowSearchWizzard());
    if (finished) {
        settings.SetShowSearchWizzard(fSearchWizard->ShowWizardChosen());
        fSession->SaveSettings();
    }
    TSearch* shown = aSearch;
    if (aSearch) {
        if (!finished) return;
        // The panel's cached marks stand for the old selection.
        pnlLeft->ForgetSearch(aSearch);
        pnlLeft->SetCurrentSearch(aSearch);
        FillControls(*aSearch);
    } else {
        std::unique_ptr<TSearch> created = finished ? fSearchWizard->TakeNewSearch() : std::make_unique<TSearch>();
        if (!EnterCriticalSectionProcessMessages(fTabsCriticalSection)) return;
        std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
        shown = &fSession->GetMySearches()->AddSearch(std::move(created));
        AddTab(*shown);
    }
    if (finished) ExecutePostSearchWizardActions(*shown);
}

void TformMain::ExecutePostSearchWizardActions(TSearch& aSearch) {
    if (fSearchWizard->SetupAlertsChosen() && fAlerts) fAlerts->ShowAlerts(&aSearch);
    if (fSearchWizard->StartSearchChosen() && !aSearch.GetSearching() && &aSearch == CurrentSearch()) {
        UpdateActions();
        actSearch->trigger();
    }
}

}  // namespace trawlix
