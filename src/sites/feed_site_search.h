#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/critical_section.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/search.h"
#include "run/search_thread.h"
#include "run/site_search_run.h"

namespace trawlix {

// What the feed sites (Backpage, Oodle, eBay Classifieds) share: a place or a category
// maps to several site items, every pair of a place item and a category item is one
// query, and the search's options are read the same way for all of them.
class TFeedSiteSearch : public TSiteSearchRun {
protected:
    using TSiteSearchRun::TSiteSearchRun;

    // The option's stored value text; "0" when the search has no such option, so that a
    // missing option reads as "not set" and the query goes out unrestricted.
    std::string OptionText(const std::string& aName) const;
    // The stored value as a number; 0 when missing or not a number.
    double OptionNumber(const std::string& aName) const;
    // The stored value as a whole number (fractions cut off, clamped to int); 0 when missing.
    int OptionInteger(const std::string& aName) const;
    bool OptionYes(const std::string& aName) const;
    // The chosen bedrooms text ("0+" = any), "0+" when the search has no such option.
    std::string BedroomsText() const;

    // The pages to ask for: the search's pages for a run the user started, else 1.
    int PagesToFetch() const;

    // One line per distinct query: URL, place index and category index, for pages 1 to
    // aPages, category by category and place by place within each page. aMakeLink(place
    // item, category item, page) gives the URL, empty for none. Called without the search's
    // lock; takes it around each link.
    template <class TSitePlace, class TMakeLink>
    std::vector<std::string> MakeItemLinks(TBaseSearchThread& aThread, int aPages,
                                           TSitePlace& (TPlace::*aSiteRecord)() const, TMakeLink aMakeLink);
};

// The name of the category's main category: its parent's, or its own at the top.
std::string MainCategoryName(const TPlace& aCategory);
// The number rounded to a whole one, halves to even ("2.5" -> "2", "3.5" -> "4").
std::string WholeNumberText(double aValue);
// Replaces "&aName=0" by "&aName=aWord" where 0 is the whole value.
std::string ReplaceZeroParam(const std::string& aURL, const std::string& aName, const std::string& aWord);

template <class TSitePlace, class TMakeLink>
std::vector<std::string> TFeedSiteSearch::MakeItemLinks(TBaseSearchThread& aThread, int aPages,
                                                        TSitePlace& (TPlace::*aSiteRecord)() const,
                                                        TMakeLink aMakeLink) {
    std::vector<std::string> links;
    std::unordered_set<std::string> seen;
    ForEachPlaceAndCategory(aThread, aPages, [&](const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                                 int aCategoryIndex, int aPage) {
        const TSitePlace& placeRecord = (aPlace.*aSiteRecord)();
        const TSitePlace& categoryRecord = (aCategory.*aSiteRecord)();
        for (const auto& placeItem : placeRecord.GetItems()) {
            for (const auto& categoryItem : categoryRecord.GetItems()) {
                const std::string url = aMakeLink(*placeItem, *categoryItem, aPage);
                if (url.empty() || !seen.insert(url).second) continue;
                links.push_back(url + " " + std::to_string(aPlaceIndex) + " " + std::to_string(aCategoryIndex));
            }
        }
    });
    return links;
}

}  // namespace trawlix
