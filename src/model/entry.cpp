#include "model/entry.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <pugixml.hpp>

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

bool ParseInt64(std::string_view aText, std::int64_t& aValue) {
    const char* first = aText.data();
    const char* last = aText.data() + aText.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, aValue);
    return ec == std::errc() && ptr == last && first != last;
}

bool ParseInt(std::string_view aText, int& aValue) {
    std::int64_t value = 0;
    if (!ParseInt64(aText, value) || value < INT32_MIN || value > INT32_MAX) return false;
    aValue = static_cast<int>(value);
    return true;
}

bool IsKnownSite(std::int64_t aSite) { return aSite >= 0 && aSite < cSiteSearchCount; }

pugi::xml_node RequiredChild(const pugi::xml_node& aNode, const char* aName) {
    pugi::xml_node child = aNode.child(aName);
    if (!child) throw EEntryLoadError(std::string("A stored result has no \"") + aName + "\" element.");
    return child;
}

std::string ChildText(const pugi::xml_node& aNode, const char* aName) {
    return RequiredChild(aNode, aName).text().get();
}

double ChildPrice(const pugi::xml_node& aNode) {
    const std::string text = ChildText(aNode, "price");
    try {
        return StrToFloatSafe(text);
    } catch (const std::invalid_argument&) {
        throw EEntryLoadError("The \"price\" element of a stored result holds \"" + text + "\", which is not a number.");
    }
}

// The row's text, unescaped in the string that the entry keeps: one allocation per text,
// and none for an empty one.
template <class TRow>
std::string StoredText(const TRow& aTable, int aColumn) {
    if (aColumn < 0) return {};
    std::string text(aTable.FieldAsView(aColumn));
    if (HasSQLEscapes(text)) UnEscapeSQLInPlace(text);
    return text;
}

// A text many rows repeat, kept once: only a text with escaped characters needs a copy.
template <class TRow>
const std::string& StoredSharedText(const TRow& aTable, int aColumn) {
    if (aColumn < 0) return SharedText({});
    const std::string_view raw = aTable.FieldAsView(aColumn);
    if (!HasSQLEscapes(raw)) return SharedText(raw);
    std::string text(raw);
    UnEscapeSQLInPlace(text);
    return SharedText(text);
}

template <class TRow>
std::string_view StoredRaw(const TRow& aTable, int aColumn) {
    return aColumn < 0 ? std::string_view() : aTable.FieldAsView(aColumn);
}

template <class TRow>
bool StoredBool(const TRow& aTable, int aColumn) {
    if (aColumn < 0) return false;
    const std::string_view text = aTable.FieldAsView(aColumn);
    // The two forms every writer uses, without making a string of them.
    if (text == "-1") return true;
    if (text == "0") return false;
    return StorageTextToBool(std::string(text));
}

template <class TRow>
TBlob StoredBlob(const TRow& aTable, int aColumn) {
    return aColumn < 0 || aTable.FieldIsNull(aColumn) ? TBlob() : aTable.FieldAsBlob(aColumn);
}

// Coordinates are stored as text, empty for an ad without them.
std::string GeoText(bool aHasGeo, double aValue) { return aHasGeo ? FloatToStorageText(aValue) : std::string(); }

bool ParseGeo(std::string_view aLatitude, std::string_view aLongitude, double& aLatitudeValue,
              double& aLongitudeValue) {
    if (aLatitude.empty() || aLongitude.empty()) return false;
    aLatitudeValue = StorageTextToFloat(std::string(aLatitude));
    aLongitudeValue = StorageTextToFloat(std::string(aLongitude));
    return aLatitudeValue >= -90 && aLatitudeValue <= 90 && aLongitudeValue >= -180 && aLongitudeValue <= 180;
}

// The hash as sixteen hex digits; empty for none.
std::string HashText(std::uint64_t aHash) {
    if (aHash == 0) return {};
    char text[17];
    const auto [end, error] = std::to_chars(text, text + 16, aHash, 16);
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::uint64_t ParseHash(std::string_view aText) {
    std::uint64_t hash = 0;
    const auto [end, error] = std::from_chars(aText.data(), aText.data() + aText.size(), hash, 16);
    return error == std::errc() && end == aText.data() + aText.size() ? hash : 0;
}

TSiteSearchEnum StoredSite(std::string_view aText) {
    std::int64_t site = 0;
    if (!ParseInt64(aText, site))
        throw EEntryLoadError("The stored site \"" + std::string(aText) + "\" is not a number.");
    if (!IsKnownSite(site)) throw EEntryLoadError("The stored site " + std::string(aText) + " is not a known site.");
    return static_cast<TSiteSearchEnum>(site);
}

}  // namespace

