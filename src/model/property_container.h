#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trawlix {

class TObjectsStorage;

// Stored as the ordinal; ptComplex has no property class.
enum TPropType : std::uint8_t { ptInteger = 0, ptDouble = 1, ptString = 2, ptBoolean = 3, ptPickList = 4, ptComplex = 5 };

// How a grid cell edits its value.
enum TEditStyle : std::uint8_t { esSimple = 0, esEllipsis = 1, esPickList = 2 };

using TStringList = std::vector<std::string>;

// The choices of every boolean option: index 0 is "yes", index 1 is "no".
extern const TStringList cBooleanYesNotSpecifiedValues;

// One typed option of a search. The value is kept as text; substitutes ("0=undefined")
// map a stored value ("0") to the text the user sees and types ("undefined").
class TProp {
public:
    virtual ~TProp() = default;
    TProp(const TProp&) = delete;
    TProp& operator=(const TProp&) = delete;

    // A new property of the class for aType, filled in memory; null for a type without a class.
    static std::unique_ptr<TProp> CreateProp(const std::string& aCategory, const std::string& aName,
                                             const std::string& aCaption, TPropType aType,
                                             const TStringList& aPickListOptions, const TStringList& aModifiedValues);
    static std::unique_ptr<TProp> CreateProp(TPropType aType);
    // Reads "prop_type" (-1 when missing) and loads the stored property; null for a type without a class.
    static std::unique_ptr<TProp> CreateProp(TObjectsStorage& aStorage, int aObjectID);

    virtual void Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
                      const TStringList& aPickListOptions, const TStringList& aModifiedValues);
    virtual void Load(TObjectsStorage& aStorage, int aObjectID);
    // Adds a new "prop" object under aParentID and returns its id.
    virtual int SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    // The choices in shown form; empty for a property without choices.
    virtual void GetPickList(TStringList& aValues) const;
    // Stores the typed input; on refusal leaves the value alone and explains in aErrorMsg.
    virtual bool SetValue(const std::string& aValue, std::string& aErrorMsg);
    // The value in shown form.
    virtual std::string AsString() const;
    // Typed readers; each exists only on its own class and raises std::logic_error elsewhere.
    virtual int AsInteger() const;
    virtual double AsDouble() const;
    virtual bool AsBoolean() const;

    std::string ModifyStringValue(const std::string& aValue) const;
    std::string GetOriginalValueIfModified(const std::string& aValue) const;

    const std::string& GetName() const { return fName; }
    const std::string& GetCaption() const { return fCaption; }
    const std::string& GetRawValue() const { return fValue; }
    const std::string& GetDefaultValue() const { return fDefaultValue; }
    const std::string& GetCategory() const { return fCategory; }
    const TStringList& GetModifiedValues() const { return fModifiedValues; }
    TPropType GetPropType() const { return fPropType; }
    TEditStyle GetEditStyle() const { return fEditStyle; }
    bool HoldsDefaultValue() const { return fValue == fDefaultValue; }

protected:
    TProp() = default;
    virtual void Initialize() = 0;
    // A stored value this class cannot read goes back to the default.
    virtual void RepairLoadedValue() {}
    // Trims the input; an empty input restores the default and answers true.
    bool SetValueCommon(const std::string& aValue, std::string& aTrimmed, std::string& aErrorMsg);

    std::string fName;
    std::string fCaption;
    std::string fValue;
    std::string fDefaultValue;
    TStringList fModifiedValues;
    std::string fCategory;
    TPropType fPropType = ptString;
    TEditStyle fEditStyle = esEllipsis;

private:
    static std::unique_ptr<TProp> NewOfType(TPropType aType);
};

class TIntegerProp : public TProp {
public:
    bool SetValue(const std::string& aValue, std::string& aErrorMsg) override;
    int AsInteger() const override;

protected:
    void Initialize() override;
    void RepairLoadedValue() override;
};

