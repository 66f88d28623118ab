#pragma once

#include <string>

#include "model/property_container.h"

namespace trawlix {

// The catalogue of a search's option groups (prices, housing, jobs, personals and the two
// car sites' groups): which apply to a selection, and the options of the searches stored
// before the option container existed.

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
