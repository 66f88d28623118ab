#include <gtest/gtest.h>

#include <filesystem>

#include "model/objects_storage.h"
#include "model/option_groups.h"
#include "model/property_container.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace trawlix;

namespace {

// Records what the container renders, one line per row.
class RecordingGrid : public TPropertyGrid {
public:
    void ClearRows() override {
        rows.clear();
        ++clears;
    }
    void AddHeadingRow(const std::string& aCategory) override { rows.push_back("# " + aCategory); }
    void AddPropRow(const std::string& aKey, const std::string& aValue, TProp&, TEditStyle aEditStyle,
                    const std::string& aCaption) override {
        rows.push_back(aKey + "|" + aCaption + "|" + aValue + "|" + std::to_string(aEditStyle));
    }
    void SelectLastValueCell() override { selectedLast = true; }
    void Redraw() override { ++redraws; }

    std::vector<std::string> rows;
    int clears = 0;
    int redraws = 0;
    bool selectedLast = false;
};

TPropertySelection Selection(std::vector<std::string> aCategories, bool aCarsCom = false, bool aAutotrader = false) {
    return TPropertySelection::FromCategoryNames(aCategories, aCarsCom, aAutotrader);
}

TProp& Prop(TPropertyContainer& aContainer, const std::string& aName) {
    TProp* prop = aContainer.GetPropByName(aName);
    if (!prop) throw std::runtime_error("no property " + aName);
    return *prop;
}

// A container with every option group, as the main window fills it.
void FillEverything(TPropertyContainer& aContainer) {
    FillProperties(aContainer, Selection({"for sale", "housing", "jobs", "personals"}, true, true));
}

TEST(PropertyContainer, TypedInputIsStoredOrRefusedWithItsMessage) {
    struct Case {
        const char* prop;
        const char* input;
        bool accepted;
        const char* raw;
        const char* shown;
        const char* error;
    };
    const Case cases[] = {
        {"price_min", "", true, "0", "undefined", ""},
        {"price_min", "   ", true, "0", "undefined", ""},
        {"price_min", "12,5", true, "12.5", "12.5", ""},
        {"price_min", " 12.5 ", true, "12.5", "12.5", ""},
        {"price_min", "UnDefined", true, "0", "undefined", ""},
        {"price_min", "12.5.1", false, "0", "undefined", "\"12.5.1\" is not a valid floating point value."},
        {"price_min", "inf", false, "0", "undefined", "\"inf\" is not a valid floating point value."},
        {"carscom_year_min", "UNDEFINED", true, "0", "undefined", ""},
        {"carscom_year_min", "007", true, "7", "7", ""},
        {"carscom_year_min", "-3", true, "-3", "-3", ""},
        {"carscom_year_min", " 19x9 ", false, "0", "undefined", "\"19x9\" is not a valid integer value."},
        {"carscom_year_min", "99999999999", false, "0", "undefined",
         "\"99999999999\" is not a valid integer value."},
        {"cats", "", true, "1", "undefined", ""},
        {"cats", "yes", true, "0", "yes", ""},
        {"cats", "YES", true, "0", "yes", ""},
        {"cats", "undefined", true, "1", "undefined", ""},
        {"cats", "no", true, "1", "undefined", ""},
        {"cats", "maybe", false, "1", "undefined", "\"maybe\" is not a value from the drop-down list."},
        {"carscom_body_style", "Sedan", true, "8", "sedan", ""},
        {"carscom_body_style", "  Limo  ", false, "0", "all body styles",
         "\"Limo\" is not a value from the drop-down list."},
        {"bedrooms", "3", true, "3", "3", ""},
        {"carscom_keywords", "undefined", true, "", "undefined", ""},
        {"carscom_keywords", " red  ", true, "red", "red", ""},
    };
    for (const auto& c : cases) {
        TPropertyContainer container;
        FillEverything(container);
        TProp& prop = Prop(container, c.prop);
        std::string error = "stale";
        EXPECT_EQ(prop.SetValue(c.input, error), c.accepted) << c.prop << " <- " << c.input;
        EXPECT_EQ(prop.GetRawValue(), c.raw) << c.prop << " <- " << c.input;
        EXPECT_EQ(prop.AsString(), c.shown) << c.prop << " <- " << c.input;
        EXPECT_EQ(error, c.error) << c.prop << " <- " << c.input;
    }
}

TEST(PropertyContainer, RefusedInputKeepsTheValueAlreadyStored) {
    TPropertyContainer container;
    FillEverything(container);
    std::string error;
    TProp& price = Prop(container, "price_max");
    ASSERT_TRUE(price.SetValue("250", error));
    EXPECT_FALSE(price.SetValue("lots", error));
    EXPECT_EQ(price.GetRawValue(), "250");
    EXPECT_FALSE(price.HoldsDefaultValue());
    ASSERT_TRUE(price.SetValue("", error));
    EXPECT_TRUE(price.HoldsDefaultValue());
}

TEST(PropertyContainer, TypedReadersGiveTheValueOnlyOnTheirOwnClass) {
    TPropertyContainer container;
    FillEverything(container);
    std::string error;
    ASSERT_TRUE(Prop(container, "price_min").SetValue("12,5", error));
    ASSERT_TRUE(Prop(container, "age_max").SetValue("40", error));
    ASSERT_TRUE(Prop(container, "dogs").SetValue("yes", error));
    EXPECT_DOUBLE_EQ(Prop(container, "price_min").AsDouble(), 12.5);
    EXPECT_EQ(Prop(container, "age_max").AsInteger(), 40);
    EXPECT_TRUE(Prop(container, "dogs").AsBoolean());
    EXPECT_FALSE(Prop(container, "cats").AsBoolean());
    EXPECT_THROW(Prop(container, "price_min").AsInteger(), std::logic_error);
    EXPECT_THROW(Prop(container, "age_max").AsBoolean(), std::logic_error);
    EXPECT_THROW(Prop(container, "bedrooms").AsDouble(), std::logic_error);
}

TEST(PropertyContainer, PickListsOfferTheShownForms) {
    TPropertyContainer container;
    FillEverything(container);
    TStringList values = {"left over"};
    Prop(container, "cats").GetPickList(values);
    EXPECT_EQ(values, (TStringList{"yes", "undefined"}));
    Prop(container, "autotrader_doors").GetPickList(values);
    EXPECT_EQ(values, (TStringList{"Any Number", "Two Door", "Three Door", "Four Door", "Five Door"}));
    Prop(container, "price_min").GetPickList(values);
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(Prop(container, "cats").GetEditStyle(), esPickList);
    EXPECT_EQ(Prop(container, "price_min").GetEditStyle(), esEllipsis);
    EXPECT_EQ(Prop(container, "cats").GetPropType(), ptBoolean);
}

TEST(PropertyContainer, SubstitutesMatchIgnoringCaseBothWays) {
    auto prop = TProp::CreateProp("", "p", "P", ptString, {}, {"a=Alpha", "b=alpha", "=none"});
    EXPECT_EQ(prop->ModifyStringValue("A"), "Alpha");
    EXPECT_EQ(prop->ModifyStringValue(""), "none");
    EXPECT_EQ(prop->ModifyStringValue("c"), "c");
    EXPECT_EQ(prop->GetOriginalValueIfModified("ALPHA"), "a");  // the first line wins
    EXPECT_EQ(prop->GetOriginalValueIfModified("None"), "");
    EXPECT_EQ(prop->GetOriginalValueIfModified("zeta"), "zeta");
}

TEST(PropertyContainer, AddPropReturnsAnExistingPropertyUntouched) {
    TPropertyContainer container;
    bool exists = true;
    TProp* first = container.AddProp("", "age_min", "Age Min", ptInteger, {}, {"0=undefined"}, exists);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(exists);
    std::string error;
    first->SetValue("30", error);
    TProp* again = container.AddProp("Other", "age_min", "Other caption", ptString, {}, {}, exists);
    EXPECT_TRUE(exists);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->GetCaption(), "Age Min");
    EXPECT_EQ(again->GetRawValue(), "30");
    EXPECT_EQ(container.AddProp("", "x", "X", ptComplex, {}, {}, exists), nullptr);
    EXPECT_EQ(container.Count(), 1);
    EXPECT_EQ(container.GetPropByName("AGE_MIN"), nullptr);
}

