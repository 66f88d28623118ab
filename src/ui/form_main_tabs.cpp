#include "ui/form_main.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QProgressBar>
#include <QTabBar>
#include <QTableView>

#include <algorithm>
#include <cmath>

#include "app/session.h"
#include "app/settings.h"
#include "engine/keyword_syntax.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "model/searches.h"
#include "ui/alerts_controller.h"
#include "ui/ask_line.h"
#include "ui/criteria_panel.h"
#include "ui/date_range.h"
#include "ui/filter_bar.h"
#include "ui/form_main_parts.h"
#include "ui/map_preview.h"
#include "ui/info_window.h"
#include "ui/news_page.h"
#include "ui/results_list.h"
#include "ui/results_model.h"
#include "ui/thumbnails_and_preview.h"
#include "ui/timeline_preview.h"
#include "ui/user_dialogs.h"
#include "ui/whisper_splitter.h"

namespace trawlix {

using namespace form_main;

// --- tabs ------------------------------------------------------------------------------

TSearch* TformMain::TabSearch(int aIndex) const {
    if (aIndex < 0 || aIndex >= tcTabs->count() || IsNewsTab(aIndex)) return nullptr;
    return reinterpret_cast<TSearch*>(tcTabs->tabData(aIndex).value<quintptr>());
}

TSearch* TformMain::CurrentSearch() const { return TabSearch(tcTabs->currentIndex()); }

bool TformMain::IsNewsTab(int aIndex) const {
    return aIndex >= 0 && aIndex < tcTabs->count() && tcTabs->tabData(aIndex).toString() == cNewsTabKey;
}

void TformMain::ShowNewsTab(const std::filesystem::path& aPage) {
    if (!fNewsPage) {
        fNewsPage = new TNewsPage(centralWidget());
        fNewsPage->hide();
        static_cast<QBoxLayout*>(centralWidget()->layout())->addWidget(fNewsPage, 1);
        fNewsPage->OnClose = [this] {
            for (int tab = 0; tab < tcTabs->count(); ++tab)
                if (IsNewsTab(tab)) SelectTab(tab);
            CloseTab(false);
        };
        if (EnterCriticalSectionProcessMessages(fTabsCriticalSection)) {
            std::lock_guard lock(fTabsCriticalSection, std::adopt_lock);
            const int index = tcTabs->addTab(Picture("help"), cNewsTabCaption);
            tcTabs->setTabData(index, QString(cNewsTabKey));
            fTabFrames.push_back(0);
        }
    }
    fNewsPage->Load(aPage);
    for (int tab = 0; tab < tcTabs->count(); ++tab)
        if (IsNewsTab(tab)) SelectTab(tab);
    ShowNewsArea(IsNewsTab(tcTabs->currentIndex()));
}

void TformMain::ShowNewsArea(bool aNews) {
    const bool news = aNews && fNewsPage;
    splitterCriteria->setVisible(!news);
    if (fNewsPage) fNewsPage->setVisible(news);
}

void TformMain::AddTab(TSearch& aSearch) {
    aSearch.OnProgress = [this](TSearch& aSender, double aProgress) { OnSearchProgress(aSender, aProgress); };
    aSearch.OnError = [this](TSearch& aSender, const std::string& aText) { OnSearchError(aSender, aText); };
    aSearch.OnSearchStopped = [this](TSearch& aSender) { OnSearchStopped(aSender); };
    aSearch.OnSearchStarted = [](TSearch&) {};
    if (tcTabs->count() > 1) OnTabChanging();
    const QString name = QString::fromStdString(aSearch.GetName()).trimmed();
    const QString caption = name.isEmpty() ? cUntitled : name;
    const int index = tcTabs->addTab(Picture("tab_idle"), CaptionOf(caption, cTabCaptionPixels));
    tcTabs->setTabToolTip(index, caption);
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
    ShowNewsArea(IsNewsTab(aIndex));
    if (IsNewsTab(aIndex)) UpdateActions();  // nothing acts on a search while the news shows
    TSearch* search = TabSearch(aIndex);
    // Dragging a tab moves the current index without changing the shown search.
    if (!search || search == fShownSearch) return;
    pnlLeft->CollapseCategoryPanels();
    FillControls(*search);
    search->SetNewResultsAvailable({});
    fMapPreview->CurrentSearchChanged();
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
    fTimelinePreview->ResetForTab();
    fViewHelper->RebuildViewList(aSearch);
    lvResults->clearSelection();
    const bool running = aSearch.GetSearching();
    actSearch->setText(running ? "Stop search" : "Start search");
    actSearch->setIcon(Picture(running ? "stop_search" : "start_search"));
    actSearch->setData(running ? 1 : 0);
    pnlLeft->SetSearchCaption(actSearch->text());
    sbFilter->SetSearch(&aSearch);
    pbSearching->setVisible(running);
    ShowRunFailures(aSearch);
    ShowEmptySearchHint(false);
    UpdateActions();  // the enabled states follow the new tab at once, not at the next idle tick
}

void TformMain::UpdateCurrentTabCaption(const QString& aCaption) {
    const int index = tcTabs->currentIndex();
    if (index < 0 || IsNewsTab(index)) return;
    const QString caption = CaptionOf(aCaption, cTabCaptionPixels);
    if (tcTabs->tabText(index) != caption) tcTabs->setTabText(index, caption);
    tcTabs->setTabToolTip(index, aCaption);
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
    const bool news = IsNewsTab(current);
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
        if (news) {
            ShowNewsArea(false);
            fNewsPage->deleteLater();
            fNewsPage = nullptr;
        }
        if (search && fSession && fSession->GetMySearches()) {
            DetachSearch(search);
            fMapPreview->ForgetSearch(search);
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
    if (!pnlLeft->HasSelectedLocationsAndCategories(search) && !pnlLeft->HasZIPCode()) {
        fDialogs.Information(cNoLocations);
        return;
    }
    if (!pnlLeft->HasSelectedSites()) {
        fDialogs.Information(cNoSites);
        return;
    }
    pnlLeft->FocusSearchName();
    if (actSearch->data().toInt() == 1) {
        search->StopSearch();
        actSearch->setText("Start search");
        actSearch->setIcon(Picture("start_search"));
        actSearch->setData(0);
        pnlLeft->SetSearchCaption(actSearch->text());
        return;
    }
    // The user may go on, or stop here and fix the keywords.
    if (UnbalancedQuoteWarningApplies(search->GetKeywords()) && !fDialogs.Confirm(kUnbalancedQuoteWarning)) return;
    if (!search->GetNewResultsAvailable().Available && PhraseWithOrWarningApplies(search->GetKeywords()) &&
        !fDialogs.Confirm(kPhraseWithOrWarning))
        return;
    pnlLeft->RefreshCurrentSearchZIPCodeObject(search, true);
    if (pnlLeft->SwapReversedDates()) fDialogs.Information(cDatesSwapped);
    if (pnlLeft->ClearResultsBeforeSearch()) {
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
    pnlLeft->SetSearchCaption(actSearch->text());
    pbSearching->setValue(0);
    pbSearching->show();
    ShowRunFailures(*search);
    ShowStartTip();
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

void TformMain::OnSearchStopped(TSearch& aSender) {
    TSearch* sender = &aSender;
    OnMainThread(this, [this, sender] {
        if (fExitting) {
            if (!AnySearchRunning()) ContinueExit();
            return;
        }
        ShowSiteProblems(*sender);
        ShowDesktopNotice(*sender);
        // What the run found is stored now rather than at the saver's next turn.
        if (fSession) fSession->SaveSoon();
        if (sender != CurrentSearch()) return;
        ShowRunFailures(*sender);
        try {
            fViewHelper->RebuildViewList(*sender);
        } catch (...) {
            // The list keeps what it showed.
        }
        lvResults->viewport()->update();
        fMapPreview->SearchFinished(*sender, pnlLeft->MapPreviewOnFinish());
    });
}

void TformMain::PauseSearching() {
    fSearchingPaused = !fSearchingPaused;
    if (fSearchingPaused) {
        fInfo->Execute();
        StopAllSearches(true);
        fInfo->Finish();
    }
    actPauseSearching->setText(fSearchingPaused ? "Resume Searching" : "Pause Searching");
    if (fAlerts) fAlerts->SetSearchingPaused(fSearchingPaused);
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

// --- tab pictures ----------------------------------------------------------------------

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

}  // namespace trawlix
