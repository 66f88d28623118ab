#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "model/entry.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

class TObjectsStorage;
class TFilter;

// The fields a query can search, by index (the order of the "Filter by" list).
// "price drop" reads "dropped from <old price>" for a result whose price dropped, else nothing.
inline constexpr std::array<const char*, 8> cFilterByStr = {"any field", "date",     "caption", "price",
                                                             "location",  "category", "site",    "price drop"};
inline constexpr int cFilterByAnyField = 0;

// One text condition over a result entry.
class TFilterQuery {
public:
    explicit TFilterQuery(TFilter* aFilter);
    ~TFilterQuery();
    TFilterQuery(const TFilterQuery&) = delete;
    TFilterQuery& operator=(const TFilterQuery&) = delete;

    TFilter* GetParentFilter() const { return fParentFilter; }
    int GetFilterBy() const { return fFilterBy; }
    // An index outside the field list falls back to "any field".
    void SetFilterBy(int aValue);
    bool GetIsNOT() const { return fNOT; }
    void SetIsNOT(bool aValue) { fNOT = aValue; }
    const std::string& GetText() const { return fText; }
    // Trims; a text between slashes is a case-insensitive pattern and kept as typed,
    // any other text is lower-cased and searched for as a plain substring.
    void SetText(const std::string& aValue);
    bool GetIsRegEx() const { return fIsRegEx; }
    // "having "/"not having ", the quoted text with "&" doubled, "in", the field name.
    std::string GetCaption() const;

    std::string GetSearchedText(const TEntry& aEntry) const;
    // An invalid pattern matches no text (so a negated one passes every entry); it never raises.
    bool EntryPasses(const TEntry& aEntry) const;

    int SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    void LoadFromDB(TObjectsStorage& aStorage, int aObjectID);
    void LoadFromXMLNode(const pugi::xml_node& aXMLNode);

private:
    bool TextOccurs(const std::string& aSearched) const;

    TFilter* fParentFilter;
    int fFilterBy = cFilterByAnyField;
    bool fNOT = false;
    std::string fText;
    bool fIsRegEx = false;
    struct TPattern;
    std::unique_ptr<TPattern> fPattern;  // compiled from fText while fIsRegEx; null when invalid
};

// Compares two entries for sorting: negative, 0 or positive.
using TEntryCompare = std::function<int(const IEntry& aLeft, const IEntry& aRight)>;

// A search's results filter: an entry passes when the temporary query and every remembered
// query pass. A result folded under another shows in that one's row, so it passes only while
// folding is off. The lock is re-entrant: the main window holds it around calls that take it again.
class TFilter {
public:
    TFilter() = default;
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

    // The query being typed, created empty when there is none.
    TFilterQuery& TempQuery();
    bool HasTempQuery() const;
    // The temporary query becomes the last remembered one.
    void PostTempQuery(bool aEnterCS);
    void ClearTempQuery();
    // Removes and frees a remembered query; a query not in the list is ignored.
    void DeleteQuery(const TFilterQuery* aQuery);

    bool EntryPasses(const TEntry& aEntry, bool aThreadSafe) const;
    // The results become the passing entries of aEntries, in order; none without a list.
    void Execute(const TEntryList* aEntries);
    // Inserts a passing entry at aInsertAtPosition (clamped to the result count).
    void TryAddEntry(const IEntry& aEntry, int aInsertAtPosition);
    void SortResults(const TEntryCompare& aCompare);
    // Lets aReorder put the results in another order; it must keep exactly the entries it is given.
    void ReorderResults(const std::function<void(TEntryList&)>& aReorder);
    int GetResultsCount() const;
    void ClearResults();

    // Replaces the "query" children of the search's "filter" child; the temporary query is not kept.
    void SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    void FromDB(TObjectsStorage& aStorage, int aObjectID);
    void LoadFromXMLNode(const pugi::xml_node& aXMLNode);

    // Hold GetCriticalSection() while using these references.
    const std::vector<std::unique_ptr<TFilterQuery>>& GetQueries() const { return fQueries; }
    const TEntryList& GetResults() const { return fResults; }
    int GetQueriesCount() const;
    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }

private:
    std::unique_ptr<TFilterQuery> fTempQuery;
    std::vector<std::unique_ptr<TFilterQuery>> fQueries;
    mutable TCCriticalSection fCriticalSection{"TFilter.fCriticalSection"};
    TEntryList fResults;
};

}  // namespace trawlix
