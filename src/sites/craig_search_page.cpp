#include "sites/craig_search_page.h"

#include <simdjson.h>

#include "engine/text_functions.h"
#include "sites/craig_json_search.h"

namespace trawlix {

namespace {

constexpr std::string_view cListStart = "cl-static-search-results";
constexpr std::string_view cItemClass = "cl-static-search-result\"";
constexpr std::string_view cLdStart = "id=\"ld_searchpage_results\"";

// The value of attribute aName in the tag that starts at aTagStart ("" when absent).
std::string AttributeOf(std::string_view aHtml, size_t aTagStart, std::string_view aName) {
    const size_t tagEnd = aHtml.find('>', aTagStart);
    if (tagEnd == std::string_view::npos) return {};
    const std::string_view tag = aHtml.substr(aTagStart, tagEnd - aTagStart);
    const std::string key = " " + std::string(aName) + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string_view::npos) return {};
    const size_t valueStart = at + key.size();
    const size_t valueEnd = tag.find('"', valueStart);
    if (valueEnd == std::string_view::npos) return {};
    return UnEscapeHTML(tag.substr(valueStart, valueEnd - valueStart));
}

// The text of the first <div class="aClass"> of aItem, markup removed.
std::string DivText(std::string_view aItem, std::string_view aClass) {
    const std::string open = "<div class=\"" + std::string(aClass) + "\">";
    const size_t start = aItem.find(open);
    if (start == std::string_view::npos) return {};
    const size_t textStart = start + open.size();
    const size_t end = aItem.find("</div>", textStart);
    if (end == std::string_view::npos) return {};
    std::string text(aItem.substr(textStart, end - textStart));
    std::string plain;
    bool inTag = false;
    for (char c : text) {
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag) plain += c;
    }
    return CleanAdTitle(UnEscapeHTML(plain));
}

double PagePrice(std::string_view aText) {
    std::string digits;
    for (char c : aText) {
        if (c >= '0' && c <= '9') digits += c;
        else if (c == '.' && !digits.empty()) digits += c;
        else if (c != ',' && c != '$' && !digits.empty()) break;
    }
    return digits.empty() ? -1 : std::strtod(digits.c_str(), nullptr);
}

void ReadList(std::string_view aHtml, size_t aListStart, TCraigSearchPage& aPage) {
    const size_t listEnd = std::min(aHtml.find("</ol>", aListStart), aHtml.size());
    size_t pos = aListStart;
    size_t position = 0;
    while (true) {
        const size_t classAt = aHtml.find(cItemClass, pos);
        if (classAt == std::string_view::npos || classAt >= listEnd) break;
        const size_t itemStart = aHtml.rfind("<li", classAt);
        size_t itemEnd = aHtml.find("</li>", classAt);
        if (itemEnd == std::string_view::npos || itemEnd > listEnd) itemEnd = listEnd;
        pos = itemEnd;
        const size_t itemPosition = position++;
        if (itemStart == std::string_view::npos) {
            ++aPage.itemsSkipped;
            continue;
        }
        const std::string_view item = aHtml.substr(itemStart, itemEnd - itemStart);
        TCraigPageAd ad;
        ad.position = itemPosition;
        ad.title = CleanAdTitle(AttributeOf(item, 0, "title"));
        if (ad.title.empty()) ad.title = DivText(item, "title");
        const size_t anchor = item.find("<a ");
        if (anchor != std::string_view::npos) ad.link = AttributeOf(item, anchor, "href");
        const bool linkIsAddress = ad.link.rfind("https://", 0) == 0 || ad.link.rfind("http://", 0) == 0 ||
                                   (ad.link.size() > 1 && ad.link[0] == '/' && ad.link[1] != '/');
        if (ad.title.empty() || !linkIsAddress || ad.link.find_first_of("\"<> ") != std::string::npos) {
            ++aPage.itemsSkipped;
            continue;
        }
        ad.price = PagePrice(DivText(item, "price"));
        ad.place = DivText(item, "location");
        aPage.ads.push_back(std::move(ad));
    }
}

