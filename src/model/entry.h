#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/compact_text.h"
#include "engine/critical_section.h"
#include "engine/shared_text.h"
#include "engine/site_search_enum.h"
#include "model/copied_rows.h"
#include "model/sqlite_db.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

class TObjectsStorage;
class TPlace;

class TEntry;
class TFavourite;
struct TEntryColumns;
// Entries are shared among a search's lists, its filter and the views; the last holder frees one.
using IEntry = std::shared_ptr<TEntry>;
using IFavorite = std::shared_ptr<TFavourite>;
using TEntryList = std::vector<IEntry>;
using TFavouriteList = std::vector<IFavorite>;

// Finds a place by its id, or null; the entry keeps the answer.
using TPlaceLookup = std::function<const TPlace*(int aPlaceID)>;

// A stored entry that cannot become an entry (a site that is not a site number).
class EEntryLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A reply to advertisers. The mail layer knows the message and the accounts that send it.
class IEntryReplyMessage {
public:
    virtual ~IEntryReplyMessage() = default;
    // Hands the mail for aAddress to one of the message's accounts and returns; aOnResult
    // hears later, on the sending thread, whether it went out and, when not, why. Raises
    // when no account can take it.
    virtual void SendTo(const std::string& aAddress, int aPriority, const std::string& aAdURL,
                        const std::string& aAdTitle,
                        std::function<void(bool aSent, const std::string& aError)> aOnResult) = 0;
};
using IEntryReplyMessagePtr = std::shared_ptr<IEntryReplyMessage>;

// How one reply went.
struct TReplyOutcome {
    enum TState {
        NoAddress,  // the ad has no reply address: nothing was sent
        Queued,     // handed to an account without waiting
        Sent,
        Failed,     // the account, or the lookup, said why in error
    };
    TState state = NoAddress;
    std::string error;
    bool WasSent() const { return state == Sent; }
};

// Finds the reply address of an ad whose address is not known yet (its posting page);
// empty when it shows none. Raises when the page could not be read (the ad is looked for
// again at its next reply). Installed by the session; none installed finds nothing.
using TEntryEmailLookup = std::function<std::string(const TEntry& aEntry)>;
void SetEntryEmailLookup(TEntryEmailLookup aLookup);

// Hears, on the sending thread, of each reply the mail server accepted, once the entry is
// marked replied: the session stores the mark at once, so a restart never answers twice.
using TEntryRepliedListener = std::function<void(const TEntry& aEntry)>;
void SetEntryRepliedListener(TEntryRepliedListener aListener);

// The "type" column values of the entries table.
inline constexpr const char* cEntryTypeSearchResult = "search_result";
inline constexpr const char* cEntryTypeDeletedResult = "deleted_result";

// One advertisement found by a search, with what the user did with it.
// Fields marked "locked" are read and written by worker threads (reply, picture download)
// and take the entry's own lock; the others are set at construction or on the main thread.
class TEntry : public std::enable_shared_from_this<TEntry> {
public:
    TEntry();
    TEntry(TSiteSearchEnum aFromSite, const std::string& aDate, const std::string& aName, const std::string& aLink,
           double aPrice, const std::string& aLocationString, const std::string& aCategoryString, bool aHasImage,
           int aLocationID, double aLocalDateTime, const std::string& aDescription, const std::string& aContact,
           const std::string& aImageUrl);
    // A copy made through Assign (the ticked state and the transient flags are not copied).
    explicit TEntry(const IEntry& aEntry);
    // The current row of a query on the entries table. Raises EEntryLoadError when "site"
    // is not one of the site numbers; the columns added by later versions are optional.
    explicit TEntry(const TSQLiteQuery& aTable);
    // The same with the columns found once for the whole query (the fast way to read many rows).
    TEntry(const TSQLiteQuery& aTable, const TEntryColumns& aColumns);
    // A row copied out of such a query (read on another thread than the query's).
    TEntry(const TCopiedRows::TRow& aRow, const TEntryColumns& aColumns);
    // A storage object written by SaveToDB.
    TEntry(TObjectsStorage& aStorage, int aObjectID);
    // An element of the older searches file.
    explicit TEntry(const pugi::xml_node& aNode);
    virtual ~TEntry() = default;
    TEntry(const TEntry&) = delete;
    TEntry& operator=(const TEntry&) = delete;

