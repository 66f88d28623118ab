#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trawlix {

// What today's Craigslist ad page gives: its JSON-LD block (ld_posting_data), title, body,
// attributes, times and map.
struct TCraigPosting {
    bool isToday = false;  // the page is one of today's ad pages
    bool gone = false;     // deleted by its author, expired or flagged for removal
    std::string title;
    std::string description;  // plain text, without the QR code line
    std::vector<std::string> attributes;
    std::vector<std::string> pictures;
    double price = -1;
    std::string posted;   // ISO 8601, as the page gives it
    std::string updated;  // empty when the ad was not updated
    bool hasGeo = false;
    double latitude = 0;
    double longitude = 0;
    int bedrooms = -1;
    bool replyBehindCaptcha = false;  // the reply address is shown only after a captcha
};

TCraigPosting ReadCraigPosting(std::string_view aHtml);

// What a reply to such an ad says instead of failing silently.
inline constexpr const char* cCraigReplyBehindCaptcha =
    "Craigslist shows this ad's reply address only after a captcha on its page, which Trawlix cannot answer: "
    "reply from the ad's page in a browser";

}  // namespace trawlix
