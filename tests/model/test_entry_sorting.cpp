#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "model/entry_sorting.h"

using namespace trawlix;

namespace {

struct TAd {
    std::string date{};
    std::string link = "http://sfbay.craigslist.org/sfc/apa/100.html";
    bool isNew = false;
    double localDateTime = 0;
    double price = 10;
    std::string name = "bike";
};

IEntry MakeSortableEntry(const TAd& aAd) {
    auto entry = std::make_shared<TEntry>(ssCraigslist, aAd.date, aAd.name, aAd.link, aAd.price, "sf", "bikes", false, 0,
                                          aAd.localDateTime, "", "", "");
    entry->SetNew(aAd.isNew);
    return entry;
}

const double cToday = EncodeDate(2026, 12, 10);

std::vector<std::string> SortedNames(std::vector<IEntry> aEntries, int aColumn, bool aAscending) {
    const auto compare = GetCurrentCompareFunc(aColumn, aAscending, [] { return cToday + 0.5; });
    std::stable_sort(aEntries.begin(), aEntries.end(), [&](const IEntry& a, const IEntry& b) { return compare(a, b) < 0; });
    std::vector<std::string> names;
    for (const auto& entry : aEntries) names.push_back(entry->GetName());
    return names;
}

}  // namespace

TEST(EntrySorting, DefaultOrderPutsNewFirstThenNewestDatesThenFallingPostingIds) {
    const std::vector<IEntry> entries = {
        MakeSortableEntry({.date = "Dec 9", .link = "http://sfbay.craigslist.org/a/5.html", .name = "old dec9 id5"}),
        MakeSortableEntry({.date = "Dec 1", .isNew = true, .name = "new dec1"}),
        MakeSortableEntry({.date = "Dec 9", .link = "http://sfbay.craigslist.org/a/7.html", .name = "old dec9 id7"}),
        MakeSortableEntry({.date = "", .name = "old nodate"}),
        MakeSortableEntry({.date = "", .isNew = true, .name = "new nodate"}),
        MakeSortableEntry({.date = "Dec 10", .name = "old dec10"}),
        MakeSortableEntry({.date = "Dec 5", .isNew = true, .name = "new dec5"}),
    };
    EXPECT_EQ(SortedNames(entries, cSortByDate, false),
              (std::vector<std::string>{"new dec5", "new dec1", "new nodate", "old dec10", "old dec9 id7",
                                        "old dec9 id5", "old nodate"}));
    EXPECT_EQ(SortedNames(entries, cSortByDate, true),
              (std::vector<std::string>{"old nodate", "old dec9 id5", "old dec9 id7", "old dec10", "new nodate",
                                        "new dec1", "new dec5"}));
}

TEST(EntrySorting, EqualDatesWithoutPostingIdsCompareEqual) {
    const IEntry a = MakeSortableEntry({.date = "Dec 9", .link = "http://example.org/ad"});
    const IEntry b = MakeSortableEntry({.date = "Dec 9", .link = "http://example.org/other"});
    EXPECT_EQ(CompareDate(a, b, false, cToday), 0);
    EXPECT_EQ(CompareDate(a, b, true, cToday), 0);
    const IEntry five = MakeSortableEntry({.date = "Dec 9", .link = "http://x.craigslist.org/a/5.html"});
    const IEntry seven = MakeSortableEntry({.date = "Dec 9", .link = "http://x.craigslist.org/a/7.html"});
    EXPECT_EQ(CompareDate(five, seven, true, cToday), -1);
    EXPECT_EQ(CompareDate(five, seven, false, cToday), 1);
}

TEST(EntrySorting, DateValueYearFollowsTheMonthWindow) {
    struct TCase {
        double today;
        std::string date;
        double expected;
    };
    const TCase cases[] = {
        {EncodeDate(2027, 1, 15), "Dec 20", EncodeDate(2026, 12, 20)},  // December seen in January: last year
        {EncodeDate(2027, 1, 15), "Feb 3", EncodeDate(2027, 2, 3)},     // one month ahead: this year
        {EncodeDate(2027, 1, 15), "Mar 3", EncodeDate(2026, 3, 3)},     // two months ahead: last year
        {EncodeDate(2026, 12, 10), "Nov 30", EncodeDate(2026, 11, 30)},
        {EncodeDate(2027, 3, 1), "Feb 30", EncodeDate(2027, 2, 28)},    // a day the month lacks: its last day
        {EncodeDate(2026, 12, 10), "", 0},
    };
    for (const TCase& c : cases) {
        const IEntry entry = MakeSortableEntry({.date = c.date});
        EXPECT_DOUBLE_EQ(EntryDateValue(*entry, c.today), c.expected) << c.date;
    }
    const IEntry timed = MakeSortableEntry({.date = "Dec 1", .localDateTime = 46000.25});
    EXPECT_DOUBLE_EQ(EntryDateValue(*timed, cToday), 46000.25);
}

