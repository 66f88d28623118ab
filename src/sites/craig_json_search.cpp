#include "sites/craig_json_search.h"

#include <simdjson.h>

#include <cctype>
#include <charconv>
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

// One entry of the decode table's locations list, checked once for the whole answer.
struct TArea {
    std::string_view host;
    std::string_view subArea;
    bool valid = false;
};

// What the items refer to, resolved once per answer: an index an item names is then a
// look-up, not a walk through the document.
struct TDecode {
    std::int64_t minPostingId = 0;
    std::int64_t minPostedDate = 0;
    std::vector<TArea> areas;
    std::vector<std::string_view> descriptions;
    std::vector<std::string_view> neighborhoods;
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

// ASCII only, whatever the locale says.
bool IsAsciiAlnum(char aChar) {
    return (aChar >= '0' && aChar <= '9') || (aChar >= 'a' && aChar <= 'z') || (aChar >= 'A' && aChar <= 'Z');
}

bool IsHostText(std::string_view aText, bool aDashAllowed) {
    for (char c : aText)
        if (!IsAsciiAlnum(c) && !(aDashAllowed && c == '-')) return false;
    return true;
}

TArea ReadAreaEntry(element aEntry) {
    TArea area;
    array triple;
    if (aEntry.get_array().get(triple) != simdjson::SUCCESS) return area;
    element value;
    if (triple.at(1).get(value) != simdjson::SUCCESS || value.get_string().get(area.host) != simdjson::SUCCESS ||
        area.host.empty() || !IsHostText(area.host, true))
        return area;
    if (triple.at(2).get(value) == simdjson::SUCCESS && value.get_string().get(area.subArea) != simdjson::SUCCESS)
        area.subArea = {};
    area.valid = IsHostText(area.subArea, false);
    return area;
}

// The strings of a list; an entry that is not one stays empty.
void ReadStrings(object aDecode, const char* aName, std::vector<std::string_view>& aStrings) {
    array list;
    if (aDecode[aName].get_array().get(list) != simdjson::SUCCESS) return;
    for (element item : list) {
        std::string_view text;
        aStrings.push_back(item.get_string().get(text) == simdjson::SUCCESS ? text : std::string_view());
    }
}

std::string ReadDecode(element aDecode, TDecode& aTable) {
    object decode;
    if (aDecode.get_object().get(decode) != simdjson::SUCCESS) return "its decode table is not an object";
    element value;
    if (decode["minPostingId"].get(value) != simdjson::SUCCESS || !ReadInteger(value, aTable.minPostingId))
        return "its decode table has no minPostingId number";
    if (decode["minPostedDate"].get(value) != simdjson::SUCCESS || !ReadInteger(value, aTable.minPostedDate))
        return "its decode table has no minPostedDate number";
    array locations;
    if (decode["locations"].get_array().get(locations) != simdjson::SUCCESS)
        return "its decode table has no locations list";
    for (element entry : locations) aTable.areas.push_back(ReadAreaEntry(entry));
    ReadStrings(decode, "locationDescriptions", aTable.descriptions);
    ReadStrings(decode, "neighborhoods", aTable.neighborhoods);
    return {};
}

// Reads "AREA:LOCATION[:HOOD]~LAT~LON"; false when it is not of that form.
bool ReadLocationText(std::string_view aText, std::int64_t aIndexes[3], double& aLatitude, double& aLongitude,
                      bool& aHasGeo) {
    const char* pos = aText.data();
    const char* const end = aText.data() + aText.size();
    int count = 0;
    while (count < 3) {
        std::int64_t index = 0;
        const auto [next, error] = std::from_chars(pos, end, index);
        if (error != std::errc() || next == pos || next - pos > 9 || *pos == '-' || *pos == '+') return false;
        aIndexes[count++] = index;
        pos = next;
        if (pos == end || *pos != ':') break;
        ++pos;
    }
    if (count < 2) return false;
    aHasGeo = false;
    if (pos == end) return true;
    if (*pos != '~') return false;
    auto [afterLatitude, latitudeError] = std::from_chars(pos + 1, end, aLatitude);
    if (latitudeError != std::errc() || afterLatitude == end || *afterLatitude != '~') return false;
    auto [afterLongitude, longitudeError] = std::from_chars(afterLatitude + 1, end, aLongitude);
    if (longitudeError != std::errc() || afterLongitude != end) return false;
    aHasGeo = aLatitude >= -90 && aLatitude <= 90 && aLongitude >= -180 && aLongitude <= 180;
    return true;
}

bool LooksLikeLocationText(std::string_view aText) {
    return !aText.empty() && std::isdigit(static_cast<unsigned char>(aText[0])) && aText.find(':') != aText.npos;
}

// The entry at aIndex of aList; empty when it has none there.
std::string_view EntryAt(const std::vector<std::string_view>& aList, std::int64_t aIndex) {
    return aIndex >= 0 && static_cast<size_t>(aIndex) < aList.size() ? aList[static_cast<size_t>(aIndex)]
                                                                      : std::string_view();
}

bool ReadLocation(std::string_view aText, const TDecode& aTable, TCraigJsonAd& aAd) {
    std::int64_t indexes[3] = {-1, -1, -1};
    if (!ReadLocationText(aText, indexes, aAd.latitude, aAd.longitude, aAd.hasGeo)) return false;
    if (indexes[0] < 0 || static_cast<size_t>(indexes[0]) >= aTable.areas.size()) return false;
    const TArea& area = aTable.areas[static_cast<size_t>(indexes[0])];
    if (!area.valid) return false;
    aAd.host.assign(area.host);
    aAd.subArea.assign(area.subArea);
    aAd.locationIndex = static_cast<int>(indexes[1]);
    aAd.hoodIndex = static_cast<int>(indexes[2]);
    // The neighbourhood says more than the area's description; either may be missing.
    std::string_view place = EntryAt(aTable.neighborhoods, indexes[2]);
    if (place.empty()) place = EntryAt(aTable.descriptions, indexes[1]);
    if (!place.empty()) aAd.place = CleanAdTitle(place);
    return true;
}

// "3:00a0a_abcDEF_0CI0qt": nothing that would leave the picture's address.
bool IsPictureId(std::string_view aText) {
    if (aText.empty()) return false;
    for (char c : aText)
        if (!IsAsciiAlnum(c) && c != ':' && c != '_' && c != '-' && c != '.') return false;
    return true;
}

bool ValidSlug(std::string_view aSlug) {
    if (aSlug.empty() || aSlug.size() > 200) return false;
    for (char c : aSlug)
        if (!IsAsciiAlnum(c) && c != '-' && c != '_') return false;
    return true;
}

// A tagged list: [4, pictures...], [6, slug], [10, price text], [13, uuid].
bool ReadTaggedList(array aList, TCraigJsonAd& aAd, std::string& aPriceText) {
    std::int64_t tag = 0;
    element first;
    if (aList.at(0).get(first) != simdjson::SUCCESS || !ReadInteger(first, tag)) return false;
    if (tag == cPicturesTag) aAd.pictureIds.reserve(aList.size());
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
            if (!IsPictureId(text)) return false;
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

// Whether aTitle is already clean: no control characters, no blank at either end, no two in a row.
static bool IsCleanTitle(std::string_view aTitle) {
    if (aTitle.empty()) return true;
    if (aTitle.front() == ' ' || aTitle.back() == ' ') return false;
    char previous = 'x';
    for (char c : aTitle) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || (c == ' ' && previous == ' ')) return false;
        previous = c;
    }
    return true;
}

