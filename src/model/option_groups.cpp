#include "model/option_groups.h"

#include <mutex>

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

std::mutex gSiteGroupsMutex;
std::shared_ptr<const std::vector<TSiteOptionGroup>> gSiteGroups = std::make_shared<std::vector<TSiteOptionGroup>>();

std::shared_ptr<const std::vector<TSiteOptionGroup>> SiteOptionGroups() {
    std::lock_guard lock(gSiteGroupsMutex);
    return gSiteGroups;
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
        {YesNoProp("cats", "Cats"),
         YesNoProp("dogs", "Dogs"),
         {"bedrooms", "Bedrooms", ptPickList, {}, {"0+", "1", "2", "3", "4", "5", "6", "7", "8"}}}};
    return group;
}

const TPropGroup& JobsGroup() {
    static const TPropGroup group = {"Jobs",
                                     {YesNoProp("telecommute", "Telecommute"), YesNoProp("part_time", "Part Time"),
                                      YesNoProp("internship", "Internship"), YesNoProp("contract", "Contract"),
                                      YesNoProp("non_profit", "Non-Profit")}};
    return group;
}

const TPropGroup& PersonalsGroup() {
    static const TPropGroup group = {"",
                                     {{"age_min", "Age Min", ptInteger, cZeroUndefined, {}},
                                      {"age_max", "Age Max", ptInteger, cZeroUndefined, {}}}};
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

TPropDef YesNoProp(const char* aName, const char* aCaption) {
    return {aName, aCaption, ptBoolean, cNoUndefined, cBooleanYesNotSpecifiedValues};
}

void SetSiteOptionGroups(std::vector<TSiteOptionGroup> aGroups) {
    auto groups = std::make_shared<const std::vector<TSiteOptionGroup>>(std::move(aGroups));
    std::lock_guard lock(gSiteGroupsMutex);
    gSiteGroups = std::move(groups);
}

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
        bool fCountsAsGroup;  // the site groups never raise the new-options balloon alone
    };
    // The site groups come right after the prices, in the order they were installed.
    const auto siteGroups = SiteOptionGroups();
    std::vector<TStep> steps = {{PriceGroup(), aSelection.fForSale || aSelection.fHousing, true}};
    for (const auto& site : *siteGroups) steps.push_back({site.fGroup, site.fApplies(aSelection), false});
    steps.push_back({HousingGroup(), aSelection.fHousing, true});
    steps.push_back({JobsGroup(), aSelection.fJobs, true});
    steps.push_back({PersonalsGroup(), aSelection.fPersonals, true});
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