TEST(PropertyContainer, PriceRangeCheckRefusesOnlyAnInvertedPairOfSetPrices) {
    TPropertyContainer container;
    FillProperties(container, Selection({"For Sale"}));
    std::string error;
    const std::string refusal = "The maximum price can not be lower than the minimum price. Please fix it.";
    EXPECT_EQ(CheckPriceRange(container, "price_min", "500"), "");  // maximum undefined (0)
    ASSERT_TRUE(Prop(container, "price_max").SetValue("100", error));
    EXPECT_EQ(CheckPriceRange(container, "price_min", "500"), refusal);
    EXPECT_EQ(CheckPriceRange(container, "price_min", "100"), "");
    EXPECT_EQ(CheckPriceRange(container, "price_min", "undefined"), "");  // not a number: left to SetValue
    ASSERT_TRUE(Prop(container, "price_min").SetValue("150", error));
    EXPECT_EQ(CheckPriceRange(container, "price_max", "99,5"), refusal);
    EXPECT_EQ(CheckPriceRange(container, "price_max", "0"), "");
    EXPECT_EQ(CheckPriceRange(container, "age_min", "1"), "");
}

TEST(FillProperties, GroupsFollowTheSelectionAndKeepEnteredValues) {
    TPropertyContainer container;
    std::string error;
    TFillPropertiesResult result = FillProperties(container, Selection({"for sale"}));
    EXPECT_TRUE(result.NewOptionsAvailable());
    ASSERT_TRUE(Prop(container, "price_min").SetValue("40", error));
    EXPECT_EQ(container.Count(), 2);

    result = FillProperties(container, Selection({"FOR SALE", "housing"}));
    EXPECT_TRUE(result.NewOptionsAvailable());
    EXPECT_EQ(Prop(container, "price_min").GetRawValue(), "40");
    EXPECT_EQ(container.Count(), 5);

    result = FillProperties(container, Selection({"housing"}));
    EXPECT_TRUE(result.fSomeGroupApplies);
    EXPECT_FALSE(result.fSomethingNew);
    EXPECT_EQ(Prop(container, "price_min").GetRawValue(), "40");

    result = FillProperties(container, Selection({"community"}));
    EXPECT_FALSE(result.fSomeGroupApplies);
    EXPECT_EQ(container.Count(), 0);

    // Back again: the values went with the groups.
    FillProperties(container, Selection({"for sale"}));
    EXPECT_EQ(Prop(container, "price_min").GetRawValue(), "0");
}

