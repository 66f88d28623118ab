#include "model/property_container.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

const TStringList cBooleanYesNotSpecifiedValues = {"yes", "no"};

namespace {

std::string LowerCase(std::string aText) {
    for (auto& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return aText;
}

bool SameText(const std::string& aLeft, const std::string& aRight) { return LowerCase(aLeft) == LowerCase(aRight); }

bool TryParseInteger(const std::string& aText, int& aValue) {
    const char* first = aText.data();
    const char* last = aText.data() + aText.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, aValue);
    return first != last && ec == std::errc() && ptr == last;
}

// Either decimal mark is accepted, as users type both.
bool TryStrToFloatSafe(const std::string& aText, double& aValue) {
    try {
        aValue = StrToFloatSafe(aText);
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

std::string FormatNumber(double aValue) { return FloatToStorageText(aValue); }

// Splits stored substitute lines; a final line break ends the last line.
TStringList SplitLines(const std::string& aText) {
    TStringList lines;
    std::string line;
    for (size_t i = 0; i < aText.size(); ++i) {
        const char c = aText[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string JoinLines(const TStringList& aLines) {
    std::string text;
    for (const auto& line : aLines) text += line + "\r\n";
    return text;
}

int IndexOfText(const TStringList& aList, const std::string& aText) {
    for (size_t i = 0; i < aList.size(); ++i)
        if (SameText(aList[i], aText)) return static_cast<int>(i);
    return -1;
}

}  // namespace

// --- TProp -----------------------------------------------------------------------------

std::unique_ptr<TProp> TProp::NewOfType(TPropType aType) {
    switch (aType) {
        case ptInteger: return std::make_unique<TIntegerProp>();
        case ptDouble: return std::make_unique<TDoubleProp>();
        case ptString: return std::make_unique<TStringProp>();
        case ptBoolean: return std::make_unique<TBooleanProp>();
        case ptPickList: return std::make_unique<TPickProp>();
        default: return nullptr;
    }
}

std::unique_ptr<TProp> TProp::CreateProp(TPropType aType) {
    std::unique_ptr<TProp> prop = NewOfType(aType);
    if (!prop) return nullptr;
    prop->Initialize();
    prop->fDefaultValue = prop->fValue;
    prop->fPropType = aType;
    return prop;
}

std::unique_ptr<TProp> TProp::CreateProp(const std::string& aCategory, const std::string& aName,
                                         const std::string& aCaption, TPropType aType,
                                         const TStringList& aPickListOptions, const TStringList& aModifiedValues) {
    std::unique_ptr<TProp> prop = CreateProp(aType);
    if (prop) prop->Load(aCategory, aName, aCaption, aPickListOptions, aModifiedValues);
    return prop;
}

std::unique_ptr<TProp> TProp::CreateProp(TObjectsStorage& aStorage, int aObjectID) {
    const int type = aStorage.GetObjectPropInt(aObjectID, "prop_type", -1);
    if (type < ptInteger || type >= ptComplex) return nullptr;
    std::unique_ptr<TProp> prop = CreateProp(static_cast<TPropType>(type));
    prop->Load(aStorage, aObjectID);
    return prop;
}

void TProp::Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
                 const TStringList&, const TStringList& aModifiedValues) {
    fCategory = aCategory;
    fName = aName;
    fCaption = aCaption;
    fModifiedValues.insert(fModifiedValues.end(), aModifiedValues.begin(), aModifiedValues.end());
}

void TProp::Load(TObjectsStorage& aStorage, int aObjectID) {
    fName = aStorage.GetObjectPropText(aObjectID, "name");
    fCaption = aStorage.GetObjectPropText(aObjectID, "caption");
    fValue = aStorage.GetObjectPropText(aObjectID, "value");
    fModifiedValues = SplitLines(aStorage.GetObjectPropText(aObjectID, "modified_values"));
    fCategory = aStorage.GetObjectPropText(aObjectID, "category");
    RepairLoadedValue();
}

int TProp::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int id = aStorage.AddObject("prop", aParentID, "", true);
    if (id <= 0) return 0;
    aStorage.SetObjectProp(id, "name", fName);
    aStorage.SetObjectProp(id, "caption", fCaption);
    aStorage.SetObjectProp(id, "value", fValue);
    aStorage.SetObjectProp(id, "prop_type", static_cast<int>(fPropType));
    aStorage.SetObjectProp(id, "modified_values", JoinLines(fModifiedValues));
    aStorage.SetObjectProp(id, "category", fCategory);
    return id;
}

void TProp::GetPickList(TStringList& aValues) const { aValues.clear(); }

bool TProp::SetValueCommon(const std::string& aValue, std::string& aTrimmed, std::string& aErrorMsg) {
    aTrimmed = Trim(aValue);
    if (!aTrimmed.empty()) return false;
    fValue = fDefaultValue;
    aErrorMsg.clear();
    return true;
}

bool TProp::SetValue(const std::string& aValue, std::string& aErrorMsg) {
    std::string trimmed;
    return SetValueCommon(aValue, trimmed, aErrorMsg);
}

std::string TProp::AsString() const { return ModifyStringValue(fValue); }

int TProp::AsInteger() const { throw std::logic_error("The option \"" + fName + "\" is not a whole number."); }

double TProp::AsDouble() const { throw std::logic_error("The option \"" + fName + "\" is not a number."); }

bool TProp::AsBoolean() const { throw std::logic_error("The option \"" + fName + "\" is not a yes/no option."); }

std::string TProp::ModifyStringValue(const std::string& aValue) const {
    for (const auto& line : fModifiedValues) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(line.substr(0, eq), aValue)) return line.substr(eq + 1);
    }
    return aValue;
}

std::string TProp::GetOriginalValueIfModified(const std::string& aValue) const {
    for (const auto& line : fModifiedValues) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(line.substr(eq + 1), aValue)) return line.substr(0, eq);
    }
    return aValue;
}

