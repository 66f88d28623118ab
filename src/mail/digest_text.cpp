#include "mail/digest_text.h"

#include <cstdio>

namespace trawlix {

std::string DigestTitle(const TAlertNotification& aNotification) {
    return "New results available for " + aNotification.searchName;
}

std::string PlainPrice(double aPrice) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", aPrice);
    return text;
}

std::string DigestCounts(const TAlertNotification& aNotification) {
    std::string text = std::to_string(aNotification.count) + " new";
    if (static_cast<int>(aNotification.results.size()) < aNotification.count)
        text += ", " + std::to_string(aNotification.results.size()) + " listed";
    return text;
}

std::string DigestPlainText(const TAlertNotification& aNotification) {
    std::string text = DigestTitle(aNotification) + ": " + DigestCounts(aNotification);
    if (!aNotification.priceDrops.empty())
        text += ", " + std::to_string(aNotification.priceDrops.size()) + " price drops";
    if (!aNotification.digestId.empty()) text += " (digest " + aNotification.digestId + ")";
    text += "\n";
    for (const TDigestResult& result : aNotification.results) text += result.title + " " + result.link + "\n";
    for (const TDigestResult& result : aNotification.priceDrops)
        text += result.title + " " + result.link + " was " + PlainPrice(result.priceWas) + ", now " +
                PlainPrice(result.price) + "\n";
    return text;
}

std::string TestText(TTestMessageKind aKind) {
    return aKind == TTestMessageKind::Email ? "This is a test notifications email that you have requested. "
                                              "The mail has arrived successfully and you can receive notifications."
                                            : cTestSMSText;
}

}  // namespace trawlix