// --- TEntry ----------------------------------------------------------------------------

TEntry::TEntry() = default;

TEntry::TEntry(TSiteSearchEnum aFromSite, const std::string& aDate, const std::string& aName,
               const std::string& aLink, double aPrice, const std::string& aLocationString,
               const std::string& aCategoryString, bool aHasImage, int aLocationID, double aLocalDateTime,
               const std::string& aDescription, const std::string& aContact, const std::string& aImageUrl)
    : fDate(aDate),
      fName(aName),
      fLink(aLink),
      fDescription(aDescription),
      fLocationString(&SharedText(aLocationString)),
      fCategoryString(&SharedText(aCategoryString)),
      fContact(aContact),
      fImageUrl(aImageUrl),
      fPrice(aPrice),
      fLocalDateTime(aLocalDateTime),
      fFromSite(aFromSite),
      fLocationID(aLocationID),
      fHasImage(aHasImage) {
    SetDateParts();
    ComputeCraigsID();
}

TEntry::TEntry(const IEntry& aEntry) {
    if (aEntry) Assign(*aEntry);
}

TEntryColumns::TEntryColumns(const TSQLiteQuery& aTable)
    : fSite(aTable.FieldIndex("site")),
      fDateStr(aTable.FieldIndex("date_str")),
      fName(aTable.FieldIndex("name")),
      fPrice(aTable.FieldIndex("price")),
      fLocation(aTable.FieldIndex("location")),
      fCategory(aTable.FieldIndex("category")),
      fLink(aTable.FieldIndex("link")),
      fHasImage(aTable.FieldIndex("has_image")),
      fVisited(aTable.FieldIndex("visited")),
      fNew(aTable.FieldIndex("new")),
      fLocationID(aTable.FieldIndex("location_id")),
      fDescription(aTable.FieldIndex("description")),
      fReplied(aTable.FieldIndex("replied")),
      fImageUrl(aTable.FieldIndex("image_url")),
      fOriginalImage(aTable.FieldIndex("original_image")),
      fResizedImage(aTable.FieldIndex("resized_image")),
      fPriceWas(aTable.FieldIndex("price_was")),
      fDuplicateOf(aTable.FieldIndex("duplicate_of")),
      fContact(aTable.FieldIndex("contact")),
      fNoContact(aTable.FieldIndex("no_contact")),
      fPlace(aTable.FieldIndex("place")),
      fLatitude(aTable.FieldIndex("latitude")),
      fLongitude(aTable.FieldIndex("longitude")),
      fPictures(aTable.FieldIndex("pictures")),
      fPictureHash(aTable.FieldIndex("picture_hash")),
      fRowID(aTable.FieldIndex("rowid")) {}

TEntry::TEntry(const TSQLiteQuery& aTable) : TEntry(aTable, TEntryColumns(aTable)) {}

TEntry::TEntry(const TSQLiteQuery& aTable, const TEntryColumns& aColumns) { LoadFromRow(aTable, aColumns); }

TEntry::TEntry(const TCopiedRows::TRow& aRow, const TEntryColumns& aColumns) { LoadFromRow(aRow, aColumns); }

