#include "run/search_thread.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/regex.h"
#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "model/search.h"
#include "run/search_run_environment.h"
#include "run/site_problem.h"

namespace trawlix {

namespace {

// The space-separated token aIndex (0-based) of a search link, as a number; -1 when absent.
int SearchLinkNumber(const std::string& aSearchLink, int aIndex) {
    size_t start = 0;
    for (int i = 0; i < aIndex; ++i) {
        start = aSearchLink.find(' ', start);
        if (start == std::string::npos) return -1;
        ++start;
    }
    const size_t end = aSearchLink.find(' ', start);
    const std::string token = aSearchLink.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (token.empty() || !std::all_of(token.begin(), token.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    try {
        return std::stoi(token);
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

std::string SearchLinkURL(const std::string& aSearchLink) {
    // Every trailing " <digits>" group goes: place, category and page numbers.
    size_t end = aSearchLink.size();
    while (true) {
        size_t digits = end;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(aSearchLink[digits - 1]))) --digits;
        if (digits == end || digits == 0 || aSearchLink[digits - 1] != ' ') break;
        end = digits - 1;
    }
    return aSearchLink.substr(0, end);
}

std::string LinkBeforeQuery(const std::string& aLink) {
    // A link without a query is quoted whole: an empty quote would tell the user nothing.
    return aLink.substr(0, aLink.find('?'));
}

namespace {

// aLink read against aPage, an absolute address.
std::string ResolveAgainstPage(const std::string& aLink, const std::string& aPage) {
    const size_t schemeEnd = aPage.find("://");
    if (schemeEnd == std::string::npos) return aLink;
    if (aLink.rfind("//", 0) == 0) return aPage.substr(0, schemeEnd + 1) + aLink;
    const size_t pathStart = std::min(aPage.find_first_of("/?#", schemeEnd + 3), aPage.size());
    const std::string origin = aPage.substr(0, pathStart);
    if (aLink[0] == '/') return origin + aLink;
    const std::string pageWithoutQuery = aPage.substr(0, std::min(aPage.find_first_of("?#", pathStart), aPage.size()));
    if (aLink[0] == '?') return pageWithoutQuery + aLink;
    // A relative path replaces the page's last segment.
    const size_t lastSlash = pageWithoutQuery.rfind('/');
    const std::string folder = lastSlash == std::string::npos || lastSlash < pathStart
                                   ? origin + "/"
                                   : pageWithoutQuery.substr(0, lastSlash + 1);
    return folder + (aLink.rfind("./", 0) == 0 ? aLink.substr(2) : aLink);
}

}  // namespace

std::string FullResultLink(const std::string& aLink, const std::string& aPageURL, const std::string& aDomain,
                           bool aCraigslist) {
    if (aLink.empty()) return {};
    const std::string lower = LowerCase(aLink);
    if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) return aLink;
    const std::string page = aPageURL.substr(0, aPageURL.find(' '));
    if (!aCraigslist) return ResolveAgainstPage(aLink, page);
    if (lower.find("http://") != std::string::npos || lower.find("https://") != std::string::npos) return aLink;
    return page.substr(0, page.find('.')) + "." + aDomain + aLink;
}

struct TBaseSearchThread::TOmitSets {
    std::unordered_set<std::string> linksWithPage;     // fetched already
    std::unordered_set<std::string> linksWithoutPage;  // queries whose further pages are skipped
};

TBaseSearchThread::TBaseSearchThread(std::unique_ptr<TBaseResultsParser> aResultsParser, bool aSearchMultiplePages)
    : TcThread("TBaseSearchThread"),
      fResultsParser(std::move(aResultsParser)),
      fSearchMultiplePages(aSearchMultiplePages) {
    if (fResultsParser)
        fResultsParser->SetOnResultParsed([this](const TParsedResult& aResult) { OnResultParsed(aResult); });
}

TBaseSearchThread::~TBaseSearchThread() { TerminateAndWait(); }

void TBaseSearchThread::Execute() {
    TOmitSets omit;
    try {
        SetRequestOwner(fSearch->GetParentSearch()->GetName());
        fSearchLinks = fSearch->MakeSearchLinks(*this);
        {
            TSearch& search = *fSearch->GetParentSearch();
            TCLock lock(search.GetCriticalSection());
            fResultsParser->SetOnlyCatListings(search.GetOnlyCatListings());
        }
        const size_t count = fSearchLinks.size();
        for (size_t i = 0; i < count; ++i) {
            if (Terminated() || fStopRequested) break;
            try {
                ProcessLink(fSearchLinks[i], omit);
            } catch (...) {
                ReportProgress(static_cast<double>(i) / count);
                throw;
            }
            ReportProgress(static_cast<double>(i) / count);
        }
    } catch (const std::exception& e) {
        // A page that breaks the parser or the merge, or links that cannot be made, end this
        // site's run; the search still hears that the site is done, and the user why.
        fSearch->AddPageFailed(e.what());
        if (!Terminated() && !fStopRequested) ReportError(e.what());
    } catch (...) {
        fSearch->AddPageFailed("Unknown error");
        if (!Terminated() && !fStopRequested) ReportError("Unknown error");
    }
    Finish();
}

void TBaseSearchThread::ProcessLink(const std::string& aLink, TOmitSets& aOmit) {
    fSrchLink = aLink;
    const std::string linkWithPage = SearchLinkURL(aLink);
    const std::string linkWithPageNoRandom = fSearch->RemoveRandomParam(linkWithPage);
    std::string linkWithoutPage;
    if (fSearchMultiplePages) {
        linkWithoutPage = fSearch->GetLinkWithoutPage(linkWithPageNoRandom);
        if (aOmit.linksWithoutPage.count(linkWithoutPage)) return;
    }
    if (aOmit.linksWithPage.count(linkWithPageNoRandom)) return;

    TDownloadFailure failure;
    std::string html = fSearch->DownloadPage(linkWithPage, aLink, *fResultsParser, failure);
    // A stop ends a transfer under way at once; one asked for after the page arrived still
    // lets that page be parsed.
    if (Terminated()) fStopRequested = true;
    if (html.empty()) {
        fSearch->AddPageFailed(failure.text);
        if (IsRefusalStatus(failure.httpStatus)) fSearch->AddPageRefused(failure.httpStatus);
        if (!fOnError || fStopRequested) return;
        // An oversized page is not an unreachable one: the user always hears of it.
        if (failure.tooLarge)
            ReportError(failure.text);
        else if (GetSearchRunEnvironment()->showUnreachableURLErrors())
            ReportError("Could not open URL: \"" + LinkBeforeQuery(linkWithPage) + "\".");
        return;
    }
    fSearch->AddPageFetched();
    const bool looksLikeProxyPage = LowerCase(html).find(" proxy ") != std::string::npos;
    const bool looksLikeBlockPage = LooksLikeBlockPage(html);
    fResultsParser->SetHTML(std::move(html));
    fResultsParser->SetSearchLinkPagesOverflow(false);
    fMetKnownAd = false;
    const int found = fResultsParser->Parse();
    fSearch->AddAdsParsed(found);
    if (found == 0 && looksLikeBlockPage) fSearch->AddBlockPage();
    fSearch->PageParsed(*fResultsParser, found, looksLikeBlockPage);
    if (found == 0 && fOnError && looksLikeProxyPage)
        ReportError("Could not open URL: \"" + LinkBeforeQuery(linkWithPage) + "\". \r\n" +
                    "Check if any proxy servers are properly configured.");
    aOmit.linksWithPage.insert(linkWithPageNoRandom);
    if (fSearchMultiplePages && fResultsParser->GetSearchLinkPagesOverflow())
        aOmit.linksWithoutPage.insert(linkWithoutPage);
    if (fSearchMultiplePages && fMetKnownAd && GetSearchRunEnvironment()->stopPagingAtKnownAd)
        aOmit.linksWithoutPage.insert(linkWithoutPage);
}

bool TBaseSearchThread::KnownResult(const std::string& aLink) const {
    const TSearch& search = *fSearch->GetParentSearch();
    TCLock lock(search.GetCriticalSection());
    // An ad this run found first is new, not known: another place may list it as well.
    const IEntry current = TSearch::GetResultByLink(search.GetSearchResults(), aLink);
    if (current) return !current->GetNew();
    return TSearch::GetResultByLink(search.GetDeletedResults(), aLink) != nullptr;
}

void TBaseSearchThread::OnResultParsed(const TParsedResult& aResult) {
    if (Trim(aResult.link).empty()) {
        // An ad without a link cannot be told from another one, nor opened: it is left out.
        fSearch->AddItemSkipped();
        return;
    }
    TParsedResult result = aResult;
    result.link = FullResultLink(aResult.link, fSrchLink, GetSearchRunEnvironment()->craigslistDomain(),
                                 fSearch->GetSite() == ssCraigslist);
    if (!fMetKnownAd && GetSearchRunEnvironment()->stopPagingAtKnownAd && KnownResult(result.link))
        fMetKnownAd = true;
    fSearch->GetParentSearch()->ProcessResult(fSearch->GetSite(), result, SearchLinkNumber(fSrchLink, 1),
                                              SearchLinkNumber(fSrchLink, 2));
}

void TBaseSearchThread::ReportError(const std::string& aText) {
    if (fOnError) fOnError(*fSearch, aText);
}

void TBaseSearchThread::ReportProgress(double aProgress) {
    if (!fOnProgress || Terminated()) return;
    try {
        Synch().SynchronizeBlocking(
            [this, aProgress](const std::string&) {
                try {
                    fSearch->SetProgress(aProgress);
                    fOnProgress(*fSearch, aProgress);
                } catch (...) {
                    // A failing progress display must not end the run.
                }
            },
            "");
    } catch (...) {
        // The main thread is gone: nobody is left to show progress to.
    }
}

void TBaseSearchThread::Finish() {
    fResultsParser.reset();
    if (fOnFinished) fOnFinished();
}

}  // namespace trawlix
