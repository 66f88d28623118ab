#include "engine/autotrader_results_parser.h"

#include "engine/text_functions.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;
}  // namespace

TAutotraderSiteResultsParser::TAutotraderSiteResultsParser(std::string aHost)
    // A block ends where the next begins; the last one of the page ends with the page,
    // or the last ad of every page would be lost.
    : TCarSiteResultsParser(std::move(aHost),
                            R"re(<div\s+class="search-result\s(.*?)(?=<div\s+class="search-result\s|\z))re"),
      fRegExTitle(R"re(<p\s+class="listing-title"\s*>(.*?)<\s*/\s*p\s*>)re", kPageOptions),
      fRegExLink(R"re(<a\s+.*?href="(.*?car_id=\d+).*?"\s*>\s*(.*?)\s*<\s*/\s*a\s*>)re", kPageOptions),
      // The price may stand alone in its heading ("$8,792</h3>") or be followed by words.
      fRegExPrice(R"re(<h3\s*class="listing-price">\s*\$(.*?)(?:\s+.*?)?\s*</h3>)re", kPageOptions),
      fRegExDescription(R"re(<p\s+class="ad-description">\s*(.*?)\r?\n?\s*<)re", kPageOptions),
      fRegExPhone(R"re(<h5\s+class="listing-phone">\s*(.*?)\s*</h5>)re", kPageOptions),
      fRegExPhotos(R"re(\d+\s+photos)re", kPageOptions) {}

bool TAutotraderSiteResultsParser::ParseAd(const std::string& aBlock) {
    TParsedResult result;
    fRegExTitle.SetSubject(aBlock);
    if (fRegExTitle.Match()) {
        fRegExLink.SetSubject(fRegExTitle.SubExpressions(1));
        if (fRegExLink.Match()) {
            // The address only up to its car id: the rest are tracking parameters.
            result.link = CarAdLink(fHost, UnEscapeHTML(fRegExLink.SubExpressions(1)));
            result.name = UnEscapeHTML(fRegExLink.SubExpressions(2));
        }
    }
    std::string priceText;
    fRegExPrice.SetSubject(aBlock);
    if (fRegExPrice.Match()) {
        priceText = UnEscapeHTML(fRegExPrice.SubExpressions(1));
        if (!priceText.empty()) result.name += " - $" + priceText;
    }
    fRegExDescription.SetSubject(aBlock);
    if (fRegExDescription.Match()) result.description = UnEscapeHTML(fRegExDescription.SubExpressions(1));
    fRegExPhone.SetSubject(aBlock);
    if (fRegExPhone.Match()) result.contact = UnEscapeHTML(fRegExPhone.SubExpressions(1));
    fRegExPhotos.SetSubject(aBlock);
    result.hasImage = fRegExPhotos.Match();
    return ReportCarAd(result, priceText);
}

}  // namespace trawlix
