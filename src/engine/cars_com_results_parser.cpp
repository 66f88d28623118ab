#include "engine/cars_com_results_parser.h"

#include <algorithm>
#include <cctype>

#include "engine/text_functions.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;

bool StartsWithNoCase(const std::string& aText, const std::string& aPrefix) {
    if (aText.size() < aPrefix.size()) return false;
    return std::equal(aPrefix.begin(), aPrefix.end(), aText.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The text of an HTML piece. The piece is closed on both sides first, so text before its
// first tag and after its last one is kept too.
std::string TextOf(const std::string& aHtml) { return UnEscapeHTML(ExtractDataTags(">" + aHtml + "<")); }
}  // namespace

double CarPrice(std::string aPriceText) {
    std::erase_if(aPriceText, [](char c) { return c == '.' || c == ','; });
    return ExtractDouble(aPriceText);
}

std::string CarAdLink(const std::string& aHost, const std::string& aHref) {
    if (StartsWithNoCase(aHref, "http://") || StartsWithNoCase(aHref, "https://")) return aHref;
    return "http://" + aHost + aHref;
}

TCarsComSiteResultsParser::TCarsComSiteResultsParser(std::string aHost)
    : fHost(std::move(aHost)),
      fRegExAd(R"re(<td\s+class\s*=\s*"vehicleInfoColumn"\s*>(.*?)<\s*/\s*td\s*>)re", kPageOptions),
      fRegExHeader(R"re(<div\s+class=\s*"YmmHeader"\s*>(.*?)<\s*/\s*div\s*>)re", kPageOptions),
      fRegExHref(R"re(href="(.*?)")re", kPageOptions),
      fRegExPrice(R"re(<span\s+class=\s*"priceSort"\s*>\s*(.*?)\s*<\s*/\s*span\s*>)re", kPageOptions),
      fRegExDescription(R"re(<div\s+class=\s*"vehicleDescription"\s*>\s*(.*?)\s*<\s*/\s*div\s*>)re", kPageOptions),
      fRegExPhone(R"re(<div\s+class=\s*"sellerPhone"\s*>\s*(.*?)\s*<\s*/\s*div\s*>)re", kPageOptions) {}

int TCarsComSiteResultsParser::Parse() {
    if (fHTML.empty()) return 0;
    int count = 0;
    fRegExAd.SetSubject(fHTML);
    for (bool found = fRegExAd.Match(); found; found = fRegExAd.MatchAgain())
        if (ParseAd(fRegExAd.SubExpressions(1))) ++count;
    return count;
}

bool TCarsComSiteResultsParser::ParseAd(const std::string& aBlock) {
    TParsedResult result;
    fRegExHeader.SetSubject(aBlock);
    if (fRegExHeader.Match()) {
        const std::string header = fRegExHeader.SubExpressions(1);
        fRegExHref.SetSubject(header);
        if (fRegExHref.Match()) result.link = CarAdLink(fHost, UnEscapeHTML(fRegExHref.SubExpressions(1)));
        result.name = TextOf(header);
    }
    fRegExPrice.SetSubject(aBlock);
    std::string priceText;
    if (fRegExPrice.Match()) {
        priceText = UnEscapeHTML(fRegExPrice.SubExpressions(1));
        if (!priceText.empty()) result.name += " - " + priceText;
    }
    fRegExDescription.SetSubject(aBlock);
    if (fRegExDescription.Match()) result.description = TextOf(fRegExDescription.SubExpressions(1));
    fRegExPhone.SetSubject(aBlock);
    if (fRegExPhone.Match()) result.contact = Trim(UnEscapeHTML(fRegExPhone.SubExpressions(1)));
    if (result.name.empty() || result.link.empty()) return false;
    result.price = CarPrice(priceText);
    result.hasImage = true;  // the site shows a picture, or its placeholder, with every ad
    ReportResult(result);
    return true;
}

}  // namespace trawlix
