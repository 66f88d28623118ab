#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/regex.h"

namespace trawlix {

// One ad as a parser reports it.
struct TParsedResult {
    std::string date;      // month abbreviation, space, day: "Dec 12"
    std::string name;      // the title as shown
    std::string link;      // for Craigslist listings a path relative to the city host
    double price = -1;     // -1 when no price could be read
    bool hasImage = false;
    double localDateTime = 0;  // the full date and time when the site gives one, else 0
    std::string description;
    std::string contact;
    std::string imageUrl;
    // What today's answers add: the place the site names, its coordinates, every picture.
    std::string place;
    bool hasGeo = false;
    double latitude = 0;
    double longitude = 0;
    std::vector<std::string> pictures;
};

using TOnResultParsed = std::function<void(const TParsedResult&)>;

// Finds the ads on one downloaded page. The base class reads RSS feeds (Backpage, Oodle,
// eBay Classifieds). A parser keeps its compiled patterns for a whole search run; it is
// used by one thread at a time.
class TBaseResultsParser {
public:
    TBaseResultsParser();
    virtual ~TBaseResultsParser() = default;
    TBaseResultsParser(const TBaseResultsParser&) = delete;
    TBaseResultsParser& operator=(const TBaseResultsParser&) = delete;

    const std::string& GetHTML() const { return fHTML; }
    void SetHTML(std::string aHTML) { fHTML = std::move(aHTML); }
    bool GetSearchLinkPagesOverflow() const { return fSearchLinkPagesOverflow; }
    void SetSearchLinkPagesOverflow(bool aValue) { fSearchLinkPagesOverflow = aValue; }
    bool GetOnlyCatListings() const { return fOnlyCatListings; }
    void SetOnlyCatListings(bool aValue) { fOnlyCatListings = aValue; }
    void SetOnResultParsed(TOnResultParsed aHandler) { fOnResultParsed = std::move(aHandler); }

    virtual int ParseRSS();
    // The number of ads reported. Never raises: a page that breaks a pattern ends early.
    virtual int Parse();
    int ParseRSSRE();

protected:
    void ReportResult(const TParsedResult& aResult);

    std::string fHTML;
    bool fSearchLinkPagesOverflow = false;
    bool fOnlyCatListings = false;
    TOnResultParsed fOnResultParsed;

private:
    bool NextFeedItem(size_t& aPos, std::string_view& aItemText) const;
    bool ParseFeedItem(std::string_view aItemText);
};

}  // namespace trawlix
