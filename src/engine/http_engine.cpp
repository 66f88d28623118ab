#include "engine/http_engine.h"

#include <cstdlib>

#include "engine/http_client.h"

namespace trawlix {

void EnsureHttpEngine() {
    // libcurl wants its global set-up done once, before threads use it.
    static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK; }();
    if (!initialised) throw EHttpError("The HTTP engine could not be initialised");
}

namespace {
// Runs at load time, before main starts any thread.
const bool gEngineReady = [] {
    try {
        EnsureHttpEngine();
        return true;
    } catch (...) {
        return false;
    }
}();
}  // namespace

namespace http_engine {

namespace {
constexpr long cConnectTimeoutSeconds = 20;
constexpr long cStallSeconds = 60;
}  // namespace

TEasyHandle NewEasyHandle() {
    EnsureHttpEngine();
    TEasyHandle handle(curl_easy_init());
    if (!handle) throw EHttpError("The HTTP engine could not start a transfer");
    return handle;
}

void ApplyCommonOptions(CURL* aHandle) {
    curl_easy_setopt(aHandle, CURLOPT_USERAGENT, cHttpUserAgent);
    curl_easy_setopt(aHandle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(aHandle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(aHandle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(aHandle, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(aHandle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(aHandle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(aHandle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* bundle = std::getenv(cCABundleVariable); bundle && *bundle)
        curl_easy_setopt(aHandle, CURLOPT_CAINFO, bundle);
    // A dead site must not hold a search for ever: give up on a connection that does
    // not open, and on a transfer that stops delivering bytes.
    curl_easy_setopt(aHandle, CURLOPT_CONNECTTIMEOUT, cConnectTimeoutSeconds);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_TIME, cStallSeconds);
    curl_easy_setopt(aHandle, CURLOPT_NOSIGNAL, 1L);
}

size_t AppendToVector(char* aData, size_t aSize, size_t aCount, void* aTarget) {
    auto& target = *static_cast<std::vector<std::uint8_t>*>(aTarget);
    target.insert(target.end(), aData, aData + aSize * aCount);
    return aSize * aCount;
}

size_t AppendToFile(char* aData, size_t aSize, size_t aCount, void* aTarget) {
    return std::fwrite(aData, aSize, aCount, static_cast<std::FILE*>(aTarget)) * aSize;
}

std::string DescribeFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer, const std::string& aURL) {
    if (aCode == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(aHandle, CURLINFO_RESPONSE_CODE, &status);
        return "HTTP error " + std::to_string(status) + " from " + aURL;
    }
    std::string detail = (aErrorBuffer && *aErrorBuffer) ? aErrorBuffer : curl_easy_strerror(aCode);
    return "Could not download " + aURL + ": " + detail;
}

}  // namespace http_engine
}  // namespace trawlix
