#include "model/filter.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <pugixml.hpp>

#include "engine/text_functions.h"
#include "model/duplicate_folding.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

// Bounds the work of one match, so that a careless pattern cannot hang a search run.
constexpr uint32_t cMatchLimit = 1000000;

}  // namespace

// --- the pattern of a query between slashes -----------------------------------------------

struct TFilterQuery::TPattern {
    pcre2_code* fCode = nullptr;
    ~TPattern() { pcre2_code_free(fCode); }

    static std::unique_ptr<TPattern> Compile(const std::string& aPattern) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(aPattern.data()), aPattern.size(),
                                         PCRE2_CASELESS | PCRE2_UTF | PCRE2_MATCH_INVALID_UTF, &error, &offset,
                                         nullptr);
        if (!code) return nullptr;
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // without JIT the interpreter does the same work
        auto pattern = std::make_unique<TPattern>();
        pattern->fCode = code;
        return pattern;
    }

    bool Matches(const std::string& aSubject) const {
        pcre2_match_data* data = pcre2_match_data_create_from_pattern(fCode, nullptr);
        pcre2_match_context* context = pcre2_match_context_create(nullptr);
        if (!data || !context) {
            pcre2_match_data_free(data);
            pcre2_match_context_free(context);
            return false;
        }
        pcre2_set_match_limit(context, cMatchLimit);
        const int rc =
            pcre2_match(fCode, reinterpret_cast<PCRE2_SPTR>(aSubject.data()), aSubject.size(), 0, 0, data, context);
        pcre2_match_data_free(data);
        pcre2_match_context_free(context);
        return rc >= 0;
    }
};

// --- TFilterQuery ----------------------------------------------------------------------

TFilterQuery::TFilterQuery(TFilter* aFilter) : fParentFilter(aFilter) {}

TFilterQuery::~TFilterQuery() = default;

void TFilterQuery::SetFilterBy(int aValue) {
    fFilterBy = aValue >= 0 && aValue < static_cast<int>(cFilterByStr.size()) ? aValue : cFilterByAnyField;
}

void TFilterQuery::SetText(const std::string& aValue) {
    fText = Trim(aValue);
    fIsRegEx = !fText.empty() && fText.front() == '/' && fText.back() == '/';
    fPattern.reset();
    if (!fIsRegEx) {
        fText = LowerCase(fText);
        return;
    }
    const std::string pattern = fText.size() >= 2 ? fText.substr(1, fText.size() - 2) : std::string();
    fPattern = TPattern::Compile(pattern);
}

std::string TFilterQuery::GetCaption() const {
    return std::string(fNOT ? "not having " : "having ") + "\"" + ReplaceAll(fText, "&", "&&") + "\" in " +
           cFilterByStr[static_cast<size_t>(fFilterBy)];
}

namespace {

// The entry's texts in the order of the "Filter by" list, after "any field".
std::array<std::string, cFilterByStr.size() - 1> FieldTexts(const TEntry& aEntry) {
    return {aEntry.GetDate(),
            aEntry.GetName(),
            FloatToStorageText(aEntry.GetPrice()),
            aEntry.GetLocationString(),
            aEntry.GetCategoryString(),
            cSiteSearchStr[static_cast<size_t>(aEntry.GetFromSite())],
            aEntry.GetPriceDropped() ? "dropped from " + FloatToStorageText(aEntry.GetPriceWas()) : std::string()};
}

}  // namespace

std::string TFilterQuery::GetSearchedText(const TEntry& aEntry) const {
    const auto fields = FieldTexts(aEntry);
    if (fFilterBy != cFilterByAnyField) return fields[static_cast<size_t>(fFilterBy) - 1];
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // The price drop comes after the six texts only where there is one, so that the joined
        // text of other results stays as it was.
        if (i + 1 == fields.size() && fields[i].empty()) break;
        joined += (i == 0 ? "" : " ") + fields[i];
    }
    return joined;
}

bool TFilterQuery::TextOccurs(const std::string& aSearched) const {
    if (fIsRegEx) return fPattern && fPattern->Matches(aSearched);
    return aSearched.find(fText) != std::string::npos;
}

bool TFilterQuery::EntryPasses(const TEntry& aEntry) const {
    bool occurs = false;
    if (fIsRegEx && fFilterBy == cFilterByAnyField) {
        // A pattern meets each field on its own, so that "^" and "$" anchor to a field.
        const auto fields = FieldTexts(aEntry);
        occurs = std::any_of(fields.begin(), fields.end(),
                             [this](const std::string& aField) { return TextOccurs(LowerCase(aField)); });
    } else {
        occurs = TextOccurs(LowerCase(GetSearchedText(aEntry)));
    }
    return fNOT ? !occurs : occurs;
}

int TFilterQuery::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int id = aStorage.AddObject("query", aParentID, "", true);
    if (id <= 0) return 0;
    aStorage.SetObjectProp(id, "filter_by", fFilterBy);
    aStorage.SetObjectProp(id, "not", fNOT);
    aStorage.SetObjectProp(id, "text", fText);
    return id;
}

