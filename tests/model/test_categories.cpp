#include <gtest/gtest.h>

#include "model/categories.h"
#include "model/ref_data_file.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {
std::string Fixture(const std::string& aName) {
    return (test::TestsDir() / "model/fixtures/refdata" / aName).string();
}
}  // namespace

TEST(Categories, MainCategoriesAreTopLevelNodesOfTypeOne) {
    TCategories categories(Fixture("categories.xml"));
    ASSERT_EQ(categories.Count(), 6);
    std::vector<std::string> mains;
    for (const TPlace* main : categories.GetMainCategories())
        mains.push_back(main->GetName());
    EXPECT_EQ(mains, (std::vector<std::string>{"for sale", "jobs", "duplicate id"}));
    EXPECT_EQ(categories.GetCategoryByID(7)->GetName(), "not main");
    // Document order, a node before its children; the first node with an id wins.
    EXPECT_EQ(categories.GetAllCategories()[1]->GetName(), "cars & trucks");
    EXPECT_EQ(categories.GetCategoryByID(52)->GetName(), "cars & trucks");
    EXPECT_EQ(categories.GetCategoryByID(52)->GetParent()->GetName(), "for sale");
    EXPECT_EQ(categories.GetCategoryByID(8), nullptr);
    EXPECT_EQ(categories.GetMaxCatID(), 320);
    EXPECT_EQ(TCategories().GetMaxCatID(), 0);
}

TEST(SiteCategories, SubCategoriesPrecedeTheirParentAndTheLastIdWins) {
    auto categories = TSiteCategories::CreateFromFile<TBackpageCategory>(Fixture("cats-bckpg.xml"));
    std::vector<std::string> ids;
    for (const auto& category : categories->GetCategories())
        ids.push_back(category->GetId());
    EXPECT_EQ(ids, (std::vector<std::string>{"101", "103", "102", "100", "101"}));
    auto* again = dynamic_cast<TBackpageCategory*>(categories->GetCategoryById("101"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetName(), "again");
    EXPECT_EQ(again->GetParams(), "section=200&category=101");
    EXPECT_EQ(categories->GetCategoryById("999"), nullptr);
}

TEST(SiteCategories, BadFilesRaise) {
    auto factory = [] { return std::make_unique<TBackpageCategory>(); };
    EXPECT_THROW(TSiteCategories(Fixture("missing.xml"), factory), ERefDataError);
    EXPECT_THROW(TSiteCategories("<categories><category id=\"1\">", "truncated.xml", factory), ERefDataError);
    EXPECT_THROW(TCategories(Fixture("place_no_id.xml")), ERefDataError);
}
