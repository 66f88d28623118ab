#include "engine/car_results_parser.h"

#include <algorithm>
#include <cctype>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

bool StartsWithNoCase(const std::string& aText, const std::string& aLowerPrefix) {
    if (aText.size() < aLowerPrefix.size()) return false;
    return std::equal(aLowerPrefix.begin(), aLowerPrefix.end(), aText.begin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

std::string CarAdLink(const std::string& aHost, const std::string& aHref) {
    if (StartsWithNoCase(aHref, "http://") || StartsWithNoCase(aHref, "https://")) return aHref;
    return "http://" + aHost + aHref;
}

TCarSiteResultsParser::TCarSiteResultsParser(std::string aHost, const std::string& aAdPattern)
    : fHost(std::move(aHost)), fRegExAd(aAdPattern, preCaseLess | preSingleLine) {}

int TCarSiteResultsParser::Parse() {
    if (fHTML.empty()) return 0;
    int count = 0;
    fRegExAd.SetSubject(fHTML);
    for (bool found = fRegExAd.Match(); found; found = fRegExAd.MatchAgain())
        if (ParseAd(fRegExAd.SubExpressions(1))) ++count;
    return count;
}

bool TCarSiteResultsParser::ReportCarAd(TParsedResult& aResult, const std::string& aPriceText) {
    if (aResult.name.empty() || aResult.link.empty()) return false;
    aResult.price = ReadPrice(aPriceText);
    ReportResult(aResult);
    return true;
}

}  // namespace trawlix
