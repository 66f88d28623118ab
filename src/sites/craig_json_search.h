#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results_parser.h"

namespace trawlix {

// One ad of Craigslist's JSON search answer, as its item and the answer's decode table
// give it.
struct TCraigJsonAd {
    std::int64_t postingId = 0;
    std::int64_t postedUnixTime = 0;  // seconds
    double price = -1;                // -1 when the ad shows none
    std::string title;
    std::string host;     // "sfbay"
    std::string subArea;  // "eby", empty for an area without sub-areas
    std::string place;    // the neighbourhood or location text the site shows
    int locationIndex = -1;
    int hoodIndex = -1;   // -1 when the item names no neighbourhood
    bool hasGeo = false;
    double latitude = 0;
    double longitude = 0;
    std::vector<std::string> pictureIds;  // "3:00a0a_abcDEF_0CI0qt"
    std::string slug;
};

// What one JSON search answer holds.
struct TCraigJsonSearchAnswer {
    std::string problem;  // set when the answer is not one the program can read
    std::vector<TCraigJsonAd> ads;
    int itemsSkipped = 0;  // items of a shape the reader does not know, left out
    std::int64_t totalResultCount = 0;
};

// Reads the answer of sapi.craigslist.org's search. Items of an unknown shape are left out
// and counted; an answer without the data the items need is a problem, never an empty list.
TCraigJsonSearchAnswer ReadCraigJsonSearch(std::string_view aJson);

// Whether aText looks like a JSON document rather than a page (its first non-blank is "{").
bool LooksLikeJson(std::string_view aText);

// The address of a picture id "3:NAME": the thumbnail, or the larger one for the preview.
std::string CraigPictureURL(std::string_view aPictureId, bool aPreview);
// https://HOST.craigslist.org[/SUBAREA]/CATEGORY/d/SLUG/ID.html on aDomain.
std::string CraigAdAddress(const TCraigJsonAd& aAd, std::string_view aCategory, std::string_view aDomain);

// "Dec 12" and the local date and time of a Unix time, as the results keep them.
void SetPostedTime(TParsedResult& aResult, std::int64_t aUnixTime);

// A title as plain text: control characters become blanks, runs of blanks one.
std::string CleanAdTitle(std::string_view aTitle);

}  // namespace trawlix
