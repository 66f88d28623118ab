#include "model/search.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/keyword_syntax.h"
#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "model/duplicate_folding.h"
#include "model/filter.h"
#include "model/categories.h"
#include "model/objects_storage.h"
#include "model/place_selection.h"
#include "model/zip_codes.h"

namespace trawlix {

template <class T>
void TSearch::SetStored(T& aField, const T& aValue) {
    TCLock lock(fCriticalSection);
    if (aField == aValue) return;
    aField = aValue;
    ++fChangeCount;
}

// --- construction -------------------------------------------------------------------

TSearch::TSearch()
    : FLocations2(nullptr), fPropertyContainer(std::make_unique<TPropertyContainer>()),
      fFilter(std::make_unique<TFilter>()), fAlert(std::make_unique<TAlert>()) {
    CreateSiteSearches();
    fAlert->SetOnChange([this] { MarkModified(); });
}

TSearch::~TSearch() {
    // A site thread uses its part and this search up to its last step, which waits for this
    // search's lock: it is stopped and waited out first, without the lock held, so that
    // nothing it still uses is freed under it.
    StopSearchAndWait();
    TCLock lock(fCriticalSection);
    fFilter.reset();
    fSiteSearches.clear();
    fZIPCodeObject.reset();
    FLocations2.reset();
    fPropertyContainer.reset();
    fCategories.clear();
    FCompressedLocations.clear();
    fFavourites.Clear();
    fSearchResults.Clear();
    fDeletedResults.Clear();
}

void TSearch::CreateSiteSearches() {
    fSiteSearches.clear();
    for (int site = 0; site < cSiteSearchCount; ++site)
        fSiteSearches.push_back(MakeSiteSearch(static_cast<TSiteSearchEnum>(site), this));
}

// --- stopping a run ---------------------------------------------------------------------
// Here rather than with the rest of the run: freeing a search stops its run first.

void TSearch::StopSearch() {
    {
        TCLock lock(fCriticalSection);
        fView = nullptr;
        fStopAsked = true;
    }
    for (const auto& part : fSiteSearches) {
        try {
            part->Stop();
        } catch (...) {
            // Stopping is best effort: a site that cannot be asked ends on its own.
        }
    }
}

void TSearch::StopSearchAndWait() {
    StopSearch();
    IMainThreadBinding* binding = GetMainThreadBinding();
    const bool serveMainThread = binding && binding->IsMainThread();
    for (;;) {
        const bool threadRunning = std::any_of(fSiteSearches.begin(), fSiteSearches.end(),
                                               [](const auto& aPart) { return aPart->GetThreadRunning(); });
        // A queued end of the run can only be waited for by the thread that serves it.
        const bool callQueued = serveMainThread && fStoppedCallsQueued.load() > 0;
        if (!threadRunning && !callQueued) return;
        if (serveMainThread) binding->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TSearch::LookUpZIPCode(const TSearchLookups& aLookups) {
    // Every reader of a stored search (the window, links, a run from the command line)
    // then searches around the ZIP code, not only the window whose ZIP box builds it.
    fZIPCodeObject.reset();
    if (aLookups.zipCodes && !Trim(fZIPCode).empty()) fZIPCodeObject = aLookups.zipCodes->GetCode(PadZIPCode(fZIPCode));
}

void TSearch::ConvertOlderOptions() { ConvertOlderSearchOptions(*fPropertyContainer, fOlderOptions); }

// --- results ----------------------------------------------------------------------------

void TSearch::AddSearchResult(IEntry aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fSearchResults.Add(std::move(aEntry));
}

void TSearch::AddDeletedResult(IEntry aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fDeletedResults.Add(std::move(aEntry));
}

void TSearch::AddFavourite(IFavorite aFavourite) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fFavourites.Add(std::move(aFavourite));
}

bool TSearch::RemoveFavourite(const IFavorite& aFavourite) {
    TCLock lock(fCriticalSection);
    if (!fFavourites.Remove(aFavourite)) return false;
    ++fChangeCount;
    return true;
}

void TSearch::DeleteResult(const IEntry& aEntry) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    fDeletedResults.Add(aEntry);
    fSearchResults.Remove(aEntry);
    // What was folded under a deleted result is not deleted with it: it shows on its own.
    DuplicateIndex().Unfold(aEntry->GetLink());
}

void TSearch::FillOldResults(bool aClear) {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
    if (aClear) {
        fSearchResults.Clear();
        fDuplicateIndex.reset();
        {
            TCLock filterLock(fFilter->GetCriticalSection());
            fFilter->ClearResults();
        }
        fDeletedResults.Clear();
        return;
    }
    for (const auto& entry : fSearchResults) entry->SetNew(false);
}

IEntry TSearch::GetResultByLink(const TResultList& aList, const std::string& aLink) { return aList.FindByLink(aLink); }

IFavorite TSearch::GetFavoriteByLink(const std::string& aLink) const {
    TCLock lock(fCriticalSection);
    return fFavourites.FindByLink(aLink);
}

bool TSearch::FavoriteExists(const std::string& aLink) const {
    TCLock lock(fCriticalSection);
    return fFavourites.ContainsLink(aLink);
}

// --- locations and site parts -----------------------------------------------------------

TPlaceWrapperList& TSearch::GetSearchLocations() {
    TCLock lock(fCriticalSection);
    if (!FLocations2 || FLocationsChanged) {
        if (!FLocations2) FLocations2 = std::make_unique<TPlaceWrapperList>();
        GetLocationsFromCompressed(FCompressedLocations, *FLocations2);
        FLocationsChanged = false;
    }
    return *FLocations2;
}

TBaseSiteSearch* TSearch::GetSiteSearch(TSiteSearchEnum aSite) const {
    for (const auto& part : fSiteSearches)
        if (part->GetSite() == aSite) return part.get();
    return nullptr;
}

// --- plain accessors ----------------------------------------------------------------------

int TSearch::GetID() const { return Locked(fCriticalSection, fID); }
void TSearch::SetID(int aValue) { SetStored(fID, aValue); }
int TSearch::GetUserID() const { return Locked(fCriticalSection, FUserID); }
void TSearch::SetUserID(int aValue) { SetStored(FUserID, aValue); }
int TSearch::GetFolderID() const { return Locked(fCriticalSection, FFolderID); }
std::string TSearch::GetName() const { return Locked(fCriticalSection, FName); }
void TSearch::SetName(const std::string& aValue) { SetStored(FName, aValue); }
int TSearch::GetOrder() const { return Locked(fCriticalSection, fOrder); }
void TSearch::SetOrder(int aValue) { SetStored(fOrder, aValue); }

TPlaceList TSearch::GetCompressedLocations() const { return Locked(fCriticalSection, FCompressedLocations); }
void TSearch::SetCompressedLocations(const TPlaceList& aValue) {
    TCLock lock(fCriticalSection);
    SetStored(FCompressedLocations, aValue);
    FLocationsChanged = true;
}
void TSearch::SetLocationsChanged(bool aValue) { SetLocked(fCriticalSection, FLocationsChanged, aValue); }
std::string TSearch::GetZIPCode() const { return Locked(fCriticalSection, fZIPCode); }
void TSearch::SetZIPCode(const std::string& aValue) { SetStored(fZIPCode, aValue); }
int TSearch::GetDistance() const { return Locked(fCriticalSection, fDistance); }
void TSearch::SetDistance(int aValue) { SetStored(fDistance, aValue); }
const TZipCode* TSearch::GetZIPCodeObject() const {
    TCLock lock(fCriticalSection);
    return fZIPCodeObject.get();
}
void TSearch::SetZIPCodeObject(std::unique_ptr<TZipCode> aValue) {
    SetLocked(fCriticalSection, fZIPCodeObject, std::move(aValue));
}

TPlaceList TSearch::GetCategories() const { return Locked(fCriticalSection, fCategories); }
void TSearch::SetCategories(const TPlaceList& aValue) { SetStored(fCategories, aValue); }
std::string TSearch::GetKeywords() const { return Locked(fCriticalSection, fKeywords); }
std::string TSearch::GetNonValidatedKeywords() const { return Locked(fCriticalSection, fNonValidatedKeywords); }
void TSearch::SetKeywords(const std::string& aValue) {
    TCLock lock(fCriticalSection);
    if (aValue == fNonValidatedKeywords) return;
    SetStored(fKeywords, ValidateKeywords(aValue));
    fNonValidatedKeywords = aValue;
}
std::string TSearch::GetBackpageKeywords() const { return Locked(fCriticalSection, fBackpageKeywords); }
void TSearch::SetBackpageKeywords(const std::string& aValue) { SetStored(fBackpageKeywords, aValue); }
bool TSearch::GetOnlySearchTitles() const { return Locked(fCriticalSection, FOnlySearchTitles); }
void TSearch::SetOnlySearchTitles(bool aValue) { SetStored(FOnlySearchTitles, aValue); }
bool TSearch::GetHasImage() const { return Locked(fCriticalSection, FHasImage); }
void TSearch::SetHasImage(bool aValue) { SetStored(FHasImage, aValue); }
bool TSearch::GetOnlyCatListings() const { return Locked(fCriticalSection, fOnlyCatListings); }
void TSearch::SetOnlyCatListings(bool aValue) { SetStored(fOnlyCatListings, aValue); }
double TSearch::GetDateFrom() const { return Locked(fCriticalSection, fDateFrom); }
void TSearch::SetDateFrom(double aValue) { SetStored(fDateFrom, aValue); }
double TSearch::GetDateTo() const { return Locked(fCriticalSection, fDateTo); }
void TSearch::SetDateTo(double aValue) { SetStored(fDateTo, aValue); }
bool TSearch::GetDoSearchLastDays() const { return Locked(fCriticalSection, fDoSearchLastDays); }
void TSearch::SetDoSearchLastDays(bool aValue) { SetStored(fDoSearchLastDays, aValue); }
int TSearch::GetNumberOfLastDaysToSearch() const { return Locked(fCriticalSection, fNumberOfLastDaysToSearch); }
void TSearch::SetNumberOfLastDaysToSearch(int aValue) {
    SetStored(fNumberOfLastDaysToSearch, aValue);
}
std::string TSearch::GetAllThese() const { return Locked(fCriticalSection, FAllThese); }
void TSearch::SetAllThese(const std::string& aValue) { SetStored(FAllThese, aValue); }
std::string TSearch::GetExact() const { return Locked(fCriticalSection, FExact); }
void TSearch::SetExact(const std::string& aValue) { SetStored(FExact, aValue); }
std::string TSearch::GetOR1() const { return Locked(fCriticalSection, FOR1); }
void TSearch::SetOR1(const std::string& aValue) { SetStored(FOR1, aValue); }
std::string TSearch::GetOR2() const { return Locked(fCriticalSection, FOR2); }
void TSearch::SetOR2(const std::string& aValue) { SetStored(FOR2, aValue); }
std::string TSearch::GetOR3() const { return Locked(fCriticalSection, FOR3); }
void TSearch::SetOR3(const std::string& aValue) { SetStored(FOR3, aValue); }
std::string TSearch::GetNoneOfThese() const { return Locked(fCriticalSection, FNoneOfThese); }
void TSearch::SetNoneOfThese(const std::string& aValue) { SetStored(FNoneOfThese, aValue); }
TOlderSearchOptions TSearch::GetOlderOptions() const { return Locked(fCriticalSection, fOlderOptions); }

bool TSearch::GetKeepOldResults() const { return Locked(fCriticalSection, FKeepOldResults); }
void TSearch::SetKeepOldResults(bool aValue) { SetStored(FKeepOldResults, aValue); }
bool TSearch::GetClearOldResults() const { return Locked(fCriticalSection, fClearOldResults); }
void TSearch::SetClearOldResults(bool aValue) { SetStored(fClearOldResults, aValue); }
int TSearch::GetPagesCount() const { return Locked(fCriticalSection, fPagesCount); }
void TSearch::SetPagesCount(int aValue) { SetStored(fPagesCount, aValue); }
int TSearch::GetGroupResultsBy() const { return Locked(fCriticalSection, fGroupResultsBy); }
void TSearch::SetGroupResultsBy(int aValue) { SetStored(fGroupResultsBy, aValue); }
std::string TSearch::GetEntrySelected() const { return Locked(fCriticalSection, FEntrySelected); }
void TSearch::SetEntrySelected(const std::string& aValue) { SetStored(FEntrySelected, aValue); }
bool TSearch::GetShowPreview() const { return Locked(fCriticalSection, FShowPreview); }
void TSearch::SetShowPreview(bool aValue) { SetStored(FShowPreview, aValue); }
float TSearch::GetPreviewHeightRatio() const { return Locked(fCriticalSection, FPreviewHeightRatio); }
void TSearch::SetPreviewHeightRatio(float aValue) { SetStored(FPreviewHeightRatio, aValue); }
std::unordered_set<std::string>& TSearch::DigestTold(TDigestPart aPart) {
    return aPart == TDigestPart::SMS ? fDigestSMSTold : fDigestEmailTold;
}

bool TSearch::GetDigestToldBy(TDigestPart aPart, const std::string& aLink) const {
    return const_cast<TSearch*>(this)->DigestTold(aPart).count(aLink) > 0;
}

void TSearch::SetDigestToldBy(TDigestPart aPart, const std::vector<std::string>& aLinks) {
    if (aLinks.empty()) return;
    DigestTold(aPart).insert(aLinks.begin(), aLinks.end());
    ++fChangeCount;
}

void TSearch::ForgetDigestTold(const std::vector<std::string>& aLinks) {
    bool changed = false;
    for (const std::string& link : aLinks) {
        for (TDigestPart part : {TDigestPart::SMS, TDigestPart::Email}) changed = DigestTold(part).erase(link) > 0 || changed;
        for (auto& [key, told] : fDigestDestinationTold) changed = told.erase(link) > 0 || changed;
    }
    std::erase_if(fDigestDestinationTold, [](const auto& aTold) { return aTold.second.empty(); });
    if (changed) ++fChangeCount;
}

bool TSearch::GetDigestToldByDestination(const std::string& aKey, const std::string& aLink) const {
    const auto found = fDigestDestinationTold.find(aKey);
    return found != fDigestDestinationTold.end() && found->second.count(aLink) > 0;
}

void TSearch::SetDigestToldByDestination(const std::string& aKey, const std::vector<std::string>& aLinks) {
    if (aLinks.empty()) return;
    fDigestDestinationTold[aKey].insert(aLinks.begin(), aLinks.end());
    ++fChangeCount;
}

double TSearch::GetNotificationsWereSentAt() const { return Locked(fCriticalSection, fNotificationsWereSentAt); }
void TSearch::SetNotificationsWereSentAt(double aValue) {
    SetStored(fNotificationsWereSentAt, aValue);
}

TNewResultsAvailable TSearch::GetNewResultsAvailable() const { return Locked(fCriticalSection, fNewResultsAvailable); }
void TSearch::SetNewResultsAvailable(const TNewResultsAvailable& aValue) {
    SetStored(fNewResultsAvailable, aValue);
}
bool TSearch::NewResultsAvailableFromLastSearch() const {
    TCLock lock(fCriticalSection);
    return fNewResultsAvailable.Available && fNewResultsAvailable.SetAtSearchProcessID == fSearchProcessID;
}
int TSearch::GetSearchProcessID() const { return Locked(fCriticalSection, fSearchProcessID); }
bool TSearch::GetModified() const {
    TCLock lock(fCriticalSection);
    // An entry changed by another thread (a reply accepted, a contact looked up) does not
    // touch its search: any entry change since the last save makes the search worth a look,
    // and the save writes only the rows that changed.
    return fChangeCount != fSavedChangeCount || TEntry::GetChangeEpoch() != fSavedEntryEpoch;
}
void TSearch::MarkModified() {
    TCLock lock(fCriticalSection);
    ++fChangeCount;
}
int TSearch::GetChangeCount() const { return Locked(fCriticalSection, fChangeCount); }
void TSearch::MarkSaved(int aChangeCount) {
    TCLock lock(fCriticalSection);
    // A slower save of an older state must not hide a newer one that was already stored.
    fSavedChangeCount = std::max(fSavedChangeCount, aChangeCount);
    fSavedEntryEpoch = std::max(fSavedEntryEpoch, fWrittenEntryEpoch);
}
void TSearch::SetSearchProcessID(int aValue) { SetLocked(fCriticalSection, fSearchProcessID, aValue); }
bool TSearch::GetCalledFromUser() const { return Locked(fCriticalSection, fCalledFromUser); }
void TSearch::SetCalledFromUser(bool aValue) { SetLocked(fCriticalSection, fCalledFromUser, aValue); }
bool TSearch::GetFillInLV() const { return Locked(fCriticalSection, fFillInLV); }
void TSearch::SetFillInLV(bool aValue) { SetLocked(fCriticalSection, fFillInLV, aValue); }
bool TSearch::GetSearching() const { return Locked(fCriticalSectionSearching, fSearching); }
void TSearch::SetSearching(bool aValue) { SetLocked(fCriticalSectionSearching, fSearching, aValue); }

}  // namespace trawlix