// --- TIntegerProp ------------------------------------------------------------------------

void TIntegerProp::Initialize() { fValue = "0"; }

void TIntegerProp::RepairLoadedValue() {
    int value = 0;
    if (!TryParseInteger(fValue, value)) fValue = fDefaultValue;
}

bool TIntegerProp::SetValue(const std::string& aValue, std::string& aErrorMsg) {
    std::string v;
    if (SetValueCommon(aValue, v, aErrorMsg)) return true;
    v = GetOriginalValueIfModified(v);
    int value = 0;
    if (!TryParseInteger(v, value)) {
        aErrorMsg = "\"" + v + "\" is not a valid integer value.";
        return false;
    }
    fValue = std::to_string(value);
    aErrorMsg.clear();
    return true;
}

int TIntegerProp::AsInteger() const {
    int value = 0;
    return TryParseInteger(fValue, value) ? value : 0;
}

// --- TDoubleProp -------------------------------------------------------------------------

void TDoubleProp::Initialize() { fValue = "0"; }

void TDoubleProp::RepairLoadedValue() {
    double value = 0;
    if (!TryStrToFloatSafe(fValue, value)) fValue = fDefaultValue;
}

bool TDoubleProp::SetValue(const std::string& aValue, std::string& aErrorMsg) {
    std::string v;
    if (SetValueCommon(aValue, v, aErrorMsg)) return true;
    v = GetOriginalValueIfModified(v);
    double value = 0;
    if (!TryStrToFloatSafe(v, value)) {
        aErrorMsg = "\"" + v + "\" is not a valid floating point value.";
        return false;
    }
    fValue = FormatNumber(value);
    aErrorMsg.clear();
    return true;
}

double TDoubleProp::AsDouble() const {
    double value = 0;
    return TryStrToFloatSafe(fValue, value) ? value : 0;
}

// --- TStringProp -------------------------------------------------------------------------

