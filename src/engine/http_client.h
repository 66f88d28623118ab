#pragma once

#include <cstddef>
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

// The server answered with an error status (403, 429, 503 ...).
class EHttpStatus : public EHttpError {
public:
    EHttpStatus(const std::string& aWhat, long aStatus) : EHttpError(aWhat), fStatus(aStatus) {}
    long GetStatus() const { return fStatus; }

private:
    long fStatus;
};

// The answer passed the size one page or picture may have; the transfer was stopped there.
// Another way of fetching the same address would only meet the same answer.
class EHttpTooLarge : public EHttpError {
public:
    using EHttpError::EHttpError;
};

// What every transfer may take. A slow or hostile server must not hold a search, nor the
// exit, for ever, nor fill the memory or the disk.
struct TTransferLimits {
    long totalSeconds = 90;             // the whole request, connection included
    long lowSpeedBytesPerSecond = 100;  // slower than this ...
    long lowSpeedSeconds = 20;          // ... for this long ends the transfer
    std::size_t pageBytes = 16 * 1024 * 1024;     // a page after decoding
    std::size_t pictureBytes = 8 * 1024 * 1024;   // a picture
};
TTransferLimits GetTransferLimits();
// Applies to the transfers that start afterwards.
void SetTransferLimits(const TTransferLimits& aLimits);

// Ends every transfer under way within a moment and makes new ones fail at once, until
// AllowTransfers: the exit must not wait for the network. A transfer on a TcThread that was
// asked to stop ends the same way (Stop of a search).
void AbortAllTransfers();
void AllowTransfers();
bool TransfersAborted();

// The browser identity every request of the program carries.
inline constexpr const char* cHttpUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 6.1; en-US; rv:1.9.2.13) Gecko/20101203 Firefox/3.6.13";

// A current browser's identity, for sites that turn away anything else (today's Craigslist).
inline constexpr const char* cBrowserUserAgent =
    "Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0";

// Names a CA bundle file that replaces the system store (tests use their own CA).
inline constexpr const char* cCABundleVariable = "TRAWLIX_CA_BUNDLE";

// Turns a fetched body into valid UTF-8: decoded by the charset of the Content-Type value,
// else by the charset a <meta> tag near the top of the page declares; a byte that is not
// valid in that charset becomes U+FFFD and the rest of the page is still decoded. Without a
// known charset, bytes that are not valid UTF-8 are read as Windows-1252.
std::string DecodeHttpBody(const std::vector<std::uint8_t>& aBody, const std::string& aContentType);

// Makes sure libcurl's process-wide state exists; cheap after the first call.
void EnsureHttpEngine();

// What a server answered a POST, error statuses included.
struct TPostAnswer {
    long status = 0;
    std::string body;      // as it came, cut at the page limit
    long retryAfter = -1;  // seconds from the Retry-After header (either form); -1 without one
};

// The GET client. One request at a time per client; the proxy settings are read
// afresh for every request, so a change applies to the next one.
class THostBudget;
class TPollCache;

// A watcher's way of polling: every page request of the site clients waits for its host's
// turn in aBudget, and aCache serves one fetched answer to every search that asks for the
// same address meanwhile, and makes later requests conditional. Both empty: requests go
// out at once, as a search run by hand wants.
void SetSitePolling(std::shared_ptr<THostBudget> aBudget, std::shared_ptr<TPollCache> aCache);
// Whether a watcher polls the sites now (SetSitePolling gave it a budget and shared answers).
bool SitePollingActive();
// Names the search the calling thread fetches pages for (kept with the polled addresses).
void SetRequestOwner(const std::string& aOwner);

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
    // Posts aBody with aContentType and the extra "Name: value" headers. Raises EHttpError when the request fails or the status is not 2xx, and
    // answers the status.
    long Post(const std::string& aURL, const std::string& aContentType, const std::string& aBody,
              const std::vector<std::string>& aHeaders = {});
    // Posts like Post, but any answer the server gave comes back (the services that take
    // notifications say in the body why they refused, and when to come back after a 429).
    // Raises EHttpError only when no answer came (network, proxy, TLS, time-out).
    TPostAnswer PostForAnswer(const std::string& aURL, const std::string& aContentType, const std::string& aBody,
                              const std::vector<std::string>& aHeaders = {});
    // A GET whose answer is not needed (a heartbeat): the status, whatever it is, or
    // EHttpError when no answer came.
    long Ping(const std::string& aURL);
    // From now on the requests go out as a current browser's (its identity, Accept and
    // Accept-Language), and the cookies the sites set are kept and sent back for as long as
    // the client lives.
    void ActAsBrowser();

private:
    struct TEngine;
    struct TConditional;

    std::string Perform(const std::string& aURL, std::vector<std::uint8_t>& aBody, std::size_t aLimit,
                        const char* aWhat, TConditional* aConditional = nullptr);
    std::string PerformPolled(const std::string& aURL, std::vector<std::uint8_t>& aBody);
    long PerformPost(const std::string& aURL, const std::string& aContentType, const std::string& aBody,
                     const std::vector<std::string>& aHeaders, bool aFailOnError, std::vector<std::uint8_t>& aAnswer);
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
