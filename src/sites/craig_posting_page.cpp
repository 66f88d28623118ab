#include "sites/craig_posting_page.h"

#include <simdjson.h>

#include "engine/text_functions.h"
#include "sites/craig_json_search.h"

namespace trawlix {

namespace {

std::vector<std::string> SplitLines(const std::string& aText) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= aText.size()) {
        const size_t end = aText.find('\n', start);
        lines.push_back(aText.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

constexpr std::string_view cLdMark = "id=\"ld_posting_data\"";

// The text between the end of the tag that holds aMark and aClose; empty when absent.
std::string_view Inner(std::string_view aHtml, std::string_view aMark, std::string_view aClose) {
    const size_t mark = aHtml.find(aMark);
    if (mark == std::string_view::npos) return {};
    const size_t start = aHtml.find('>', mark);
    if (start == std::string_view::npos) return {};
    const size_t end = aHtml.find(aClose, start + 1);
    if (end == std::string_view::npos) return {};
    return aHtml.substr(start + 1, end - start - 1);
}

std::string PlainText(std::string_view aHtml) {
    std::string text;
    bool inTag = false;
    for (size_t i = 0; i < aHtml.size(); ++i) {
        const char c = aHtml[i];
        if (c == '<') {
            inTag = true;
            // A line break in the markup stays one in the text.
            if (aHtml.substr(i, 3) == "<br" || aHtml.substr(i, 3) == "<p>") text += '\n';
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            // Line breaks of the markup are blanks; only <br> and <p> break lines.
            text += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
        }
    }
    std::string lines;
    for (const std::string& line : SplitLines(UnEscapeHTML(text))) {
        const std::string trimmed = CleanAdTitle(line);
        if (trimmed.empty()) continue;
        if (!lines.empty()) lines += '\n';
        lines += trimmed;
    }
    return lines;
}

std::string Attribute(std::string_view aHtml, std::string_view aName) {
    const std::string key = std::string(aName) + "=\"";
    const size_t at = aHtml.find(key);
    if (at == std::string_view::npos) return {};
    const size_t end = aHtml.find('"', at + key.size());
    return end == std::string_view::npos ? std::string() : std::string(aHtml.substr(at + key.size(), end - at - key.size()));
}

void ReadLd(std::string_view aJson, TCraigPosting& aPosting) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    // An empty view may hold no pointer at all, and the parser copies from it.
    if (parser.parse(aJson.empty() ? "" : aJson.data(), aJson.size()).get(root) != simdjson::SUCCESS) return;
    std::string_view text;
    if (root["name"].get_string().get(text) == simdjson::SUCCESS) aPosting.title = CleanAdTitle(text);
    if (root["description"].get_string().get(text) == simdjson::SUCCESS) aPosting.description = std::string(text);
    simdjson::dom::array images;
    if (root["image"].get_array().get(images) == simdjson::SUCCESS)
        for (simdjson::dom::element image : images)
            if (image.get_string().get(text) == simdjson::SUCCESS) aPosting.pictures.emplace_back(text);
    simdjson::dom::element price;
    if (root.at_pointer("/offers/price").get(price) == simdjson::SUCCESS) {
        double value = -1;
        if (price.get_double().get(value) == simdjson::SUCCESS || (price.get_string().get(text) == simdjson::SUCCESS &&
                                                                   (value = std::strtod(std::string(text).c_str(), nullptr)) >= 0))
            aPosting.price = value;
    }
    double latitude = 0, longitude = 0;
    if (root.at_pointer("/offers/availableAtOrFrom/geo/latitude").get_double().get(latitude) == simdjson::SUCCESS &&
        root.at_pointer("/offers/availableAtOrFrom/geo/longitude").get_double().get(longitude) == simdjson::SUCCESS) {
        aPosting.hasGeo = true;
        aPosting.latitude = latitude;
        aPosting.longitude = longitude;
    }
    int64_t bedrooms = 0;
    if (root["numberOfBedrooms"].get_int64().get(bedrooms) == simdjson::SUCCESS) aPosting.bedrooms = static_cast<int>(bedrooms);
}

// The body without its "QR Code Link to This Post" block, which only the printed page shows.
std::string BodyText(std::string_view aBody) {
    std::string body(aBody);
    const size_t qr = body.find("QR Code Link to This Post");
    if (qr != std::string::npos) {
        const size_t blockStart = body.rfind("<div", qr);
        const size_t blockEnd = body.find("</div>", qr);
        if (blockStart != std::string::npos && blockEnd != std::string::npos)
            body.erase(blockStart, blockEnd + 6 - blockStart);
        else
            body.erase(qr, 25);
    }
    return PlainText(body);
}

}  // namespace

TCraigPosting ReadCraigPosting(std::string_view aHtml) {
    TCraigPosting posting;
    for (const char* sign : {"This posting has been deleted by its author", "This posting has expired",
                             "has been flagged for removal"})
        posting.gone = posting.gone || aHtml.find(sign) != std::string_view::npos;
    const std::string_view ld = Inner(aHtml, cLdMark, "</script>");
    const std::string_view body = Inner(aHtml, "<section id=\"postingbody\"", "</section>");
    posting.isToday = !ld.empty() || !body.empty();
    if (!posting.isToday) return posting;
    ReadLd(ld, posting);
    if (const std::string_view title = Inner(aHtml, "<span id=\"titletextonly\"", "</span>"); !title.empty())
        posting.title = CleanAdTitle(PlainText(title));
    if (!body.empty()) posting.description = BodyText(body);
    for (size_t at = aHtml.find("<p class=\"attrgroup\""); at != std::string_view::npos;
         at = aHtml.find("<p class=\"attrgroup\"", at + 1)) {
        const std::string_view group = Inner(aHtml.substr(at), "<p", "</p>");
        for (size_t span = group.find("<span"); span != std::string_view::npos; span = group.find("<span", span + 1)) {
            const std::string attribute = PlainText(Inner(group.substr(span), "<span", "</span>"));
            if (!attribute.empty()) posting.attributes.push_back(attribute);
        }
    }
    const size_t info = aHtml.find("<p class=\"postinginfo");
    size_t time = info == std::string_view::npos ? info : aHtml.find("<time class=\"date", info);
    if (time != std::string_view::npos) {
        posting.posted = Attribute(aHtml.substr(time, 200), "datetime");
        const size_t next = aHtml.find("<time class=\"date", time + 1);
        if (next != std::string_view::npos) posting.updated = Attribute(aHtml.substr(next, 200), "datetime");
    }
    if (!posting.hasGeo) {
        const size_t map = aHtml.find("<div id=\"map\"");
        if (map != std::string_view::npos) {
            const std::string_view tag = aHtml.substr(map, aHtml.find('>', map) - map);
            const std::string latitude = Attribute(tag, "data-latitude");
            const std::string longitude = Attribute(tag, "data-longitude");
            if (!latitude.empty() && !longitude.empty()) {
                posting.hasGeo = true;
                posting.latitude = std::strtod(latitude.c_str(), nullptr);
                posting.longitude = std::strtod(longitude.c_str(), nullptr);
            }
        }
    }
    posting.replyBehindCaptcha = aHtml.find("mailto:") == std::string_view::npos;
    return posting;
}

}  // namespace trawlix