    // First virtual operation; favourites add their note.
    virtual void SaveToDB(TObjectsStorage& aStorage, int aObjectID) const;
    // Inserts the entries-table row, holding the entry's lock; runs inside the caller's transaction.
    void SaveToDBEntries(TObjectsStorage& aStorage, int aSearchID, const std::string& aType) const;

    void Assign(const TEntry& aEntry);
    // Replies to the advertiser at the entry's contact, looked up first when not known yet.
    // The entry is marked replied when the mail is handed to an account (so it is never
    // answered twice at once) and unmarked again when the account reports a failure. With
    // aWaitToSend the call returns once the account has answered; without, aOnSent hears
    // later, on the sending thread, how the send went.
    TReplyOutcome Reply(const IEntryReplyMessagePtr& aMessage, bool aWaitToSend, int aPriority,
                        std::function<void(const TReplyOutcome& aOutcome)> aOnSent = {});

    TSiteSearchEnum GetFromSite() const { return fFromSite; }
    const std::string& GetDate() const { return fDate; }
    const std::string& GetName() const { return fName; }
    double GetPrice() const { return fPrice; }
    const std::string& GetLocationString() const { return *fLocationString; }
    const std::string& GetCategoryString() const { return *fCategoryString; }
    const std::string& GetLink() const { return fLink; }
    bool GetHasImage() const { return fHasImage; }
    const std::string& GetDescription() const { return fDescription; }
    double GetLocalDateTime() const { return fLocalDateTime; }
    int GetMonth() const { return fMonth; }
    int GetDay() const { return fDay; }
    bool GetVisited() const { return fVisited; }
    bool GetNew() const { return fNew; }
    bool GetIncludeInEmailDigest() const { return fIncludeInEmailDigest; }
    int GetLocationID() const { return fLocationID; }
    bool GetChecked() const { return fChecked; }
    // The price before the last drop; negative when the price never dropped.
    double GetPriceWas() const { return fPriceWas; }
    bool GetPriceDropped() const { return fPriceWas >= 0; }
    // The link of the result this one is folded under (the same ad found elsewhere); empty when none.
    std::string GetDuplicateOf() const { return fDuplicateOf.Str(); }
    bool IsFolded() const { return !fDuplicateOf.empty(); }

    // What today's answers add: the place the site names, its coordinates, every picture.
    const std::string& GetPlace() const { return *fPlace; }
    bool GetHasGeo() const { return fHasGeo; }
    double GetLatitude() const { return fLatitude; }
    double GetLongitude() const { return fLongitude; }
    void SetPlace(const std::string& aValue);
    // Coordinates outside the globe's are none.
    void SetGeo(double aLatitude, double aLongitude);

    void SetDescription(const std::string& aValue) { SetStored(fDescription, aValue); }
    void SetName(const std::string& aValue) { SetStored(fName, aValue); }
    // A lower price: the current one becomes the price it was.
    void DropPrice(double aNewPrice);
    void SetDuplicateOf(const std::string& aLink) { SetStored(fDuplicateOf, TCompactText(aLink)); }
    void SetVisited(bool aValue) { SetStored(fVisited, aValue); }
    void SetNew(bool aValue) { SetStored(fNew, aValue); }
    void SetIncludeInEmailDigest(bool aValue) { fIncludeInEmailDigest = aValue; }
    void SetChecked(bool aValue) { fChecked = aValue; }
    // Queued for an automatic reply that has not gone out yet; the search stores the list.
    bool GetAwaitingAutoReply() const;
    void SetAwaitingAutoReply(bool aValue);