TEST(EntrySorting, PriceAndTextColumnsInBothDirections) {
    const std::vector<IEntry> entries = {MakeSortableEntry({.price = 20, .name = "b"}), MakeSortableEntry({.price = -1, .name = "a"}),
                                         MakeSortableEntry({.price = 300, .name = "B"})};
    EXPECT_EQ(SortedNames(entries, cSortByPrice, false), (std::vector<std::string>{"B", "b", "a"}));
    EXPECT_EQ(SortedNames(entries, cSortByPrice, true), (std::vector<std::string>{"a", "b", "B"}));
    // Ordinal and case-sensitive: upper case letters sort before lower case ones.
    EXPECT_EQ(SortedNames(entries, cSortByCaption, true), (std::vector<std::string>{"B", "a", "b"}));
    EXPECT_EQ(SortedNames(entries, cSortByCaption, false), (std::vector<std::string>{"b", "a", "B"}));
}

TEST(EntrySorting, TextsOrderByUTF16CodeUnits) {
    struct TCase {
        std::string left, right;
        int expected;
    };
    const TCase cases[] = {
        {"abc", "abd", -1},
        {"abc", "ab", 1},
        {"same", "same", 0},
        {"Zebra", "apple", -1},
        {"caf\xC3\xA9", "cafe", 1},                 // U+00E9 after "e"
        {"\xF0\x9F\x98\x80", "\xEF\xBC\xA1", -1},   // U+1F600 (a surrogate pair) before U+FF21
        {"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", 1},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", -1},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CompareUTF16Ordinal(c.left, c.right), c.expected) << c.left << " / " << c.right;
}

TEST(EntrySorting, FailuresCompareEqualAndOnlyColumnsTwoToSixSort) {
    const IEntry entry = MakeSortableEntry({.date = "Dec 9"});
    EXPECT_EQ(CompareDate(entry, nullptr, false, cToday), 0);
    EXPECT_EQ(CompareCaption(nullptr, entry, true), 0);
    EXPECT_EQ(ComparePrice(entry, MakeSortableEntry({.price = std::nan("")}), true), 0);
    for (int column : {-1, 0, 1, 7, 8}) EXPECT_FALSE(GetCurrentCompareFunc(column, true)) << column;
    for (int column = cSortByDate; column <= cSortByCategory; ++column) EXPECT_TRUE(GetCurrentCompareFunc(column, true));
}

TEST(EntrySorting, SortEntriesGivesTheOrderOfAStableSortWithTheCompareFunction) {
    std::vector<IEntry> entries;
    const char* const dates[] = {"Dec 9", "", "Nov 30", "Dec 9", "Jan 2"};
    const char* const names[] = {"b", "B", "\xC3\xA9t\xC3\xA9", "a", "\xF0\x9F\x98\x80", "b"};
    for (int i = 0; i < 30; ++i) {
        TAd ad{.date = dates[i % 5],
               .link = "http://sfbay.craigslist.org/bik/" + std::to_string(i % 4 == 0 ? 0 : 1000 + i % 7) + ".html",
               .isNew = i % 3 == 0,
               .price = i % 6 == 0 ? std::nan("") : (i % 5) * 10.0,
               .name = names[i % 6]};
        entries.push_back(MakeSortableEntry(ad));
    }
    entries.push_back(nullptr);
    for (int column = cSortByDate; column <= cSortByCategory; ++column) {
        for (bool ascending : {false, true}) {
            std::vector<IEntry> expected = entries;
            const auto compare = GetCurrentCompareFunc(column, ascending, [] { return cToday; });
            std::stable_sort(expected.begin(), expected.end(),
                             [&](const IEntry& a, const IEntry& b) { return compare(a, b) < 0; });
            std::vector<IEntry> sorted = entries;
            SortEntries(sorted, column, ascending, cToday);
            EXPECT_EQ(sorted, expected) << "column " << column << (ascending ? " ascending" : " descending");
        }
    }
    std::vector<IEntry> unsorted = entries;
    SortEntries(unsorted, 7, true, cToday);
    EXPECT_EQ(unsorted, entries);
}
