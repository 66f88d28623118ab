// When two results are one ad, and the index that finds the first one in a look-up.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/duplicate_folding.h"
#include "model/search.h"

namespace trawlix {
namespace {

const double kMonday = 45000;

IEntry Ad(const std::string& aLink, const std::string& aTitle, double aPrice, double aPosted = kMonday,
          const std::string& aDescription = "", const std::string& aPicture = "") {
    return std::make_shared<TEntry>(ssCraigslist, "Mar 4", aTitle, aLink, aPrice, "", "", !aPicture.empty(), 0,
                                    aPosted, aDescription, "", aPicture);
}

TEST(DuplicateFolding, TitlesAreComparedWithoutCaseSpacingPunctuationOrATrailingBracket) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Oak Table", "oak table"},
        {"  Oak   Table ", "oak table"},
        {"Oak-Table!!", "oak table"},
        {"Oak Table (Boston)", "oak table"},
        {"Oak Table [$120]", "oak table"},
        {"Oak Table ($120) (Cambridge)", "oak table"},
        {"Oak (solid) Table", "oak solid table"},
        {"(Boston)", "boston"},  // a title that is all bracket keeps it
        {"Table - $120 (Boston)", "table 120"},
        {"Café Chair", "café chair"},
        {"", ""},
        {"!!!", ""},
    };
    for (const auto& [title, normalised] : cases) EXPECT_EQ(NormalisedAdTitle(title), normalised) << title;
}

TEST(DuplicateFolding, SameAdNeedsTitlePriceAWeekAndAgreeingDetails) {
    const IEntry first = Ad("a/1", "Oak Table (Boston)", 120, kMonday, "", "http://img.a/1/abc_600.jpg");
    struct TCase {
        IEntry other;
        bool same;
        const char* why;
    };
    const std::vector<TCase> cases = {
        {Ad("b/1", "oak table (Cambridge)", 120, kMonday + 3, "", "http://img.b/x/abc_600.jpg"), true, "same picture"},
        {Ad("b/2", "oak table", 120, kMonday + 2), true, "no second picture to compare"},
        {Ad("b/3", "oak table", 125, kMonday), false, "another price"},
        {Ad("b/4", "oak chair", 120, kMonday), false, "another title"},
        {Ad("b/5", "oak table", 120, kMonday + 8), false, "posted more than a week later"},
        {Ad("b/6", "oak table", 120, kMonday, "", "http://img.b/other.jpg"), false, "another picture"},
        {Ad("b/7", "oak table", 120, 0), true, "no posting time rules nothing out"},
    };
    for (const auto& test : cases) EXPECT_EQ(SameAd(*first, *test.other), test.same) << test.why;

    EXPECT_TRUE(SameAd(*Ad("a", "Sofa", 50, kMonday, "Blue, barely used."), *Ad("b", "sofa", 50, kMonday, "blue barely used")));
    EXPECT_FALSE(SameAd(*Ad("a", "Sofa", 50, kMonday, "Blue"), *Ad("b", "sofa", 50, kMonday, "Red")));
    EXPECT_FALSE(SameAd(*Ad("a", "Free couch", -1), *Ad("b", "free couch", -1)))
        << "a title alone, without a price or a detail, is too common";
}

IEntry AdWithPicture(const std::string& aLink, const std::string& aPicture, std::uint64_t aHash,
                     double aPosted = kMonday) {
    IEntry ad = Ad(aLink, "Oak Table", 120, aPosted, "", aPicture);
    ad->SetPictureHash(aHash);
    return ad;
}

