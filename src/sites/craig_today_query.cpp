#include "sites/craig_today_query.h"

#include <algorithm>
#include <charconv>

#include "engine/text_functions.h"
#include "sites/craig_json_search.h"

namespace trawlix {

namespace {

std::string Unquoted(std::string aText) {
    std::string text;
    for (char c : aText)
        if (c != '"' && c != '(' && c != ')') text += c;
    return LowerCase(Trim(text));
}

// The line cut at blanks that are outside quotes and brackets.
std::vector<std::string> Tokens(const std::string& aLine) {
    std::vector<std::string> tokens;
    std::string current;
    bool quoted = false;
    int depth = 0;
    for (char c : aLine) {
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '(') ++depth;
        if (!quoted && c == ')' && depth > 0) --depth;
        if (!quoted && depth == 0 && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (!current.empty()) tokens.push_back(current);
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
}

// "a|b", "(a|b)" and "a | b" (the bar as its own token) as one token each.
std::vector<std::string> JoinBars(const std::vector<std::string>& aTokens) {
    std::vector<std::string> joined;
    for (size_t i = 0; i < aTokens.size(); ++i) {
        const std::string& token = aTokens[i];
        const bool barAtEnd = !joined.empty() && joined.back().back() == '|';
        if (token == "|" || token.front() == '|' || barAtEnd) {
            if (joined.empty()) {
                if (token != "|") joined.push_back(token);
                continue;
            }
            joined.back() += token == "|" ? "|" : (barAtEnd || token.front() == '|' ? token : "|" + token);
            continue;
        }
        joined.push_back(token);
    }
    return joined;
}

std::vector<std::string> Alternatives(const std::string& aToken) {
    std::vector<std::string> options;
    std::string inner = aToken;
    if (inner.size() >= 2 && inner.front() == '(' && inner.back() == ')') inner = inner.substr(1, inner.size() - 2);
    size_t start = 0;
    while (start <= inner.size()) {
        const size_t bar = inner.find('|', start);
        const std::string option = Unquoted(inner.substr(start, bar == std::string::npos ? bar : bar - start));
        if (!option.empty()) options.push_back(option);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return options;
}

void AddToQuery(std::string& aQuery, const std::string& aTerm) {
    if (!aQuery.empty()) aQuery += ' ';
    aQuery += aTerm;
}

std::string QueryParam(const std::string& aQuery) {
    return ReplaceAll(URLEncode(aQuery), "%20", "+");
}

std::string PathPart(const TCraigTodayRequest& aRequest) {
    return aRequest.subArea.empty() ? aRequest.category : aRequest.subArea + "/" + aRequest.category;
}

}  // namespace

TCraigKeywordQuery TCraigKeywordQuery::FromKeywords(const std::string& aKeywords) {
    TCraigKeywordQuery query;
    for (const std::string& token : JoinBars(Tokens(aKeywords))) {
        if (token.size() > 1 && token[0] == '-') {
            const std::string term = Unquoted(token.substr(1));
            if (!term.empty()) query.excluded.push_back(term);
        } else if (token.find('|') != std::string::npos || token.front() == '(') {
            auto options = Alternatives(token);
            if (options.size() == 1) {
                AddToQuery(query.siteQuery, options[0]);
                query.required.push_back(options[0]);
            }
            else if (!options.empty())
                query.alternatives.push_back(std::move(options));
        } else if (token != "-") {
            AddToQuery(query.siteQuery, token);
            if (std::string term = Unquoted(token); !term.empty()) query.required.push_back(std::move(term));
        }
    }
    return query;
}

bool TCraigKeywordQuery::TitlePasses(std::string_view aTitle) const {
    if (excluded.empty() && alternatives.empty()) return true;
    const std::string title = LowerCase(std::string(aTitle));
    for (const std::string& term : excluded)
        if (title.find(term) != std::string::npos) return false;
    for (const auto& group : alternatives) {
        bool any = false;
        for (const std::string& option : group) any = any || title.find(option) != std::string::npos;
        if (!any) return false;
    }
    return true;
}

bool TCraigKeywordQuery::TitleHasAll(std::string_view aTitle) const {
    const std::string title = LowerCase(std::string(aTitle));
    for (const std::string& term : required)
        if (title.find(term) == std::string::npos) return false;
    return TitlePasses(aTitle);
}

bool TCraigTodayRequest::AdPasses(std::string_view aTitle, std::string_view aSubArea, std::string_view aPlace) const {
    if (!subArea.empty() && LowerCase(std::string(aSubArea)) != subArea) return false;
    if (!neighbourhoods.empty()) {
        const std::string place = LowerCase(std::string(aPlace));
        bool found = false;
        for (const std::string& name : neighbourhoods) found = found || place == name;
        if (!found) return false;
    }
    return keywords.TitlePasses(aTitle);
}

bool TCraigTodayRequest::JsonAdPasses(const TCraigJsonAd& aAd) const {
    if (!AdPasses(aAd.title, aAd.subArea, aAd.place)) return false;
    if (!shared) return true;
    if (!keywords.TitleHasAll(aAd.title)) return false;
    // An ad without a price is left out by a price limit, as the site's own filter does.
    const bool limited = local.minPrice || local.maxPrice;
    if (limited && aAd.price < 0) return false;
    if (local.minPrice && aAd.price < *local.minPrice) return false;
    if (local.maxPrice && aAd.price > *local.maxPrice) return false;
    return !local.withPictures || !aAd.pictureIds.empty();
}

namespace {

// The whole value as a number, whatever the locale's decimal point.
std::optional<double> PriceOf(const std::string& aValue) {
    const std::string text = ReplaceAll(aValue, "%2E", ".");
    double price = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), price);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return price;
}

// Reads one "name=value" of the params into aChecks; false for a condition the answer cannot show.
bool TakeCheck(const std::string& aParam, TCraigLocalChecks& aChecks, bool& aTitlesOnly) {
    const size_t equals = aParam.find('=');
    const std::string name = aParam.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : aParam.substr(equals + 1);
    if (name == "srchType" && value == "T") return aTitlesOnly = true;
    if (name == "hasPic" && value == "1") return aChecks.withPictures = true;
    if (name != "min_price" && name != "max_price") return false;
    const auto price = PriceOf(value);
    (name == "min_price" ? aChecks.minPrice : aChecks.maxPrice) = price;
    return price.has_value();
}

}  // namespace

bool TCraigTodayRequest::ShareWhenCheckable() {
    TCraigLocalChecks checks;
    bool titlesOnly = false;
    for (size_t start = 0; start < params.size();) {
        const size_t next = std::min(params.find('&', start + 1), params.size());
        const std::string param = params.substr(start + 1, next - start - 1);  // after its "&"
        if (!param.empty() && !TakeCheck(param, checks, titlesOnly)) return false;
        start = next;
    }
    // Without "titles only" the site finds the words in the ad's text too, which the
    // answer does not hold: such a search keeps its own request.
    if (!titlesOnly && !keywords.required.empty()) return false;
    shared = true;
    local = checks;
    return true;
}

std::string CraigJsonSearchURL(const TCraigTodayRequest& aRequest, long aAreaId, const std::string& aDomain) {
    const int offset = (aRequest.page - 1) * cCraigBatchSize;
    const std::string url = "https://sapi." + aDomain + "/web/v8/postings/search/full?batch=" +
                            std::to_string(aAreaId) + "-" + std::to_string(offset) + "-" +
                            std::to_string(cCraigBatchSize) + "-0-0&cc=US&lang=en&searchPath=" + aRequest.category;
    if (aRequest.shared) return url + "&sort=date";
    return url + "&query=" + QueryParam(aRequest.keywords.siteQuery) + "&sort=date" + aRequest.params;
}

std::string CraigSearchPageURL(const TCraigTodayRequest& aRequest, const std::string& aDomain) {
    std::string url = "https://" + aRequest.host + "." + aDomain + "/search/" + PathPart(aRequest) +
                      "?query=" + QueryParam(aRequest.keywords.siteQuery) + "&sort=date" + aRequest.params;
    if (aRequest.page > 1) url += "&s=" + std::to_string((aRequest.page - 1) * cCraigBatchSize);
    return url;
}

}  // namespace trawlix
