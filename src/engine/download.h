#pragma once

#include <string>

#include "engine/http_client.h"

namespace trawlix {

// Where the fall-back download keeps its files (the data folder): one private
// "urlmon_temp-XXXXXX.cur" per transfer, removed when the transfer ends.
void SetDownloadScratchFolder(const std::string& aDataFolder);
// The data folder given above; empty when none was given.
std::string GetDownloadScratchFolder();

// The page at aUrl as UTF-8 text, or an empty string on any failure; never raises.
// Tries aDownloader first (when given), then a plain transfer that follows the
// system's proxy environment (http_proxy, no_proxy) instead of the program's settings.
// A page larger than GetTransferLimits().pageBytes is stopped and gives "" as well.
std::string DownloadFile(const std::string& aUrl, const ICHTTPClient& aDownloader);
// Why a download gave nothing.
struct TDownloadFailure {
    std::string text;       // "the page at <url> is larger than 16 MB", "Could not download ..."
    bool tooLarge = false;  // the page passed its size limit
    long httpStatus = 0;    // the error status the server answered, 0 for none
};
// 403 Forbidden, 429 Too Many Requests and 503 Service Unavailable: how a site turns a
// visitor away.
bool IsRefusalStatus(long aStatus);
// The same; on failure aFailure says why. A server that refuses the address (403, 429,
// 503) is not asked again through the fall-back: that would only knock twice.
std::string DownloadFile(const std::string& aUrl, const ICHTTPClient& aDownloader, TDownloadFailure& aFailure);

// A bare form POST of aParams to http://aServer/aToScript + aGetParams, through the
// system's proxy environment. aServer may carry a port ("host:port"); port 80 otherwise.
// Raises "Unable to initialize Wininet", "Unable to connect to server" or "Unable to
// open POST request"; the answer is not read and the result is always empty.
std::string PostParams(const std::string& aServer, const std::string& aToScript, const std::string& aParams,
                       const std::string& aGetParams);

}  // namespace trawlix