    // The ad's number taken from the first run of digits in the link; 1 when there is none.
    std::int64_t GetCraigsID();
    // The entry's place, looked up once; null when the id is not a known place.
    const TPlace* GetLocation(const TPlaceLookup& aLookup);

    // Locked fields.
    std::string GetContact() const;
    void SetContact(const std::string& aValue);
    bool GetNoContact() const;
    void SetNoContact(bool aValue);
    // Replied, or a reply to it is on its way: either way no second one starts.
    bool GetReplied() const;
    // Only a reply the mail server accepted: what the row stores.
    bool GetRepliedStored() const;
    void SetReplied(bool aValue);
    std::string GetImageUrl() const;
    void SetImageUrl(const std::string& aValue);
    // Pictures are JPEG bytes; an empty blob means no picture.
    TBlob GetOriginalImage() const;
    void SetOriginalImage(TBlob aImage);
    TBlob GetResizedImage() const;
    void SetResizedImage(TBlob aImage);
    bool HasOriginalImage() const;
    bool HasResizedImage() const;
    bool GetImageDownloading() const;
    void SetImageDownloading(bool aValue);
    // Every picture address of the ad, the first one first; the thumbnail is one of them.
    std::vector<std::string> GetPictureUrls() const;
    void SetPictureUrls(const std::vector<std::string>& aUrls);
    // A perceptual hash of the downloaded thumbnail (0: none yet): the same picture uploaded
    // twice has two names but nearly the same hash.
    std::uint64_t GetPictureHash() const;
    void SetPictureHash(std::uint64_t aHash);

    // Entries share a few locks, chosen by address: a lock each would cost more than the
    // rest of a typical entry, and the lock is only ever held to read or write fields.
    TCCriticalSection& GetCriticalSection() const;

    // How often a stored field changed since the entry was made; a save remembers the count
    // it wrote, so a change made while the row is written still counts as unsaved.
    std::uint32_t GetChangeCount() const { return fChangeCount.load(std::memory_order_acquire); }
    // Counts every change of every entry: a search whose results changed under it (a reply
    // accepted on a sending thread) learns from it that it has something to save.
    static std::uint64_t GetChangeEpoch() { return sChangeEpoch.load(std::memory_order_acquire); }

protected:
    void MarkChanged() {
        fChangeCount.fetch_add(1, std::memory_order_acq_rel);
        sChangeEpoch.fetch_add(1, std::memory_order_acq_rel);
    }
    void LoadFromObject(TObjectsStorage& aStorage, int aObjectID);
    template <class TRow>
    void LoadFromRow(const TRow& aRow, const TEntryColumns& aColumns);
    void LoadFromXMLNode(const pugi::xml_node& aNode);

private:
    void SetDateParts();
    void ComputeCraigsID();
    // The end of a reply handed to an account: accepted marks the entry replied for good.
    void ReplyEnded(bool aAccepted, bool aWasReplied);
    // Sets a field that the entries row stores; a different value marks the entry changed.
    template <class T>
    void SetStored(T& aField, const T& aValue) {
        if (aField == aValue) return;
        aField = aValue;
        MarkChanged();
    }

    // Pictures, when downloaded; most results never have one in memory.
    struct TPictures {
        TBlob fOriginal;
        TBlob fResized;
    };
    TPictures& Pictures();
    void SetPictures(TBlob aOriginal, TBlob aResized);
    void SetLocationString(std::string_view aText);
    void SetCategoryString(std::string_view aText);
    void SetPlaceString(std::string_view aText);