TEST(FillProperties, CarSiteGroupsNeedForSaleAndTheirSwitch) {
    TPropertyContainer container;
    TFillPropertiesResult result = FillProperties(container, Selection({"jobs"}, true, true));
    EXPECT_EQ(container.GetPropByName("carscom_keywords"), nullptr);
    EXPECT_EQ(container.Count(), 5);
    EXPECT_TRUE(result.NewOptionsAvailable());

    FillProperties(container, Selection({"for sale"}, true, false));
    EXPECT_EQ(container.Count(), 2 + 19);
    EXPECT_EQ(container.GetPropByName("autotrader_keywords"), nullptr);
    EXPECT_EQ(container.GetPropByName("telecommute"), nullptr);

    // A car group alone is new but is not a reason for the balloon.
    TPropertyContainer carsOnly;
    FillProperties(carsOnly, Selection({"for sale"}));
    result = FillProperties(carsOnly, Selection({"for sale"}, false, true));
    EXPECT_TRUE(result.fSomethingNew);
    EXPECT_TRUE(result.fSomeGroupApplies);
    EXPECT_EQ(carsOnly.Count(), 2 + 16);
}

TEST(PropertyContainerRender, GroupsAreShownUnderHeadingsSortedByCategoryThenName) {
    TPropertyContainer container;
    RecordingGrid grid;
    container.SetValueListEditor(&grid);
    int fills = 0;
    container.SetOnFillWithProperties([&](TPropertyContainer& aSender) {
        ++fills;
        FillProperties(aSender, Selection({"for sale"}, true, true));
    });
    container.Render();
    EXPECT_EQ(fills, 1);
    ASSERT_EQ(grid.rows.size(), 2u + 1 + 16 + 1 + 19);
    EXPECT_EQ(grid.rows[0], "price_max|Price Max|undefined|1");
    EXPECT_EQ(grid.rows[1], "price_min|Price Min|undefined|1");
    EXPECT_EQ(grid.rows[2], "# Autotrader.com");
    EXPECT_EQ(grid.rows[3], "autotrader_body_style|Body Style|Any Body Styles|2");
    EXPECT_EQ(grid.rows[18], "autotrader_year_min|Minimum Year|undefined|1");
    EXPECT_EQ(grid.rows[19], "# Cars.com");
    EXPECT_EQ(grid.rows[20], "carscom_body_style|Body Style|all body styles|2");
    EXPECT_EQ(grid.rows.back(), "carscom_year_min|Minimum Year|undefined|1");
    EXPECT_TRUE(grid.selectedLast);
    EXPECT_EQ(grid.redraws, 1);
    // The container keeps the shown order.
    EXPECT_EQ(container.GetProps().front()->GetName(), "price_max");
}