template <class TRow>
void TEntry::LoadFromRow(const TRow& aTable, const TEntryColumns& aColumns) {
    fFromSite = StoredSite(StoredRaw(aTable, aColumns.fSite));
    fDate = StoredText(aTable, aColumns.fDateStr);
    fName = StoredText(aTable, aColumns.fName);
    fPrice = StorageTextToFloat(std::string(StoredRaw(aTable, aColumns.fPrice)));
    SetLocationString(StoredSharedText(aTable, aColumns.fLocation));
    SetCategoryString(StoredSharedText(aTable, aColumns.fCategory));
    fLink = StoredText(aTable, aColumns.fLink);
    fHasImage = StoredBool(aTable, aColumns.fHasImage);
    fVisited = StoredBool(aTable, aColumns.fVisited);
    fNew = StoredBool(aTable, aColumns.fNew);
    if (!ParseInt(StoredRaw(aTable, aColumns.fLocationID), fLocationID)) fLocationID = 0;
    // Files of older versions lack the columns below.
    fDescription = StoredText(aTable, aColumns.fDescription);
    fReplied = StoredBool(aTable, aColumns.fReplied);
    fImageUrl = StoredText(aTable, aColumns.fImageUrl);
    SetPictures(StoredBlob(aTable, aColumns.fOriginalImage), StoredBlob(aTable, aColumns.fResizedImage));
    const std::string_view priceWas = StoredRaw(aTable, aColumns.fPriceWas);
    fPriceWas = priceWas.empty() ? -1 : StorageTextToFloat(std::string(priceWas));
    fDuplicateOf = StoredText(aTable, aColumns.fDuplicateOf);  // rarely set: no temporary worth avoiding
    fContact = StoredText(aTable, aColumns.fContact);
    fNoContact = StoredBool(aTable, aColumns.fNoContact);
    SetPlaceString(StoredSharedText(aTable, aColumns.fPlace));
    fHasGeo = ParseGeo(StoredRaw(aTable, aColumns.fLatitude), StoredRaw(aTable, aColumns.fLongitude), fLatitude,
                       fLongitude);
    fPictureUrls = StoredText(aTable, aColumns.fPictures);
    fPictureHash = ParseHash(StoredRaw(aTable, aColumns.fPictureHash));
    if (aColumns.fRowID >= 0) fRowID = aTable.FieldAsInteger(aColumns.fRowID);
    SetDateParts();
    ComputeCraigsID();
}

TEntry::TEntry(TObjectsStorage& aStorage, int aObjectID) { LoadFromObject(aStorage, aObjectID); }

TEntry::TEntry(const pugi::xml_node& aNode) { LoadFromXMLNode(aNode); }

void TEntry::LoadFromObject(TObjectsStorage& aStorage, int aObjectID) {
    // A favourite is worth more than its site number: an unknown site reads as the default.
    const int site = aStorage.GetObjectPropInt(aObjectID, "site", 0);
    fFromSite = IsKnownSite(site) ? static_cast<TSiteSearchEnum>(site) : ssCraigslist;
    fDate = aStorage.GetObjectPropText(aObjectID, "date_str");
    fName = aStorage.GetObjectPropText(aObjectID, "name");
    fPrice = aStorage.GetObjectPropFloat(aObjectID, "price");
    SetLocationString(aStorage.GetObjectPropText(aObjectID, "location"));
    SetCategoryString(aStorage.GetObjectPropText(aObjectID, "category"));
    fLink = aStorage.GetObjectPropText(aObjectID, "link");
    fHasImage = aStorage.GetObjectPropBool(aObjectID, "has_image");
    fVisited = aStorage.GetObjectPropBool(aObjectID, "visited");
    fNew = aStorage.GetObjectPropBool(aObjectID, "new");
    fLocationID = aStorage.GetObjectPropInt(aObjectID, "location_id", 0);
    fDescription = aStorage.GetObjectPropText(aObjectID, "description");
    fReplied = aStorage.GetObjectPropBool(aObjectID, "replied");
    fImageUrl = aStorage.GetObjectPropText(aObjectID, "image_url");
    SetPictures(aStorage.GetObjectPropBlob(aObjectID, "original_image"),
                aStorage.GetObjectPropBlob(aObjectID, "resized_image"));
    if (aStorage.ObjectPropExists(aObjectID, "price_was")) fPriceWas = aStorage.GetObjectPropFloat(aObjectID, "price_was");
    fContact = aStorage.GetObjectPropText(aObjectID, "contact");
    fNoContact = aStorage.GetObjectPropBool(aObjectID, "no_contact");
    SetPlaceString(aStorage.GetObjectPropText(aObjectID, "place"));
    fHasGeo = ParseGeo(aStorage.GetObjectPropText(aObjectID, "latitude"),
                       aStorage.GetObjectPropText(aObjectID, "longitude"), fLatitude, fLongitude);
    fPictureUrls = aStorage.GetObjectPropText(aObjectID, "pictures");
    fPictureHash = ParseHash(aStorage.GetObjectPropText(aObjectID, "picture_hash"));
    SetDateParts();
    ComputeCraigsID();
}

