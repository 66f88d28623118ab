#include <gtest/gtest.h>

#include <cmath>

#include "model/places.h"
#include "model/ref_data_file.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {

std::string Fixture(const std::string& aName) {
    return (test::TestsDir() / "model/fixtures/refdata" / aName).string();
}

class PlacesFixture : public ::testing::Test {
protected:
    void SetUp() override { fPlaces.LoadFromFile(Fixture("countries.xml")); }
    TPlace& Place(int aID) {
        TPlace* place = fPlaces.GetPlaceByID(aID);
        EXPECT_NE(place, nullptr) << aID;
        return *place;
    }
    TPlaces fPlaces;
};

}  // namespace

TEST_F(PlacesFixture, CountriesComeInDisplayOrder) {
    std::vector<std::string> names;
    for (const TPlace* country : fPlaces.GetCountries())
        names.push_back(country->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"united states", "canada", "UK", "france"}));
}

TEST(PlacesOrder, CanadaAndUKWithoutTheirAnchorsGoToTheFront) {
    TPlace uk, other, canada;
    uk.SetName("UK");
    other.SetName("mexico");
    canada.SetName("canada");
    const TPlaceList ordered = OrderCountries({&other, &uk, &canada});
    EXPECT_EQ(ordered, (TPlaceList{&canada, &uk, &other}));
}

TEST_F(PlacesFixture, AllPlacesAreSortedAndLookedUpById) {
    const auto& all = fPlaces.GetAllPlaces();
    ASSERT_EQ(all.size(), 10u);
    for (size_t i = 1; i < all.size(); ++i)
        EXPECT_LE(all[i - 1]->GetID(), all[i]->GetID());
    for (const auto& place : all)
        EXPECT_EQ(fPlaces.GetPlaceByID(place->GetID()), place.get());
    EXPECT_EQ(fPlaces.GetPlaceByID(2369), &Place(1686));
    EXPECT_EQ(fPlaces.GetPlaceByID(1687), nullptr);
    EXPECT_EQ(fPlaces.GetPlaceByID(0), nullptr);
    EXPECT_EQ(fPlaces.GetPlaceByID(99999), nullptr);
}

TEST_F(PlacesFixture, AttributesAndNestingAreRead) {
    TPlace& sf = Place(1686);
    EXPECT_EQ(sf.GetName(), "sf bay area");
    EXPECT_EQ(sf.GetZIPCode(), "94103");
    EXPECT_DOUBLE_EQ(sf.GetLatitude(), 37.5);
    EXPECT_DOUBLE_EQ(sf.GetLongitude(), -122.25);
    EXPECT_EQ(sf.GetParent(), &Place(10));
    EXPECT_EQ(sf.GetParentID(), 10);
    EXPECT_DOUBLE_EQ(Place(10).GetLatitude(), 36.5);  // comma as decimal separator
    EXPECT_EQ(Place(5001).ToString(), "east bay - sf bay area - california - united states");
    EXPECT_EQ(Place(1).ToString(), "united states");
    EXPECT_EQ(Place(10).GetChildren().size(), 4u);
}

TEST_F(PlacesFixture, SiteMappingsAreRead) {
    TPlace& sf = Place(1686);
    EXPECT_EQ(sf.GetCraigSitePlace().GetLink(), "http://sfbay.craigslist.org/");
    EXPECT_EQ(sf.GetCraigSitePlace().GetPlaceType(), 2);
    EXPECT_FALSE(sf.GetCraigSitePlace().GetDisabled());
    ASSERT_EQ(sf.GetBackpageSitePlace().GetItems().size(), 2u);
    EXPECT_EQ(sf.GetBackpageSitePlace().GetItems()[1]->Link, "http://oakland.backpage.com");
    EXPECT_EQ(sf.GetBackpageSitePlace().GetItems()[1]->Parent, &sf.GetBackpageSitePlace());
    const auto& oodle = sf.GetOodleSitePlace().GetItems();
    ASSERT_EQ(oodle.size(), 2u);
    EXPECT_EQ(oodle[0]->Link1, "sf-bay-area-ca");  // "link" stands in for a missing "link1"
    EXPECT_EQ(oodle[1]->Link1, "one");
    EXPECT_EQ(oodle[1]->Link2, "two");
    EXPECT_EQ(oodle[1]->Link3, "three");
    ASSERT_EQ(sf.GetEBaySitePlace().GetItems().size(), 1u);
    EXPECT_EQ(sf.GetEBaySitePlace().GetItems()[0]->Link, "sfbay");
    ASSERT_EQ(sf.GetCarsComSitePlace().GetItems().size(), 1u);
    EXPECT_EQ(sf.GetCarsComSitePlace().GetItems()[0]->ZipCode, "94103");
    EXPECT_EQ(sf.GetCarsComSitePlace().GetItems()[0]->Distance, "50");
    ASSERT_EQ(sf.GetSitePlaces().size(), 5u);
    EXPECT_EQ(sf.GetSitePlaces()[spCarsCom]->GetParent(), &sf);
}