void TFilterQuery::LoadFromDB(TObjectsStorage& aStorage, int aObjectID) {
    SetFilterBy(aStorage.GetObjectPropInt(aObjectID, "filter_by", 0));
    fNOT = aStorage.GetObjectPropBool(aObjectID, "not");
    // Through SetText, so that a remembered pattern is a pattern again and a text written
    // in upper case by another writer still matches.
    SetText(aStorage.GetObjectPropText(aObjectID, "text"));
}

void TFilterQuery::LoadFromXMLNode(const pugi::xml_node& aXMLNode) {
    SetFilterBy(aXMLNode.attribute("filter_by").as_int(0));
    fNOT = StorageTextToBool(aXMLNode.attribute("not").as_string());
    SetText(UnEscapeXML(aXMLNode.attribute("text").as_string()));
}

// --- TFilter ---------------------------------------------------------------------------

TFilterQuery& TFilter::TempQuery() {
    TCLock lock(fCriticalSection);
    if (!fTempQuery) fTempQuery = std::make_unique<TFilterQuery>(this);
    return *fTempQuery;
}

bool TFilter::HasTempQuery() const {
    TCLock lock(fCriticalSection);
    return fTempQuery != nullptr;
}

void TFilter::PostTempQuery(bool aEnterCS) {
    std::unique_lock<TCCriticalSection> lock(fCriticalSection, std::defer_lock);
    if (aEnterCS) lock.lock();
    if (fTempQuery) fQueries.push_back(std::move(fTempQuery));
}

void TFilter::ClearTempQuery() {
    TCLock lock(fCriticalSection);
    fTempQuery.reset();
}

void TFilter::DeleteQuery(const TFilterQuery* aQuery) {
    TCLock lock(fCriticalSection);
    auto it = std::find_if(fQueries.begin(), fQueries.end(), [&](const auto& q) { return q.get() == aQuery; });
    if (it != fQueries.end()) fQueries.erase(it);
}

bool TFilter::EntryPasses(const TEntry& aEntry, bool aThreadSafe) const {
    std::unique_lock<TCCriticalSection> lock(fCriticalSection, std::defer_lock);
    if (aThreadSafe) lock.lock();
    if (aEntry.IsFolded() && GetFoldDuplicates()) return false;
    if (fTempQuery && !fTempQuery->EntryPasses(aEntry)) return false;
    return std::all_of(fQueries.begin(), fQueries.end(), [&](const auto& q) { return q->EntryPasses(aEntry); });
}

void TFilter::Execute(const TEntryList* aEntries) {
    TCLock lock(fCriticalSection);
    fResults.clear();
    if (!aEntries) return;
    for (const IEntry& entry : *aEntries)
        if (entry && EntryPasses(*entry, false)) fResults.push_back(entry);
}

void TFilter::TryAddEntry(const IEntry& aEntry, int aInsertAtPosition) {
    TCLock lock(fCriticalSection);
    if (!aEntry || !EntryPasses(*aEntry, false)) return;
    const int position = std::clamp(aInsertAtPosition, 0, static_cast<int>(fResults.size()));
    fResults.insert(fResults.begin() + position, aEntry);
}

void TFilter::SortResults(const TEntryCompare& aCompare) {
    TCLock lock(fCriticalSection);
    std::stable_sort(fResults.begin(), fResults.end(),
                     [&](const IEntry& a, const IEntry& b) { return aCompare(a, b) < 0; });
}

void TFilter::ReorderResults(const std::function<void(TEntryList&)>& aReorder) {
    TCLock lock(fCriticalSection);
    aReorder(fResults);
}

int TFilter::GetResultsCount() const {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fResults.size());
}

int TFilter::GetQueriesCount() const {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fQueries.size());
}

void TFilter::ClearResults() {
    TCLock lock(fCriticalSection);
    fResults.clear();
}

void TFilter::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int filterID = aStorage.AddObject("filter", aParentID, "", false);
    if (filterID <= 0) return;
    aStorage.DeleteObjects("query", filterID, true);
    TCLock lock(fCriticalSection);
    for (const auto& query : fQueries) query->SaveToDB(aStorage, filterID);
}

void TFilter::FromDB(TObjectsStorage& aStorage, int aObjectID) {
    // A parent of 0 or less would mean "any parent" to the storage.
    if (aObjectID <= 0) return;
    TCLock lock(fCriticalSection);
    for (const IDBObject& object : aStorage.GetObjects("query", aObjectID)) {
        auto query = std::make_unique<TFilterQuery>(this);
        query->LoadFromDB(aStorage, object->GetID());
        fQueries.push_back(std::move(query));
    }
}

void TFilter::LoadFromXMLNode(const pugi::xml_node& aXMLNode) {
    TCLock lock(fCriticalSection);
    for (const pugi::xml_node& child : aXMLNode.children()) {
        if (child.type() != pugi::node_element) continue;
        auto query = std::make_unique<TFilterQuery>(this);
        query->LoadFromXMLNode(child);
        fQueries.push_back(std::move(query));
    }
}

}  // namespace trawlix
