#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/critical_section.h"
#include "engine/results_parser.h"
#include "engine/site_search_enum.h"
#include "model/alert.h"
#include "model/base_site_search.h"
#include "model/entry.h"
#include "model/legacy_searches_file.h"
#include "model/link_indexed_list.h"
#include "model/places.h"
#include "model/option_groups.h"
#include "model/property_container.h"
#include "model/result_rows.h"

namespace trawlix {

class TObjectsStorage;
class TCategories;
class TPlaceWrapperList;
class TFilter;
class TZipCode;
class TZIPCodes;
class TDuplicateIndex;

// The search prop that keeps the links of the results waiting for the next digest.
inline constexpr const char* cDigestMarksProp = "digest_links";
// The marked results one part of a digest (SMS, e-mail) already told while another part
// failed: that part is not sent again for them.
inline constexpr const char* cDigestSMSToldProp = "digest_sms_told";
inline constexpr const char* cDigestEmailToldProp = "digest_email_told";
// The same for an alert's own destinations: "<destination key> <link>" a line.
inline constexpr const char* cDigestDestinationToldProp = "digest_dest_told";
// The new results whose automatic reply has not gone out yet (failed, or the program ended first).
inline constexpr const char* cAutoReplyMarksProp = "auto_reply_links";

enum class TDigestPart { SMS, Email };

// The local user's id, carried by every search it owns.
inline constexpr int cLocalUserID = -1;

using TResultList = TLinkIndexedList<IEntry>;
using TFavouriteIndexedList = TLinkIndexedList<IFavorite>;

// Lets the caller's event loop breathe during long saves; may be empty.
using TProcessMessages = std::function<void()>;

// What reading a search needs to turn stored ids back into tree nodes, and its stored ZIP
// code back into coordinates.
struct TSearchLookups {
    const TPlaces* places = nullptr;
    const TCategories* categories = nullptr;
    const TZIPCodes* zipCodes = nullptr;
};

// What a run needs of the result view it fills (the main window's list, or none).
class IResultsViewHelper {
public:
    virtual ~IResultsViewHelper() = default;
    virtual const TSearch* GetShownSearch() const = 0;
    virtual bool ShowsFavourites() const = 0;
    virtual int GetItemCount() const = 0;
    virtual void SetItemCount(int aCount) = 0;
    virtual void SetResultsLabel(const std::string& aText) = 0;
    // Lets the window repaint between results.
    virtual void ProcessMessages() {}
};

// The run's events, raised to the search's owner.
using TSearchEvent = std::function<void(TSearch& aSender)>;
using TSearchProgressEvent = std::function<void(TSearch& aSender, double aProgress)>;
using TSearchErrorEvent = std::function<void(TSearch& aSender, const std::string& aErrorText)>;
using TSearchResultEvent = std::function<void(TSearch& aSender, const IEntry& aEntry)>;

struct TNewResultsAvailable {
    bool Available = false;
    int SetAtSearchProcessID = 0;
    bool operator==(const TNewResultsAvailable&) const = default;
};

// A search that could not be stored; the message says which and why. Nothing of it was
// written, and the search still holds everything in memory.
class ESearchSaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One search the user defined: where, in what and for what to look, how to keep the
// results, and the results themselves. Definition fields are read by worker threads of
// a run while the main thread edits them, so every accessor takes the search's lock.
// The result lists are reached under that lock too: hold GetCriticalSection() while
// walking them.
class TSearch {
public:
    TSearch();
    ~TSearch();
    TSearch(const TSearch&) = delete;
    TSearch& operator=(const TSearch&) = delete;

    // Reads a stored search; missing or malformed properties take their defaults.
    static std::unique_ptr<TSearch> CreateFromDB(TObjectsStorage& aStorage, int aDBObjectID,
                                                 const TSearchLookups& aLookups);
    // Reads a search element of the older searches file; raises ESearchesFileError naming
    // a missing required element or a malformed number.
    static std::unique_ptr<TSearch> CreateFromXMLNode(const pugi::xml_node& aNode, const TSearchLookups& aLookups);