void TEntry::LoadFromXMLNode(const pugi::xml_node& aNode) {
    const int site = aNode.attribute("site").as_int(0);
    if (!IsKnownSite(site)) throw EEntryLoadError("The stored site " + std::to_string(site) + " is not a known site.");
    fFromSite = static_cast<TSiteSearchEnum>(site);
    fDate = ChildText(aNode, "date");
    fName = UnEscapeXML(ChildText(aNode, "name"));
    fPrice = ChildPrice(aNode);
    SetLocationString(UnEscapeXML(ChildText(aNode, "location")));
    SetCategoryString(UnEscapeXML(ChildText(aNode, "category")));
    fLink = UnEscapeXML(ChildText(aNode, "link"));
    fHasImage = StorageTextToBool(ChildText(aNode, "has_image"));
    fVisited = StorageTextToBool(ChildText(aNode, "visited"));
    fNew = StorageTextToBool(ChildText(aNode, "new"));
    if (!ParseInt(aNode.child("location_id").text().get(), fLocationID)) fLocationID = 0;
    SetDateParts();
    ComputeCraigsID();
}

void TEntry::SetDateParts() {
    if (fDate.empty()) {
        fMonth = 0;
        fDay = 0;
        return;
    }
    std::string month;
    int day = 0;
    DisassembleCraigsDate(fDate, month, day);
    // A day or month outside a calendar's is read as none.
    fDay = static_cast<std::int8_t>(day >= 0 && day <= 31 ? day : 0);
    const int monthNumber = CraigsMonthToInt(month);
    fMonth = static_cast<std::int8_t>(monthNumber >= 0 && monthNumber <= 12 ? monthNumber : 0);
}

namespace {

// Where the address's path begins: the host name may hold digits ("craigslist2.example")
// that are no part of the posting's id.
size_t PathStart(const std::string& aLink) {
    const size_t scheme = aLink.find("://");
    if (scheme == std::string::npos) return 0;
    const size_t path = aLink.find('/', scheme + 3);
    return path == std::string::npos ? aLink.size() : path;
}

}  // namespace

void TEntry::ComputeCraigsID() {
    const size_t start = fLink.find_first_of("0123456789", PathStart(fLink));
    if (start == std::string::npos) {
        fCraigsID = 1;
        return;
    }
    size_t end = fLink.find_first_not_of("0123456789", start);
    if (end == std::string::npos) end = fLink.size();
    std::int64_t id = 0;
    fCraigsID = ParseInt64(fLink.substr(start, end - start), id) ? id : 1;
}

std::int64_t TEntry::GetCraigsID() {
    if (fCraigsID < 0) ComputeCraigsID();
    return fCraigsID;
}

const TPlace* TEntry::GetLocation(const TPlaceLookup& aLookup) {
    if (!fLocationLooked && aLookup) {
        fLocation = aLookup(fLocationID);
        fLocationLooked = true;
    }
    return fLocation;
}

void TEntry::DropPrice(double aNewPrice) {
    fPriceWas = fPrice;
    fPrice = aNewPrice;
    MarkChanged();
}

void TEntry::Assign(const TEntry& aEntry) {
    if (&aEntry == this) return;
    fFromSite = aEntry.fFromSite;
    fDate = aEntry.fDate;
    fName = aEntry.fName;
    fPrice = aEntry.fPrice;
    fLocationString = aEntry.fLocationString;
    fCategoryString = aEntry.fCategoryString;
    fLink = aEntry.fLink;
    fHasImage = aEntry.fHasImage;
    SetDateParts();
    ComputeCraigsID();
    fVisited = aEntry.fVisited;
    fNew = aEntry.fNew;
    fLocationID = aEntry.fLocationID;
    fLocation = nullptr;
    fLocationLooked = false;
    fDescription = aEntry.fDescription;
    fPriceWas = aEntry.fPriceWas;
    fDuplicateOf = aEntry.fDuplicateOf;
    fPlace = aEntry.fPlace;
    fHasGeo = aEntry.fHasGeo;
    fLatitude = aEntry.fLatitude;
    fLongitude = aEntry.fLongitude;
    // The source's locked fields are read under its lock, then written under ours.
    TCompactText contact, imageUrl, pictureUrls;
    std::uint64_t pictureHash = 0;
    bool replied = false, noContact = false;
    std::unique_ptr<TPictures> pictures;
    {
        TCLock lock(aEntry.GetCriticalSection());
        contact = aEntry.fContact;
        replied = aEntry.fReplied;
        noContact = aEntry.fNoContact;
        imageUrl = aEntry.fImageUrl;
        pictureUrls = aEntry.fPictureUrls;
        pictureHash = aEntry.fPictureHash;
        if (aEntry.fPictures) pictures = std::make_unique<TPictures>(*aEntry.fPictures);
    }
    TCLock lock(GetCriticalSection());
    fContact = std::move(contact);
    fReplied = replied;
    fNoContact = noContact;
    fImageUrl = std::move(imageUrl);
    fPictureUrls = std::move(pictureUrls);
    fPictureHash = pictureHash;
    fPictures = std::move(pictures);
    MarkChanged();
}

