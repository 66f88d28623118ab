#include <gtest/gtest.h>

#include "model/place_selection.h"
#include "model/places.h"

using namespace trawlix;

namespace {

// country -> two states -> two cities each, and a second country with one city.
class SelectionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fCountry = Make(1, "country", nullptr);
        for (int s = 0; s < 2; ++s) {
            fStates[s] = Make(10 + s, "state", fCountry);
            for (int c = 0; c < 2; ++c)
                fCities[s][c] = Make(100 + 10 * s + c, "city", fStates[s]);
        }
        fOther = Make(2, "other", nullptr);
        fOtherCity = Make(200, "other city", fOther);
    }
    TPlace* Make(int aID, const std::string& aName, TPlace* aParent) {
        fNodes.push_back(std::make_unique<TPlace>());
        TPlace* place = fNodes.back().get();
        place->SetID(aID);
        place->SetName(aName);
        if (aParent)
            aParent->AddChild(place);
        return place;
    }
    TPlaceList TopLevel() const { return {fCountry, fOther}; }

    TOwnedPlaceList fNodes;
    TPlace* fCountry = nullptr;
    TPlace* fStates[2] = {};
    TPlace* fCities[2][2] = {};
    TPlace* fOther = nullptr;
    TPlace* fOtherCity = nullptr;
};

}  // namespace

TEST_F(SelectionFixture, ExpandingACountryWrapsEveryNodeInPreOrder) {
    TPlaceWrapperList wrappers;
    wrappers.Add(std::make_unique<TPlaceWrapper>(fOther, false));  // cleared first
    GetLocationsFromCompressed({fCountry}, wrappers);
    ASSERT_EQ(wrappers.Count(), 7);
    const TPlaceList expected{fCountry, fStates[0], fCities[0][0], fCities[0][1], fStates[1], fCities[1][0],
                              fCities[1][1]};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(wrappers.GetItem(i)->GetPlace(), expected[i]);
        EXPECT_EQ(wrappers.GetItem(i)->GetAllChildrenAreSelected(), !expected[i]->GetChildren().empty());
    }
    EXPECT_EQ(wrappers.GetPlaceWrapperByPlace(fCities[1][0]), wrappers.GetItem(5));
    EXPECT_EQ(wrappers.GetPlaceWrapperByPlace(fOther), nullptr);
    wrappers.Clear();
    EXPECT_EQ(wrappers.GetPlaceWrapperByPlace(fCountry), nullptr);
}

TEST_F(SelectionFixture, CategoriesExpandToLeaves) {
    TPlaceList leaves{fOther};
    GetCategoriesFromCompressed({fStates[1], fOtherCity, fCities[0][0]}, leaves);
    EXPECT_EQ(leaves, (TPlaceList{fCities[1][0], fCities[1][1], fOtherCity, fCities[0][0]}));
}

TEST_F(SelectionFixture, TreeStatesFollowTheLeaves) {
    TPlaceSelectionTree tree(TopLevel(), {fCities[0][0], fCities[0][1], fCities[1][0]});
    EXPECT_EQ(tree.GetItemState(fStates[0]), TSelectionState::Selected);
    EXPECT_EQ(tree.GetItemState(fStates[1]), TSelectionState::PartlySelected);
    EXPECT_EQ(tree.GetItemState(fCountry), TSelectionState::PartlySelected);
    EXPECT_EQ(tree.GetItemState(fOther), TSelectionState::Unselected);
    // An inner node in the list does not select its children by itself.
    TPlaceSelectionTree innerOnly(TopLevel(), {fStates[0]});
    EXPECT_EQ(innerOnly.GetItemState(fStates[0]), TSelectionState::Unselected);
}

TEST_F(SelectionFixture, CompressionKeepsTheTopmostSelectedNodes) {
    struct Case {
        TPlaceList selected;
        TPlaceList compressed;
    };
    const Case cases[] = {
        {{}, {}},
        {{fCities[0][0], fCities[0][1], fCities[1][0], fCities[1][1]}, {fCountry}},
        {{fCities[0][0], fCities[0][1], fCities[1][0]}, {fStates[0], fCities[1][0]}},
        {{fCities[1][1], fCities[0][1], fOtherCity}, {fCities[0][1], fCities[1][1], fOther}},
    };
    for (const Case& c : cases) {
        TPlaceSelectionTree tree(TopLevel(), c.selected);
        EXPECT_EQ(GetCompressedLocations(tree), c.compressed);
    }
}

TEST_F(SelectionFixture, CompressThenExpandRoundTrips) {
    const TPlaceList selected{fCities[0][0], fCities[0][1], fCities[1][1]};
    TPlaceSelectionTree tree(TopLevel(), selected);
    TPlaceWrapperList wrappers;
    GetLocationsFromCompressed(GetCompressedLocations(tree), wrappers);
    TPlaceList expanded;
    for (const auto& wrapper : wrappers.GetItems())
        expanded.push_back(wrapper->GetPlace());
    EXPECT_EQ(expanded, (TPlaceList{fStates[0], fCities[0][0], fCities[0][1], fCities[1][1]}));
}
