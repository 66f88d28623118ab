#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "model/categories.h"
#include "model/gsm_networks.h"
#include "model/places.h"
#include "model/zip_codes.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {

const std::filesystem::path cDataDir = trawlix::test::SourceDataDir();
const char* const cFiles[] = {"Places.cur", "Categories.cur", "cats-bckpg.cur", "ZIPCodes.cur", "GSMNetworks.cur"};

std::string DataFile(const std::string& aName) { return (cDataDir / aName).string(); }

}  // namespace

TEST(ShippedRefData, CommittedFilesEqualAFreshBuild) {
    test::TempDir out;
    const auto result = test::RunProcess({"/usr/bin/env", "python3", (cDataDir.parent_path() / "tools/make_refdata.py").string(),
                                          "--out", out.Path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* name : cFiles)
        EXPECT_TRUE(test::ReadFile(out / name) == test::ReadFile(cDataDir / name)) << name << " differs: run make refdata";
}

TEST(ShippedRefData, PlacesHoldTheCraigslistAreas) {
    TPlaces places(DataFile("Places.cur"));
    ASSERT_GE(places.GetCountries().size(), 3u);
    EXPECT_EQ(places.GetCountries()[0]->GetName(), "united states");
    EXPECT_EQ(places.GetCountries()[1]->GetName(), "canada");
    EXPECT_EQ(places.GetCountries()[2]->GetName(), "UK");
    ASSERT_NE(places.GetPlaceByID(1686), nullptr);
    EXPECT_EQ(places.GetPlaceByID(2369), places.GetPlaceByID(1686));

    int cities = 0;
    std::set<int> ids;
    for (const auto& place : places.GetAllPlaces()) {
        EXPECT_TRUE(ids.insert(place->GetID()).second) << "duplicate id " << place->GetID();
        const TCraigSitePlace& craig = place->GetCraigSitePlace();
        if (craig.GetLink().empty())
            continue;
        EXPECT_TRUE(craig.GetLink().starts_with("http://") &&
                    craig.GetLink().find(".craigslist.org/") != std::string::npos && craig.GetLink().ends_with("/"))
            << craig.GetLink();
        EXPECT_NE(place->GetLatitude(), 0) << place->ToString();
        if (craig.GetPlaceType() == 2)
            ++cities;
        if (place->ToString().ends_with(" - united states")) {
            EXPECT_EQ(place->GetZIPCode().size(), 5u) << place->ToString();
            EXPECT_EQ(place->GetBackpageSitePlace().GetItems().size(), 1u);
        }
    }
    EXPECT_EQ(cities, 707);

    const TPlace* sfbay = nullptr;
    for (const auto& place : places.GetAllPlaces())
        if (place->GetName() == "SF bay area")
            sfbay = place.get();
    ASSERT_NE(sfbay, nullptr);
    EXPECT_EQ(sfbay->ToString(), "SF bay area - california - united states");
    EXPECT_EQ(sfbay->GetCraigSitePlace().GetLink(), "http://sfbay.craigslist.org/");
    ASSERT_EQ(sfbay->GetChildren().size(), 6u);
    EXPECT_EQ(sfbay->GetChildren()[2]->GetCraigSitePlace().GetLink(), "http://sfbay.craigslist.org/eby/");
    ASSERT_EQ(sfbay->GetCarsComSitePlace().GetItems().size(), 1u);
    EXPECT_EQ(sfbay->GetCarsComSitePlace().GetItems()[0]->ZipCode, sfbay->GetZIPCode());
    EXPECT_EQ(sfbay->GetCarsComSitePlace().GetItems()[0]->Distance, "50");
}

TEST(ShippedRefData, CategoriesMapToEverySite) {
    TCategories categories(DataFile("Categories.cur"));
    auto backpage = TSiteCategories::CreateFromFile<TBackpageCategory>(DataFile("cats-bckpg.cur"));
    const std::pair<int, const char*> fixed[] = {
        {52, "cars & trucks"}, {320, "cars & trucks - by owner"}, {321, "cars & trucks - by dealer"},
        {322, "motorcycles/scooters"}};
    for (const auto& [id, name] : fixed) {
        ASSERT_NE(categories.GetCategoryByID(id), nullptr) << id;
        EXPECT_EQ(categories.GetCategoryByID(id)->GetName(), name);
    }
    std::set<std::string> mains;
    for (const TPlace* main : categories.GetMainCategories())
        mains.insert(main->GetName());
    for (const char* name : {"personals", "housing", "for sale", "jobs"})
        EXPECT_TRUE(mains.count(name)) << name;
    std::set<int> ids;
    for (const auto& category : categories.GetAllCategories()) {
        EXPECT_TRUE(ids.insert(category->GetID()).second) << "duplicate id " << category->GetID();
        EXPECT_FALSE(category->GetCraigSitePlace().GetLink().empty());
        ASSERT_FALSE(category->GetBackpageSitePlace().GetItems().empty()) << category->GetName();
        for (const auto& item : category->GetBackpageSitePlace().GetItems())
            EXPECT_NE(backpage->GetCategoryById(item->Link), nullptr) << category->GetName() << " " << item->Link;
        EXPECT_FALSE(category->GetOodleSitePlace().GetItems().empty()) << category->GetName();
        EXPECT_FALSE(category->GetEBaySitePlace().GetItems().empty()) << category->GetName();
    }
    auto* autos = dynamic_cast<TBackpageCategory*>(backpage->GetCategoryById("4423"));
    ASSERT_NE(autos, nullptr);
    EXPECT_EQ(autos->GetParams(), "section=153676&category=4423");
}

TEST(ShippedRefData, ZIPCodesAndCarriers) {
    TZIPCodes codes(DataFile("ZIPCodes.cur"));
    EXPECT_EQ(codes.Count(), 33791);
    auto boston = codes.GetCode(PadZIPCode("2134"));
    ASSERT_NE(boston, nullptr);
    EXPECT_NEAR(boston->GetLatitude(), 42.35, 0.1);
    TGSMNetworks carriers(DataFile("GSMNetworks.cur"));
    EXPECT_EQ(carriers.Count(), 27);
    ASSERT_NE(carriers.GetNetworkByID(3), nullptr);
    EXPECT_EQ(carriers.GetNetworkByID(3)->GetAddress(), "vtext.com");
}
