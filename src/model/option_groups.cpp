#include "model/option_groups.h"

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

struct TPropDef {
    const char* fName;
    const char* fCaption;
    TPropType fType;
    TStringList fModifiedValues;
    TStringList fOptions;
};

struct TPropGroup {
    const char* fCategory;
    std::vector<TPropDef> fProps;
};

const TStringList cZeroUndefined = {"0=undefined"};
const TStringList cNoUndefined = {"no=undefined"};
const TStringList cEmptyUndefined = {"=undefined"};

TPropDef YesNo(const char* aName, const char* aCaption) {
    return {aName, aCaption, ptBoolean, cNoUndefined, cBooleanYesNotSpecifiedValues};
}

const TPropGroup& PriceGroup() {
    static const TPropGroup group = {"",
                                     {{"price_min", "Price Min", ptDouble, cZeroUndefined, {}},
                                      {"price_max", "Price Max", ptDouble, cZeroUndefined, {}}}};
    return group;
}

const TPropGroup& HousingGroup() {
    static const TPropGroup group = {
        "",
        {YesNo("cats", "Cats"),
         YesNo("dogs", "Dogs"),
         {"bedrooms", "Bedrooms", ptPickList, {}, {"0+", "1", "2", "3", "4", "5", "6", "7", "8"}}}};
    return group;
}

const TPropGroup& JobsGroup() {
    static const TPropGroup group = {"Jobs",
                                     {YesNo("telecommute", "Telecommute"), YesNo("part_time", "Part Time"),
                                      YesNo("internship", "Internship"), YesNo("contract", "Contract"),
                                      YesNo("non_profit", "Non-Profit")}};
    return group;
}

const TPropGroup& PersonalsGroup() {
    static const TPropGroup group = {"",
                                     {{"age_min", "Age Min", ptInteger, cZeroUndefined, {}},
                                      {"age_max", "Age Max", ptInteger, cZeroUndefined, {}}}};
    return group;
}

const TPropGroup& CarsComGroup() {
    static const TPropGroup group = {
        "Cars.com",
        {{"carscom_keywords", "Keywords", ptString, cEmptyUndefined, {}},
         {"carscom_keywords_mode", "Keywords Match", ptPickList, {}, {"all words", "any words", "exact phrase"}},
         {"carscom_car_usability", "Car Type", ptPickList, {}, {"new cars", "used cars", "certified used cars"}},
         {"carscom_body_style", "Body Style", ptPickList, {},
          {"all body styles", "convertible", "coupe", "full size van", "hatchback", "minivan", "pickup truck", "SUV",
           "sedan", "wagon"}},
         {"carscom_year_min", "Minimum Year", ptInteger, cZeroUndefined, {}},
         {"carscom_year_max", "Maximum Year", ptInteger, cZeroUndefined, {}},
         {"carscom_mileage_min", "Minimum Mileage", ptInteger, cZeroUndefined, {}},
         {"carscom_mileage_max", "Maximum Mileage", ptInteger, cZeroUndefined, {}},
         {"carscom_exterior_color", "Exterior Color", ptPickList, {},
          {"Any Color", "Beige", "Black", "Blue", "Brown", "Gold", "Gray", "Green", "Orange", "Pink", "Purple", "Red",
           "Silver", "White", "Yellow"}},
         {"carscom_drivetrain", "Drivetrain", ptPickList, {},
          {"Any Drive Train", "4x2/2-wheel drive", "4x4/4-wheel drive", "AWD", "FWD", "RWD"}},
         {"carscom_transmission", "Transmission", ptPickList, {},
          {"Any Transmission", "Automanual", "Automatic", "CVT", "Manual"}},
         YesNo("carscom_fuel_gasoline", "Fuel - Gasoline"),
         YesNo("carscom_fuel_e85_gasoline", "Fuel - E-85/Gasoline"),
         YesNo("carscom_fuel_gasoline_hybrid", "Fuel - Gasoline Hybrid"),
         YesNo("carscom_fuel_diesel", "Fuel - Diesel"),
         YesNo("carscom_fuel_electric", "Fuel - Electric"),
         YesNo("carscom_fuel_cng", "Fuel - CNG"),
         {"carscom_date", "Listings Placed Within", ptPickList, {},
          {"All Dates", "Last 1 Day", "Last 3 Days", "Last 7 Days", "Last 2 Weeks", "Last Month"}},
         {"carscom_seller_type", "Seller Type", ptPickList, {}, {"All Listing Types", "Private party + Classified"}}}};
    return group;
}

