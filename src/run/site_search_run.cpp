// The run side of a search's site part: starting its thread, following its progress and
// hearing that it ended.
#include "run/site_search_run.h"

#include "engine/clock.h"
#include "engine/download.h"
#include "engine/results_parser.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/search.h"
#include "run/search_thread.h"

namespace trawlix {

void TSiteSearchRun::ForEachPlaceAndCategory(TBaseSearchThread& aThread, int aPages, const TPairVisit& aVisit) {
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

std::unique_ptr<TBaseSearchThread> TSiteSearchRun::CreateSearchThread() {
    auto thread = std::make_unique<TBaseSearchThread>(CreateResultsParser(), SearchesMultiplePages());
    thread->SetPagesCount(GetParentSearch()->GetPagesCount());
    return thread;
}

std::unique_ptr<TBaseResultsParser> TSiteSearchRun::CreateResultsParser() {
    return std::make_unique<TBaseResultsParser>();
}

bool TSiteSearchRun::Search(TSiteSearchProgressEvent aOnProgress, TSiteSearchErrorEvent aOnError) {
    // Made before this part's lock is taken: adapters read the search, whose lock comes first.
    std::unique_ptr<TBaseSearchThread> thread = CreateSearchThread();
    TCLock lock(fCriticalSection);
    fSearching = true;
    fProgress = 0;
    fCounts = {};
    fItemsSkipped = 0;
    fLastRunProblem.clear();
    thread->SetFreeOnTerminate(true);
    thread->SetSearch(this);
    thread->SetOnFinished([this, finishing = thread.get()] { OnSearchThreadFinished(finishing); });
    thread->SetOnProgress(std::move(aOnProgress));
    thread->SetOnError(std::move(aOnError));
    fSearchThread = thread.get();
    ++fThreadsRunning;
    TcThread::Launch(std::move(thread));
    return true;
}

void TSiteSearchRun::Stop() {
    TCLock lock(fCriticalSection);
    if (fSearchThread) fSearchThread->Terminate();
}

bool TSiteSearchRun::GetSearching() const { return Locked(fCriticalSection, fSearching); }

bool TSiteSearchRun::GetThreadRunning() const { return Locked(fCriticalSection, fThreadsRunning) > 0; }

double TSiteSearchRun::GetProgress() const { return Locked(fCriticalSection, fProgress); }

void TSiteSearchRun::SetProgress(double aValue) { SetLocked(fCriticalSection, fProgress, aValue); }

int TSiteSearchRun::GetPagesFetched() const { return Locked(fCriticalSection, fCounts.pagesFetched); }

void TSiteSearchRun::AddPageFetched() {
    TCLock lock(fCriticalSection);
    ++fCounts.pagesFetched;
}

int TSiteSearchRun::GetPagesFailed() const { return Locked(fCriticalSection, fCounts.pagesFailed); }

void TSiteSearchRun::AddPageFailed(const std::string& aReason) {
    const std::string reason = PageFailureReason(aReason);
    TCLock lock(fCriticalSection);
    ++fCounts.pagesFailed;
    ++fCounts.failureReasons[reason];
}

void TSiteSearchRun::AddPageRefused(long aStatus) {
    TCLock lock(fCriticalSection);
    ++fCounts.refusals[aStatus];
}

void TSiteSearchRun::AddBlockPage() {
    TCLock lock(fCriticalSection);
    ++fCounts.blockPages;
}

void TSiteSearchRun::AddAdsParsed(int aCount) {
    TCLock lock(fCriticalSection);
    fCounts.adsParsed += aCount;
}

void TSiteSearchRun::AddUnreadablePage(const std::string& aWhy) {
    TCLock lock(fCriticalSection);
    ++fCounts.unreadablePages;
    fCounts.unreadableWhy = aWhy;
}

void TSiteSearchRun::SetAnswerFormat(const std::string& aFormat) {
    SetLocked(fCriticalSection, fCounts.format, aFormat);
}

std::string TSiteSearchRun::GetAnswerFormat() const { return Locked(fCriticalSection, fCounts.format); }

std::string TSiteSearchRun::DownloadPage(const std::string& aURL, const std::string&, TBaseResultsParser&,
                                         TDownloadFailure& aFailure) {
    return DownloadFile(aURL, GetDownloader(), aFailure);
}

void TSiteSearchRun::PageParsed(TBaseResultsParser&, int, bool) {}

TSiteRunCounts TSiteSearchRun::GetRunCounts() const { return Locked(fCriticalSection, fCounts); }

std::string TSiteSearchRun::GetLastRunProblem() const { return Locked(fCriticalSection, fLastRunProblem); }

void TSiteSearchRun::UpdateHealth() {
    const int interval = GetParentSearch()->GetAlert().GetIntervalMinutes();
    TCLock lock(fCriticalSection);
    const TSiteHealth before = GetHealth();
    const TSiteProblem problem = FindSiteProblem(cSiteSearchStr[GetSite()], fCounts, before.hadAds);
    const TSiteHealth after = NextSiteHealth(before, problem, fCounts.adsParsed, interval, LocalNow());
    SetHealth(after);
    fLastRunProblem = after.problem;
}

int TSiteSearchRun::GetItemsSkipped() const { return Locked(fCriticalSection, fItemsSkipped); }

void TSiteSearchRun::AddItemSkipped() {
    TCLock lock(fCriticalSection);
    ++fItemsSkipped;
}

void TSiteSearchRun::OnSearchThreadFinished(const TBaseSearchThread* aThread) {
    // A stopped run saw only part of the site: it says nothing about its health.
    if (!aThread->Terminated()) UpdateHealth();
    {
        TCLock lock(fCriticalSection);
        fSearching = false;
    }
    // This part's lock is released first: the search's lock comes before it.
    GetParentSearch()->OnSiteSearchFinished(this);
    // The thread's last touch of this part and its search: whoever waits to free them may now.
    // A new run may have started meanwhile; its thread stays known.
    TCLock lock(fCriticalSection);
    if (fSearchThread == aThread) fSearchThread = nullptr;
    --fThreadsRunning;
}

ICHTTPClient TSiteSearchRun::GetDownloader() { return GetSiteDownloader(GetSite()); }

std::string TSiteSearchRun::GetLinkWithoutPage(const std::string& aSourceLink) { return aSourceLink; }

std::string TSiteSearchRun::RemoveRandomParam(const std::string& aSourceLink) { return aSourceLink; }

TSiteSearchRun* SiteSearchRun(TBaseSiteSearch* aPart) { return dynamic_cast<TSiteSearchRun*>(aPart); }

TSiteSearchRun* SiteSearchRun(const TSearch& aSearch, TSiteSearchEnum aSite) {
    return SiteSearchRun(aSearch.GetSiteSearch(aSite));
}

}  // namespace trawlix
