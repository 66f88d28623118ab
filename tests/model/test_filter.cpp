#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>

#include "model/filter.h"
#include "model/objects_storage.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace trawlix;

namespace {

IEntry Ad(const std::string& aName, double aPrice, TSiteSearchEnum aSite = ssCraigslist,
          const std::string& aLocation = "Boston", const std::string& aCategory = "cars+trucks",
          const std::string& aDate = "Dec 12") {
    return std::make_shared<TEntry>(aSite, aDate, aName, "https://example.org/" + aName, aPrice, aLocation, aCategory,
                                    false, 0, 0, "", "", "");
}

// The names of the filter's results, in order.
std::vector<std::string> ResultNames(const TFilter& aFilter) {
    TCLock lock(aFilter.GetCriticalSection());
    std::vector<std::string> names;
    for (const IEntry& entry : aFilter.GetResults()) names.push_back(entry->GetName());
    return names;
}

class FilterTest : public ::testing::Test {
protected:
    void Type(const std::string& aText, int aFilterBy = 0, bool aNot = false) {
        TFilterQuery& query = fFilter.TempQuery();
        query.SetText(aText);
        query.SetFilterBy(aFilterBy);
        query.SetIsNOT(aNot);
    }
    void Remember(const std::string& aText, int aFilterBy = 0, bool aNot = false) {
        Type(aText, aFilterBy, aNot);
        fFilter.PostTempQuery(true);
    }
    std::vector<std::string> Apply() {
        fFilter.Execute(&fEntries);
        return ResultNames(fFilter);
    }

    TFilter fFilter;
    TEntryList fEntries = {
        Ad("2007 Honda Civic", 4500),        Ad("Toyota Camry 2007", 150, ssEBay, "Austin"),
        Ad("HONDA accord", 1500, ssOodle),   Ad("bike", 215, ssBackpage, "Honda Valley"),
        Ad("lamp", 15, ssCarsCom, "Boston"), Ad("desk", 51.5, ssAutotrader, "Boston", "a&b furniture"),
    };
};

TEST_F(FilterTest, WithoutQueriesEveryEntryPassesInOrder) {
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "Toyota Camry 2007", "HONDA accord", "bike",
                                                 "lamp", "desk"}));
    EXPECT_EQ(fFilter.GetResultsCount(), 6);
    fFilter.Execute(nullptr);
    EXPECT_EQ(fFilter.GetResultsCount(), 0);
}

TEST_F(FilterTest, TextOnOneFieldMatchesInAnyCaseAndNotGivesTheOthers) {
    Type("  Honda ", 2);
    EXPECT_EQ(fFilter.TempQuery().GetText(), "honda");
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "HONDA accord"}));
    Type("Honda", 2, true);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"Toyota Camry 2007", "bike", "lamp", "desk"}));
    // "any field" also sees the location.
    Type("honda", 0);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "HONDA accord", "bike"}));
}

TEST_F(FilterTest, PriceIsSearchedAsItsWrittenNumber) {
    Type("15", 3);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"Toyota Camry 2007", "HONDA accord", "bike", "lamp"}));
    Type("51.5", 3);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"desk"}));
    Type("-1", 3);
    fEntries.push_back(Ad("no price", -1));
    EXPECT_EQ(Apply(), (std::vector<std::string>{"no price"}));
}

TEST_F(FilterTest, SiteIsSearchedByItsDisplayName) {
    Type("ebay", 6);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"Toyota Camry 2007"}));
    Type(".com", 6);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"lamp", "desk"}));
}

TEST_F(FilterTest, AnyFieldJoinsTheSixTextsWithSingleSpaces) {
    TFilterQuery query(&fFilter);
    EXPECT_EQ(query.GetSearchedText(*fEntries[5]), "Dec 12 desk 51.5 Boston a&b furniture Autotrader.com");
    const std::pair<int, std::string> fields[] = {
        {1, "Dec 12"}, {2, "desk"}, {3, "51.5"}, {4, "Boston"}, {5, "a&b furniture"}, {6, "Autotrader.com"}};
    for (const auto& [field, text] : fields) {
        query.SetFilterBy(field);
        EXPECT_EQ(query.GetSearchedText(*fEntries[5]), text);
    }
    query.SetFilterBy(42);  // a damaged store: back to "any field"
    EXPECT_EQ(query.GetFilterBy(), 0);
}

TEST_F(FilterTest, ThePriceDropFieldSelectsResultsWhosePriceDropped) {
    fEntries[5]->DropPrice(40);
    TFilterQuery query(&fFilter);
    query.SetFilterBy(7);
    query.SetText("dropped");
    EXPECT_EQ(query.GetSearchedText(*fEntries[5]), "dropped from 51.5");
    int passing = 0;
    for (const IEntry& entry : fEntries) passing += query.EntryPasses(*entry) ? 1 : 0;
    EXPECT_EQ(passing, 1);
    EXPECT_TRUE(query.EntryPasses(*fEntries[5]));
}

