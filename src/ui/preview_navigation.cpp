#include "engine/text_functions.h"
#include "ui/preview_navigation.h"

#include <algorithm>
#include <cctype>

namespace trawlix {

namespace {

std::string WithoutSlashes(std::string aText) {
    aText.erase(std::remove(aText.begin(), aText.end(), '/'), aText.end());
    return aText;
}

bool Contains(const std::string& aText, const std::string& aPart) {
    return !aPart.empty() && aText.find(aPart) != std::string::npos;
}

}  // namespace

TPreviewNavigationPolicy::TPreviewNavigationPolicy(std::string aCraigslistDomain, std::string aVendorDomain)
    : fCraigslistDomain(LowerCase(std::move(aCraigslistDomain))), fVendorDomain(LowerCase(std::move(aVendorDomain))) {}

TPreviewNavigationPolicy::TDecision TPreviewNavigationPolicy::Decide(const std::string& aAddress,
                                                                     const std::string& aCurrentPreviewURL,
                                                                     TClock::time_point aNow) {
    const std::string lower = LowerCase(aAddress);
    const bool allowed = aCurrentPreviewURL.empty() || aAddress == "about:blank" || Contains(aAddress, "mailto:") ||
                         Contains(lower, fCraigslistDomain) ||
                         WithoutSlashes(aAddress) == WithoutSlashes(aCurrentPreviewURL);
    if (allowed) {
        fLastPreviewURLLoadedAt = aNow;
        return {true, false};
    }
    const bool settled = aNow - fLastPreviewURLLoadedAt > cSettledAfter;
    return {false, Contains(lower, fVendorDomain) || settled};
}

}  // namespace trawlix
