#include "engine/csv_export.h"

#include <gtest/gtest.h>

#include "engine/search_run_fixture.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

IEntry MakeEntry(const std::string& aName, double aPrice, int aPlaceID, bool aNew = true,
                 TSiteSearchEnum aSite = ssCraigslist) {
    auto entry = std::make_shared<TEntry>(aSite, "Mar 5", aName, "http://oakland.craigslist.org/bik/1.html", aPrice,
                                          "oakland - california", "bikes - for sale", false, aPlaceID, 0, "", "", "");
    entry->SetNew(aNew);
    return entry;
}

TEST(CsvExport, FieldsAreQuotedAsSpreadsheetsReadThemAndKeepEveryCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"note; with \"quotes\", comma", "\"note; with \"\"quotes\"\", comma\""},
        {"one\r\ntwo", "\"one\r\ntwo\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"wide    gap, comma", "wide    gap, comma"},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"café ü €", "café ü €"},
        {"", ""},
    };
    for (const auto& [input, expected] : cases) {
        TCsvLine line;
        line.Add(input);
        EXPECT_EQ(line.Text(), expected) << input;
    }
}

TEST(CsvExport, EmptyFieldsKeepTheirColumns) {
    TCsvLine line;
    line.Add("");
    line.Add("x");
    line.Add("");
    line.Add("y");
    EXPECT_EQ(line.Text(), ";x;;y");

    // Car-site ads carry no date: their caption must still land under "Caption".
    auto undated = std::make_shared<TEntry>(ssCarsCom, "", "2006 Honda Civic", "http://www.cars.com/ad/1", 8990,
                                            "boston", "cars & trucks", false, 1004, 0, "", "", "");
    const auto lines = ExportToCSV({undated}, TExportOptions{});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], ";2006 Honda Civic;8990;boston;cars & trucks;http://www.cars.com/ad/1");
}

TEST(CsvExport, DefaultColumnsPricesAndOnlyNew) {
    TExportOptions options;
    const TEntryList entries = {MakeEntry("red bike", 12.499, 12), MakeEntry("free couch", -1, 12, false),
                                MakeEntry("lamp", 100, 12)};
    auto lines = ExportToCSV(entries, options);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Date;Caption;Price;Location;Category;Ad URL");
    EXPECT_EQ(lines[1], "Mar 5;red bike;12.5;oakland - california;bikes - for sale;http://oakland.craigslist.org/bik/1.html");
    EXPECT_EQ(lines[2].substr(0, 22), "Mar 5;free couch;---;o");
    EXPECT_EQ(lines[3].substr(0, 16), "Mar 5;lamp;100;o");

    options.onlyNew = true;
    std::vector<double> progress;
    options.onProgress = [&](double aDone) { progress.push_back(aDone); };
    lines = ExportToCSV(entries, options);
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(progress.size(), 3u) << "skipped entries count as done too";
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
    EXPECT_EQ(ExportToCSV({}, options).size(), 1u) << "nothing to export is the header alone";
}

TEST(CsvExport, PageColumnsFetchThePageOnlyWhenNeeded) {
    test::TRunTrees trees;
    TExportOptions options;
    options.columns = TExportColumns{false, true, false, false, true, true, false, true, true, false, false, false};
    int downloads = 0;
    options.downloadPage = [&](const IEntry&) {
        ++downloads;
        return std::string("<html>Reply to: <a href=\"mailto:me@example.org\">me@example.org</a>"
                           "<div id=\"userbody\">Nice bike\n<!-- START CLTAGS --></div></html>");
    };
    options.placeLookup = [&](int aID) -> const TPlace* { return trees.places.GetPlaceByID(aID); };
    auto known = MakeEntry("bike", 5, 12);
    known->SetDescription("told already");
    known->SetContact("known@example.org");
    auto lines = ExportToCSV({known, MakeEntry("other", 5, 14)}, options);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Caption;Latitude;Longitude;Description;Contact");
    EXPECT_EQ(lines[1], "bike;37.8044;-122.2712;told already;known@example.org");
    EXPECT_EQ(downloads, 1) << "an entry that has its text and contact needs no page";
    EXPECT_EQ(lines[2].substr(0, 8), "other;;;") << "a place without coordinates leaves them empty";
    EXPECT_NE(lines[2].find("Nice bike"), std::string::npos);
    EXPECT_NE(lines[2].find(";me@example.org"), std::string::npos);
}

TEST(CsvExport, PagesThatCannotBeReadAreCountedAndCellsHoldNoMarkup) {
    TExportOptions options;
    options.columns = TExportColumns{false, true, false, false, false, false, false, true, false, false, false, false};
    options.downloadPage = [](const IEntry& aEntry) -> std::string {
        if (aEntry->GetName() == "gone") return "";
        if (aEntry->GetName() == "foreign") return "<html><body><h1>Not a posting</h1></body></html>";
        return "<html><div id=\"userbody\">Nice <b>bike</b>; ask &quot;Al&quot;\n<!-- START CLTAGS --></div></html>";
    };
    TExportReport report;
    const auto lines =
        ExportToCSV({MakeEntry("gone", 1, 12), MakeEntry("foreign", 1, 12), MakeEntry("posting", 1, 12),
                     MakeEntry("gone", 1, 12)},
                    options, &report);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(report.pagesNotRead, 2);
    EXPECT_EQ(lines[1], "gone;");
    EXPECT_EQ(lines[2], "foreign;") << "a page that is not a posting gives no description, never its markup";
    EXPECT_EQ(lines[3], "posting;\"Nice bike; ask \"\"Al\"\"\"");
    EXPECT_EQ(ExportPagesNotReadText(2),
              "2 ad pages could not be read: the columns taken from the ad's page are empty for them.");
}

TEST(CsvExport, FileLinesEndWithCrLfAndReplaceTheOldFile) {
    test::TempDir dir;
    test::WriteFile(dir / "out.csv", "old content that is longer than the new one");
    WriteCSVFile(dir / "out.csv", {"a;b", "c;d"});
    EXPECT_EQ(test::ReadFile(dir / "out.csv"), "\xEF\xBB\xBF" "a;b\r\nc;d\r\n") << "a UTF-8 byte-order mark first";
    EXPECT_FALSE(std::filesystem::exists(dir / "out.csv.tmp"));
    EXPECT_THROW(WriteCSVFile(dir / "missing" / "out.csv", {"x"}), std::runtime_error);
}

}  // namespace
}  // namespace trawlix
