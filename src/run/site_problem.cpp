#include "run/site_problem.h"

#include <algorithm>
#include <cctype>

#include "engine/text_functions.h"
#include "model/search.h"
#include "run/site_search_run.h"

namespace trawlix {

namespace {

constexpr double cMinutesPerDay = 1440.0;

std::string StatusName(long aStatus) {
    switch (aStatus) {
        case 403: return "403 Forbidden";
        case 429: return "429 Too Many Requests";
        case 503: return "503 Service Unavailable";
        default: return std::to_string(aStatus);
    }
}

std::string OnPages(int aCount, int aTotal) {
    return " on " + std::to_string(aCount) + " of " + std::to_string(aTotal) + (aTotal == 1 ? " page" : " pages");
}

constexpr const char* cBlockingTail = ": the site may be blocking this address";

// The end of an address in a message: a blank, a quote or a closing bracket.
size_t AddressEnd(const std::string& aText, size_t aStart) {
    const size_t end = aText.find_first_of(" \t\r\n\"'<>)", aStart);
    return end == std::string::npos ? aText.size() : end;
}

// Every "after 12 ms" left out, wherever it stands.
std::string WithoutDurations(std::string aText) {
    for (size_t at = aText.find(" after "); at != std::string::npos; at = aText.find(" after ", at + 1)) {
        size_t digits = at + 7;
        while (digits < aText.size() && std::isdigit(static_cast<unsigned char>(aText[digits]))) ++digits;
        if (digits > at + 7 && aText.compare(digits, 3, " ms") == 0) aText.erase(at, digits + 3 - at);
    }
    return aText;
}

std::string SiteFailureLine(const std::string& aSiteName, const TSiteRunCounts& aCounts) {
    const int pages = aCounts.pagesFetched + aCounts.pagesFailed;
    std::string line = aSiteName + ": " + std::to_string(aCounts.pagesFailed) + " of " + std::to_string(pages) +
                       (pages == 1 ? " page failed" : " pages failed");
    const auto commonest = std::max_element(aCounts.failureReasons.begin(), aCounts.failureReasons.end(),
                                            [](const auto& a, const auto& b) { return a.second < b.second; });
    if (commonest != aCounts.failureReasons.end()) line += ", most often: " + commonest->first;
    return line;
}

}  // namespace

std::string PageFailureReason(const std::string& aFailureText) {
    std::string text = aFailureText;
    for (const char* scheme : {"http://", "https://"})
        for (size_t at = text.find(scheme); at != std::string::npos; at = text.find(scheme, at + 1))
            text.replace(at, AddressEnd(text, at) - at, "the page");
    text = Trim(WithoutDurations(text));
    return text.empty() ? std::string("no reason given") : text;
}

std::string RunFailureSummary(const TSearch& aSearch) {
    std::string summary;
    const auto add = [&summary](const std::string& aLine) { summary += (summary.empty() ? "" : "\n") + aLine; };
    for (const auto& part : aSearch.GetSiteSearches()) {
        const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
        if (!siteSearch) continue;
        const TSiteRunCounts counts = siteSearch->GetRunCounts();
        if (counts.pagesFailed > 0) add(SiteFailureLine(cSiteSearchStr[siteSearch->GetSite()], counts));
        if (const std::string problem = siteSearch->GetLastRunProblem(); !problem.empty()) add(problem);
    }
    return summary;
}

TSiteProblem FindSiteProblem(const std::string& aSiteName, const TSiteRunCounts& aCounts, bool aHadAdsBefore) {
    const int pages = aCounts.pagesFetched + aCounts.pagesFailed;
    if (!aCounts.refusals.empty()) {
        // The status most pages met names the problem; the count covers every refusal.
        const auto commonest = std::max_element(aCounts.refusals.begin(), aCounts.refusals.end(),
                                                [](const auto& a, const auto& b) { return a.second < b.second; });
        int refused = 0;
        for (const auto& [status, count] : aCounts.refusals) refused += count;
        return {aSiteName + " answered " + StatusName(commonest->first) + OnPages(refused, pages) + cBlockingTail, true};
    }
    if (aCounts.blockPages > 0)
        return {aSiteName + " answered a captcha or \"blocked\" page" + OnPages(aCounts.blockPages, pages) + cBlockingTail,
                true};
    if (aCounts.unreadablePages > 0)
        return {aSiteName + " gave " + std::to_string(aCounts.unreadablePages) + " of " + std::to_string(pages) +
                    (pages == 1 ? " page" : " pages") + " the program cannot read: " + aCounts.unreadableWhy,
                false};
    if (aHadAdsBefore && aCounts.pagesFetched > 0 && aCounts.adsParsed == 0)
        return {aSiteName + " gave no ads on any of its " + std::to_string(aCounts.pagesFetched) +
                    " pages, though it gave results for this search before: the site may have changed its pages",
                false};
    return {};
}

bool LooksLikeBlockPage(const std::string& aHtml) {
    const std::string text = LowerCase(aHtml);
    for (const char* sign : {"captcha", "are you a robot", "are you a human", "access denied", "blocked"})
        if (text.find(sign) != std::string::npos) return true;
    return false;
}

int NextBackoffMinutes(int aIntervalMinutes, int aPreviousBackoffMinutes) {
    const long long base = aPreviousBackoffMinutes > 0 ? aPreviousBackoffMinutes : std::max(aIntervalMinutes, 1);
    return static_cast<int>(std::min<long long>(base * 2, cLongestBackoffMinutes));
}

TSiteHealth NextSiteHealth(const TSiteHealth& aPrevious, const TSiteProblem& aProblem, int aAdsParsed,
                           int aIntervalMinutes, double aNow) {
    TSiteHealth next;
    next.toldBad = aPrevious.toldBad;
    next.hadAds = aPrevious.hadAds || aAdsParsed > 0;
    next.problem = aProblem.text;
    next.blocked = aProblem.blocked;
    if (aProblem.blocked) {
        next.backoffMinutes =
            NextBackoffMinutes(aIntervalMinutes, aPrevious.blocked ? aPrevious.backoffMinutes : 0);
        next.backoffUntil = aNow + next.backoffMinutes / cMinutesPerDay;
    }
    return next;
}

bool SiteBacksOff(const TSiteHealth& aHealth, double aNow) {
    return aHealth.backoffMinutes > 0 && aNow < aHealth.backoffUntil;
}

bool EverySiteBacksOff(const TSearch& aSearch, double aNow) {
    bool anySite = false;
    for (const auto& part : aSearch.GetSiteSearches()) {
        const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
        if (!siteSearch || !siteSearch->GetDoSearch()) continue;
        if (!SiteBacksOff(siteSearch->GetHealth(), aNow)) return false;
        anySite = true;
    }
    return anySite;
}

std::vector<TSiteProblemReport> LastRunSiteProblems(const TSearch& aSearch) {
    std::vector<TSiteProblemReport> reports;
    for (const auto& part : aSearch.GetSiteSearches()) {
        const TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
        if (!siteSearch) continue;
        TSiteProblemReport report{siteSearch->GetSite(), siteSearch->GetLastRunProblem()};
        if (!report.problem.empty()) reports.push_back(report);
    }
    return reports;
}

std::vector<TSiteProblemReport> UntoldSiteChanges(const TSearch& aSearch) {
    std::vector<TSiteProblemReport> reports;
    for (const auto& part : aSearch.GetSiteSearches()) {
        const TSiteHealth health = part->GetHealth();
        const TSiteProblemChange change = UntoldChange(health);
        if (change != TSiteProblemChange::None) reports.push_back({part->GetSite(), health.problem, change});
    }
    return reports;
}

void MarkSiteChangeTold(TSearch& aSearch, const TSiteProblemReport& aReport) {
    TBaseSiteSearch* part = aSearch.GetSiteSearch(aReport.site);
    if (!part) return;
    TSiteHealth health = part->GetHealth();
    health.toldBad = aReport.change == TSiteProblemChange::TurnedBad;
    part->SetHealth(health);
}

std::string SiteProblemLine(const TSiteProblemReport& aReport) {
    return "site-problem: " + cSiteSearchStr[aReport.site] + ": " + aReport.problem;
}

TSiteProblemChange UntoldChange(const TSiteHealth& aHealth) {
    const bool bad = !aHealth.problem.empty();
    if (bad == aHealth.toldBad) return TSiteProblemChange::None;
    return bad ? TSiteProblemChange::TurnedBad : TSiteProblemChange::Recovered;
}

}  // namespace trawlix