void TEntry::SaveToDB(TObjectsStorage& aStorage, int aObjectID) const {
    TCLock lock(GetCriticalSection());
    aStorage.SetObjectProp(aObjectID, "site", static_cast<int>(fFromSite));
    aStorage.SetObjectProp(aObjectID, "date_str", fDate);
    aStorage.SetObjectProp(aObjectID, "name", fName);
    aStorage.SetObjectProp(aObjectID, "price", fPrice);
    aStorage.SetObjectProp(aObjectID, "location", *fLocationString);
    aStorage.SetObjectProp(aObjectID, "category", *fCategoryString);
    aStorage.SetObjectProp(aObjectID, "link", fLink);
    aStorage.SetObjectProp(aObjectID, "has_image", fHasImage);
    aStorage.SetObjectProp(aObjectID, "visited", fVisited);
    aStorage.SetObjectProp(aObjectID, "new", fNew);
    aStorage.SetObjectProp(aObjectID, "location_id", fLocationID);
    aStorage.SetObjectProp(aObjectID, "description", fDescription);
    aStorage.SetObjectProp(aObjectID, "replied", fReplied);
    aStorage.SetObjectProp(aObjectID, "image_url", fImageUrl.Str());
    aStorage.SetObjectProp(aObjectID, "original_image", fPictures ? fPictures->fOriginal : TBlob());
    aStorage.SetObjectProp(aObjectID, "resized_image", fPictures ? fPictures->fResized : TBlob());
    if (fPriceWas >= 0) aStorage.SetObjectProp(aObjectID, "price_was", fPriceWas);
    aStorage.SetObjectProp(aObjectID, "contact", fContact.Str());
    aStorage.SetObjectProp(aObjectID, "no_contact", fNoContact);
    aStorage.SetObjectProp(aObjectID, "place", *fPlace);
    aStorage.SetObjectProp(aObjectID, "latitude", GeoText(fHasGeo, fLatitude));
    aStorage.SetObjectProp(aObjectID, "longitude", GeoText(fHasGeo, fLongitude));
    aStorage.SetObjectProp(aObjectID, "pictures", fPictureUrls.Str());
    aStorage.SetObjectProp(aObjectID, "picture_hash", HashText(fPictureHash));
}

void TEntry::SaveToDBEntries(TObjectsStorage& aStorage, int aSearchID, const std::string& aType) const {
    TEntriesWriter writer(aStorage.SQLLiteDB());
    writer.Insert(*this, aSearchID, aType);
}

TCCriticalSection& TEntry::GetCriticalSection() const {
    static constexpr std::size_t cLockCount = 64;
    static TCCriticalSection locks[cLockCount];
    // Entries are at least 16 bytes apart; the low bits say nothing.
    return locks[(reinterpret_cast<std::uintptr_t>(this) >> 4) % cLockCount];
}

void TEntry::SetLocationString(std::string_view aText) { fLocationString = &SharedText(aText); }

void TEntry::SetCategoryString(std::string_view aText) { fCategoryString = &SharedText(aText); }

void TEntry::SetPlaceString(std::string_view aText) { fPlace = &SharedText(aText); }

void TEntry::SetPlace(const std::string& aValue) {
    if (*fPlace == aValue) return;
    SetPlaceString(aValue);
    MarkChanged();
}

void TEntry::SetGeo(double aLatitude, double aLongitude) {
    const bool valid = aLatitude >= -90 && aLatitude <= 90 && aLongitude >= -180 && aLongitude <= 180;
    if (valid == fHasGeo && (!valid || (aLatitude == fLatitude && aLongitude == fLongitude))) return;
    fHasGeo = valid;
    fLatitude = valid ? aLatitude : 0;
    fLongitude = valid ? aLongitude : 0;
    MarkChanged();
}