    // Writes the whole search in one transaction and marks what it wrote as saved. A failure
    // rolls the transaction back and raises ESearchSaveError; the search stays changed.
    // The search's lock is held only while its definition is written and its lists are
    // taken; the results themselves are written without it, so the window and a running
    // search are not held up by a long save.
    void SaveToDB(TObjectsStorage& aStorage, const TProcessMessages& aProcessMessages = {});
    // The writes of SaveToDB inside the caller's transaction; answers the change count they
    // stored, for MarkSaved once the caller has committed. Raises like SaveToDB.
    int WriteToDB(TObjectsStorage& aStorage, const TProcessMessages& aProcessMessages = {});
    // Removes the stored object with everything below it, and its result rows, in one
    // transaction; raises ESearchSaveError when that could not be done.
    void DeleteFromDB(TObjectsStorage& aStorage);
    // Saves this search and reads a copy back, unsaved and named "(Cloned search)".
    std::unique_ptr<TSearch> Clone(TObjectsStorage& aStorage, const TSearchLookups& aLookups);
    bool Saved() const { return GetID() > 0; }

    // What is stored changed since the last save (a search never saved counts as changed).
    // Setters of stored values, the result lists and the run mark it themselves; whoever
    // edits an entry, a favourite's note, the options, the sites or the filter calls
    // MarkModified.
    bool GetModified() const;
    void MarkModified();
    int GetChangeCount() const;
    // The state at aChangeCount is in the database.
    void MarkSaved(int aChangeCount);
    // What the database holds of the results is no longer known (the save that wrote them was
    // rolled back, or the table was compacted, which renumbers rows): the next save rewrites
    // all of this search's result rows.
    void ForgetStoredResultRows();

    // Identity and order.
    int GetID() const;
    void SetID(int aValue);
    int GetUserID() const;
    void SetUserID(int aValue);
    int GetFolderID() const;
    std::string GetName() const;
    void SetName(const std::string& aValue);
    int GetOrder() const;
    void SetOrder(int aValue);

    // Where.
    TPlaceList GetCompressedLocations() const;
    void SetCompressedLocations(const TPlaceList& aValue);
    // The expansion of the compressed locations, rebuilt when they changed.
    TPlaceWrapperList& GetSearchLocations();
    void SetLocationsChanged(bool aValue);
    std::string GetZIPCode() const;
    void SetZIPCode(const std::string& aValue);
    int GetDistance() const;
    void SetDistance(int aValue);
    // The looked-up ZIP code; the search owns it.
    const TZipCode* GetZIPCodeObject() const;
    void SetZIPCodeObject(std::unique_ptr<TZipCode> aValue);

    // What and how.
    TPlaceList GetCategories() const;
    void SetCategories(const TPlaceList& aValue);
    std::string GetKeywords() const;
    std::string GetNonValidatedKeywords() const;
    // Keeps the typed line and its cleaned form; the same typed line again changes nothing.
    void SetKeywords(const std::string& aValue);
    std::string GetBackpageKeywords() const;
    void SetBackpageKeywords(const std::string& aValue);
    bool GetOnlySearchTitles() const;
    void SetOnlySearchTitles(bool aValue);
    bool GetHasImage() const;
    void SetHasImage(bool aValue);
    bool GetOnlyCatListings() const;
    void SetOnlyCatListings(bool aValue);
    double GetDateFrom() const;
    void SetDateFrom(double aValue);
    double GetDateTo() const;
    void SetDateTo(double aValue);
    bool GetDoSearchLastDays() const;
    void SetDoSearchLastDays(bool aValue);
    int GetNumberOfLastDaysToSearch() const;
    void SetNumberOfLastDaysToSearch(int aValue);
    std::string GetAllThese() const;
    void SetAllThese(const std::string& aValue);
    std::string GetExact() const;
    void SetExact(const std::string& aValue);
    std::string GetOR1() const;
    void SetOR1(const std::string& aValue);
    std::string GetOR2() const;
    void SetOR2(const std::string& aValue);
    std::string GetOR3() const;
    void SetOR3(const std::string& aValue);
    std::string GetNoneOfThese() const;
    void SetNoneOfThese(const std::string& aValue);
    TPropertyContainer& GetPropertyContainer() const { return *fPropertyContainer; }
    TOlderSearchOptions GetOlderOptions() const;