const TPropGroup& AutotraderGroup() {
    static const TPropGroup group = {
        "Autotrader.com",
        {{"autotrader_keywords", "Keywords", ptString, cEmptyUndefined, {}},
         {"autotrader_car_usability", "Car Type", ptPickList, {},
          {"All Cars", "New Cars", "Certified Cars", "Used Cars"}},
         {"autotrader_body_style", "Body Style", ptPickList, {},
          {"Any Body Styles", "Convertible", "Coupe", "Hatchback", "Sedan", "SUV", "Truck", "Van / Minivan", "Wagon"}},
         {"autotrader_year_min", "Minimum Year", ptInteger, cZeroUndefined, {}},
         {"autotrader_year_max", "Maximum Year", ptInteger, cZeroUndefined, {}},
         {"autotrader_seller_type", "Seller Type", ptPickList, {},
          {"Dealers and Private Sellers", "Dealers Only", "Private Sellers Only"}},
         {"autotrader_transmission", "Transmission", ptPickList, {}, {"Any Transmission", "Automatic", "Manual"}},
         {"autotrader_engine", "Engine", ptPickList, {},
          {"Any Engine", "3 Cylinder", "4 Cylinder", "5 Cylinder", "6 Cylinder", "8 Cylinder", "10 Cylinder",
           "12 Cylinder", "Rotary Engine", "Hybrid"}},
         {"autotrader_drivetrain", "Drivetrain", ptPickList, {},
          {"Any Drive", "2 wheel drive", "4 wheel drive", "All wheel drive"}},
         {"autotrader_doors", "Doors", ptPickList, {},
          {"Any Number", "Two Door", "Three Door", "Four Door", "Five Door"}},
         {"autotrader_fuel", "Fuel", ptPickList, {}, {"Any Fuel Type", "Alternative", "Diesel", "Gasoline"}},
         {"autotrader_mileage", "Mileage", ptPickList, {},
          {"Any Mileage", "Under 15,000", "Under 30,000", "Under 45,000", "Under 60,000", "Under 75,000",
           "Under 100,000", "Over 100,000"}},
         {"autotrader_exterior_color", "Exterior Color", ptPickList, {},
          {"Any Color", "Beige", "Black", "Blue", "Brown", "Burgundy", "Charcoal", "Gold", "Gray", "Green",
           "Off White", "Orange", "Pink", "Purple", "Red", "Silver", "Tan", "Turquoise", "White", "Yellow"}},
         YesNo("autotrader_with_photos", "With Photos Only"),
         YesNo("autotrader_with_prices", "With Prices Only"),
         YesNo("autotrader_special_offers", "Special Offers Only")}};
    return group;
}

const TPropDef* FindDef(const TPropGroup& aGroup, const std::string& aName) {
    for (const auto& def : aGroup.fProps)
        if (aName == def.fName) return &def;
    return nullptr;
}

TProp* AddFromDef(TPropertyContainer& aContainer, const TPropGroup& aGroup, const TPropDef& aDef, bool& aExists) {
    return aContainer.AddProp(aGroup.fCategory, aDef.fName, aDef.fCaption, aDef.fType, aDef.fOptions,
                              aDef.fModifiedValues, aExists);
}

// Adds the group's missing properties; true when one was missing.
bool AddGroup(TPropertyContainer& aContainer, const TPropGroup& aGroup) {
    bool somethingNew = false;
    for (const auto& def : aGroup.fProps) {
        bool exists = false;
        AddFromDef(aContainer, aGroup, def, exists);
        somethingNew = somethingNew || !exists;
    }
    return somethingNew;
}

void DeleteGroup(TPropertyContainer& aContainer, const TPropGroup& aGroup) {
    for (const auto& def : aGroup.fProps) aContainer.DeleteProp(def.fName);
}

// The older searches knew the same names; their values go through the usual input rules.
void SetOlderOption(TPropertyContainer& aContainer, const TPropGroup& aGroup, const char* aName,
                    const std::string& aValue) {
    bool exists = false;
    TProp* prop = AddFromDef(aContainer, aGroup, *FindDef(aGroup, aName), exists);
    std::string error;
    if (prop) prop->SetValue(aValue, error);
}

}  // namespace