std::string CleanAdTitle(std::string_view aTitle) {
    if (IsCleanTitle(aTitle)) return std::string(aTitle);
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
    if (const auto error = parser.parse(aJson.empty() ? "" : aJson.data(), aJson.size()).get(root); error != simdjson::SUCCESS) {
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
    answer.ads.reserve(list.size());
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
    static constexpr std::string_view cBase = "https://images.craigslist.org/";
    const size_t colon = aPictureId.find(':');
    const std::string_view name = colon == std::string_view::npos ? aPictureId : aPictureId.substr(colon + 1);
    if (name.empty()) return {};
    const std::string_view size = aPreview ? "_600x450.jpg" : "_300x300.jpg";
    std::string url;
    url.reserve(cBase.size() + name.size() + size.size());
    url.append(cBase).append(name).append(size);
    return url;
}

std::string CraigAdAddress(const TCraigJsonAd& aAd, std::string_view aCategory, std::string_view aDomain) {
    char id[24];
    const auto [idEnd, error] = std::to_chars(id, id + sizeof id, aAd.postingId);
    const std::string_view idText(id, error == std::errc() ? static_cast<size_t>(idEnd - id) : 0);
    std::string address;
    address.reserve(32 + aAd.host.size() + aDomain.size() + aAd.subArea.size() + aCategory.size() + aAd.slug.size());
    address.append("https://").append(aAd.host).append(1, '.').append(aDomain).append(1, '/');
    if (!aAd.subArea.empty()) address.append(aAd.subArea).append(1, '/');
    address.append(aCategory).append("/d/").append(aAd.slug).append(1, '/').append(idText).append(".html");
    return address;
}

namespace {

// localtime_r for each of 360 ads costs more than reading them: the local time of a quarter
// of an hour (every time zone's changes fall on one) is kept and the seconds within added.
bool LocalTime(std::int64_t aUnixTime, std::tm& aLocal) {
    constexpr std::int64_t cBlock = 900;
    thread_local std::int64_t keptBlock = -1;
    thread_local std::tm keptStart{};
    const std::int64_t block = aUnixTime - ((aUnixTime % cBlock) + cBlock) % cBlock;
    if (block != keptBlock) {
        const std::time_t start = static_cast<std::time_t>(block);
        if (!localtime_r(&start, &keptStart)) return false;
        keptBlock = block;
    }
    const int secondOfDay = keptStart.tm_hour * 3600 + keptStart.tm_min * 60 + keptStart.tm_sec +
                            static_cast<int>(aUnixTime - block);
    if (secondOfDay >= 86400) {
        const std::time_t time = static_cast<std::time_t>(aUnixTime);
        return localtime_r(&time, &aLocal) != nullptr;
    }
    aLocal = keptStart;
    aLocal.tm_hour = secondOfDay / 3600;
    aLocal.tm_min = secondOfDay / 60 % 60;
    aLocal.tm_sec = secondOfDay % 60;
    return true;
}

}  // namespace

void SetPostedTime(TParsedResult& aResult, std::int64_t aUnixTime) {
    static const char* const cMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    if (!LocalTime(aUnixTime, local)) return;
    aResult.date = std::string(cMonths[local.tm_mon]) + " " + std::to_string(local.tm_mday);
    aResult.localDateTime = EncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                       static_cast<unsigned>(local.tm_mday)) +
                            (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

}  // namespace trawlix