void TStringProp::Initialize() { fValue.clear(); }

bool TStringProp::SetValue(const std::string& aValue, std::string& aErrorMsg) {
    std::string v;
    if (SetValueCommon(aValue, v, aErrorMsg)) return true;
    fValue = GetOriginalValueIfModified(v);
    aErrorMsg.clear();
    return true;
}

// --- TPickProp ---------------------------------------------------------------------------

void TPickProp::Initialize() {
    fValue = "0";
    fEditStyle = esPickList;
}

void TPickProp::Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
                     const TStringList& aPickListOptions, const TStringList& aModifiedValues) {
    TProp::Load(aCategory, aName, aCaption, aPickListOptions, aModifiedValues);
    fOptions.insert(fOptions.end(), aPickListOptions.begin(), aPickListOptions.end());
}

void TPickProp::Load(TObjectsStorage& aStorage, int aObjectID) {
    TProp::Load(aStorage, aObjectID);
    if (IDBObject options = aStorage.GetObject("options", aObjectID))
        for (const IDBObject& option : aStorage.GetObjects("option", options->GetID()))
            fOptions.push_back(option->GetData());
    RepairLoadedValue();
}

int TPickProp::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int id = TProp::SaveToDB(aStorage, aParentID);
    if (id <= 0) return id;
    const int optionsID = aStorage.AddObject("options", id, "", false);
    if (optionsID <= 0) return id;
    aStorage.DeleteObjects("", optionsID, true);
    for (const auto& option : fOptions) aStorage.AddObject("option", optionsID, option, true);
    return id;
}

void TPickProp::RepairLoadedValue() {
    // Runs once before the options are read (nothing to check yet) and once after.
    if (fOptions.empty()) return;
    if (!ChosenOption()) fValue = fDefaultValue;
}

const std::string* TPickProp::ChosenOption() const {
    int index = -1;
    if (!TryParseInteger(fValue, index) || index < 0 || index >= static_cast<int>(fOptions.size())) return nullptr;
    return &fOptions[static_cast<size_t>(index)];
}

void TPickProp::GetPickList(TStringList& aValues) const {
    aValues.clear();
    for (const auto& option : fOptions) aValues.push_back(ModifyStringValue(option));
}

bool TPickProp::SetValue(const std::string& aValue, std::string& aErrorMsg) {
    std::string v;
    if (SetValueCommon(aValue, v, aErrorMsg)) return true;
    v = GetOriginalValueIfModified(v);
    const int index = IndexOfText(fOptions, v);
    if (index < 0) {
        aErrorMsg = "\"" + v + "\" is not a value from the drop-down list.";
        return false;
    }
    fValue = std::to_string(index);
    aErrorMsg.clear();
    return true;
}

std::string TPickProp::AsString() const {
    const std::string* option = ChosenOption();
    return option ? ModifyStringValue(*option) : std::string();
}

// --- TBooleanProp ------------------------------------------------------------------------

void TBooleanProp::Initialize() {
    TPickProp::Initialize();
    fValue = "1";
}

void TBooleanProp::Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
                        const TStringList& aPickListOptions, const TStringList& aModifiedValues) {
    TPickProp::Load(aCategory, aName, aCaption,
                    aPickListOptions.empty() ? cBooleanYesNotSpecifiedValues : aPickListOptions, aModifiedValues);
}

bool TBooleanProp::AsBoolean() const {
    const std::string* option = ChosenOption();
    if (!option) return false;
    return StorageTextToBool(Trim(YesNoToTrueFalse(*option)));
}

// --- comparer and container --------------------------------------------------------------

int TPropComparer(const TProp& aLeft, const TProp& aRight) {
    int result = aLeft.GetCategory().compare(aRight.GetCategory());
    if (result == 0) result = aLeft.GetName().compare(aRight.GetName());
    return result > 0 ? 1 : (result < 0 ? -1 : 0);
}

