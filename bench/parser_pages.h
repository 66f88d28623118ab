// The pages the parser benchmarks read: Craigslist query and category pages and an RSS
// feed, at the sizes the sites serve.
#pragma once

#include <string>

namespace trawlix::bench {

// Every aUnpricedEvery-th ad shows no price (0: all show one).
inline std::string QueryAd(int aIndex, int aUnpricedEvery = 0) {
    std::string n = std::to_string(aIndex);
    const std::string price = aUnpricedEvery > 0 && aIndex % aUnpricedEvery == 0 ? "" : " - $" + n;
    return "<p class=\"row\"><span class=\"ih\" id=\"images:3n13o83m05Y85X25W0bbq5a" + n +
           ".jpg\">&nbsp;</span> Dec 12 - <a href=\"/eby/bik/27412" + n + ".html\">Road bike number " + n + price +
           "</a> <font size=\"-1\"> (Oakland)</font> <span class=\"p\"> pic</span><br></p>\n";
}

inline std::string QueryPage(int aAds, int aUnpricedEvery = 0) {
    std::string page = "<html><head><title>craigslist | bikes</title></head><body class=\"toc\">\n"
                       "<h4 class=\"ban\">Found: 1234 Displaying: 1 - 100</h4>\n<blockquote>\n";
    for (int i = 0; i < aAds; ++i) page += QueryAd(i, aUnpricedEvery);
    return page + "</blockquote>\n<h4 class=\"ban\">Displaying: 1 - 100</h4></body></html>\n";
}

inline std::string CategoryPage(int aAds) {
    const char* days[] = {"Mon Dec 12", "Sun Dec 11", "Sat Dec 10"};
    std::string page = "<html><body class=\"toc\"><blockquote>\n";
    for (int i = 0; i < aAds; ++i) {
        if (i % (aAds / 3) == 0 && i / (aAds / 3) < 3) page += std::string("<h4 class=\"ban\">") + days[i / (aAds / 3)] + "</h4>\n";
        std::string n = std::to_string(i);
        page += "<p class=\"row\"><a href=\"/sfc/bik/27410" + n + ".html\">Fixie &amp; lock " + n + " - $" + n +
                "</a> <font size=\"-1\"> (SOMA)</font> <span class=\"p\"> pic</span><br></p>\n";
    }
    return page + "<p align=\"center\"><a href=\"index100.html\">next 100 postings</a></p></blockquote></body></html>\n";
}

inline std::string Feed(int aItems) {
    std::string feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Oodle</title>\n";
    for (int i = 0; i < aItems; ++i) {
        std::string n = std::to_string(i);
        feed += "<item>\n  <title><![CDATA[Bike " + n + " - $1,2" + n + "]]></title>\n  <link>http://www.oodle.com/view/bike/" +
                n + "/</link>\n  <description><![CDATA[A <b>fine</b> bike, barely used, number " + n +
                ", with lights and a lock]]></description>\n  <pubDate>Mon, 12 Dec 2011 10:15:00 -0800</pubDate>\n</item>\n";
    }
    return feed + "</channel></rss>\n";
}

}  // namespace trawlix::bench