TEST(PropertyContainerRender, EmptyContainerLeavesTheGridEmptyAndNoGridDoesNothing) {
    TPropertyContainer container;
    int fills = 0;
    container.SetOnFillWithProperties([&](TPropertyContainer&) { ++fills; });
    container.Render();
    EXPECT_EQ(fills, 0);

    RecordingGrid grid;
    grid.rows = {"stale row"};
    container.SetValueListEditor(&grid);
    container.Render();
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(grid.clears, 1);
    EXPECT_TRUE(grid.rows.empty());
    EXPECT_FALSE(grid.selectedLast);
}

TEST(PropertyContainer, OlderSearchOptionsBecomeProperties) {
    TPropertyContainer container;
    TOlderSearchOptions older;
    older.fPersonalsMinAge = 25;
    older.fHousingMinRent = 800;
    older.fHousingMaxRent = 1200.5;
    older.fForSaleMaxPrice = 900;  // the for-sale price wins over the rent
    older.fHousingCats = true;
    older.fHousingBathrooms = 3;
    older.fJobsContract = true;
    ConvertOlderSearchOptions(container, older);
    EXPECT_EQ(Prop(container, "age_min").GetRawValue(), "25");
    EXPECT_EQ(container.GetPropByName("age_max"), nullptr);
    EXPECT_EQ(Prop(container, "price_min").GetRawValue(), "800");
    EXPECT_EQ(Prop(container, "price_max").GetRawValue(), "900");
    EXPECT_EQ(Prop(container, "price_max").AsString(), "900");
    EXPECT_TRUE(Prop(container, "cats").AsBoolean());
    EXPECT_EQ(container.GetPropByName("dogs"), nullptr);
    EXPECT_EQ(Prop(container, "bedrooms").AsString(), "3");
    EXPECT_TRUE(Prop(container, "contract").AsBoolean());
    EXPECT_EQ(Prop(container, "contract").GetCategory(), "Jobs");
    EXPECT_EQ(container.GetPropByName("telecommute"), nullptr);
}

class PropertyStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(trawlix::test::SourceDataDir() / "object_storage.cur", fDir / "object_storage.cur");
        fStorage = std::make_unique<TObjectsStorage>((fDir / "object_storage.cur").string());
        fSearchID = fStorage->AddObject("search", -1, "", true);
    }

    void Save(const TPropertyContainer& aContainer) {
        TStorageTransaction transaction(*fStorage);
        aContainer.SaveToDB(*fStorage, fSearchID);
        transaction.Commit();
    }

    std::unique_ptr<TPropertyContainer> Load() {
        auto container = std::make_unique<TPropertyContainer>();
        IDBObject object = fStorage->GetObject("property_container", fSearchID);
        if (object) container->LoadFromDB(*fStorage, object->GetID());
        return container;
    }

    test::TempDir fDir;
    std::unique_ptr<TObjectsStorage> fStorage;
    int fSearchID = 0;
};

