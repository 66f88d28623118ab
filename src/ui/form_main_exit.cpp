#include "ui/form_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTabBar>
#include <QTableView>

#include "app/session.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "model/searches.h"
#include "ui/alerts_controller.h"
#include "ui/criteria_panel.h"
#include "ui/filter_bar.h"
#include "ui/form_main_parts.h"
#include "ui/info_window.h"
#include "ui/results_model.h"

namespace trawlix {

using namespace form_main;

// --- exit ------------------------------------------------------------------------------

void TformMain::Exit() {
    if (!fSession || !fSession->GetMySearches()) {
        fExitting = true;
        QApplication::quit();
        return;
    }
    if (fExitting) return;
    fExitting = true;
    if (fAlerts) fAlerts->Close();
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
            TSearch* search = TabSearch(tab);
            if (!search) continue;  // the news tab
            DetachSearch(search);
            pnlLeft->ForgetSearch(search);
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

}  // namespace trawlix
