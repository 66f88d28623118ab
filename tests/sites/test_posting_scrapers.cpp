#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "sites/posting_scrapers.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

std::string Posting() { return test::ReadFile(test::TestsDir() / "sites/fixtures/pages/craigslist_posting.html"); }

TEST(PostingScrapersTest, EmailBySource) {
    const std::string page = Posting();
    EXPECT_EQ(GetEntryEmail(TPostingSource::Craigslist, page), "sale-abc12-2741000001@craigslist.org");
    EXPECT_EQ(GetEntryEmail(TPostingSource::NoEntry, page), "sale-abc12-2741000001@craigslist.org");
    EXPECT_EQ(GetEntryEmail(TPostingSource::OtherSite, page), "");
    // Without a "Reply to" line a Craigslist posting has no address, though the page has one.
    EXPECT_EQ(GetEntryEmail(TPostingSource::Craigslist, "write to help@example.org"), "");
    EXPECT_EQ(GetEntryEmail(TPostingSource::NoEntry, "write to help@example.org."), "help@example.org");
    EXPECT_EQ(GetEntryEmail(TPostingSource::NoEntry, "no address here @ all"), "");
}

// The page is written by a stranger: a reply link that names several addresses would copy
// the user's reply to all of them from the user's own mailbox.
TEST(PostingScrapersTest, AReplyAddressIsOneCheckedAddressOrNone) {
    const auto replyTo = [](const std::string& aLinkText) {
        return "<div>Reply to: <a href=\"mailto:x\">" + aLinkText + "</a></div>";
    };
    struct TCase {
        std::string linkText;
        const char* address;
    } cases[] = {
        {"sale-abc12-2741000001@craigslist.org", "sale-abc12-2741000001@craigslist.org"},
        {" sale@x.test ", "sale@x.test"},
        {"sale@x.test, victim1@y.test; victim2@z.test", ""},
        {"sale@x.test victim1@y.test", ""},
        {"Seller &lt;sale@x.test&gt;", ""},
        {"sale@x.test>\r\nRCPT TO:<victim@y.test", ""},
        {"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822;x@y", ""},
    };
    for (const TCase& c : cases) EXPECT_EQ(GetEntryEmail(TPostingSource::Craigslist, replyTo(c.linkText)), c.address) << c.linkText;
}

TEST(PostingScrapersTest, DescriptionIsTheUserBodyDecoded) {
    const std::string page = Posting();
    std::string description = GetEntryDescription(TPostingSource::Craigslist, page);
    EXPECT_EQ(description.rfind("Great road bike, barely used & just serviced.<br>\nSize 56 > fits", 0), 0u)
        << description;
    EXPECT_EQ(description.find("START CLTAGS"), std::string::npos);
    EXPECT_EQ(GetEntryDescription(TPostingSource::OtherSite, page), page);
    EXPECT_EQ(GetEntryDescription(TPostingSource::Craigslist, "no body &amp; here"), "no body &amp; here");
}

TEST(PostingScrapersTest, ImageUrlsAreTabSeparated) {
    EXPECT_EQ(GetEntryImageURLs(TPostingSource::Craigslist, Posting()),
              "http://images.craigslist.org/3n1.jpg\thttp://images.craigslist.org/3n2.jpg");
    EXPECT_EQ(GetEntryImageURLs(TPostingSource::NoEntry, Posting()), "");
    EXPECT_EQ(GetEntryImageURLs(TPostingSource::Craigslist, "<p>none</p>"), "");
}

TEST(PostingScrapersTest, APageThatCannotBeDownloadedGivesAnEmptyResult) {
    std::string askedFor;
    auto download = [&](const std::string& aLink) {
        askedFor = aLink;
        return Posting();
    };
    EXPECT_EQ(GetEntryEmailFromLink(TPostingSource::Craigslist, "http://x/1.html", download),
              "sale-abc12-2741000001@craigslist.org");
    EXPECT_EQ(askedFor, "http://x/1.html");

    askedFor.clear();
    EXPECT_EQ(GetEntryEmailFromLink(TPostingSource::OtherSite, "http://x/2.html", download), "");
    EXPECT_EQ(askedFor, "");  // other sites' pages are not fetched

    auto failing = [](const std::string&) -> std::string { throw std::runtime_error("connection refused"); };
    EXPECT_EQ(DownloadPostingPage("http://x/3.html", failing), "");
    EXPECT_EQ(GetEntryEmailFromLink(TPostingSource::Craigslist, "http://x/3.html", failing), "");
    EXPECT_EQ(DownloadPostingPage("http://x/4.html", nullptr), "");
}

TEST(PostingScrapersTest, AHostilePageGivesNoAddressInsteadOfHanging) {
    std::string page;
    for (int i = 0; i < 20000; ++i) page += "reply to:<a>";
    EXPECT_EQ(GetEntryEmail(TPostingSource::Craigslist, page), "");
}

}  // namespace
}  // namespace trawlix
