// A large stored search is read on two threads; what it reads must be what a row-by-row
// read gives: every field, in row order, with damaged rows left out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/search.h"
#include "model/test_search_fixture.h"

namespace trawlix {
namespace {

IEntry Result(int aNumber) {
    const std::string n = std::to_string(aNumber);
    // Quotes are stored escaped; places and categories repeat, as in real searches.
    auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec " + std::to_string(1 + aNumber % 28),
                                          "Bike \"" + n + "\" it's fine", "http://la.craigslist.org/bik/" + n + ".html",
                                          100 + aNumber, "place '" + std::to_string(aNumber % 7) + "'",
                                          "bikes " + std::to_string(aNumber % 3), aNumber % 2 == 0, aNumber % 50,
                                          45000.5, aNumber % 5 == 0 ? "" : "about " + n, "", "");
    if (aNumber % 1000 == 1) entry->SetResizedImage(TBlob(3000 + aNumber, static_cast<std::uint8_t>(aNumber)));
    if (aNumber % 777 == 0) entry->SetDuplicateOf("http://la.craigslist.org/bik/1.html");
    if (aNumber % 333 == 0) entry->DropPrice(50);
    entry->SetVisited(aNumber % 4 == 0);
    return entry;
}

std::string Fields(const TEntry& aEntry) {
    return std::to_string(aEntry.GetFromSite()) + "|" + aEntry.GetDate() + "|" + aEntry.GetName() + "|" +
           aEntry.GetLink() + "|" + std::to_string(aEntry.GetPrice()) + "|" + aEntry.GetLocationString() + "|" +
           aEntry.GetCategoryString() + "|" + std::to_string(aEntry.GetHasImage()) + "|" +
           std::to_string(aEntry.GetLocationID()) + "|" + aEntry.GetDescription() + "|" +
           std::to_string(aEntry.GetVisited()) + "|" + std::to_string(aEntry.GetNew()) + "|" +
           std::to_string(aEntry.GetPriceWas()) + "|" + aEntry.GetDuplicateOf() + "|" +
           std::to_string(aEntry.GetResizedImage().size()) + "|" + std::to_string(aEntry.GetMonth()) + "/" +
           std::to_string(aEntry.GetDay());
}

class EntryLoaderTest : public test::SearchStoreTest {};

TEST_F(EntryLoaderTest, ALargeSearchReadsBackEveryFieldInOrderWithoutItsDamagedRows) {
    constexpr int cCount = 9000;  // well past the size read on two threads
    TSearch search;
    search.SetName("Bikes");
    std::vector<std::string> expected;
    for (int i = 1; i <= cCount; ++i) {
        IEntry entry = Result(i);
        search.AddSearchResult(entry);
        if (i != 4321 && i != cCount) expected.push_back(Fields(*entry));
    }
    search.SaveToDB(Storage());
    // Two rows that no longer name a site: one inside a batch, the very last one.
    Storage().SQLLiteDB().ExecSQL("update entries set site = 99 where link like '%/4321.html' or link like '%/" +
                                  std::to_string(cCount) + ".html'");

    auto loaded = TSearch::CreateFromDB(Storage(), search.GetID(), Lookups());
    std::vector<std::string> read;
    for (const IEntry& entry : loaded->GetSearchResults()) read.push_back(Fields(*entry));
    ASSERT_EQ(read.size(), expected.size());
    for (std::size_t i = 0; i < read.size(); ++i) ASSERT_EQ(read[i], expected[i]) << "result " << i;
    // The link index was filled as the results came.
    EXPECT_NE(loaded->GetSearchResults().FindByLink("http://la.craigslist.org/bik/8999.html"), nullptr);
    EXPECT_EQ(loaded->GetSearchResults().FindByLink("http://la.craigslist.org/bik/4321.html"), nullptr);
}

}  // namespace
}  // namespace trawlix