TEntry::TPictures& TEntry::Pictures() {
    if (!fPictures) fPictures = std::make_unique<TPictures>();
    return *fPictures;
}

void TEntry::SetPictures(TBlob aOriginal, TBlob aResized) {
    if (aOriginal.empty() && aResized.empty()) {
        fPictures.reset();
        return;
    }
    Pictures() = {std::move(aOriginal), std::move(aResized)};
}

std::string TEntry::GetContact() const {
    TCLock lock(GetCriticalSection());
    return fContact.Str();
}

void TEntry::SetContact(const std::string& aValue) {
    TCLock lock(GetCriticalSection());
    SetStored(fContact, TCompactText(aValue));
}

bool TEntry::GetNoContact() const { return Locked(GetCriticalSection(), fNoContact); }

void TEntry::SetNoContact(bool aValue) {
    TCLock lock(GetCriticalSection());
    SetStored(fNoContact, aValue);
}

bool TEntry::GetReplied() const {
    TCLock lock(GetCriticalSection());
    return fReplied || fReplying;
}

bool TEntry::GetAwaitingAutoReply() const { return Locked(GetCriticalSection(), fAwaitingAutoReply); }

void TEntry::SetAwaitingAutoReply(bool aValue) {
    TCLock lock(GetCriticalSection());
    if (fAwaitingAutoReply == aValue) return;
    fAwaitingAutoReply = aValue;
    // Not a column of the row: only the epoch moves, so that the search stores its list.
    sChangeEpoch.fetch_add(1, std::memory_order_acq_rel);
}

bool TEntry::GetRepliedStored() const { return Locked(GetCriticalSection(), fReplied); }

void TEntry::SetReplied(bool aValue) {
    TCLock lock(GetCriticalSection());
    SetStored(fReplied, aValue);
}

std::string TEntry::GetImageUrl() const {
    TCLock lock(GetCriticalSection());
    return fImageUrl.Str();
}

void TEntry::SetImageUrl(const std::string& aValue) {
    TCLock lock(GetCriticalSection());
    SetStored(fImageUrl, TCompactText(aValue));
}

TBlob TEntry::GetOriginalImage() const {
    TCLock lock(GetCriticalSection());
    return fPictures ? fPictures->fOriginal : TBlob();
}

void TEntry::SetOriginalImage(TBlob aImage) {
    TCLock lock(GetCriticalSection());
    Pictures().fOriginal = std::move(aImage);
    MarkChanged();
}

TBlob TEntry::GetResizedImage() const {
    TCLock lock(GetCriticalSection());
    return fPictures ? fPictures->fResized : TBlob();
}

void TEntry::SetResizedImage(TBlob aImage) {
    TCLock lock(GetCriticalSection());
    Pictures().fResized = std::move(aImage);
    MarkChanged();
}

bool TEntry::HasOriginalImage() const {
    TCLock lock(GetCriticalSection());
    return fPictures && !fPictures->fOriginal.empty();
}

bool TEntry::HasResizedImage() const {
    TCLock lock(GetCriticalSection());
    return fPictures && !fPictures->fResized.empty();
}

bool TEntry::GetImageDownloading() const { return Locked(GetCriticalSection(), fImageDownloading); }

void TEntry::SetImageDownloading(bool aValue) { SetLocked(GetCriticalSection(), fImageDownloading, aValue); }