TPropertySelection TPropertySelection::FromCategoryNames(const TStringList& aSelectedTopLevelNames,
                                                         bool aCarsComChecked, bool aAutotraderChecked) {
    TPropertySelection selection;
    for (const auto& name : aSelectedTopLevelNames) {
        const std::string lower = LowerCase(name);
        selection.fForSale = selection.fForSale || lower == "for sale";
        selection.fHousing = selection.fHousing || lower == "housing";
        selection.fJobs = selection.fJobs || lower == "jobs";
        selection.fPersonals = selection.fPersonals || lower == "personals";
    }
    selection.fCarsCom = aCarsComChecked;
    selection.fAutotrader = aAutotraderChecked;
    return selection;
}

TFillPropertiesResult FillProperties(TPropertyContainer& aContainer, const TPropertySelection& aSelection) {
    struct TStep {
        const TPropGroup& fGroup;
        bool fApplies;
        bool fCountsAsGroup;  // the car-site groups never raise the new-options balloon alone
    };
    const TStep steps[] = {
        {PriceGroup(), aSelection.fForSale || aSelection.fHousing, true},
        {CarsComGroup(), aSelection.fForSale && aSelection.fCarsCom, false},
        {AutotraderGroup(), aSelection.fForSale && aSelection.fAutotrader, false},
        {HousingGroup(), aSelection.fHousing, true},
        {JobsGroup(), aSelection.fJobs, true},
        {PersonalsGroup(), aSelection.fPersonals, true},
    };
    TFillPropertiesResult result;
    for (const auto& step : steps) {
        if (!step.fApplies) {
            DeleteGroup(aContainer, step.fGroup);
            continue;
        }
        if (AddGroup(aContainer, step.fGroup)) result.fSomethingNew = true;
        if (step.fCountsAsGroup) result.fSomeGroupApplies = true;
    }
    return result;
}

void ConvertOlderSearchOptions(TPropertyContainer& aContainer, const TOlderSearchOptions& aOptions) {
    if (aOptions.fPersonalsMinAge > 0)
        SetOlderOption(aContainer, PersonalsGroup(), "age_min", std::to_string(aOptions.fPersonalsMinAge));
    if (aOptions.fPersonalsMaxAge > 0)
        SetOlderOption(aContainer, PersonalsGroup(), "age_max", std::to_string(aOptions.fPersonalsMaxAge));
    if (aOptions.fHousingMinRent > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_min", FloatToStorageText(aOptions.fHousingMinRent));
    if (aOptions.fHousingMaxRent > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_max", FloatToStorageText(aOptions.fHousingMaxRent));
    if (aOptions.fHousingCats) SetOlderOption(aContainer, HousingGroup(), "cats", "yes");
    if (aOptions.fHousingDogs) SetOlderOption(aContainer, HousingGroup(), "dogs", "yes");
    if (aOptions.fHousingBathrooms > 0)
        SetOlderOption(aContainer, HousingGroup(), "bedrooms", std::to_string(aOptions.fHousingBathrooms));
    if (aOptions.fForSaleMinPrice > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_min", FloatToStorageText(aOptions.fForSaleMinPrice));
    if (aOptions.fForSaleMaxPrice > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_max", FloatToStorageText(aOptions.fForSaleMaxPrice));
    const std::pair<bool, const char*> jobs[] = {{aOptions.fJobsTelecommute, "telecommute"},
                                                 {aOptions.fJobsPartTime, "part_time"},
                                                 {aOptions.fJobsInternship, "internship"},
                                                 {aOptions.fJobsContract, "contract"},
                                                 {aOptions.fJobsNonProfit, "non_profit"}};
    for (const auto& [set, name] : jobs)
        if (set) SetOlderOption(aContainer, JobsGroup(), name, "yes");
}

std::string CheckPriceRange(const TPropertyContainer& aContainer, const std::string& aPropName,
                            const std::string& aNewValue) {
    static const std::string cRefusal = "The maximum price can not be lower than the minimum price. Please fix it.";
    if (aPropName != "price_min" && aPropName != "price_max") return {};
    const TProp* other = aContainer.GetPropByName(aPropName == "price_min" ? "price_max" : "price_min");
    double typed = 0;
    // A text that is no number skips the pair check; storing it will refuse it anyway.
    if (!other || other->GetPropType() != ptDouble || !TryStrToFloatSafe(aNewValue, typed)) return {};
    const double min = aPropName == "price_min" ? typed : other->AsDouble();
    const double max = aPropName == "price_min" ? other->AsDouble() : typed;
    return min > 0 && max > 0 && min > max ? cRefusal : std::string();
}

}  // namespace trawlix
