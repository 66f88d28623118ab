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

bool SameText(const std::string& aLeft, const std::string& aRight) { return LowerCase(aLeft) == LowerCase(aRight); }

bool TryParseInteger(const std::string& aText, int& aValue) {
    const char* first = aText.data();
    const char* last = aText.data() + aText.size();
    if (first != last && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, aValue);
    return first != last && ec == std::errc() && ptr == last;
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

}  // namespace trawlix
