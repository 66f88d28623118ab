#pragma once

#include <chrono>
#include <string>

namespace trawlix {

// Decides which navigations the preview may make. While a page loads, whatever it does by
// itself (redirects, frames, scripts) is dropped; once it has settled, a link the user
// clicks opens in the default browser, except links within Craigslist, which stay here.
class TPreviewNavigationPolicy {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds cSettledAfter{12000};

    struct TDecision {
        bool allow = false;
        bool openExternally = false;
    };

    TPreviewNavigationPolicy(std::string aCraigslistDomain, std::string aVendorDomain);

    // aCurrentPreviewURL: the address last sent to the preview (empty before the first).
    TDecision Decide(const std::string& aAddress, const std::string& aCurrentPreviewURL, TClock::time_point aNow);
    // A load started or finished, or a document completed.
    void NoteLoadActivity(TClock::time_point aNow) { fLastPreviewURLLoadedAt = aNow; }
    TClock::time_point LastLoadActivity() const { return fLastPreviewURLLoadedAt; }

private:
    std::string fCraigslistDomain;
    std::string fVendorDomain;
    TClock::time_point fLastPreviewURLLoadedAt{};
};

}  // namespace trawlix