TEST_F(PlacesFixture, MissingOrBadSiteElementsLeaveTheRestEmpty) {
    auto itemCounts = [](const TPlace& aPlace) {
        return std::vector<size_t>{aPlace.GetBackpageSitePlace().GetItems().size(),
                                   aPlace.GetOodleSitePlace().GetItems().size(),
                                   aPlace.GetEBaySitePlace().GetItems().size(),
                                   aPlace.GetCarsComSitePlace().GetItems().size()};
    };
    const std::vector<size_t> none{0, 0, 0, 0};

    const TPlace& withoutSites = Place(1700);
    EXPECT_EQ(withoutSites.GetCraigSitePlace().GetLink(), "");
    EXPECT_EQ(itemCounts(withoutSites), none);

    // The oodle element after the missing backpage element is not read.
    const TPlace& craigOnly = Place(1701);
    EXPECT_EQ(craigOnly.GetCraigSitePlace().GetLink(), "http://la.craigslist.org/");
    EXPECT_EQ(craigOnly.GetCraigSitePlace().GetPlaceType(), 2);
    EXPECT_TRUE(craigOnly.GetCraigSitePlace().GetDisabled());
    EXPECT_EQ(itemCounts(craigOnly), none);

    // A malformed type stops at the Craigslist mapping itself, which stays empty.
    const TPlace& badType = Place(1702);
    EXPECT_EQ(badType.GetCraigSitePlace().GetLink(), "");
    EXPECT_EQ(itemCounts(badType), none);
}

TEST_F(PlacesFixture, HasChildWithIDSearchesTheSubtree) {
    const TPlace& us = Place(1);
    EXPECT_TRUE(us.HasChildWithID(false, 5001));
    EXPECT_TRUE(us.HasChildWithID(true, 1));
    EXPECT_FALSE(us.HasChildWithID(false, 1));
    EXPECT_FALSE(us.HasChildWithID(true, 2));
}

TEST(PlacesFiles, BadFilesRaiseNamingFileAndElement) {
    struct Case {
        const char* file;
        const char* expected;
    } cases[] = {
        {"missing.xml", "missing"},
        {"empty.xml", "malformed XML"},
        {"place_truncated.xml", "malformed XML at line 1"},
        {"place_no_id.xml", "no numeric \"id\""},
        {"place_no_parent.xml", "no numeric \"parent_id\""},
        {"place_bad_id.xml", "no numeric \"id\""},
        {"place_bad_lat.xml", "malformed \"lat\""},
        {"place_nan_long.xml", "malformed \"long\""},
    };
    for (const Case& c : cases) {
        TPlaces places;
        try {
            places.LoadFromFile(Fixture(c.file));
            ADD_FAILURE() << c.file << " loaded";
        } catch (const ERefDataError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.file), std::string::npos) << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        }
    }
}

TEST(PlacesFiles, DeepNestingIsRefusedInsteadOfOverflowingTheStack) {
    std::string text = "<places>";
    for (int i = 0; i < 100000; ++i)
        text += "<place id=\"" + std::to_string(i) + "\" parent_id=\"0\">";
    text += "</places>";  // truncated on purpose as well
    TPlaces places;
    EXPECT_THROW(places.LoadFromText(text, "deep.xml"), ERefDataError);
    std::string wellFormed;
    for (int i = 0; i < 1000; ++i)
        wellFormed += "<place id=\"" + std::to_string(i) + "\" parent_id=\"0\">";
    for (int i = 0; i < 1000; ++i)
        wellFormed += "</place>";
    EXPECT_THROW(places.LoadFromText("<places>" + wellFormed + "</places>", "deep.xml"), ERefDataError);
}

TEST(PlacesFiles, ByteOrderMarksChooseTheEncoding) {
    const std::string utf8 = "\xEF\xBB\xBF<places><place id=\"1\" parent_id=\"0\" name=\"z\xC3\xBCrich\"/></places>";
    TPlaces places;
    places.LoadFromText(utf8, "bom8.xml");
    EXPECT_EQ(places.GetPlaceByID(1)->GetName(), "z\xC3\xBCrich");

    const std::u16string wide = u"\uFEFF<places><place id=\"2\" parent_id=\"0\" name=\"z\u00FCrich\"/></places>";
    std::string utf16;
    for (char16_t c : wide) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    places.LoadFromText(utf16, "bom16.xml");
    EXPECT_EQ(places.GetPlaceByID(2)->GetName(), "z\xC3\xBCrich");
}

TEST(Nearness, HaversineOnTheProgramsSphere) {
    // Boston to New York is about 190 miles on a 7912-mile sphere.
    EXPECT_TRUE(CoordinatesAreNear(200, 42.36, -71.06, 40.71, -74.01));
    EXPECT_FALSE(CoordinatesAreNear(180, 42.36, -71.06, 40.71, -74.01));
    EXPECT_TRUE(CoordinatesAreNear(1, 10, 10, 10, 10));
    // Antipodes: half the circumference, without a NaN from rounding.
    EXPECT_TRUE(CoordinatesAreNear(12429, 45, 90, -45, -90));
    EXPECT_FALSE(CoordinatesAreNear(12420, 45, 90, -45, -90));
}

TEST(Nearness, ZeroMeansUnknown) {
    const double coordinates[][4] = {{0, -71, 42, -71}, {42, 0, 42, -71}, {42, -71, 0, -71}, {42, -71, 42, 0}};
    for (const auto& c : coordinates)
        EXPECT_FALSE(CoordinatesAreNear(100000, c[0], c[1], c[2], c[3]));
    EXPECT_FALSE(CoordinatesAreNear(0, 42, -71, 42, -71));
}

TEST(Nearness, PlacesAreNearBySameNodeOrTolerance) {
    TPlace a, b, unknown;
    a.SetLatitude(42.36);
    a.SetLongitude(-71.06);
    b.SetLatitude(40.71);
    b.SetLongitude(-74.01);
    EXPECT_TRUE(PlacesAreNear(&unknown, &unknown, 0));
    EXPECT_FALSE(PlacesAreNear(&a, &b, 0));
    EXPECT_TRUE(PlacesAreNear(&a, &b, 200));
    EXPECT_FALSE(PlacesAreNear(&a, &unknown, 100000));
    EXPECT_FALSE(PlacesAreNear(nullptr, nullptr, 10));
}
