#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/base_site_search.h"

namespace trawlix {

class TSearch;

// What one site's run met, counted by its thread.
struct TSiteRunCounts {
    int pagesFetched = 0;
    int pagesFailed = 0;
    int adsParsed = 0;
    int blockPages = 0;               // captcha or "blocked" pages with no ads on them
    std::map<long, int> refusals;     // pages answered 403, 429 or 503, by status
    int unreadablePages = 0;          // answers of a shape the site's adapter does not know
    std::string unreadableWhy;        // what was wrong with the last of them
    std::string format;               // the kind of answer that served the last page read
    std::map<std::string, int> failureReasons;  // failed pages by PageFailureReason
};

// Why a page failed, in words that several pages share: the page's address (its query may
// hold anything the user typed) becomes "the page", and a varying duration is left out.
std::string PageFailureReason(const std::string& aFailureText);

// What the user sees in the tab after a run in which pages failed or a site met a problem,
// one line a site: "Craigslist: 3 of 3 pages failed, most often: <reason>", then the
// site's problem. Empty after a run without either. Call after the run ended.
std::string RunFailureSummary(const TSearch& aSearch);

// A site's problem in one run; an empty text when it had none.
struct TSiteProblem {
    std::string text;
    bool blocked = false;  // refused or challenged, as opposed to pages that no longer parse
};

// A site that turns the program away or stops giving ads is a problem, not "no new
// results": "Craigslist answered 403 Forbidden on 12 of 12 pages: the site may be
// blocking this address". aHadAdsBefore: the site gave ads for this search in earlier runs.
TSiteProblem FindSiteProblem(const std::string& aSiteName, const TSiteRunCounts& aCounts, bool aHadAdsBefore);

// A page that parsed no ads but asks the visitor to prove being human, or says it blocks.
bool LooksLikeBlockPage(const std::string& aHtml);

// How long automatic runs leave a blocked site alone: twice the alert's interval after the
// first block, twice the last pause after each further one, never more than six hours.
inline constexpr int cLongestBackoffMinutes = 6 * 60;
int NextBackoffMinutes(int aIntervalMinutes, int aPreviousBackoffMinutes);

// The site's health after a finished run that met aProblem, at aNow.
TSiteHealth NextSiteHealth(const TSiteHealth& aPrevious, const TSiteProblem& aProblem, int aAdsParsed,
                           int aIntervalMinutes, double aNow);

// Whether automatic runs skip the site at aNow.
bool SiteBacksOff(const TSiteHealth& aHealth, double aNow);
// Whether every site aSearch searches is backed off at aNow: an automatic run would find
// nothing to do.
bool EverySiteBacksOff(const TSearch& aSearch, double aNow);

// What the user has not yet been told about a site: that it turned bad, or that it works
// again. Watching tells each once, however many runs it takes.
enum class TSiteProblemChange { None, TurnedBad, Recovered };
TSiteProblemChange UntoldChange(const TSiteHealth& aHealth);

// One site's part in what a finished run tells the user.
struct TSiteProblemReport {
    TSiteSearchEnum site;
    std::string problem;  // empty when its last run met none
    TSiteProblemChange change = TSiteProblemChange::None;
};
// The sites whose last run of aSearch in this process met a problem. Call after the run ended.
std::vector<TSiteProblemReport> LastRunSiteProblems(const TSearch& aSearch);
// The sites whose change the user has not been told of.
std::vector<TSiteProblemReport> UntoldSiteChanges(const TSearch& aSearch);
// The user was told of aReport's change (the search is to be saved so that this lasts).
void MarkSiteChangeTold(TSearch& aSearch, const TSiteProblemReport& aReport);
// "site-problem: Craigslist: <reason>", the line the command line prints.
std::string SiteProblemLine(const TSiteProblemReport& aReport);

}  // namespace trawlix