    // Site parts, one per site in TSiteSearchEnum order.
    const std::vector<std::unique_ptr<TBaseSiteSearch>>& GetSiteSearches() const { return fSiteSearches; }
    TBaseSiteSearch* GetSiteSearch(TSiteSearchEnum aSite) const;

    // Results. Hold the search's lock while using the lists.
    const TResultList& GetSearchResults() const { return fSearchResults; }
    const TResultList& GetDeletedResults() const { return fDeletedResults; }
    const TFavouriteIndexedList& GetFavourites() const { return fFavourites; }
    void AddSearchResult(IEntry aEntry);
    void AddDeletedResult(IEntry aEntry);
    void AddFavourite(IFavorite aFavourite);
    bool RemoveFavourite(const IFavorite& aFavourite);
    // Moves the entry from the current results to the deleted ones.
    void DeleteResult(const IEntry& aEntry);
    // Before a run: with aClear, empties the current, filtered and deleted results;
    // otherwise marks every current result as seen before.
    void FillOldResults(bool aClear);
    // The first entry of the list with exactly this link, null when none; O(1).
    static IEntry GetResultByLink(const TResultList& aList, const std::string& aLink);
    // The results folded under aEntry (the same ad found in other places or sites), in the
    // order found; empty for a result nothing folds under.
    std::vector<IEntry> GetAlsoIn(const TEntry& aEntry) const;
    // Makes the results folded under aEntry results of their own again; how many there were.
    int UnfoldResult(const TEntry& aEntry);
    // aEntry learned more of itself (its picture's hash, its page's text): folds it with a
    // result of the same ad that now agrees with it (the later posted one under the other).
    // Whether it folded.
    bool FoldWhenDetailsAgree(const IEntry& aEntry);
    // What the ad's own page shows now (title, text, a lower price, place and pictures) goes
    // into the result, as when a run finds it again; then it may fold. Whether it folded.
    bool TakeAdPageDetails(const IEntry& aKnown, const TEntry& aFromPage);
    IFavorite GetFavoriteByLink(const std::string& aLink) const;
    bool FavoriteExists(const std::string& aLink) const;
    TFilter& GetFilter() const { return *fFilter; }

    // Presentation.
    bool GetKeepOldResults() const;
    void SetKeepOldResults(bool aValue);
    bool GetClearOldResults() const;
    void SetClearOldResults(bool aValue);
    int GetPagesCount() const;
    void SetPagesCount(int aValue);
    int GetGroupResultsBy() const;
    void SetGroupResultsBy(int aValue);
    std::string GetEntrySelected() const;
    void SetEntrySelected(const std::string& aValue);
    bool GetShowPreview() const;
    void SetShowPreview(bool aValue);
    float GetPreviewHeightRatio() const;
    void SetPreviewHeightRatio(float aValue);
    // Whether aPart of the pending digest already told the result at aLink; the caller holds
    // the search's lock. Told links are forgotten once the whole digest went out.
    bool GetDigestToldBy(TDigestPart aPart, const std::string& aLink) const;
    void SetDigestToldBy(TDigestPart aPart, const std::vector<std::string>& aLinks);
    void ForgetDigestTold(const std::vector<std::string>& aLinks);
    // The same for one of the alert's destinations, named by its key.
    bool GetDigestToldByDestination(const std::string& aKey, const std::string& aLink) const;
    void SetDigestToldByDestination(const std::string& aKey, const std::vector<std::string>& aLinks);
    double GetNotificationsWereSentAt() const;
    void SetNotificationsWereSentAt(double aValue);

    // The search's alert; it lives as long as the search. A change of a stored value of
    // the alert marks the search changed.
    TAlert& GetAlert() const { return *fAlert; }

