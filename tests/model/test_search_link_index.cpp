#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/link_indexed_list.h"

namespace trawlix {
namespace {

struct FakeEntry : std::enable_shared_from_this<FakeEntry> {
    explicit FakeEntry(std::string aLink) : link(std::move(aLink)) {}
    std::string link;
    const std::string& GetLink() const { return link; }
};
using FakePtr = std::shared_ptr<FakeEntry>;

FakePtr Make(const std::string& aLink) { return std::make_shared<FakeEntry>(aLink); }

FakePtr LinearFind(const std::vector<FakePtr>& aItems, const std::string& aLink) {
    for (const auto& item : aItems)
        if (item->link == aLink) return item;
    return nullptr;
}

TEST(SearchLinkIndex, FirstOfDuplicateLinksIsFoundAndTheNextTakesOverWhenItGoes) {
    TLinkIndexedList<FakePtr> list;
    auto first = Make("http://a/1.html");
    auto other = Make("http://a/2.html");
    auto second = Make("http://a/1.html");
    list.Add(first);
    list.Add(other);
    list.Add(second);

    EXPECT_EQ(list.FindByLink("http://a/1.html"), first);
    ASSERT_TRUE(list.Remove(first));
    EXPECT_EQ(list.FindByLink("http://a/1.html"), second);
    ASSERT_TRUE(list.Remove(second));
    EXPECT_EQ(list.FindByLink("http://a/1.html"), nullptr);
    EXPECT_FALSE(list.Remove(second));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], other);
}

TEST(SearchLinkIndex, LinksAreComparedExactly) {
    TLinkIndexedList<FakePtr> list;
    list.Add(Make("http://a/X.html"));
    EXPECT_EQ(list.FindByLink("http://a/x.html"), nullptr);
    EXPECT_EQ(list.FindByLink("http://a/X.html "), nullptr);
    EXPECT_NE(list.FindByLink("http://a/X.html"), nullptr);
}

TEST(SearchLinkIndex, InsertBeforeAnEqualLinkMakesTheInsertedOneFirst) {
    TLinkIndexedList<FakePtr> list;
    auto later = Make("l");
    list.Add(Make("x"));
    list.Add(later);
    auto front = Make("l");
    list.Insert(0, front);
    EXPECT_EQ(list.FindByLink("l"), front);
    list.Insert(99, Make("l"));  // past the end appends
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(list.FindByLink("l"), front);
}

// Every link lands in one bucket, as links whose hashes collide do.
struct CollidingHash {
    std::size_t operator()(std::string_view) const { return 7; }
};

// Links share one of 97 hashes spread over the whole range: long probe runs that wrap
// around the end of the index, and removals from the middle of them.
struct FewHashes {
    std::size_t operator()(std::string_view aLink) const {
        return (std::hash<std::string_view>{}(aLink) % 97) * 0x9E3779B97F4A7C15ull;
    }
};

// Any sequence of list operations must answer look-ups as a front-to-back scan would.
template <class TList>
void RandomOperationsAgreeWithALinearScan(int aDistinctLinks = 40, int aSteps = 5000) {
    std::mt19937 random(12345);
    TList list;
    std::vector<FakePtr> model;
    for (int step = 0; step < aSteps; ++step) {
        const std::string link = "link" + std::to_string(random() % aDistinctLinks);
        switch (random() % 5) {
            case 0:
            case 1: {
                auto item = Make(link);
                list.Add(item);
                model.push_back(item);
                break;
            }
            case 2: {
                size_t at = model.empty() ? 0 : random() % (model.size() + 1);
                auto item = Make(link);
                list.Insert(at, item);
                model.insert(model.begin() + at, item);
                break;
            }
            case 3:
                if (!model.empty()) {
                    size_t at = random() % model.size();
                    auto item = model[at];
                    ASSERT_TRUE(list.Remove(item));
                    model.erase(model.begin() + at);
                }
                break;
            case 4:
                if (random() % 50 == 0) {
                    list.Clear();
                    model.clear();
                }
                break;
        }
        ASSERT_EQ(list.FindByLink(link), LinearFind(model, link)) << "step " << step;
    }
    ASSERT_EQ(list.Items(), model);
    for (int i = 0; i < aDistinctLinks; ++i) {
        const std::string link = "link" + std::to_string(i);
        EXPECT_EQ(list.FindByLink(link), LinearFind(model, link));
    }
}

TEST(SearchLinkIndex, RandomOperationsAgreeWithALinearScan) {
    RandomOperationsAgreeWithALinearScan<TLinkIndexedList<FakePtr>>();
}

TEST(SearchLinkIndex, RandomOperationsAgreeWithALinearScanWhenAllHashesCollide) {
    RandomOperationsAgreeWithALinearScan<TLinkIndexedList<FakePtr, CollidingHash>>();
}

// Mostly links of their own, so the index grows through many sizes and removals move
// slots back within long runs.
TEST(SearchLinkIndex, RandomOperationsAgreeWithALinearScanWithManyLinks) {
    RandomOperationsAgreeWithALinearScan<TLinkIndexedList<FakePtr>>(3000, 12000);
    RandomOperationsAgreeWithALinearScan<TLinkIndexedList<FakePtr, FewHashes>>(3000, 12000);
}

TEST(SearchLinkIndex, AReservedIndexAnswersLikeAGrownOne) {
    TLinkIndexedList<FakePtr> reserved, grown;
    reserved.Reserve(1000);
    for (int i = 0; i < 1000; ++i) {
        reserved.Add(Make("l" + std::to_string(i)));
        grown.Add(Make("l" + std::to_string(i)));
    }
    for (int i = 0; i < 1000; ++i) {
        const std::string link = "l" + std::to_string(i);
        ASSERT_EQ(reserved.FindByLink(link)->link, link);
        ASSERT_EQ(grown.FindByLink(link)->link, link);
    }
    EXPECT_EQ(reserved.FindByLink("l1000"), nullptr);
}

}  // namespace
}  // namespace trawlix
