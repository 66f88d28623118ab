#include "sites/posting_scrapers.h"

#include <exception>

#include "engine/email_address.h"
#include "engine/regex.h"
#include "engine/text_functions.h"
#include "sites/craig_posting_page.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;

// Scrapers run on several threads at once; each thread compiles its patterns once.
TCRegEx& AnyAddressRegEx() {
    thread_local TCRegEx regEx(R"re((\w|\.|-)+@((\w|-)+\.)+\w+)re", kPageOptions);
    return regEx;
}
TCRegEx& ReplyToRegEx() {
    thread_local TCRegEx regEx(R"re(reply\s+to\s*:\s*<\s*a.*?>(.*?@.*?\.*?)<\s*/\s*a\s*>)re", kPageOptions);
    return regEx;
}
TCRegEx& UserBodyRegEx() {
    thread_local TCRegEx regEx(R"re(<div id="userbody">(.*?)<!-- START CLTAGS -->)re", kPageOptions);
    return regEx;
}
TCRegEx& ImageRegEx() {
    thread_local TCRegEx regEx(R"re(<img src="(.*?)")re", kPageOptions);
    return regEx;
}

// Group aGroup of the first match, or empty; a page that breaks the pattern has none.
std::string FirstMatch(TCRegEx& aRegEx, const std::string& aText, int aGroup) {
    try {
        aRegEx.SetSubject(aText);
        return aRegEx.Match() ? aRegEx.SubExpressions(aGroup) : std::string();
    } catch (const std::exception&) {
        return {};
    }
}
}  // namespace

namespace {

// The body, then each attribute on a line of its own.
std::string TextWithAttributes(const TCraigPosting& aPosting) {
    std::string text = aPosting.description;
    for (const std::string& attribute : aPosting.attributes) text += "\n" + attribute;
    return text;
}

}  // namespace

std::string GetEntryEmail(TPostingSource aSource, const std::string& aEntryText) {
    // A stranger writes the page: what it offers as the reply address is taken only when it
    // is one plain address, never a list that would copy the reply to others.
    switch (aSource) {
        case TPostingSource::NoEntry: return SingleEmailAddress(FirstMatch(AnyAddressRegEx(), aEntryText, 0));
        case TPostingSource::Craigslist: return SingleEmailAddress(FirstMatch(ReplyToRegEx(), aEntryText, 1));
        case TPostingSource::OtherSite: break;
    }
    return {};
}

std::string GetEntryDescription(TPostingSource aSource, const std::string& aEntryText) {
    if (aSource != TPostingSource::Craigslist) return aEntryText;
    // Today's ad page: its body and attributes, as text.
    if (const TCraigPosting posting = ReadCraigPosting(aEntryText); posting.isToday && !posting.description.empty())
        return TextWithAttributes(posting);
    TCRegEx& regEx = UserBodyRegEx();
    try {
        regEx.SetSubject(aEntryText);
        if (regEx.Match()) return UnEscapeHTML(regEx.SubExpressions(1));
    } catch (const std::exception&) {
        // Fall back to the page as it is.
    }
    return aEntryText;
}

std::string GetEntryImageURLs(TPostingSource aSource, const std::string& aEntryText) {
    if (aSource != TPostingSource::Craigslist) return {};
    std::string urls;
    if (const TCraigPosting posting = ReadCraigPosting(aEntryText); !posting.pictures.empty()) {
        for (const std::string& picture : posting.pictures) urls += (urls.empty() ? "" : "\t") + picture;
        return urls;
    }
    TCRegEx& regEx = ImageRegEx();
    try {
        regEx.SetSubject(aEntryText);
        for (bool found = regEx.Match(); found; found = regEx.MatchAgain()) {
            if (!urls.empty()) urls += '\t';
            urls += regEx.SubExpressions(1);
        }
    } catch (const std::exception&) {
        // Keep the pictures found before the page broke the pattern.
    }
    return urls;
}

std::string DownloadPostingPage(const std::string& aLink, const TPageDownload& aDownload) {
    if (!aDownload) return {};
    try {
        return aDownload(aLink);
    } catch (const std::exception&) {
        return {};
    }
}

std::string GetEntryEmailFromLink(TPostingSource aSource, const std::string& aLink, const TPageDownload& aDownload) {
    if (aSource != TPostingSource::Craigslist) return {};
    return GetEntryEmail(aSource, DownloadPostingPage(aLink, aDownload));
}

IEntry ReadPostingDetails(const TEntry& aFound, const std::string& aPage) {
    if (aFound.GetFromSite() != ssCraigslist) return nullptr;
    const TCraigPosting posting = ReadCraigPosting(aPage);
    if (!posting.isToday || posting.gone) return nullptr;
    auto details = std::make_shared<TEntry>(ssCraigslist, aFound.GetDate(), posting.title, aFound.GetLink(),
                                            posting.price, aFound.GetLocationString(), aFound.GetCategoryString(),
                                            !posting.pictures.empty(), aFound.GetLocationID(),
                                            aFound.GetLocalDateTime(), TextWithAttributes(posting), "", "");
    if (posting.hasGeo) details->SetGeo(posting.latitude, posting.longitude);
    details->SetPictureUrls(posting.pictures);
    return details;
}

TPostingFields ReadPostingFields(const IEntry& aEntry, const std::string& aPage) {
    const TPostingSource source =
        aEntry->GetFromSite() == ssCraigslist ? TPostingSource::Craigslist : TPostingSource::OtherSite;
    // A cell takes text only: a page that is not a posting gives no description, never its markup.
    const std::string description = GetEntryDescription(source, aPage);
    return {description == aPage ? std::string() : Trim(RemoveTags(description)), GetEntryEmail(source, aPage),
            GetEntryImageURLs(source, aPage)};
}

}  // namespace trawlix