    // Run state.
    TNewResultsAvailable GetNewResultsAvailable() const;
    void SetNewResultsAvailable(const TNewResultsAvailable& aValue);
    bool NewResultsAvailableFromLastSearch() const;
    int GetSearchProcessID() const;
    void SetSearchProcessID(int aValue);
    bool GetCalledFromUser() const;
    void SetCalledFromUser(bool aValue);
    bool GetFillInLV() const;
    void SetFillInLV(bool aValue);
    bool GetSearching() const;
    void SetSearching(bool aValue);

    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }
    TCCriticalSection& GetSearchingCriticalSection() const { return fCriticalSectionSearching; }

    // --- running (run/search_run.cpp) ---
    // Starts a run on the main thread: one thread per switched-on site.
    void Search(IResultsViewHelper* aResultsViewHelper, bool aCalledFromUser);
    // Detaches the view and asks every site's thread to stop; the run ends when they have.
    // (model/search.cpp)
    void StopSearch();
    // Stops the run and returns once no site thread and no queued end-of-run call uses this
    // search any more, so that it may be freed; freeing a search does it first. On the main
    // thread it serves the main thread's calls meanwhile: a site thread may be waiting for
    // one. Elsewhere an end-of-run call already queued is not waited for. (model/search.cpp)
    void StopSearchAndWait();
    // One result from a site's thread, on that thread: the ad as parsed (its link made
    // absolute), found in the run's place aLocationIdx and the search's category aCategoryIdx.
    void ProcessResult(TSiteSearchEnum aFromSite, const TParsedResult& aResult, int aLocationIdx, int aCategoryIdx);
    // Main thread: offers aEntry, the result just added, to the view.
    void ProcessEntryLV(const IEntry& aEntry);
    void OnSiteSearchProgress(TBaseSiteSearch& aSender, double aProgress);
    void OnSiteSearchError(TBaseSiteSearch& aSender, const std::string& aErrorText);
    void OnSiteSearchFinished(TBaseSiteSearch* aSiteSearch);
    // The places the current run searches; hold the search's lock while using it.
    const TPlaceWrapperList& GetExpandedLocations() const;
    // Rebuilds them from the selection, widened by the distance and the ZIP code; a run
    // does this as it starts.
    void ExpandLocations();
    IResultsViewHelper* GetView() const;

    TSearchEvent OnSearchStarted;
    TSearchProgressEvent OnProgress;
    TSearchErrorEvent OnError;  // raised on a worker thread
    TSearchEvent OnSearchStopped;
    // A result the run kept, raised on the worker thread with the search's lock held
    // (headless callers print it; the window uses the view instead).
    TSearchResultEvent OnResultKept;

private:
    bool InDateWindow(const TEntry& aEntry, double aNow) const;
    void StartNotifyThreadForRunningSearch();
    // After a whole run that does not keep old results: the results of earlier runs that
    // it did not find again go.
    void DropResultsNotFoundAgain();
    // Folding and price drops of a run's results; the search's lock is held.
    // Built at first use (reading the list is what the index is a cache of).
    TDuplicateIndex& DuplicateIndex() const;
    // Folds a new result under an earlier result of the same ad; true when it was folded.
    bool FoldIfSameAdKnown(const IEntry& aEntry);
    // A link seen before: a lower price marks a drop, a new title or description replaces
    // the old; the result does not become new. True when the price dropped.
    bool UpdateSeenAgain(const IEntry& aKnown, const TEntry& aFound);
    // Results folded under one that is no longer a result stand on their own again.
    void UnfoldOrphans();
    mutable std::unique_ptr<TDuplicateIndex> fDuplicateIndex;

