#include "sites/craig_json_search.h"

#include <simdjson.h>

#include <cctype>
#include <ctime>

#include "engine/clock.h"

namespace trawlix {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

// The item lists are told apart by their first number.
constexpr std::int64_t cPicturesTag = 4;
constexpr std::int64_t cSlugTag = 6;
constexpr std::int64_t cPriceTextTag = 10;

// What the items refer to.
struct TDecode {
    std::int64_t minPostingId = 0;
    std::int64_t minPostedDate = 0;
    array locations;
    array locationDescriptions;
    array neighborhoods;
    bool hasDescriptions = false;
    bool hasNeighborhoods = false;
};

bool ReadInteger(element aElement, std::int64_t& aValue) {
    if (aElement.is_int64()) {
        aValue = aElement.get_int64().value_unsafe();
        return true;
    }
    // A whole number written as 12.0 is still one.
    if (aElement.is_double()) {
        const double value = aElement.get_double().value_unsafe();
        if (value == static_cast<double>(static_cast<std::int64_t>(value)) && value > -9e15 && value < 9e15) {
            aValue = static_cast<std::int64_t>(value);
            return true;
        }
    }
    return false;
}

bool ReadNumber(element aElement, double& aValue) {
    if (!aElement.is_number()) return false;
    return aElement.get_double().get(aValue) == simdjson::SUCCESS;
}

// The string at aIndex of aList; empty when aList has none there.
bool StringAt(array aList, std::int64_t aIndex, std::string& aText) {
    if (aIndex < 0) return false;
    element item;
    if (aList.at(static_cast<size_t>(aIndex)).get(item) != simdjson::SUCCESS) return false;
    std::string_view text;
    if (item.get_string().get(text) != simdjson::SUCCESS) return false;
    aText.assign(text);
    return true;
}

std::string ReadDecode(element aDecode, TDecode& aTable) {
    object decode;
    if (aDecode.get_object().get(decode) != simdjson::SUCCESS) return "its decode table is not an object";
    element value;
    if (decode["minPostingId"].get(value) != simdjson::SUCCESS || !ReadInteger(value, aTable.minPostingId))
        return "its decode table has no minPostingId number";
    if (decode["minPostedDate"].get(value) != simdjson::SUCCESS || !ReadInteger(value, aTable.minPostedDate))
        return "its decode table has no minPostedDate number";
    if (decode["locations"].get_array().get(aTable.locations) != simdjson::SUCCESS)
        return "its decode table has no locations list";
    aTable.hasDescriptions = decode["locationDescriptions"].get_array().get(aTable.locationDescriptions) ==
                             simdjson::SUCCESS;
    aTable.hasNeighborhoods = decode["neighborhoods"].get_array().get(aTable.neighborhoods) == simdjson::SUCCESS;
    return {};
}

// Reads "AREA:LOCATION[:HOOD]~LAT~LON"; false when it is not of that form.
bool ReadLocationText(std::string_view aText, std::int64_t aIndexes[3], double& aLatitude, double& aLongitude,
                      bool& aHasGeo) {
    size_t pos = 0;
    int count = 0;
    while (count < 3) {
        size_t digitsEnd = pos;
        while (digitsEnd < aText.size() && std::isdigit(static_cast<unsigned char>(aText[digitsEnd]))) ++digitsEnd;
        if (digitsEnd == pos || digitsEnd - pos > 9) return false;
        aIndexes[count++] = std::stoll(std::string(aText.substr(pos, digitsEnd - pos)));
        pos = digitsEnd;
        if (pos >= aText.size() || aText[pos] != ':') break;
        ++pos;
    }
    if (count < 2) return false;
    if (pos == aText.size()) {
        aHasGeo = false;
        return true;
    }
    if (aText[pos] != '~') return false;
    const std::string geo(aText.substr(pos + 1));
    const size_t tilde = geo.find('~');
    if (tilde == std::string::npos) return false;
    char* end = nullptr;
    aLatitude = std::strtod(geo.c_str(), &end);
    if (end != geo.c_str() + tilde) return false;
    aLongitude = std::strtod(geo.c_str() + tilde + 1, &end);
    if (end != geo.c_str() + geo.size() || tilde + 1 == geo.size()) return false;
    aHasGeo = aLatitude >= -90 && aLatitude <= 90 && aLongitude >= -180 && aLongitude <= 180;
    return true;
}

bool LooksLikeLocationText(std::string_view aText) {
    return !aText.empty() && std::isdigit(static_cast<unsigned char>(aText[0])) && aText.find(':') != aText.npos;
}

// Host and sub-area of an entry [areaId, host, subarea] of the locations list.
bool ReadArea(array aLocations, std::int64_t aIndex, TCraigJsonAd& aAd) {
    if (aIndex < 0) return false;
    element entry;
    if (aLocations.at(static_cast<size_t>(aIndex)).get(entry) != simdjson::SUCCESS) return false;
    array triple;
    if (entry.get_array().get(triple) != simdjson::SUCCESS) return false;
    if (!StringAt(triple, 1, aAd.host) || aAd.host.empty()) return false;
    for (char c : aAd.host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    aAd.subArea.clear();
    StringAt(triple, 2, aAd.subArea);
    for (char c : aAd.subArea)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

bool ReadLocation(std::string_view aText, const TDecode& aTable, TCraigJsonAd& aAd) {
    std::int64_t indexes[3] = {-1, -1, -1};
    if (!ReadLocationText(aText, indexes, aAd.latitude, aAd.longitude, aAd.hasGeo)) return false;
    if (!ReadArea(aTable.locations, indexes[0], aAd)) return false;
    aAd.locationIndex = static_cast<int>(indexes[1]);
    aAd.hoodIndex = static_cast<int>(indexes[2]);
    // The neighbourhood says more than the area's description; either may be missing.
    std::string place;
    if (aTable.hasNeighborhoods && StringAt(aTable.neighborhoods, indexes[2], place) && !place.empty()) {
        aAd.place = CleanAdTitle(place);
    } else if (aTable.hasDescriptions && StringAt(aTable.locationDescriptions, indexes[1], place)) {
        aAd.place = CleanAdTitle(place);
    }
    return true;
}

bool ValidSlug(std::string_view aSlug) {
    if (aSlug.empty() || aSlug.size() > 200) return false;
    for (char c : aSlug)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
    return true;
}

// A tagged list: [4, pictures...], [6, slug], [10, price text], [13, uuid].
bool ReadTaggedList(array aList, TCraigJsonAd& aAd, std::string& aPriceText) {
    std::int64_t tag = 0;
    element first;
    if (aList.at(0).get(first) != simdjson::SUCCESS || !ReadInteger(first, tag)) return false;
    bool isTag = true;
    for (element value : aList) {
        if (isTag) {
            isTag = false;
            continue;
        }
        std::string_view text;
        if (value.get_string().get(text) != simdjson::SUCCESS) {
            if (tag == cPicturesTag || tag == cSlugTag) return false;
            continue;
        }
        if (tag == cPicturesTag) {
            if (text.empty() || text.find_first_of("/?#\"<> ") != text.npos) return false;
            aAd.pictureIds.emplace_back(text);
        } else if (tag == cSlugTag) {
            if (!ValidSlug(text)) return false;
            aAd.slug.assign(text);
        } else if (tag == cPriceTextTag) {
            aPriceText.assign(text);
        }
    }
    return true;
}

// "$1,200" as 1200; -1 when it holds no number.
double PriceFromText(std::string_view aText) {
    std::string digits;
    bool seen = false;
    for (char c : aText) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
            seen = true;
        } else if (c == '.' && seen) {
            digits += c;
        } else if (c != ',' && seen) {
            break;
        }
    }
    if (!seen) return -1;
    return std::strtod(digits.c_str(), nullptr);
}

// One positional item; false leaves it out.
bool ReadItem(element aItem, const TDecode& aTable, TCraigJsonAd& aAd) {
    array fields;
    if (aItem.get_array().get(fields) != simdjson::SUCCESS) return false;
    std::int64_t idOffset = 0;
    std::int64_t dateOffset = 0;
    size_t index = 0;
    bool haveLocation = false;
    bool havePrice = false;
    std::string priceText;
    std::string_view title;
    for (element field : fields) {
        const size_t position = index++;
        if (position == 0) {
            if (!ReadInteger(field, idOffset) || idOffset < 0) return false;
            continue;
        }
        if (position == 1) {
            if (!ReadInteger(field, dateOffset)) return false;
            continue;
        }
        if (field.is_number()) {
            // The category, then the price.
            if (position == 3) havePrice = ReadNumber(field, aAd.price);
            continue;
        }
        std::string_view text;
        if (field.get_string().get(text) == simdjson::SUCCESS) {
            if (!haveLocation && LooksLikeLocationText(text)) {
                if (!ReadLocation(text, aTable, aAd)) return false;
                haveLocation = true;
            }
            title = text;
            continue;
        }
        array list;
        if (field.get_array().get(list) == simdjson::SUCCESS && !ReadTaggedList(list, aAd, priceText)) return false;
    }
    if (index < 3 || !haveLocation || aAd.slug.empty()) return false;
    aAd.title = CleanAdTitle(title);
    if (aAd.title.empty()) return false;
    aAd.postingId = aTable.minPostingId + idOffset;
    aAd.postedUnixTime = aTable.minPostedDate + dateOffset;
    if (aAd.postingId <= 0 || aAd.postedUnixTime <= 0) return false;
    if (!havePrice || aAd.price < 0) aAd.price = priceText.empty() ? -1 : PriceFromText(priceText);
    return true;
}

}  // namespace

