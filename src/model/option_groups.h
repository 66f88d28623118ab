#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/property_container.h"

namespace trawlix {

// The catalogue of a search's option groups (prices, housing, jobs, personals, and the
// groups of single sites that the sites install): which apply to a selection, and the
// options of the searches stored before the option container existed.

// One option of a group: its stored name, its caption in the options grid, its type, the
// values that stand for "not set" and, for a pick list, the choices.
struct TPropDef {
    const char* fName;
    const char* fCaption;
    TPropType fType;
    TStringList fModifiedValues;
    TStringList fOptions;
};

// Options shown together, under a category caption ("" for none).
struct TPropGroup {
    const char* fCategory;
    std::vector<TPropDef> fProps;
};

// The "not set" values of the usual option kinds.
inline const TStringList cZeroUndefined = {"0=undefined"};
inline const TStringList cNoUndefined = {"no=undefined"};
inline const TStringList cEmptyUndefined = {"=undefined"};

// A yes / not specified option.
TPropDef YesNoProp(const char* aName, const char* aCaption);

// Which option groups a search's selection calls for: the top-level categories that are
// selected (checked or partly checked) and the two car-site switches.
struct TPropertySelection {
    bool fForSale = false;
    bool fHousing = false;
    bool fJobs = false;
    bool fPersonals = false;
    bool fCarsCom = false;
    bool fAutotrader = false;

    // From the names of the selected top-level categories, compared lower-cased.
    static TPropertySelection FromCategoryNames(const TStringList& aSelectedTopLevelNames, bool aCarsComChecked,
                                                bool aAutotraderChecked);
};

struct TFillPropertiesResult {
    bool fSomeGroupApplies = false;
    bool fSomethingNew = false;
    // The "More options are available..." balloon is due (unless the window is switching searches).
    bool NewOptionsAvailable() const { return fSomeGroupApplies && fSomethingNew; }
};

// The option group of a single site, shown when fApplies says the selection calls for it.
struct TSiteOptionGroup {
    TPropGroup fGroup;
    std::function<bool(const TPropertySelection&)> fApplies;
};

// The site groups the catalogue offers, in their order (after the price options); the
// sites install theirs when the program starts. Replaces those installed before.
void SetSiteOptionGroups(std::vector<TSiteOptionGroup> aGroups);

// Adds the option groups the selection calls for (keeping entered values) and deletes the others.
TFillPropertiesResult FillProperties(TPropertyContainer& aContainer, const TPropertySelection& aSelection);

// The option fields of searches stored before the container existed.
struct TOlderSearchOptions {
    int fPersonalsMinAge = 0;
    int fPersonalsMaxAge = 0;
    double fHousingMinRent = 0;
    double fHousingMaxRent = 0;
    int fHousingBathrooms = 0;  // the bedrooms count, as the older searches named it
    bool fHousingCats = false;
    bool fHousingDogs = false;
    double fForSaleMinPrice = 0;
    double fForSaleMaxPrice = 0;
    bool fJobsTelecommute = false;
    bool fJobsContract = false;
    bool fJobsInternship = false;
    bool fJobsPartTime = false;
    bool fJobsNonProfit = false;
};

// Turns the older option fields into properties of the same names and rules as FillProperties.
void ConvertOlderSearchOptions(TPropertyContainer& aContainer, const TOlderSearchOptions& aOptions);

// The price pair check of the options grid: refuses a minimum above a maximum when both are set.
// Returns the refusal message, or empty when the value may be stored.
std::string CheckPriceRange(const TPropertyContainer& aContainer, const std::string& aPropName,
                            const std::string& aNewValue);

}  // namespace trawlix