std::vector<std::string> TEntry::GetPictureUrls() const {
    std::string urls;
    {
        TCLock lock(GetCriticalSection());
        urls = fPictureUrls.Str();
    }
    std::vector<std::string> list;
    for (size_t start = 0; start < urls.size();) {
        const size_t end = std::min(urls.find('\t', start), urls.size());
        if (end > start) list.push_back(urls.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

void TEntry::SetPictureUrls(const std::vector<std::string>& aUrls) {
    std::string urls;
    for (const std::string& url : aUrls) {
        // A TAB would split one address in two when read back.
        if (url.empty() || url.find('\t') != std::string::npos) continue;
        if (!urls.empty()) urls += '\t';
        urls += url;
    }
    TCLock lock(GetCriticalSection());
    SetStored(fPictureUrls, TCompactText(urls));
}

std::uint64_t TEntry::GetPictureHash() const { return Locked(GetCriticalSection(), fPictureHash); }

void TEntry::SetPictureHash(std::uint64_t aHash) {
    TCLock lock(GetCriticalSection());
    SetStored(fPictureHash, aHash);
}

// --- TFavourite ------------------------------------------------------------------------

TFavourite::TFavourite(const TEntry& aEntry, const std::string& aNote) : fNote(aNote) { Assign(aEntry); }

TFavourite::TFavourite(TObjectsStorage& aStorage, int aObjectID) {
    LoadFromObject(aStorage, aObjectID);
    fNote = aStorage.GetObjectPropText(aObjectID, "note");
}

TFavourite::TFavourite(const pugi::xml_node& aNode) {
    LoadFromXMLNode(aNode);
    fNote = UnEscapeXML(ChildText(aNode, "note"));
}

void TFavourite::SaveToDB(TObjectsStorage& aStorage, int aObjectID) const {
    TEntry::SaveToDB(aStorage, aObjectID);
    aStorage.SetObjectProp(aObjectID, "note", GetNote());
}

std::string TFavourite::GetNote() const {
    TCLock lock(GetCriticalSection());
    return fNote;
}

void TFavourite::SetNote(const std::string& aValue) {
    TCLock lock(GetCriticalSection());
    if (fNote == aValue) return;
    fNote = aValue;
    MarkChanged();
}

// --- TEntriesWriter --------------------------------------------------------------------

struct TEntriesWriter::TStatement {
    sqlite3_stmt* fStmt = nullptr;
    ~TStatement() { sqlite3_finalize(fStmt); }
};

namespace {

constexpr const char* cInsertEntrySQL =
    "insert into entries (search_id, type, site, date_str, name, price, location, category, link, has_image, "
    "visited, new, location_id, description, replied, image_url, original_image, resized_image, price_was, duplicate_of, "
    "contact, no_contact, place, latitude, longitude, pictures, picture_hash) "
    "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, "
    "?23, ?24, ?25, ?26, ?27)";

// The same parameter numbers as the insert, so that one binding serves both; the row's id
// stands far behind them, clear of any column added later.
constexpr int cRowIDParameter = 100;
constexpr const char* cUpdateEntrySQL =
    "update entries set search_id = ?1, type = ?2, site = ?3, date_str = ?4, name = ?5, price = ?6, "
    "location = ?7, category = ?8, link = ?9, has_image = ?10, visited = ?11, new = ?12, location_id = ?13, "
    "description = ?14, replied = ?15, image_url = ?16, original_image = ?17, resized_image = ?18, "
    "price_was = ?19, duplicate_of = ?20, contact = ?21, no_contact = ?22, place = ?23, latitude = ?24, longitude = ?25, pictures = ?26, "
    "picture_hash = ?27 where rowid = ?100";

void Check(sqlite3* aDB, int aCode) {
    if (aCode != SQLITE_OK && aCode != SQLITE_DONE && aCode != SQLITE_ROW)
        throw ESQLiteError(sqlite3_errmsg(aDB), aCode);
}

void BindText(sqlite3* aDB, sqlite3_stmt* aStmt, int aIndex, const std::string& aText) {
    Check(aDB, sqlite3_bind_text(aStmt, aIndex, aText.data(), static_cast<int>(aText.size()), SQLITE_TRANSIENT));
}

void BindBlob(sqlite3* aDB, sqlite3_stmt* aStmt, int aIndex, const TBlob& aBlob) {
    // An empty blob, not NULL: readers tell "no picture" by the length.
    Check(aDB, sqlite3_bind_blob(aStmt, aIndex, aBlob.empty() ? "" : static_cast<const void*>(aBlob.data()),
                                 static_cast<int>(aBlob.size()), SQLITE_TRANSIENT));
}

}  // namespace

TEntriesWriter::TEntriesWriter(TSQLiteDB& aDB)
    : fDB(aDB), fInsert(std::make_unique<TStatement>()), fUpdate(std::make_unique<TStatement>()) {
    sqlite3* db = fDB.Handle();
    Check(db, sqlite3_prepare_v2(db, cInsertEntrySQL, -1, &fInsert->fStmt, nullptr));
}

TEntriesWriter::~TEntriesWriter() = default;

std::int64_t TEntriesWriter::Insert(const TEntry& aEntry, int aSearchID, const std::string& aType) {
    BindColumns(fInsert->fStmt, aEntry, aSearchID, aType);
    Run(fInsert->fStmt);
    return sqlite3_last_insert_rowid(fDB.Handle());
}

void TEntriesWriter::Update(const TEntry& aEntry, std::int64_t aRowID, int aSearchID, const std::string& aType) {
    sqlite3* db = fDB.Handle();
    // Prepared on first use: most saves change no stored result.
    if (!fUpdate->fStmt) Check(db, sqlite3_prepare_v2(db, cUpdateEntrySQL, -1, &fUpdate->fStmt, nullptr));
    BindColumns(fUpdate->fStmt, aEntry, aSearchID, aType);
    Check(db, sqlite3_bind_int64(fUpdate->fStmt, cRowIDParameter, aRowID));
    Run(fUpdate->fStmt);
}

void TEntriesWriter::BindColumns(sqlite3_stmt* aStmt, const TEntry& aEntry, int aSearchID, const std::string& aType) {
    sqlite3* db = fDB.Handle();
    sqlite3_stmt* stmt = aStmt;
    TCLock lock(aEntry.GetCriticalSection());
    sqlite3_reset(stmt);
    Check(db, sqlite3_bind_int(stmt, 1, aSearchID));
    BindText(db, stmt, 2, aType);
    Check(db, sqlite3_bind_int(stmt, 3, static_cast<int>(aEntry.fFromSite)));
    BindText(db, stmt, 4, EscapeSQL(aEntry.fDate));
    // Titles are stored whole: with UTF-8 text nothing needs dropping, and dropping every
    // character from "~" up would strip accented letters from every saved title.
    BindText(db, stmt, 5, EscapeSQL(aEntry.fName));
    BindText(db, stmt, 6, FloatToStorageText(aEntry.fPrice));
    BindText(db, stmt, 7, EscapeSQL(*aEntry.fLocationString));
    BindText(db, stmt, 8, EscapeSQL(*aEntry.fCategoryString));
    BindText(db, stmt, 9, EscapeSQL(aEntry.fLink));
    BindText(db, stmt, 10, BoolToStorageText(aEntry.fHasImage));
    BindText(db, stmt, 11, BoolToStorageText(aEntry.fVisited));
    BindText(db, stmt, 12, BoolToStorageText(aEntry.fNew));
    Check(db, sqlite3_bind_int(stmt, 13, aEntry.fLocationID));
    BindText(db, stmt, 14, EscapeSQL(aEntry.fDescription));
    BindText(db, stmt, 15, BoolToStorageText(aEntry.fReplied));
    BindText(db, stmt, 16, EscapeSQL(aEntry.fImageUrl.Str()));
    static const TBlob noPicture;
    BindBlob(db, stmt, 17, aEntry.fPictures ? aEntry.fPictures->fOriginal : noPicture);
    BindBlob(db, stmt, 18, aEntry.fPictures ? aEntry.fPictures->fResized : noPicture);
    BindText(db, stmt, 19, aEntry.fPriceWas >= 0 ? FloatToStorageText(aEntry.fPriceWas) : std::string());
    BindText(db, stmt, 20, EscapeSQL(aEntry.fDuplicateOf.Str()));
    BindText(db, stmt, 21, EscapeSQL(aEntry.fContact.Str()));
    BindText(db, stmt, 22, BoolToStorageText(aEntry.fNoContact));
    BindText(db, stmt, 23, EscapeSQL(*aEntry.fPlace));
    BindText(db, stmt, 24, GeoText(aEntry.fHasGeo, aEntry.fLatitude));
    BindText(db, stmt, 25, GeoText(aEntry.fHasGeo, aEntry.fLongitude));
    BindText(db, stmt, 26, EscapeSQL(aEntry.fPictureUrls.Str()));
    BindText(db, stmt, 27, HashText(aEntry.fPictureHash));
}

void TEntriesWriter::Run(sqlite3_stmt* aStmt) {
    sqlite3* db = fDB.Handle();
    const int code = sqlite3_step(aStmt);
    if (code != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_reset(aStmt);
        throw ESQLiteError(message, code);
    }
    sqlite3_reset(aStmt);
}

}  // namespace trawlix
