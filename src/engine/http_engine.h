#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// libcurl plumbing shared by the program's own client, the fall-back download and the
// form POST, so that every transfer has the same identity, TLS rules and time-outs.
namespace trawlix::http_engine {

struct TEasyDeleter {
    void operator()(CURL* aHandle) const { curl_easy_cleanup(aHandle); }
};
using TEasyHandle = std::unique_ptr<CURL, TEasyDeleter>;

struct TSlistDeleter {
    void operator()(curl_slist* aList) const { curl_slist_free_all(aList); }
};
using THeaderList = std::unique_ptr<curl_slist, TSlistDeleter>;

// A new easy handle; raises EHttpError when libcurl cannot make one.
TEasyHandle NewEasyHandle();

// User agent, http/https only (redirects to https only until SetTransferAddress says), TLS 1.2 or later with verification,
// the CA bundle from the environment when set, a connect time-out, the time limits, and the
// progress check that ends a transfer that was stopped.
void ApplyCommonOptions(CURL* aHandle);

// Whether aURL's scheme is https (in any case).
bool IsHttpsAddress(const std::string& aURL);

// The address of the next transfer on aHandle, with the redirects it may follow: a transfer
// that begins on https follows redirects to https only. Every transfer that follows redirects
// sets its address here.
void SetTransferAddress(CURL* aHandle, const std::string& aURL);

// Raises EHttpError when transfers are stopped (the exit, or the calling thread's stop), so
// that none starts meanwhile.
void RefuseWhenStopped(const std::string& aURL);

// TLS 1.2 or later, the peer's certificate and host name verified, against the CA bundle
// named by TRAWLIX_CA_BUNDLE when it is set. Web transfers and mail sending share it.
void ApplyTLSVerification(CURL* aHandle);

// The total and low-speed time limits of GetTransferLimits; ApplyCommonOptions sets them too.
void ApplyTimeLimits(CURL* aHandle);

// Where a transfer's body goes (a vector or a file), with the most it may take. The write
// callback never lets an exception out into libcurl: a failure ends the transfer and is
// remembered here, so the handle stays usable for the next request.
struct TBodySink {
    std::vector<std::uint8_t>* bytes = nullptr;
    std::FILE* file = nullptr;
    std::size_t limit = 0;
    std::size_t received = 0;
    bool tooLarge = false;
    bool outOfMemory = false;
    bool writeFailed = false;
};
// Sets the write callback, the sink and libcurl's own size check on the handle.
void UseBodySink(CURL* aHandle, TBodySink& aSink);
// Raises EHttpTooLarge or EHttpError when the sink ended the transfer; aWhat names the thing
// fetched ("page", "picture").
void RaiseSinkFailure(const TBodySink& aSink, CURLcode aCode, const std::string& aURL, const char* aWhat);

// A readable account of a failed transfer, with the URL.
std::string DescribeFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer, const std::string& aURL);
// Raises the failed transfer: EHttpStatus with the status when the server answered an
// error status, EHttpError otherwise.
[[noreturn]] void RaiseTransferFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer,
                                       const std::string& aURL);

}  // namespace trawlix::http_engine