TEST(DuplicateFolding, PicturesOfOtherNamesAreComparedByTheirHashesWhenBothWereDownloaded) {
    const std::uint64_t hash = 0xF0F0'3C3C'AAAA'0FF0ull;
    const IEntry first = AdWithPicture("a/1", "http://img.a/1/upload1_600.jpg", hash);
    struct TCase {
        std::uint64_t otherHash;
        bool same;
        const char* why;
    } cases[] = {
        {hash, true, "the same picture uploaded again"},
        {hash ^ 0x0101'0001'0000'0101ull, true, "recompressed: a few bits moved"},
        {hash ^ 0xFFFF'0000'0000'0000ull, false, "another picture"},
        {0, false, "the second picture not downloaded: the names decide, as before"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameAd(*first, *AdWithPicture("b/1", "http://img.b/9/upload2_600.jpg", c.otherHash)), c.same)
            << c.why;
    EXPECT_TRUE(PicturesLookAlike(hash, hash ^ ((1ull << cLookAlikeBits) - 1)));
    EXPECT_FALSE(PicturesLookAlike(hash, hash ^ ((1ull << (cLookAlikeBits + 1)) - 1)));
}

TEST(DuplicateFolding, ASearchFoldsTheLaterAdOnceItsPictureLooksLikeAnEarlierOnes) {
    TSearch search;
    const std::uint64_t hash = 0x1234'5678'9ABC'DEF0ull;
    const IEntry earlier = AdWithPicture("boston/1", "http://img/x1.jpg", 0, kMonday);
    const IEntry later = AdWithPicture("worcester/1", "http://img/x2.jpg", 0, kMonday + 1);
    const IEntry other = Ad("boston/2", "Oak Table", 120, kMonday, "", "http://img/x3.jpg");
    for (const IEntry& entry : {later, earlier, other}) search.AddSearchResult(entry);
    EXPECT_FALSE(search.FoldWhenDetailsAgree(later)) << "no hash yet";
    later->SetPictureHash(hash);
    EXPECT_FALSE(search.FoldWhenDetailsAgree(later)) << "the other picture is not downloaded yet";
    other->SetPictureHash(~hash);
    earlier->SetPictureHash(hash ^ 3);
    const auto changes = search.GetChangeCount();
    EXPECT_TRUE(search.FoldWhenDetailsAgree(earlier));
    EXPECT_EQ(later->GetDuplicateOf(), "boston/1") << "the ad posted later folds, whichever picture came last";
    EXPECT_FALSE(earlier->IsFolded());
    EXPECT_FALSE(other->IsFolded());
    EXPECT_GT(search.GetChangeCount(), changes);
    EXPECT_FALSE(search.FoldWhenDetailsAgree(later)) << "folded once";

    // Without posting times the result found first stays, whichever picture came last.
    TSearch untimed;
    const IEntry found = AdWithPicture("boston/3", "http://img/y1.jpg", hash, 0);
    const IEntry foundAfter = AdWithPicture("worcester/3", "http://img/y2.jpg", hash, 0);
    untimed.AddSearchResult(found);
    untimed.AddSearchResult(foundAfter);
    EXPECT_TRUE(untimed.FoldWhenDetailsAgree(found));
    EXPECT_EQ(foundAfter->GetDuplicateOf(), "boston/3");
}

TEST(DuplicateFolding, TheIndexFindsTheFirstCurrentOriginalAndUnfolds) {
    std::vector<IEntry> current;
    TDuplicateIndex index([&](const IEntry& aEntry) {
        return std::find(current.begin(), current.end(), aEntry) != current.end();
    });
    const IEntry first = Ad("boston/1", "Bike", 200);
    const IEntry second = Ad("worcester/1", "bike!", 200);
    const IEntry third = Ad("providence/1", "Bike (Providence)", 200);
    current = {first};
    index.Add(first);
    EXPECT_EQ(index.FindOriginal(*first), nullptr) << "a result is no duplicate of itself";
    ASSERT_EQ(index.FindOriginal(*second), first);
    index.Fold(second, first);
    current.push_back(second);
    EXPECT_EQ(second->GetDuplicateOf(), "boston/1");
    EXPECT_EQ(index.FindOriginal(*third), first) << "the first found stays the one others fold under";
    index.Fold(third, first);
    current.push_back(third);
    EXPECT_EQ(index.FoldedUnder("boston/1"), (std::vector<IEntry>{second, third}));

    current.erase(current.begin() + 1);  // "worcester" left the list
    EXPECT_EQ(index.FoldedUnder("boston/1"), (std::vector<IEntry>{third}));
    EXPECT_EQ(index.Unfold("boston/1"), (std::vector<IEntry>{third}));
    EXPECT_FALSE(third->IsFolded());
    EXPECT_TRUE(index.FoldedUnder("boston/1").empty());

    current = {third};  // the first result is gone: a new copy folds under the one still there
    EXPECT_EQ(index.FindOriginal(*Ad("nashua/1", "bike", 200)), third);
}

}  // namespace
}  // namespace trawlix