class TDoubleProp : public TProp {
public:
    bool SetValue(const std::string& aValue, std::string& aErrorMsg) override;
    double AsDouble() const override;

protected:
    void Initialize() override;
    void RepairLoadedValue() override;
};

class TStringProp : public TProp {
public:
    bool SetValue(const std::string& aValue, std::string& aErrorMsg) override;

protected:
    void Initialize() override;
};

// The value is the 0-based index of the chosen option, so option order is stored data.
class TPickProp : public TProp {
public:
    void Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
              const TStringList& aPickListOptions, const TStringList& aModifiedValues) override;
    void Load(TObjectsStorage& aStorage, int aObjectID) override;
    int SaveToDB(TObjectsStorage& aStorage, int aParentID) const override;
    void GetPickList(TStringList& aValues) const override;
    bool SetValue(const std::string& aValue, std::string& aErrorMsg) override;
    std::string AsString() const override;

    const TStringList& GetOptions() const { return fOptions; }

protected:
    void Initialize() override;
    void RepairLoadedValue() override;
    // The chosen option, or null when the index does not name one.
    const std::string* ChosenOption() const;

    TStringList fOptions;
};

// "yes"/"no" choices; starts at "no".
class TBooleanProp : public TPickProp {
public:
    void Load(const std::string& aCategory, const std::string& aName, const std::string& aCaption,
              const TStringList& aPickListOptions, const TStringList& aModifiedValues) override;
    using TPickProp::Load;
    bool AsBoolean() const override;

protected:
    void Initialize() override;
};

// Orders by category, then name, byte by byte: -1, 0 or 1.
int TPropComparer(const TProp& aLeft, const TProp& aRight);

// What the container renders into: the options grid of the main window, or a test double.
class TPropertyGrid {
public:
    virtual ~TPropertyGrid() = default;
    virtual void ClearRows() = 0;
    // A read-only row naming a group of options.
    virtual void AddHeadingRow(const std::string& aCategory) = 0;
    virtual void AddPropRow(const std::string& aKey, const std::string& aValue, TProp& aProp, TEditStyle aEditStyle,
                            const std::string& aCaption) = 0;
    virtual void SelectLastValueCell() = 0;
    virtual void Redraw() = 0;
};

// The typed options of one search.
class TPropertyContainer {
public:
    using TFillCallback = std::function<void(TPropertyContainer& aSender)>;

    TPropertyContainer() = default;
    TPropertyContainer(const TPropertyContainer&) = delete;
    TPropertyContainer& operator=(const TPropertyContainer&) = delete;

    // An existing property of that name comes back untouched with aExists set.
    TProp* AddProp(const std::string& aCategory, const std::string& aName, const std::string& aCaption, TPropType aType,
                   const TStringList& aPickListOptions, const TStringList& aModifiedValues, bool& aExists);
    void DeleteProp(const std::string& aName);
    // Exact, case-sensitive name; null when absent.
    TProp* GetPropByName(const std::string& aName) const;
    void Clear();
    int Count() const { return static_cast<int>(fProps.size()); }
    const std::vector<std::unique_ptr<TProp>>& GetProps() const { return fProps; }

    // Brings the set in line through the fill callback, then fills the grid grouped by category.
    void Render();
    // Replaces the "prop" children of the search's "property_container" child.
    void SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    // Appends the stored properties of the "property_container" object; rows without a class are skipped.
    void LoadFromDB(TObjectsStorage& aStorage, int aObjectID);

    TPropertyGrid* GetValueListEditor() const { return fValueListEditor; }
    void SetValueListEditor(TPropertyGrid* aGrid) { fValueListEditor = aGrid; }
    const TFillCallback& GetOnFillWithProperties() const { return fOnFillWithProperties; }
    void SetOnFillWithProperties(TFillCallback aCallback) { fOnFillWithProperties = std::move(aCallback); }

private:
    void SortProps();

    TPropertyGrid* fValueListEditor = nullptr;
    std::vector<std::unique_ptr<TProp>> fProps;
    TFillCallback fOnFillWithProperties;
};

}  // namespace trawlix