TProp* TPropertyContainer::AddProp(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
                                   TPropType aType, const TStringList& aPickListOptions,
                                   const TStringList& aModifiedValues, bool& aExists) {
    if (TProp* existing = GetPropByName(aName)) {
        aExists = true;
        return existing;
    }
    aExists = false;
    std::unique_ptr<TProp> prop = TProp::CreateProp(aCategory, aName, aCaption, aType, aPickListOptions,
                                                    aModifiedValues);
    if (!prop) return nullptr;
    fProps.push_back(std::move(prop));
    return fProps.back().get();
}

void TPropertyContainer::DeleteProp(const std::string& aName) {
    auto it = std::find_if(fProps.begin(), fProps.end(), [&](const auto& p) { return p->GetName() == aName; });
    if (it != fProps.end()) fProps.erase(it);
}

TProp* TPropertyContainer::GetPropByName(const std::string& aName) const {
    for (const auto& prop : fProps)
        if (prop->GetName() == aName) return prop.get();
    return nullptr;
}

void TPropertyContainer::Clear() { fProps.clear(); }

void TPropertyContainer::SortProps() {
    std::stable_sort(fProps.begin(), fProps.end(),
                     [](const auto& a, const auto& b) { return TPropComparer(*a, *b) < 0; });
}

void TPropertyContainer::Render() {
    if (!fValueListEditor) return;
    if (fOnFillWithProperties) fOnFillWithProperties(*this);
    fValueListEditor->ClearRows();
    if (fProps.empty()) return;
    SortProps();
    std::string category;
    for (const auto& prop : fProps) {
        if (prop->GetCategory() != category) {
            category = prop->GetCategory();
            fValueListEditor->AddHeadingRow(category);
        }
        fValueListEditor->AddPropRow(prop->GetName(), prop->AsString(), *prop, prop->GetEditStyle(),
                                     prop->GetCaption());
    }
    fValueListEditor->SelectLastValueCell();
    fValueListEditor->Redraw();
}

void TPropertyContainer::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int containerID = aStorage.AddObject("property_container", aParentID, "", false);
    if (containerID <= 0) return;
    aStorage.DeleteObjects("prop", containerID, true);
    for (const auto& prop : fProps) prop->SaveToDB(aStorage, containerID);
}

void TPropertyContainer::LoadFromDB(TObjectsStorage& aStorage, int aObjectID) {
    // A parent of 0 or less would mean "any parent" to the storage.
    if (aObjectID <= 0) return;
    for (const IDBObject& object : aStorage.GetObjects("prop", aObjectID)) {
        std::unique_ptr<TProp> prop = TProp::CreateProp(aStorage, object->GetID());
        // Rows without a usable type, and a second row of a name already read, are left out.
        if (!prop || GetPropByName(prop->GetName())) continue;
        fProps.push_back(std::move(prop));
    }
}

// --- the option groups -------------------------------------------------------------------

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
        SetOlderOption(aContainer, PriceGroup(), "price_min", FormatNumber(aOptions.fHousingMinRent));
    if (aOptions.fHousingMaxRent > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_max", FormatNumber(aOptions.fHousingMaxRent));
    if (aOptions.fHousingCats) SetOlderOption(aContainer, HousingGroup(), "cats", "yes");
    if (aOptions.fHousingDogs) SetOlderOption(aContainer, HousingGroup(), "dogs", "yes");
    if (aOptions.fHousingBathrooms > 0)
        SetOlderOption(aContainer, HousingGroup(), "bedrooms", std::to_string(aOptions.fHousingBathrooms));
    if (aOptions.fForSaleMinPrice > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_min", FormatNumber(aOptions.fForSaleMinPrice));
    if (aOptions.fForSaleMaxPrice > 0)
        SetOlderOption(aContainer, PriceGroup(), "price_max", FormatNumber(aOptions.fForSaleMaxPrice));
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
    static const std::string cRefusal = "The maximum price can not be lower then the minimum price. Please fix it.";
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