bool LooksLikeJson(std::string_view aText) {
    for (char c : aText) {
        if (c == '{') return true;
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    }
    return false;
}

std::string CleanAdTitle(std::string_view aTitle) {
    std::string text;
    text.reserve(aTitle.size());
    bool blank = true;  // drops leading blanks
    for (char c : aTitle) {
        const bool isBlank = static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ' ';
        if (isBlank) {
            if (!blank) text += ' ';
            blank = true;
            continue;
        }
        text += c;
        blank = false;
    }
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

TCraigJsonSearchAnswer ReadCraigJsonSearch(std::string_view aJson) {
    TCraigJsonSearchAnswer answer;
    // One parser per thread keeps its buffers from answer to answer.
    thread_local simdjson::dom::parser parser;
    element root;
    if (const auto error = parser.parse(aJson.data(), aJson.size()).get(root); error != simdjson::SUCCESS) {
        answer.problem = std::string("the search answer is not valid JSON (") + simdjson::error_message(error) + ")";
        return answer;
    }
    element data;
    if (root["data"].get(data) != simdjson::SUCCESS || !data.is_object()) {
        answer.problem = "the search answer has no data object";
        return answer;
    }
    std::int64_t total = 0;
    element totalElement;
    if (data["totalResultCount"].get(totalElement) == simdjson::SUCCESS && ReadInteger(totalElement, total))
        answer.totalResultCount = total;
    element items;
    const bool hasItems = data["items"].get(items) == simdjson::SUCCESS;
    element decodeElement;
    if (data["decode"].get(decodeElement) != simdjson::SUCCESS) {
        answer.problem = "the search answer has no decode table";
        return answer;
    }
    // No results: "decode": 0 and no items.
    std::int64_t zero = -1;
    if (ReadInteger(decodeElement, zero) && zero == 0) {
        array list;
        if (hasItems && items.get_array().get(list) == simdjson::SUCCESS && list.size() > 0)
            answer.problem = "the search answer has items but no decode table";
        return answer;
    }
    TDecode table;
    answer.problem = ReadDecode(decodeElement, table);
    if (!answer.problem.empty()) {
        answer.problem = "the search answer is of an unknown shape: " + answer.problem;
        return answer;
    }
    array list;
    if (!hasItems || items.get_array().get(list) != simdjson::SUCCESS) {
        answer.problem = "the search answer has no item list";
        return answer;
    }
    for (element item : list) {
        TCraigJsonAd ad;
        if (ReadItem(item, table, ad))
            answer.ads.push_back(std::move(ad));
        else
            ++answer.itemsSkipped;
    }
    // Items there were, but none of a shape the program knows: the format changed.
    if (answer.ads.empty() && answer.itemsSkipped > 0)
        answer.problem = "none of the " + std::to_string(answer.itemsSkipped) +
                         " items of the search answer is of a shape the program knows";
    return answer;
}

std::string CraigPictureURL(std::string_view aPictureId, bool aPreview) {
    const size_t colon = aPictureId.find(':');
    const std::string_view name = colon == std::string_view::npos ? aPictureId : aPictureId.substr(colon + 1);
    if (name.empty()) return {};
    return "https://images.craigslist.org/" + std::string(name) + (aPreview ? "_600x450.jpg" : "_300x300.jpg");
}

std::string CraigAdAddress(const TCraigJsonAd& aAd, std::string_view aCategory, std::string_view aDomain) {
    std::string address = "https://" + aAd.host + "." + std::string(aDomain) + "/";
    if (!aAd.subArea.empty()) address += aAd.subArea + "/";
    address += std::string(aCategory) + "/d/" + aAd.slug + "/" + std::to_string(aAd.postingId) + ".html";
    return address;
}

void SetPostedTime(TParsedResult& aResult, std::int64_t aUnixTime) {
    static const char* const cMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t time = static_cast<std::time_t>(aUnixTime);
    std::tm local{};
    if (!localtime_r(&time, &local)) return;
    aResult.date = std::string(cMonths[local.tm_mon]) + " " + std::to_string(local.tm_mday);
    aResult.localDateTime = EncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday)) +
                            (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

}  // namespace trawlix