TEST_F(FilterTest, RememberedAndTypedQueriesMustAllPass) {
    Remember("honda", 2);
    Type("civic", 0);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic"}));
    EXPECT_FALSE(fFilter.EntryPasses(*fEntries[2], true));
    EXPECT_TRUE(fFilter.EntryPasses(*fEntries[0], true));
    // Escape in the bar: the typed query goes, the remembered one stays.
    fFilter.ClearTempQuery();
    EXPECT_FALSE(fFilter.HasTempQuery());
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "HONDA accord"}));
}

TEST_F(FilterTest, CaptionDescribesTheQueryAndRemovingItReappliesWithoutIt) {
    Remember("A&B", 0, true);
    const TFilterQuery* query = nullptr;
    {
        TCLock lock(fFilter.GetCriticalSection());
        query = fFilter.GetQueries().front().get();
        EXPECT_EQ(query->GetCaption(), "not having \"a&&b\" in any field");
    }
    EXPECT_EQ(Apply().size(), 5u);
    fFilter.DeleteQuery(query);
    EXPECT_EQ(fFilter.GetQueriesCount(), 0);
    EXPECT_EQ(Apply().size(), 6u);

    TFilterQuery plain(&fFilter);
    plain.SetText("Bike");
    plain.SetFilterBy(4);
    EXPECT_EQ(plain.GetCaption(), "having \"bike\" in location");
}

TEST_F(FilterTest, TextBetweenSlashesIsACaseInsensitivePattern) {
    Type("/2007.*?toyota/", 2);
    EXPECT_TRUE(fFilter.TempQuery().GetIsRegEx());
    EXPECT_EQ(fFilter.TempQuery().GetText(), "/2007.*?toyota/");
    EXPECT_EQ(Apply(), (std::vector<std::string>{}));
    Type("/Civic|ACCORD/", 2);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "HONDA accord"}));
    Type("/^\\d+ honda/", 2, true);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"Toyota Camry 2007", "HONDA accord", "bike", "lamp", "desk"}));
}

TEST_F(FilterTest, APatternOverAnyFieldMeetsEachFieldOnItsOwn) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"/camry \\d{4}$/", {"Toyota Camry 2007"}},
        {"/^honda/", {"HONDA accord", "bike"}},  // a name, and a location
        {"/^boston$/", {"2007 Honda Civic", "HONDA accord", "lamp", "desk"}},
        {"/^a&b furniture$/", {"desk"}},
        {"/^15$/", {"lamp"}},
        {"/civic 4500/", {}},  // no pattern reaches from one field into the next
    };
    for (const auto& [pattern, names] : cases) {
        Type(pattern, 0);
        EXPECT_EQ(Apply(), names) << pattern;
    }
    Type("/^honda/", 0, true);
    EXPECT_EQ(Apply(), (std::vector<std::string>{"2007 Honda Civic", "Toyota Camry 2007", "lamp", "desk"}));
}

TEST_F(FilterTest, InvalidPatternMatchesNothingAndNeverRaises) {
    Type("/(unclosed/", 2);
    EXPECT_TRUE(fFilter.TempQuery().GetIsRegEx());
    EXPECT_NO_THROW(Apply());
    EXPECT_EQ(Apply().size(), 0u);
    Type("/(unclosed/", 2, true);
    EXPECT_EQ(Apply().size(), 6u);
    // A single slash counts as a pattern (an empty one) while the user starts typing.
    Type("/", 2);
    EXPECT_TRUE(fFilter.TempQuery().GetIsRegEx());
    EXPECT_EQ(Apply().size(), 6u);
    // A pattern that would backtrack for ages gives up instead of hanging.
    fEntries = {Ad(std::string(40, 'a') + "!", 1)};
    Type("/^(\\w+\\s?)+$/", 2);
    EXPECT_EQ(Apply().size(), 0u);
}

TEST_F(FilterTest, TryAddEntryInsertsPassingEntriesAtTheClampedPosition) {
    Type("honda", 0);
    Apply();
    fFilter.TryAddEntry(Ad("new honda", 1), 0);
    fFilter.TryAddEntry(Ad("new toyota", 1), 0);
    fFilter.TryAddEntry(Ad("late honda", 1), 99);
    fFilter.TryAddEntry(Ad("early honda", 1), -5);
    fFilter.TryAddEntry(nullptr, 0);
    EXPECT_EQ(ResultNames(fFilter), (std::vector<std::string>{"early honda", "new honda", "2007 Honda Civic",
                                                               "HONDA accord", "bike", "late honda"}));
}

