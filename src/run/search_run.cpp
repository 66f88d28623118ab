// The run side of a search and of its site parts: starting the site threads, merging
// the ads they find, and telling the owner how the run goes.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/clock.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "model/filter.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/search.h"
#include "model/zip_codes.h"
#include "run/search_run_environment.h"
#include "run/search_thread.h"
#include "run/site_problem.h"
#include "run/site_search_run.h"

namespace trawlix {

// --- TSearch: starting and stopping --------------------------------------------------------

void TSearch::Search(IResultsViewHelper* aResultsViewHelper, bool aCalledFromUser) {
    if (GetSearching()) {
        // An unattended run still going when asked again sends what it has found so far.
        if (!GetCalledFromUser()) StartNotifyThreadForRunningSearch();
        return;
    }
    {
        TCLock lock(fCriticalSection);
        const bool hasPlaces = GetSearchLocations().Count() > 0 || fZIPCodeObject;
        if (!hasPlaces || fCategories.empty()) return;
    }
    if (OnSearchStarted) OnSearchStarted(*this);
    {
        TCLock lock(fCriticalSection);
        fView = aResultsViewHelper;
        fCalledFromUser = aCalledFromUser;
        if (aCalledFromUser) fNewResultsAvailable.Available = false;
        ++fChangeCount;
        ++fSearchProcessID;
        SetSearching(true);
        fInsertAtIndex = 0;
        fLinksFoundThisRun.clear();
        fStopAsked = false;
        ExpandLocations();
    }
    bool started = false;
    const double now = LocalNow();
    {
        // Every site starts under the search's lock: a site that ends at once waits for it
        // in OnSiteSearchFinished, so it sees the sites started after it as searching and
        // cannot end the run while they still run.
        TCLock lock(fCriticalSection);
        for (const auto& part : fSiteSearches) {
            TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
            // A site without an adapter has nothing to start.
            if (!siteSearch || !siteSearch->GetDoSearch()) continue;
            // A site that turned the program away is left alone by automatic runs for a while.
            if (!aCalledFromUser && SiteBacksOff(siteSearch->GetHealth(), now)) continue;
            const bool siteStarted = siteSearch->Search(
                [this](TBaseSiteSearch& aSender, double aProgress) { OnSiteSearchProgress(aSender, aProgress); },
                [this](TBaseSiteSearch& aSender, const std::string& aText) { OnSiteSearchError(aSender, aText); });
            started = started || siteStarted;
        }
    }
    // Nothing to wait for: the owner sees the run end at once.
    if (!started) OnSiteSearchFinished(nullptr);
}

void TSearch::StartNotifyThreadForRunningSearch() {
    auto thread = std::make_unique<TSimpleThread>();
    thread->SetFreeOnTerminate(true);
    auto environment = GetSearchRunEnvironment();
    thread->SetExecuteMethod([this, environment](TNameValueList&) {
        TCLock lock(fCriticalSection);
        if (environment->notifyForNewResults) environment->notifyForNewResults(*this);
    });
    TcThread::Launch(std::move(thread));
}

void TSearch::ExpandLocations() {
    TCLock lock(fCriticalSection);
    TPlaceWrapperList& selected = GetSearchLocations();
    if (!fExpandedLocations2) fExpandedLocations2 = std::make_unique<TPlaceWrapperList>();
    TPlaceWrapperList& expanded = *fExpandedLocations2;
    expanded.Clear();
    const auto environment = GetSearchRunEnvironment();
    const TPlaces* places = environment->places ? environment->places() : nullptr;
    auto addOnce = [&](TPlace* aPlace, bool aAllChildrenSelected) {
        if (!expanded.GetPlaceWrapperByPlace(aPlace))
            expanded.Add(std::make_unique<TPlaceWrapper>(aPlace, aAllChildrenSelected));
    };
    for (const auto& wrapper : selected.GetItems()) {
        TPlace* place = wrapper->GetPlace();
        // Without a distance only the place itself is near it: no need to walk the tree.
        if (!places || fDistance <= 0) {
            addOnce(place, wrapper->GetAllChildrenAreSelected());
            continue;
        }
        for (const auto& candidate : places->GetAllPlaces())
            if (PlacesAreNear(place, candidate.get(), fDistance))
                addOnce(candidate.get(), candidate.get() == place && wrapper->GetAllChildrenAreSelected());
    }
    if (fZIPCodeObject && places)
        for (const auto& candidate : places->GetAllPlaces())
            if (CoordinatesAreNear(fDistance, fZIPCodeObject->GetLatitude(), fZIPCodeObject->GetLongitude(),
                                   candidate->GetLatitude(), candidate->GetLongitude()))
                addOnce(candidate.get(), false);
}

const TPlaceWrapperList& TSearch::GetExpandedLocations() const {
    TCLock lock(fCriticalSection);
    static const TPlaceWrapperList cNone;
    return fExpandedLocations2 ? *fExpandedLocations2 : cNone;
}

IResultsViewHelper* TSearch::GetView() const { return Locked(fCriticalSection, fView); }

// --- TSearch: merging results --------------------------------------------------------------

namespace {

// A result's month is taken to be at most one month ahead of today; a later month is last
// year's (a December ad seen in January).
double EntryDate(const TEntry& aEntry, double aNow) {
    if (aEntry.GetDate().empty()) return 0;
    int year = 0;
    unsigned month = 0, day = 0;
    DecodeDate(aNow, year, month, day);
    const int entryMonth = aEntry.GetMonth();
    const int entryDay = aEntry.GetDay();
    if (static_cast<int>(month) + 1 < entryMonth) --year;
    // A date text that names no day of the calendar carries no date.
    if (entryMonth < 1 || entryMonth > 12 || entryDay < 1 ||
        !IsValidDate(year, static_cast<unsigned>(entryMonth), static_cast<unsigned>(entryDay)))
        return 0;
    return EncodeDate(year, static_cast<unsigned>(entryMonth), static_cast<unsigned>(entryDay));
}

}  // namespace

bool TSearch::InDateWindow(const TEntry& aEntry, double aNow) const {
    const double entryDate = EntryDate(aEntry, aNow);
    if (entryDate <= 0) return true;
    double from = fDateFrom;
    double to = fDateTo;
    if (fDoSearchLastDays) {
        from = aNow - (fNumberOfLastDaysToSearch - 1);
        to = aNow;
    }
    if (from != 0 && std::floor(from) > entryDate) return false;
    if (to != 0 && entryDate >= std::floor(to) + 1) return false;
    return true;
}

void TSearch::ProcessResult(TSiteSearchEnum aFromSite, const TParsedResult& aResult, int aLocationIdx,
                            int aCategoryIdx) {
    const std::string& link = aResult.link;
    const auto environment = GetSearchRunEnvironment();
    std::unique_lock lock(fCriticalSection);

    std::string locationText;
    int locationID = 0;
    if (fExpandedLocations2 && aLocationIdx >= 0 && aLocationIdx < fExpandedLocations2->Count()) {
        const TPlace* place = fExpandedLocations2->GetItem(aLocationIdx)->GetPlace();
        const bool neighbourhood = place->GetCraigSitePlace().GetPlaceType() == 4 && place->GetParent();
        locationText = neighbourhood ? place->GetParent()->ToString() : place->ToString();
        locationID = place->GetID();
    }
    std::string categoryText;
    if (aCategoryIdx >= 0 && aCategoryIdx < static_cast<int>(fCategories.size()))
        categoryText = fCategories[aCategoryIdx]->ToString();

    auto entry = std::make_shared<TEntry>(aFromSite, aResult.date, aResult.name, link, aResult.price, locationText,
                                          categoryText, aResult.hasImage, locationID, aResult.localDateTime,
                                          aResult.description, aResult.contact, aResult.imageUrl);
    entry->SetPlace(aResult.place);
    if (aResult.hasGeo) entry->SetGeo(aResult.latitude, aResult.longitude);
    entry->SetPictureUrls(aResult.pictures);
    if (!InDateWindow(*entry, environment->now ? environment->now() : LocalNow())) return;
    // Category listings carry no keywords to the site: the user's filter stands in for them.
    if (fOnlyCatListings && !fFilter->EntryPasses(*entry, true)) return;
    if (fDeletedResults.ContainsLink(link)) return;

    entry->SetIncludeInEmailDigest(!fCalledFromUser);
    const bool isNew = !fSearchResults.ContainsLink(link);
    const bool firstTimeThisRun = fLinksFoundThisRun.insert(link).second;
    entry->SetNew(isNew);
    // The same ad found again elsewhere is kept, folded, and told of once: under the first one.
    if (isNew && FoldIfSameAdKnown(entry)) entry->SetIncludeInEmailDigest(false);
    bool priceDropped = false;
    if (!isNew) {
        const IEntry known = fSearchResults.FindByLink(link);
        priceDropped = UpdateSeenAgain(known, *entry);
        if (priceDropped && !fCalledFromUser && !known->IsFolded()) known->SetIncludeInEmailDigest(true);
    }
    const bool tellsNews = (isNew && entry->GetIncludeInEmailDigest()) || (priceDropped && !fCalledFromUser);
    if (tellsNews && fNewResultsAvailable.SetAtSearchProcessID < fSearchProcessID) {
        fNewResultsAvailable.Available = true;
        fNewResultsAvailable.SetAtSearchProcessID = fSearchProcessID;
    }

    bool kept = false;
    if (isNew) {
        fSearchResults.Add(entry);
        ++fChangeCount;
        kept = true;
        if (OnResultKept) OnResultKept(*this, entry);
        if (fFillInLV && fView) {
            // The view step takes this lock on the main thread. It is handed this very
            // entry: the list's last one may meanwhile be another site's.
            lock.unlock();
            Synch().SynchronizeBlocking([this, entry](const std::string&) { ProcessEntryLV(entry); }, "");
            lock.lock();
        }
    } else if (!FKeepOldResults && firstTimeThisRun) {
        // Found again by a run that does not keep old results: the result stays, once,
        // where it is; it counts as this run's.
        entry = fSearchResults.FindByLink(link);
        kept = true;
        if (OnResultKept) OnResultKept(*this, entry);
    }
    // An ad answered once is not answered again because a run found it again.
    if (kept && isNew && !fCalledFromUser && environment->queueAutomaticReply)
        environment->queueAutomaticReply(*this, entry);
}

void TSearch::ProcessEntryLV(const IEntry& aEntry) {
    try {
        IResultsViewHelper* view = GetView();
        const auto environment = GetSearchRunEnvironment();
        if (!view || view->ShowsFavourites() || view->GetShownSearch() != this) return;
        if (environment->canShowResults && !environment->canShowResults()) return;
        if (!EnterCriticalSectionProcessMessages(fCriticalSection)) return;
        {
            std::lock_guard lock(fCriticalSection, std::adopt_lock);
            // A result deleted or cleared meanwhile is no longer the view's to show.
            if (fSearchResults.FindByLink(aEntry->GetLink()) == aEntry) {
                TCLock filterLock(fFilter->GetCriticalSection());
                fInsertAtIndex = std::min(fInsertAtIndex, fFilter->GetResultsCount());
                fFilter->TryAddEntry(aEntry, fInsertAtIndex);
                ++fInsertAtIndex;
                view->SetItemCount(fFilter->GetResultsCount());
            }
        }
        view->SetResultsLabel("Results (" + std::to_string(view->GetItemCount()) + " found) ");
        view->ProcessMessages();
    } catch (...) {
        // Showing a result is a courtesy: the result is in the list whatever happens here.
    }
}

void TSearch::DropResultsNotFoundAgain() {
    TCLock lock(fCriticalSection);
    // Only a whole run may say what is gone: not a stopped one, not one with pages it could
    // not read, not one in which a site refused or challenged it or gave pages without ads
    // (its ads are not gone, only hidden), and not an unattended one, which looks at the
    // first pages only.
    if (FKeepOldResults || !fCalledFromUser || fStopAsked) return;
    for (const auto& part : fSiteSearches)
        if (const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
            siteSearch && siteSearch->GetDoSearch() &&
            (siteSearch->GetPagesFailed() > 0 || !siteSearch->GetLastRunProblem().empty()))
            return;
    std::vector<IEntry> kept;
    for (const IEntry& entry : fSearchResults)
        if (fLinksFoundThisRun.count(entry->GetLink())) kept.push_back(entry);
    if (kept.size() == fSearchResults.size()) return;
    fSearchResults.Assign(std::move(kept));
    UnfoldOrphans();
    ++fChangeCount;
}

// --- TSearch: events from the site threads ---------------------------------------------------

void TSearch::OnSiteSearchProgress(TBaseSiteSearch&, double) {
    if (!OnProgress) return;
    double sum = 0;
    int count = 0;
    for (const auto& part : fSiteSearches) {
        if (!part->GetDoSearch()) continue;
        // A switched-on site without an adapter never gets on: it counts as not started.
        const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
        sum += siteSearch ? siteSearch->GetProgress() : 0;
        ++count;
    }
    OnProgress(*this, count > 0 ? sum / count : 0);
}

void TSearch::OnSiteSearchError(TBaseSiteSearch&, const std::string& aErrorText) {
    TCLock lock(fCriticalSection);
    if (OnError) OnError(*this, aErrorText);
}

void TSearch::OnSiteSearchFinished(TBaseSiteSearch*) {
    TCLock lock(fCriticalSection);
    const bool anySearching = std::any_of(fSiteSearches.begin(), fSiteSearches.end(),
                                          [](const auto& part) {
                                              const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
                                              return siteSearch && siteSearch->GetSearching();
                                          });
    bool runEnded = false;
    {
        TCLock searchingLock(fCriticalSectionSearching);
        // Two sites ending together both find nobody searching; only the first ends the run.
        runEnded = fSearching && !anySearching;
        fSearching = anySearching;
    }
    if (!runEnded) return;
    DropResultsNotFoundAgain();
    if (!fCalledFromUser) {
        const auto environment = GetSearchRunEnvironment();
        if (environment->notifyForNewResults) environment->notifyForNewResults(*this);
    }
    if (!OnSearchStopped) {
        fView = nullptr;
        return;
    }
    ++fStoppedCallsQueued;
    Synch().SynchronizeNonBlocking(
        [this](const std::string&) {
            // Taking the lock waits until the finishing thread has let go of this search.
            if (EnterCriticalSectionProcessMessages(fCriticalSection)) {
                fView = nullptr;
                fCriticalSection.Release();
            }
            try {
                if (OnSearchStopped) OnSearchStopped(*this);
            } catch (...) {
                --fStoppedCallsQueued;
                throw;
            }
            --fStoppedCallsQueued;
        },
        "");
}

}  // namespace trawlix
