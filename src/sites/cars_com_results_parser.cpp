#include "sites/cars_com_results_parser.h"

#include "engine/text_functions.h"

namespace trawlix {

namespace {

constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;

// The text of an HTML piece. The piece is closed on both sides first, so text before its
// first tag and after its last one is kept too.
std::string TextOf(const std::string& aHtml) { return UnEscapeHTML(ExtractDataTags(">" + aHtml + "<")); }

}  // namespace

TCarsComSiteResultsParser::TCarsComSiteResultsParser(std::string aHost)
    : TCarSiteResultsParser(std::move(aHost), R"re(<td\s+class\s*=\s*"vehicleInfoColumn"\s*>(.*?)<\s*/\s*td\s*>)re"),
      fRegExHeader(R"re(<div\s+class=\s*"YmmHeader"\s*>(.*?)<\s*/\s*div\s*>)re", kPageOptions),
      fRegExHref(R"re(href="(.*?)")re", kPageOptions),
      fRegExPrice(R"re(<span\s+class=\s*"priceSort"\s*>\s*(.*?)\s*<\s*/\s*span\s*>)re", kPageOptions),
      fRegExDescription(R"re(<div\s+class=\s*"vehicleDescription"\s*>\s*(.*?)\s*<\s*/\s*div\s*>)re", kPageOptions),
      fRegExPhone(R"re(<div\s+class=\s*"sellerPhone"\s*>\s*(.*?)\s*<\s*/\s*div\s*>)re", kPageOptions) {}

bool TCarsComSiteResultsParser::ParseAd(const std::string& aBlock) {
    TParsedResult result;
    fRegExHeader.SetSubject(aBlock);
    if (fRegExHeader.Match()) {
        const std::string header = fRegExHeader.SubExpressions(1);
        fRegExHref.SetSubject(header);
        if (fRegExHref.Match()) result.link = CarAdLink(fHost, UnEscapeHTML(fRegExHref.SubExpressions(1)));
        result.name = TextOf(header);
    }
    std::string priceText;
    fRegExPrice.SetSubject(aBlock);
    if (fRegExPrice.Match()) {
        priceText = UnEscapeHTML(fRegExPrice.SubExpressions(1));
        if (!priceText.empty()) result.name += " - " + priceText;
    }
    fRegExDescription.SetSubject(aBlock);
    if (fRegExDescription.Match()) result.description = TextOf(fRegExDescription.SubExpressions(1));
    fRegExPhone.SetSubject(aBlock);
    if (fRegExPhone.Match()) result.contact = Trim(UnEscapeHTML(fRegExPhone.SubExpressions(1)));
    result.hasImage = true;  // the site shows a picture, or its placeholder, with every ad
    return ReportCarAd(result, priceText);
}

}  // namespace trawlix
