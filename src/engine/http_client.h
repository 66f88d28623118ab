#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "engine/proxy_settings.h"
#include "engine/site_search_enum.h"

namespace trawlix {

// Any failed request: network, proxy, TLS, or an error status from the server.
class EHttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The browser identity every request of the program carries.
inline constexpr const char* cHttpUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 6.1; en-US; rv:1.9.2.13) Gecko/20101203 Firefox/3.6.13";

// Names a CA bundle file that replaces the system store (tests use their own CA).
inline constexpr const char* cCABundleVariable = "TRAWLIX_CA_BUNDLE";

// Turns a fetched body into valid UTF-8: decoded by the charset of the Content-Type
// value when there is one; bytes that are not valid UTF-8 are read as Windows-1252.
std::string DecodeHttpBody(const std::vector<std::uint8_t>& aBody, const std::string& aContentType);

// Makes sure libcurl's process-wide state exists; cheap after the first call.
void EnsureHttpEngine();

// The GET client. One request at a time per client; the proxy settings are read
// afresh for every request, so a change applies to the next one.
class TCHttpClient {
public:
    TCHttpClient(TProxySettings& aProxySettings, bool aDeflate);
    ~TCHttpClient();
    TCHttpClient(const TCHttpClient&) = delete;
    TCHttpClient& operator=(const TCHttpClient&) = delete;

    // The body as UTF-8 text.
    void Get(const std::string& aURL, std::string& aBody);
    // The body as it came (after content decoding), for pictures.
    void GetBytes(const std::string& aURL, std::vector<std::uint8_t>& aBody);

private:
    struct TEngine;

    std::string Perform(const std::string& aURL, std::vector<std::uint8_t>& aBody);
    void ApplyProxySettings();

    TCCriticalSection fCriticalSection{"TCHttpClient CS"};
    std::unique_ptr<TEngine> fHTTPClient;
    TProxySettings& fProxySettings;
};

using ICHTTPClient = std::shared_ptr<TCHttpClient>;

// The shared clients: one per ad site (Craigslist asks for compressed pages) and one
// for the vendor's services, created in that order.
void CreateSiteDownloaders(TProxySettings& aProxySettings);
void ReleaseSiteDownloaders();
ICHTTPClient GetSiteDownloader(TSiteSearchEnum aSite);
ICHTTPClient GetVendorDownloader();

}  // namespace trawlix