    // The fields are ordered to leave no gaps: a search may hold a million entries.
    std::string fDate;
    std::string fName;
    std::string fLink;
    std::string fDescription;
    const std::string* fPlace = &SharedText({});  // neighbourhoods repeat too
    const std::string* fLocationString = &SharedText({});  // shared with every entry of the same place
    const std::string* fCategoryString = &SharedText({});  // and of the same category
    TCompactText fContact;
    TCompactText fImageUrl;
    TCompactText fDuplicateOf;
    TCompactText fPictureUrls;  // TAB between addresses
    std::unique_ptr<TPictures> fPictures;
    const TPlace* fLocation = nullptr;
    double fPrice = -1;
    double fLocalDateTime = 0;
    double fPriceWas = -1;
    double fLatitude = 0;
    double fLongitude = 0;
    std::uint64_t fPictureHash = 0;
    std::int64_t fCraigsID = -1;
    TSiteSearchEnum fFromSite = ssCraigslist;
    int fLocationID = 0;
    std::int8_t fMonth = 0;
    std::int8_t fDay = 0;
    bool fHasImage = false;
    bool fHasGeo = false;
    bool fNoContact = false;
    bool fVisited = false;
    bool fNew = true;
    bool fIncludeInEmailDigest = false;
    bool fLocationLooked = false;
    bool fChecked = false;
    bool fReplied = false;
    bool fReplying = false;  // handed to an account, not accepted yet: never stored
    bool fAwaitingAutoReply = false;
    bool fImageDownloading = false;

    std::atomic<std::uint32_t> fChangeCount{0};
    static inline std::atomic<std::uint64_t> sChangeEpoch{0};
    // The change count the entries row holds, and the row (0: none yet). Only the saver of
    // the owning search touches these, one save at a time.
    std::uint32_t fSavedChangeCount = 0;
    bool fRowIsDeletedResult = false;
    std::int64_t fRowID = 0;

    friend class TEntriesWriter;
    friend class TResultRows;
};

// A result the user keeps, with a note.
class TFavourite : public TEntry {
public:
    TFavourite() = default;
    TFavourite(const TEntry& aEntry, const std::string& aNote);
    TFavourite(TObjectsStorage& aStorage, int aObjectID);
    explicit TFavourite(const pugi::xml_node& aNode);

    void SaveToDB(TObjectsStorage& aStorage, int aObjectID) const override;

    std::string GetNote() const;
    void SetNote(const std::string& aValue);

private:
    std::string fNote;
};

// Where each column of the entries table stands in a query's rows; -1 for a column the query
// lacks (files of older versions). Found once per query: finding them by name on every row
// is what made loading many results slow.
struct TEntryColumns {
    explicit TEntryColumns(const TSQLiteQuery& aTable);

    int fSite, fDateStr, fName, fPrice, fLocation, fCategory, fLink, fHasImage, fVisited, fNew, fLocationID;
    int fDescription, fReplied, fImageUrl, fOriginalImage, fResizedImage, fPriceWas, fDuplicateOf;
    int fContact, fNoContact;
    int fPlace, fLatitude, fLongitude, fPictures, fPictureHash;
    int fRowID;  // "rowid", when the query selects it
};

// Inserts many entries-table rows through one prepared statement: saving all searches
// writes every result, and preparing the statement once per row would dominate that save.
// Lives inside the caller's transaction; the database must outlive it.
class TEntriesWriter {
public:
    explicit TEntriesWriter(TSQLiteDB& aDB);
    ~TEntriesWriter();
    TEntriesWriter(const TEntriesWriter&) = delete;
    TEntriesWriter& operator=(const TEntriesWriter&) = delete;

    // Raise ESQLiteError when the row cannot be written. Insert answers the new row's id;
    // Update rewrites every column of an existing row.
    std::int64_t Insert(const TEntry& aEntry, int aSearchID, const std::string& aType);
    void Update(const TEntry& aEntry, std::int64_t aRowID, int aSearchID, const std::string& aType);

private:
    void BindColumns(sqlite3_stmt* aStmt, const TEntry& aEntry, int aSearchID, const std::string& aType);
    void Run(sqlite3_stmt* aStmt);

    TSQLiteDB& fDB;
    struct TStatement;
    std::unique_ptr<TStatement> fInsert;
    std::unique_ptr<TStatement> fUpdate;
};

}  // namespace trawlix
