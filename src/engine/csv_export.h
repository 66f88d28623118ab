#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "model/entry.h"

namespace trawlix {

// The columns a CSV export may hold, in file order, and which are wanted.
struct TExportColumns {
    bool date = true;
    bool caption = true;
    bool price = true;
    bool location = true;
    bool latitude = false;
    bool longitude = false;
    bool category = true;
    bool description = false;
    bool contact = false;
    bool adURL = true;
    bool imageURL = false;
    bool favoriteNote = false;
};

struct TExportOptions {
    TExportColumns columns;
    bool onlyNew = false;
    // Fetches an ad's page, for the columns only the page holds (empty text when it fails).
    std::function<std::string(const IEntry& aEntry)> downloadPage;
    // Finds the entry's place, for the coordinates.
    TPlaceLookup placeLookup;
    // Entries done / all entries, after each entry.
    std::function<void(double aDone)> onProgress;
};

// What an export could not do, for the user to hear.
struct TExportReport {
    // Ads whose page was wanted for a column and could not be read: their cells stay empty.
    int pagesNotRead = 0;
};

// The export's lines: the header of the wanted columns, then one line per entry.
std::vector<std::string> ExportToCSV(const TEntryList& aInputEntries, const TExportOptions& aOptions,
                                     TExportReport* aReport = nullptr);
// One line of the export, as spreadsheets read it. Fields are joined by ";"; a field that
// holds ";", a double quote or a line break is put in double quotes with its quotes
// doubled, so every character is kept and a field never splits the line. An empty field
// still takes its place, so every line has its columns where the header has them.
class TCsvLine {
public:
    void Add(const std::string& aData);
    const std::string& Text() const { return fText; }

private:
    std::string fText;
    bool fHasField = false;
};
// What the user is told when ad pages could not be read for an export.
std::string ExportPagesNotReadText(int aPagesNotRead);
// Writes the lines, each ended by CR LF, after a UTF-8 byte-order mark (so spreadsheet
// programs read accents), through a temporary file renamed over aFile.
// Raises std::runtime_error naming the file when it cannot be written.
void WriteCSVFile(const std::filesystem::path& aFile, const std::vector<std::string>& aLines);
// The page of an ad through its site's client (the program's proxy settings apply).
std::string DownloadEntryPage(const IEntry& aEntry);

}  // namespace trawlix
