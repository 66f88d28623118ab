#pragma once

#include <string>
#include <utility>
#include <vector>

#include "run/site_search_run.h"

namespace trawlix {

class TPlace;
class TProp;
class TPropertyContainer;

// The ids of the category nodes the car sites serve; every other category is ignored.
bool IsCarCategoryID(int aID);

// A whole number in [0, aLimit): the sites' random parameter, which keeps proxies and the
// sites' own caches from answering with an old page.
int RandomBelow(int aLimit);

// A number rounded to the nearest whole number, halves to even, as decimal text.
std::string RoundedText(double aValue);

// "min" + "&" + "max" pieces of a link: the key and the number, or the bare key when the
// number is not above 0. The "&" belongs to the minimum, so an unset range reads "k1=&k2=".
std::string RangeParams(const std::string& aMinKey, const std::string& aMinValue, bool aHasMin,
                        const std::string& aMaxKey, const std::string& aMaxValue, bool aHasMax);

// A pick-list value and the parameter text the site wants for it.
using TOptionParams = std::vector<std::pair<std::string, std::string>>;

// The car options of a search, read by name. A search whose container lacks one cannot be
// turned into a link: reading it raises, which ends the site's run before anything is fetched.
class TCarOptions {
public:
    explicit TCarOptions(const TPropertyContainer& aOptions) : fOptions(aOptions) {}

    std::string Raw(const std::string& aName) const;
    std::string Text(const std::string& aName) const;
    int Integer(const std::string& aName) const;
    double Number(const std::string& aName) const;
    bool Yes(const std::string& aName) const;
    // The parameter text of the option's value in aTable; aOtherwise for a value it lacks.
    std::string Param(const std::string& aName, const TOptionParams& aTable, const std::string& aOtherwise) const;

private:
    const TProp& Get(const std::string& aName) const;

    const TPropertyContainer& fOptions;
};

// What the two car sites share: links only for the car categories, one place at a time,
// each link made once, no page number on the lines (the page is inside the URL).
class TCarSiteSearch : public TSiteSearchRun {
public:
    using TSiteSearchRun::TSiteSearchRun;

    std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) override;

protected:
    // The links of one place and page; empty ones are dropped. Called with the search's lock held.
    virtual std::vector<std::string> MakePlaceLinks(const TPlace& aLocation, int aPageToDisplay) = 0;
};

// The hosts the links go to and the ads' links are built on: the settings' value, or the
// site's own host without a session or with an empty setting.
std::string CarsComHost();
std::string AutotraderHost();

}  // namespace trawlix