TEST_F(FilterTest, SortResultsUsesTheGivenOrderAndClearResultsEmptiesThem) {
    Apply();
    fFilter.SortResults([](const IEntry& a, const IEntry& b) {
        return a->GetPrice() < b->GetPrice() ? -1 : (a->GetPrice() > b->GetPrice() ? 1 : 0);
    });
    EXPECT_EQ(ResultNames(fFilter), (std::vector<std::string>{"lamp", "desk", "Toyota Camry 2007", "bike",
                                                               "HONDA accord", "2007 Honda Civic"}));
    fFilter.ClearResults();
    EXPECT_EQ(fFilter.GetResultsCount(), 0);
}

TEST_F(FilterTest, LockIsReentrantForTheMainWindowsPattern) {
    TCLock outer(fFilter.GetCriticalSection());
    Type("lamp", 2);
    fFilter.PostTempQuery(true);
    fFilter.Execute(&fEntries);
    EXPECT_EQ(fFilter.GetResultsCount(), 1);
}

TEST(FilterXML, RememberedQueriesAreReadFromTheOlderFile) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(
        "<filter><query filter_by='2' not='True' text='  Big &amp;#38; Small '/>"
        "<anything filter_by='9' not='0' text='/Honda.*Civic/'/><q/></filter>"));
    TFilter filter;
    filter.LoadFromXMLNode(doc.child("filter"));
    TCLock lock(filter.GetCriticalSection());
    ASSERT_EQ(filter.GetQueries().size(), 3u);
    const auto& first = *filter.GetQueries()[0];
    EXPECT_EQ(first.GetFilterBy(), 2);
    EXPECT_TRUE(first.GetIsNOT());
    EXPECT_EQ(first.GetText(), "big & small");
    const auto& second = *filter.GetQueries()[1];
    EXPECT_EQ(second.GetFilterBy(), 0);
    EXPECT_FALSE(second.GetIsNOT());
    EXPECT_TRUE(second.GetIsRegEx());
    EXPECT_EQ(filter.GetQueries()[2]->GetText(), "");
    EXPECT_FALSE(filter.HasTempQuery());
}

class FilterStorageTest : public FilterTest {
protected:
    void SetUp() override {
        fs::copy_file(trawlix::test::SourceDataDir() / "object_storage.cur", fDir / "object_storage.cur");
        fStorage = std::make_unique<TObjectsStorage>((fDir / "object_storage.cur").string());
        fSearchID = fStorage->AddObject("search", -1, "", true);
    }

    std::unique_ptr<TFilter> SaveAndLoad(const TFilter& aFilter) {
        TStorageTransaction transaction(*fStorage);
        aFilter.SaveToDB(*fStorage, fSearchID);
        transaction.Commit();
        auto loaded = std::make_unique<TFilter>();
        if (IDBObject object = fStorage->GetObject("filter", fSearchID)) loaded->FromDB(*fStorage, object->GetID());
        return loaded;
    }

    test::TempDir fDir;
    std::unique_ptr<TObjectsStorage> fStorage;
    int fSearchID = 0;
};

TEST_F(FilterStorageTest, RememberedQueriesComeBackInOrderAndTheTypedOneIsLost) {
    Remember("honda", 2);
    Remember("austin", 4, true);
    Remember("/camry|civic/", 0);
    Type("typed only", 1);
    SaveAndLoad(fFilter);
    auto loaded = SaveAndLoad(fFilter);  // a second save replaces the queries
    EXPECT_FALSE(loaded->HasTempQuery());
    TCLock lock(loaded->GetCriticalSection());
    ASSERT_EQ(loaded->GetQueries().size(), 3u);
    EXPECT_EQ(loaded->GetQueries()[0]->GetCaption(), "having \"honda\" in caption");
    EXPECT_EQ(loaded->GetQueries()[1]->GetCaption(), "not having \"austin\" in location");
    EXPECT_TRUE(loaded->GetQueries()[2]->GetIsRegEx());
    loaded->Execute(&fEntries);
    EXPECT_EQ(ResultNames(*loaded), (std::vector<std::string>{"2007 Honda Civic"}));
    EXPECT_EQ(fStorage->GetObjects("filter", fSearchID).size(), 1u);
}

TEST_F(FilterStorageTest, TextStoredInUpperCaseByAnotherWriterStillMatches) {
    const int filterID = fStorage->AddObject("filter", fSearchID, "", false);
    const int queryID = fStorage->AddObject("query", filterID, "", true);
    fStorage->SetObjectProp(queryID, "filter_by", 2);
    fStorage->SetObjectProp(queryID, "text", "HONDA");
    TFilter loaded;
    loaded.FromDB(*fStorage, filterID);
    loaded.Execute(&fEntries);
    EXPECT_EQ(ResultNames(loaded), (std::vector<std::string>{"2007 Honda Civic", "HONDA accord"}));
    TFilter none;
    none.FromDB(*fStorage, 0);
    EXPECT_EQ(none.GetQueriesCount(), 0);
}

}  // namespace
