#include "engine/csv_export.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/posting_scrapers.h"
#include "engine/text_functions.h"
#include "model/places.h"

namespace trawlix {

namespace {

constexpr const char* cUTF8ByteOrderMark = "\xEF\xBB\xBF";

std::string ReplaceAll(std::string aText, const std::string& aFrom, const std::string& aTo) {
    for (size_t at = aText.find(aFrom); at != std::string::npos; at = aText.find(aFrom, at + aTo.size()))
        aText.replace(at, aFrom.size(), aTo);
    return aText;
}

// What a posting page gives a cell: text only. A page that is not a posting gives nothing,
// never its markup.
std::string PageDescription(TPostingSource aSource, const std::string& aPage) {
    const std::string description = GetEntryDescription(aSource, aPage);
    if (description == aPage) return {};
    return Trim(RemoveTags(description));
}

// Shortest decimal text of the number: 12.5, 100, 37.8044.
std::string GeneralNumber(double aValue) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", aValue);
    return text;
}

std::string PriceText(double aPrice) {
    if (!(aPrice > 0)) return "---";
    return GeneralNumber(std::round(aPrice * 100) / 100);
}

std::string CoordinateText(double aValue) { return aValue == 0 ? std::string() : GeneralNumber(aValue); }

std::string HeaderLine(const TExportColumns& aColumns) {
    const std::pair<bool, const char*> names[] = {
        {aColumns.date, "Date"},         {aColumns.caption, "Caption"},     {aColumns.price, "Price"},
        {aColumns.location, "Location"}, {aColumns.latitude, "Latitude"},   {aColumns.longitude, "Longitude"},
        {aColumns.category, "Category"}, {aColumns.description, "Description"}, {aColumns.contact, "Contact"},
        {aColumns.adURL, "Ad URL"},      {aColumns.imageURL, "Image URL"},  {aColumns.favoriteNote, "Note (for favorites)"}};
    TCsvLine line;
    for (const auto& [wanted, name] : names)
        if (wanted) line.Add(name);
    return line.Text();
}

bool NeedsPage(const TEntry& aEntry, const TExportColumns& aColumns) {
    return (aColumns.description && aEntry.GetDescription().empty()) ||
           (aColumns.contact && aEntry.GetContact().empty()) || aColumns.imageURL;
}

TPostingSource SourceOf(const TEntry& aEntry) {
    return aEntry.GetFromSite() == ssCraigslist ? TPostingSource::Craigslist : TPostingSource::OtherSite;
}

std::string EntryLine(const IEntry& aEntry, const TExportOptions& aOptions, TExportReport& aReport) {
    const TExportColumns& columns = aOptions.columns;
    const TEntry& entry = *aEntry;
    std::string page;
    if (NeedsPage(entry, columns) && aOptions.downloadPage) {
        page = aOptions.downloadPage(aEntry);
        if (page.empty()) ++aReport.pagesNotRead;
    }
    const TPlace* place = nullptr;
    if ((columns.latitude || columns.longitude) && aOptions.placeLookup)
        place = aEntry->GetLocation(aOptions.placeLookup);

    TCsvLine line;
    if (columns.date) line.Add(entry.GetDate());
    if (columns.caption) line.Add(entry.GetName());
    if (columns.price) line.Add(PriceText(entry.GetPrice()));
    if (columns.location) line.Add(entry.GetLocationString());
    if (columns.latitude) line.Add(place ? CoordinateText(place->GetLatitude()) : "");
    if (columns.longitude) line.Add(place ? CoordinateText(place->GetLongitude()) : "");
    if (columns.category) line.Add(entry.GetCategoryString());
    if (columns.description)
        line.Add(!entry.GetDescription().empty() ? entry.GetDescription()
                                                        : (page.empty() ? "" : PageDescription(SourceOf(entry), page)));
    if (columns.contact) {
        const std::string contact = entry.GetContact();
        line.Add(!contact.empty() ? contact : (page.empty() ? "" : GetEntryEmail(SourceOf(entry), page)));
    }
    if (columns.adURL) line.Add(entry.GetLink());
    if (columns.imageURL) line.Add(page.empty() ? "" : GetEntryImageURLs(SourceOf(entry), page));
    if (columns.favoriteNote) {
        const auto* favourite = dynamic_cast<const TFavourite*>(&entry);
        line.Add(favourite ? favourite->GetNote() : "");
    }
    return line.Text();
}

}  // namespace

void TCsvLine::Add(const std::string& aData) {
    if (fHasField) fText += ";";
    fHasField = true;
    if (aData.find_first_of(";\"\r\n") == std::string::npos)
        fText += aData;
    else
        fText += "\"" + ReplaceAll(aData, "\"", "\"\"") + "\"";
}

std::vector<std::string> ExportToCSV(const TEntryList& aInputEntries, const TExportOptions& aOptions,
                                     TExportReport* aReport) {
    TExportReport report;
    std::vector<std::string> lines{HeaderLine(aOptions.columns)};
    const size_t count = aInputEntries.size();
    for (size_t i = 0; i < count; ++i) {
        const IEntry& entry = aInputEntries[i];
        if (entry && (!aOptions.onlyNew || entry->GetNew())) lines.push_back(EntryLine(entry, aOptions, report));
        if (aOptions.onProgress) aOptions.onProgress(static_cast<double>(i + 1) / count);
    }
    if (aReport) *aReport = report;
    return lines;
}

std::string ExportPagesNotReadText(int aPagesNotRead) {
    return std::to_string(aPagesNotRead) + (aPagesNotRead == 1 ? " ad page" : " ad pages") +
           " could not be read: the columns taken from the ad's page are empty for " +
           (aPagesNotRead == 1 ? "it." : "them.");
}

void WriteCSVFile(const std::filesystem::path& aFile, const std::vector<std::string>& aLines) {
    std::filesystem::path temporary = aFile;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << cUTF8ByteOrderMark;
        for (const auto& line : aLines) out << line << "\r\n";
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw std::runtime_error("Could not write the file \"" + aFile.string() + "\".");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, aFile, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error("Could not write the file \"" + aFile.string() + "\".");
    }
}

std::string DownloadEntryPage(const IEntry& aEntry) {
    return DownloadFile(aEntry->GetLink(), GetSiteDownloader(aEntry->GetFromSite()));
}

}  // namespace trawlix