    // Run state, guarded by fCriticalSection.
    IResultsViewHelper* fView = nullptr;
    std::unique_ptr<TPlaceWrapperList> fExpandedLocations2;
    int fInsertAtIndex = 0;
    std::unordered_set<std::string> fLinksFoundThisRun;
    std::unordered_set<std::string> fDigestSMSTold;
    std::unordered_set<std::string> fDigestEmailTold;
    std::map<std::string, std::unordered_set<std::string>> fDigestDestinationTold;
    bool fStopAsked = false;
    std::atomic<int> fStoppedCallsQueued{0};  // end-of-run calls waiting on the main thread

private:
    void CreateSiteSearches();
    // Sets a stored field; a different value marks the search changed.
    template <class T>
    void SetStored(T& aField, const T& aValue);
    struct TListsToSave;
    TListsToSave WriteDefinition(TObjectsStorage& aStorage);
    void ReadFromDB(TObjectsStorage& aStorage, int aDBObjectID, const TSearchLookups& aLookups);
    void ReadPlacesFromDB(TObjectsStorage& aStorage, const std::string& aListType, const std::string& aItemType,
                          const std::function<TPlace*(int)>& aLookup, TPlaceList& aList);
    void ReadOptionsFromDB(TObjectsStorage& aStorage);
    void ReadResultsFromDB(TObjectsStorage& aStorage, const std::string& aType, TResultList& aList);
    void ReadFromXMLNode(const pugi::xml_node& aNode, const TSearchLookups& aLookups);
    void LookUpZIPCode(const TSearchLookups& aLookups);
    void WriteDigestMarks(TObjectsStorage& aStorage);
    void ReadDigestMarks(TObjectsStorage& aStorage);
    std::unordered_set<std::string>& DigestTold(TDigestPart aPart);
    void ConvertOlderOptions();

    void SavePlaceList(TObjectsStorage& aStorage, const std::string& aListType, const std::string& aItemType,
                       const TPlaceList& aList);
    static void SaveFavourites(TObjectsStorage& aStorage, int aSearchID, const std::vector<IFavorite>& aFavourites,
                               const TProcessMessages& aProcessMessages);
    void SaveSiteSearches(TObjectsStorage& aStorage);

    mutable TCCriticalSection fCriticalSection{"TSearch.fCriticalSection"};
    mutable TCCriticalSection fCriticalSectionSearching{"TSearch.fCriticalSectionSearching"};

    int FUserID = 0;
    int fID = 0;
    int FFolderID = 0;
    std::string FName;
    int fOrder = 0;

    TPlaceList FCompressedLocations;
    std::unique_ptr<TPlaceWrapperList> FLocations2;
    bool FLocationsChanged = false;
    std::string fZIPCode;
    int fDistance = 0;
    std::unique_ptr<TZipCode> fZIPCodeObject;

    TPlaceList fCategories;
    std::string fKeywords;
    std::string fNonValidatedKeywords;
    std::string fBackpageKeywords;
    bool FOnlySearchTitles = false;
    bool FHasImage = false;
    bool fOnlyCatListings = false;
    double fDateFrom = 0;
    double fDateTo = 0;
    bool fDoSearchLastDays = false;
    int fNumberOfLastDaysToSearch = 1;
    std::string FAllThese, FExact, FOR1, FOR2, FOR3, FNoneOfThese;
    std::unique_ptr<TPropertyContainer> fPropertyContainer;
    TOlderSearchOptions fOlderOptions;
    std::vector<std::unique_ptr<TBaseSiteSearch>> fSiteSearches;

    TResultList fSearchResults;
    TResultList fDeletedResults;
    TFavouriteIndexedList fFavourites;
    std::unique_ptr<TFilter> fFilter;
    bool FKeepOldResults = true;
    bool fClearOldResults = false;
    int fPagesCount = 2;
    int fGroupResultsBy = 0;
    std::string FEntrySelected;
    bool FShowPreview = false;
    float FPreviewHeightRatio = 0;
    TNewResultsAvailable fNewResultsAvailable;
    double fNotificationsWereSentAt = 0;
    std::unique_ptr<TAlert> fAlert;

    // Which result rows the database holds; the saver's alone.
    TResultRows fResultRows;

    // A new search starts changed; reading one from the storage marks it saved.
    int fChangeCount = 1;
    int fSavedChangeCount = 0;
    // The entries' change epoch as the last save found it, and as the save under way did.
    std::uint64_t fSavedEntryEpoch = 0;
    std::uint64_t fWrittenEntryEpoch = 0;

    int fSearchProcessID = 0;
    bool fSearching = false;
    bool fCalledFromUser = false;
    bool fFillInLV = false;
};

}  // namespace trawlix
