#include "engine/http_engine.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string_view>

#include "engine/http_client.h"
#include "engine/threads.h"

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

namespace {

struct TLimitsStore {
    std::mutex mutex;
    TTransferLimits limits;
};

TLimitsStore& LimitsStore() {
    static TLimitsStore store;
    return store;
}

std::atomic<bool> gTransfersAborted{false};

}  // namespace

TTransferLimits GetTransferLimits() {
    std::lock_guard lock(LimitsStore().mutex);
    return LimitsStore().limits;
}

void SetTransferLimits(const TTransferLimits& aLimits) {
    std::lock_guard lock(LimitsStore().mutex);
    LimitsStore().limits = aLimits;
}

void AbortAllTransfers() { gTransfersAborted = true; }
void AllowTransfers() { gTransfersAborted = false; }
bool TransfersAborted() { return gTransfersAborted; }

namespace http_engine {

namespace {
constexpr long cConnectTimeoutSeconds = 20;

// libcurl calls this several times a second while a transfer runs, also while it waits for
// bytes; a non-zero answer ends the transfer with CURLE_ABORTED_BY_CALLBACK.
int StopCheck(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return TransfersAborted() || TcThread::CurrentThreadTerminated() ? 1 : 0;
}

size_t WriteToSink(char* aData, size_t aSize, size_t aCount, void* aTarget) {
    auto& sink = *static_cast<TBodySink*>(aTarget);
    const size_t length = aSize * aCount;
    if (length > sink.limit - std::min(sink.limit, sink.received)) {
        sink.tooLarge = true;
        return 0;  // ends the transfer, and with it the decoding of a compressed answer
    }
    if (sink.file) {
        if (std::fwrite(aData, 1, length, sink.file) != length) {
            sink.writeFailed = true;
            return 0;
        }
    } else {
        try {
            sink.bytes->insert(sink.bytes->end(), aData, aData + length);
        } catch (const std::bad_alloc&) {
            sink.outOfMemory = true;
            return 0;
        }
    }
    sink.received += length;
    return length;
}

std::string MegabytesText(std::size_t aBytes) { return std::to_string(aBytes / (1024 * 1024)) + " MB"; }

}  // namespace

TEasyHandle NewEasyHandle() {
    EnsureHttpEngine();
    TEasyHandle handle(curl_easy_init());
    if (!handle) throw EHttpError("The HTTP engine could not start a transfer");
    return handle;
}

void ApplyTLSVerification(CURL* aHandle) {
    curl_easy_setopt(aHandle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(aHandle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(aHandle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* bundle = std::getenv(cCABundleVariable); bundle && *bundle)
        curl_easy_setopt(aHandle, CURLOPT_CAINFO, bundle);
}

void ApplyCommonOptions(CURL* aHandle) {
    curl_easy_setopt(aHandle, CURLOPT_USERAGENT, cHttpUserAgent);
    curl_easy_setopt(aHandle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(aHandle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(aHandle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(aHandle, CURLOPT_MAXREDIRS, 20L);
    ApplyTLSVerification(aHandle);
    // A dead site must not hold a search for ever: give up on a connection that does
    // not open, and on a transfer that stops delivering bytes.
    curl_easy_setopt(aHandle, CURLOPT_CONNECTTIMEOUT, cConnectTimeoutSeconds);
    ApplyTimeLimits(aHandle);
    curl_easy_setopt(aHandle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(aHandle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(aHandle, CURLOPT_XFERINFOFUNCTION, &StopCheck);
}

bool IsHttpsAddress(const std::string& aURL) {
    constexpr std::string_view scheme = "https:";
    if (aURL.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(aURL[i])) != scheme[i]) return false;
    return true;
}

void SetTransferAddress(CURL* aHandle, const std::string& aURL) {
    // An answer over http could come from anyone in the path, so a transfer that began on
    // https stays on https through every redirect; one that began on http may go up to https.
    curl_easy_setopt(aHandle, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsAddress(aURL) ? "https" : "http,https");
    curl_easy_setopt(aHandle, CURLOPT_URL, aURL.c_str());
}

void RefuseWhenStopped(const std::string& aURL) {
    if (StopCheck(nullptr, 0, 0, 0, 0)) throw EHttpError("Stopped downloading " + aURL);
}

void ApplyTimeLimits(CURL* aHandle) {
    const TTransferLimits limits = GetTransferLimits();
    curl_easy_setopt(aHandle, CURLOPT_TIMEOUT, limits.totalSeconds);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
}

void UseBodySink(CURL* aHandle, TBodySink& aSink) {
    curl_easy_setopt(aHandle, CURLOPT_WRITEFUNCTION, &WriteToSink);
    curl_easy_setopt(aHandle, CURLOPT_WRITEDATA, &aSink);
    // A declared length above the limit is refused before a byte of the body comes.
    curl_easy_setopt(aHandle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(aSink.limit));
}

void RaiseSinkFailure(const TBodySink& aSink, CURLcode aCode, const std::string& aURL, const char* aWhat) {
    if (aSink.tooLarge || aCode == CURLE_FILESIZE_EXCEEDED)
        throw EHttpTooLarge(std::string("the ") + aWhat + " at " + aURL + " is larger than " +
                            MegabytesText(aSink.limit));
    if (aSink.outOfMemory) throw EHttpError(std::string("Not enough memory for the ") + aWhat + " at " + aURL);
    if (aSink.writeFailed) throw EHttpError("Cannot store the " + std::string(aWhat) + " at " + aURL);
}

std::string DescribeFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer, const std::string& aURL) {
    if (aCode == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(aHandle, CURLINFO_RESPONSE_CODE, &status);
        return "HTTP error " + std::to_string(status) + " from " + aURL;
    }
    if (aCode == CURLE_ABORTED_BY_CALLBACK) return "Stopped downloading " + aURL;
    std::string detail = (aErrorBuffer && *aErrorBuffer) ? aErrorBuffer : curl_easy_strerror(aCode);
    return "Could not download " + aURL + ": " + detail;
}

void RaiseTransferFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer, const std::string& aURL) {
    const std::string failure = DescribeFailure(aHandle, aCode, aErrorBuffer, aURL);
    if (aCode == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(aHandle, CURLINFO_RESPONSE_CODE, &status);
        throw EHttpStatus(failure, status);
    }
    throw EHttpError(failure);
}

}  // namespace http_engine
}  // namespace trawlix