TEST_F(PropertyStorageTest, SaveAndLoadReproduceEveryProperty) {
    TPropertyContainer container;
    FillEverything(container);
    std::string error;
    ASSERT_TRUE(Prop(container, "price_min").SetValue("12,5", error));
    ASSERT_TRUE(Prop(container, "carscom_keywords").SetValue("it's \"red\"", error));
    ASSERT_TRUE(Prop(container, "autotrader_mileage").SetValue("under 45,000", error));
    ASSERT_TRUE(Prop(container, "telecommute").SetValue("yes", error));
    Save(container);
    Save(container);  // saving again replaces, never duplicates

    auto loaded = Load();
    ASSERT_EQ(loaded->Count(), container.Count());
    for (const auto& original : container.GetProps()) {
        const TProp& copy = Prop(*loaded, original->GetName());
        EXPECT_EQ(copy.GetCaption(), original->GetCaption());
        EXPECT_EQ(copy.GetCategory(), original->GetCategory());
        EXPECT_EQ(copy.GetRawValue(), original->GetRawValue());
        EXPECT_EQ(copy.GetPropType(), original->GetPropType());
        EXPECT_EQ(copy.GetEditStyle(), original->GetEditStyle());
        EXPECT_EQ(copy.GetDefaultValue(), original->GetDefaultValue());
        EXPECT_EQ(copy.GetModifiedValues(), original->GetModifiedValues());
        TStringList originalChoices, copiedChoices;
        original->GetPickList(originalChoices);
        copy.GetPickList(copiedChoices);
        EXPECT_EQ(copiedChoices, originalChoices) << original->GetName();
    }
    EXPECT_EQ(Prop(*loaded, "autotrader_mileage").AsString(), "Under 45,000");
    EXPECT_EQ(Prop(*loaded, "carscom_keywords").GetRawValue(), "it's \"red\"");
    EXPECT_DOUBLE_EQ(Prop(*loaded, "price_min").AsDouble(), 12.5);
    EXPECT_EQ(fStorage->GetObjects("property_container", fSearchID).size(), 1u);
}

TEST_F(PropertyStorageTest, DamagedRowsAreSkippedOrRepairedAndTheRestKept) {
    TPropertyContainer container;
    FillProperties(container, Selection({"housing"}));
    std::string error;
    ASSERT_TRUE(Prop(container, "bedrooms").SetValue("2", error));
    Save(container);
    const int containerID = fStorage->GetObject("property_container", fSearchID)->GetID();
    auto propID = [&](const std::string& aName) {
        for (const auto& object : fStorage->GetObjects("prop", containerID))
            if (fStorage->GetObjectPropText(object->GetID(), "name") == aName) return object->GetID();
        return 0;
    };
    fStorage->SetObjectProp(propID("price_min"), "value", "lots");
    fStorage->SetObjectProp(propID("dogs"), "value", "42");
    // Rows a damaged file may hold: no type, a type without a class, an unknown type, a repeated name.
    for (int type : {-100, 5, 99}) {
        const int id = fStorage->AddObject("prop", containerID, "", true);
        fStorage->SetObjectProp(id, "name", "odd" + std::to_string(type));
        if (type != -100) fStorage->SetObjectProp(id, "prop_type", type);
    }
    const int repeated = fStorage->AddObject("prop", containerID, "", true);
    fStorage->SetObjectProp(repeated, "name", "bedrooms");
    fStorage->SetObjectProp(repeated, "prop_type", 2);

    auto loaded = Load();
    EXPECT_EQ(loaded->Count(), 5);
    EXPECT_EQ(Prop(*loaded, "price_min").GetRawValue(), "0");
    EXPECT_EQ(Prop(*loaded, "dogs").GetRawValue(), "1");
    EXPECT_FALSE(Prop(*loaded, "dogs").AsBoolean());
    EXPECT_EQ(Prop(*loaded, "bedrooms").AsString(), "2");
    EXPECT_EQ(Prop(*loaded, "bedrooms").GetPropType(), ptPickList);
}

TEST_F(PropertyStorageTest, LoadingAddsToWhatTheContainerHolds) {
    TPropertyContainer container;
    FillProperties(container, Selection({"personals"}));
    Save(container);
    auto loaded = std::make_unique<TPropertyContainer>();
    bool exists = false;
    loaded->AddProp("", "extra", "Extra", ptString, {}, {}, exists);
    loaded->LoadFromDB(*fStorage, fStorage->GetObject("property_container", fSearchID)->GetID());
    EXPECT_EQ(loaded->Count(), 3);
    // An object id that is no object loads nothing rather than every property of the file.
    TPropertyContainer none;
    none.LoadFromDB(*fStorage, 0);
    EXPECT_EQ(none.Count(), 0);
}

}  // namespace
