// The run side of a search and of its site parts: starting the site threads, merging
// the ads they find, and telling the owner how the run goes.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/clock.h"
#include "engine/search_run_environment.h"
#include "engine/search_thread.h"
#include "engine/synchronizator.h"
#include "engine/threads.h"
#include "mail/filter.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/search.h"
#include "model/zip_codes.h"

namespace trawlix {

// --- TBaseSiteSearch ----------------------------------------------------------------------

std::unique_ptr<TBaseSearchThread> TBaseSiteSearch::CreateSearchThread() { return nullptr; }

std::vector<std::string> TBaseSiteSearch::MakeSearchLinks(TBaseSearchThread&) { return {}; }

void TBaseSiteSearch::ForEachPlaceAndCategory(TBaseSearchThread& aThread, int aPages, const TPairVisit& aVisit) {
    TSearch& search = *GetParentSearch();
    int categoryCount = 0, placeCount = 0;
    {
        TCLock lock(search.GetCriticalSection());
        categoryCount = static_cast<int>(search.GetCategories().size());
        placeCount = search.GetExpandedLocations().Count();
    }
    for (int page = 1; page <= aPages; ++page) {
        for (int c = 0; c < categoryCount; ++c) {
            for (int p = 0; p < placeCount; ++p) {
                if (aThread.Terminated()) return;
                TCLock lock(search.GetCriticalSection());
                const TPlaceList categories = search.GetCategories();
                const TPlaceWrapperList& places = search.GetExpandedLocations();
                if (c >= static_cast<int>(categories.size()) || p >= places.Count()) continue;
                aVisit(*places.GetItem(p)->GetPlace(), *categories[c], p, c, page);
            }
        }
    }
}

ICHTTPCLient TBaseSiteSearch::GetDownloader() { return GetSiteDownloader(fSite); }

std::string TBaseSiteSearch::GetLinkWithoutPage(const std::string& aSourceLink) { return aSourceLink; }

std::string TBaseSiteSearch::RemoveRandomParam(const std::string& aSourceLink) { return aSourceLink; }

bool TBaseSiteSearch::Search(TSiteSearchProgressEvent aOnProgress, TSiteSearchErrorEvent aOnError) {
    // Made before this part's lock is taken: adapters read the search, whose lock comes first.
    std::unique_ptr<TBaseSearchThread> thread = CreateSearchThread();
    if (!thread) return false;
    TCLock lock(fCriticalSection);
    fSearching = true;
    fProgress = 0;
    fPagesFetched = 0;
    fPagesFailed = 0;
    fItemsSkipped = 0;
    thread->SetFreeOnTerminate(true);
    thread->SetSearch(this);
    thread->SetOnFinished([this] { OnSearchThreadFinished(); });
    thread->SetOnProgress(std::move(aOnProgress));
    thread->SetOnError(std::move(aOnError));
    fSearchThread = thread.get();
    TcThread::Launch(std::move(thread));
    return true;
}

void TBaseSiteSearch::Stop() {
    TCLock lock(fCriticalSection);
    if (fSearchThread) fSearchThread->Terminate();
}

bool TBaseSiteSearch::GetSearching() const {
    TCLock lock(fCriticalSection);
    return fSearching;
}

double TBaseSiteSearch::GetProgress() const {
    TCLock lock(fCriticalSection);
    return fProgress;
}

void TBaseSiteSearch::SetProgress(double aValue) {
    TCLock lock(fCriticalSection);
    fProgress = aValue;
}

int TBaseSiteSearch::GetPagesFetched() const {
    TCLock lock(fCriticalSection);
    return fPagesFetched;
}

void TBaseSiteSearch::AddPageFetched() {
    TCLock lock(fCriticalSection);
    ++fPagesFetched;
}

int TBaseSiteSearch::GetPagesFailed() const {
    TCLock lock(fCriticalSection);
    return fPagesFailed;
}

void TBaseSiteSearch::AddPageFailed() {
    TCLock lock(fCriticalSection);
    ++fPagesFailed;
}

int TBaseSiteSearch::GetItemsSkipped() const {
    TCLock lock(fCriticalSection);
    return fItemsSkipped;
}

void TBaseSiteSearch::AddItemSkipped() {
    TCLock lock(fCriticalSection);
    ++fItemsSkipped;
}

void TBaseSiteSearch::OnSearchThreadFinished() {
    {
        TCLock lock(fCriticalSection);
        fSearching = false;
        fSearchThread = nullptr;
    }
    // This part's lock is released first: the search's lock comes before it.
    fParentSearch->OnSiteSearchFinished(this);
}

// --- TSearch: starting and stopping --------------------------------------------------------

void TSearch::Search(IResultsViewHelper* aResultsViewHelper, TResultList* aResultsList, bool aCalledFromUser) {
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
        FResultsList = aResultsList;
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
    {
        // Every site starts under the search's lock: a site that ends at once waits for it
        // in OnSiteSearchFinished, so it sees the sites started after it as searching and
        // cannot end the run while they still run.
        TCLock lock(fCriticalSection);
        for (const auto& siteSearch : fSiteSearches) {
            if (!siteSearch->GetDoSearch()) continue;
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

IResultsViewHelper* TSearch::GetView() const {
    TCLock lock(fCriticalSection);
    return fView;
}

void TSearch::StopSearch() {
    {
        TCLock lock(fCriticalSection);
        fView = nullptr;
        fStopAsked = true;
    }
    for (const auto& siteSearch : fSiteSearches) {
        try {
            siteSearch->Stop();
        } catch (...) {
            // Stopping is best effort: a site that cannot be asked ends on its own.
        }
    }
}

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

void TSearch::ProcessResult(TSiteSearchEnum aFromSite, const std::string& aDate, const std::string& aName,
                            const std::string& aLink, double aPrice, int aLocationIdx, int aCategoryIdx,
                            bool aHasImage, double aLocalDateTime, const std::string& aDescription,
                            const std::string& aContact, const std::string& aImageUrl) {
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

    auto entry = std::make_shared<TEntry>(aFromSite, aDate, aName, aLink, aPrice, locationText, categoryText, aHasImage,
                                          locationID, aLocalDateTime, aDescription, aContact, aImageUrl);
    if (!InDateWindow(*entry, environment->now ? environment->now() : LocalNow())) return;
    // Category listings carry no keywords to the site: the user's filter stands in for them.
    if (fOnlyCatListings && !fFilter->EntryPasses(*entry, true)) return;
    if (fDeletedResults.ContainsLink(aLink)) return;

    entry->SetIncludeInEmailDigest(!fCalledFromUser);
    const bool isNew = !fSearchResults.ContainsLink(aLink);
    const bool firstTimeThisRun = fLinksFoundThisRun.insert(aLink).second;
    entry->SetNew(isNew);
    if (isNew && entry->GetIncludeInEmailDigest() && fNewResultsAvailable.SetAtSearchProcessID < fSearchProcessID) {
        fNewResultsAvailable.Available = true;
        fNewResultsAvailable.SetAtSearchProcessID = fSearchProcessID;
    }

    bool kept = false;
    if (FResultsList) {
        if (isNew) {
            FResultsList->Add(entry);
            kept = true;
            if (OnResultKept) OnResultKept(*this, entry);
        }
    } else if (isNew) {
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
        entry = fSearchResults.FindByLink(aLink);
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
    // not read, and not an unattended one, which looks at the first pages only.
    if (FKeepOldResults || FResultsList || !fCalledFromUser || fStopAsked) return;
    for (const auto& siteSearch : fSiteSearches)
        if (siteSearch->GetDoSearch() && siteSearch->GetPagesFailed() > 0) return;
    std::vector<IEntry> kept;
    for (const IEntry& entry : fSearchResults)
        if (fLinksFoundThisRun.count(entry->GetLink())) kept.push_back(entry);
    if (kept.size() == fSearchResults.size()) return;
    fSearchResults.Assign(std::move(kept));
    ++fChangeCount;
}

// --- TSearch: events from the site threads ---------------------------------------------------

void TSearch::OnSiteSearchProgress(TBaseSiteSearch&, double) {
    if (!OnProgress) return;
    double sum = 0;
    int count = 0;
    for (const auto& siteSearch : fSiteSearches) {
        if (!siteSearch->GetDoSearch()) continue;
        sum += siteSearch->GetProgress();
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
                                          [](const auto& siteSearch) { return siteSearch->GetSearching(); });
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
    Synch().SynchronizeNonBlocking(
        [this](const std::string&) {
            // Taking the lock waits until the finishing thread has let go of this search.
            if (EnterCriticalSectionProcessMessages(fCriticalSection)) {
                fView = nullptr;
                fCriticalSection.Release();
            }
            if (OnSearchStopped) OnSearchStopped(*this);
        },
        "");
}

}  // namespace trawlix