void ReadLdItem(simdjson::dom::element aItem, TCraigPageAd& aAd) {
    simdjson::dom::element images;
    if (aItem["image"].get(images) == simdjson::SUCCESS) {
        std::string_view one;
        if (images.get_string().get(one) == simdjson::SUCCESS) {
            aAd.pictures.emplace_back(one);
        } else if (simdjson::dom::array list; images.get_array().get(list) == simdjson::SUCCESS) {
            for (simdjson::dom::element image : list)
                if (image.get_string().get(one) == simdjson::SUCCESS) aAd.pictures.emplace_back(one);
        }
    }
    simdjson::dom::element offers;
    if (aItem["offers"].get(offers) != simdjson::SUCCESS) return;
    simdjson::dom::element price;
    if (offers["price"].get(price) == simdjson::SUCCESS) {
        double value = -1;
        std::string_view text;
        if (price.is_number() && price.get_double().get(value) == simdjson::SUCCESS && value >= 0)
            aAd.price = value;
        else if (price.get_string().get(text) == simdjson::SUCCESS && PagePrice(text) >= 0)
            aAd.price = PagePrice(text);
    }
    simdjson::dom::element geo;
    if (offers.at_pointer("/availableAtOrFrom/geo").get(geo) == simdjson::SUCCESS) {
        double latitude = 0, longitude = 0;
        if (geo["latitude"].get_double().get(latitude) == simdjson::SUCCESS &&
            geo["longitude"].get_double().get(longitude) == simdjson::SUCCESS) {
            aAd.hasGeo = true;
            aAd.latitude = latitude;
            aAd.longitude = longitude;
        }
    }
    if (aAd.place.empty()) {
        std::string_view locality;
        if (offers.at_pointer("/availableAtOrFrom/address/addressLocality").get_string().get(locality) ==
            simdjson::SUCCESS)
            aAd.place = CleanAdTitle(locality);
    }
}

// The JSON-LD list joined with the static list by position; an entry whose name is not the
// ad's title is another ad's, and gives nothing.
void JoinLd(std::string_view aHtml, TCraigSearchPage& aPage) {
    const size_t at = aHtml.find(cLdStart);
    size_t start = at == std::string_view::npos ? at : aHtml.find('>', at);
    const size_t end = start == std::string_view::npos ? start : aHtml.find("</script>", start);
    simdjson::dom::parser parser;
    simdjson::dom::array list;
    const bool read = end != std::string_view::npos &&
                      parser.parse(aHtml.data() + start + 1, end - start - 1)["itemListElement"].get_array().get(list) ==
                          simdjson::SUCCESS;
    for (TCraigPageAd& ad : aPage.ads) {
        simdjson::dom::element item;
        std::string_view name;
        const bool matched = read && list.at(ad.position).get(item) == simdjson::SUCCESS &&
                             item["item"].get(item) == simdjson::SUCCESS &&
                             item["name"].get_string().get(name) == simdjson::SUCCESS &&
                             CleanAdTitle(UnEscapeHTML(name)) == ad.title;
        if (matched)
            ReadLdItem(item, ad);
        else
            ++aPage.detailsMissing;
    }
}

}  // namespace

bool HasCraigStaticList(std::string_view aHtml) { return aHtml.find(cListStart) != std::string_view::npos; }

TCraigSearchPage ReadCraigSearchPage(std::string_view aHtml) {
    TCraigSearchPage page;
    const size_t list = aHtml.find(cListStart);
    if (list == std::string_view::npos) {
        page.problem = "the search page holds no result list";
        return page;
    }
    page.hasList = true;
    ReadList(aHtml, list, page);
    JoinLd(aHtml, page);
    if (page.ads.empty() && page.itemsSkipped > 0)
        page.problem = "none of the " + std::to_string(page.itemsSkipped) +
                       " entries of the search page's list is of a shape the program knows";
    return page;
}

}  // namespace trawlix
