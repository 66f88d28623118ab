#pragma once

#include <functional>
#include <string>

#include "run/csv_export.h"

namespace trawlix {

// Whose posting page a scraper reads: no entry at all (any page), a Craigslist ad, or an ad
// of another site (the scrapers know only Craigslist's posting pages).
enum class TPostingSource { NoEntry, Craigslist, OtherSite };

// The reply address on a posting page; with no entry, the first e-mail address anywhere
// in the text. Empty when there is none, or when it is not exactly one valid address.
std::string GetEntryEmail(TPostingSource aSource, const std::string& aEntryText);
// The ad's own text (entities decoded); the page unchanged when it has no such block or
// the ad is not from Craigslist.
std::string GetEntryDescription(TPostingSource aSource, const std::string& aEntryText);
// Every picture address of a Craigslist posting, separated by TAB characters.
std::string GetEntryImageURLs(TPostingSource aSource, const std::string& aEntryText);

// Fetches the page at a link; may raise when the page cannot be fetched.
using TPageDownload = std::function<std::string(const std::string& aLink)>;
// The page at the link, or an empty text when it cannot be downloaded.
std::string DownloadPostingPage(const std::string& aLink, const TPageDownload& aDownload);
// The reply address of an ad found by a search: empty for an ad of another site; otherwise
// its posting page is downloaded and read.
std::string GetEntryEmailFromLink(TPostingSource aSource, const std::string& aLink, const TPageDownload& aDownload);

// The ad as today's Craigslist ad page shows it now: title, text with its attributes, price,
// coordinates and every picture, to be taken into the result aFound (TSearch::TakeAdPageDetails).
// Null when the page is not one of today's ad pages, or the ad was removed.
IEntry ReadPostingDetails(const TEntry& aFound, const std::string& aPage);

// The export's page columns of an ad: read as a Craigslist posting for a Craigslist ad.
TPostingFields ReadPostingFields(const IEntry& aEntry, const std::string& aPage);

}  // namespace trawlix
