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

// User agent, http/https only (redirects too), TLS 1.2 or later with verification,
// the CA bundle from the environment when set, a connect time-out and a stall abort.
void ApplyCommonOptions(CURL* aHandle);

// Body sinks for CURLOPT_WRITEFUNCTION.
size_t AppendToVector(char* aData, size_t aSize, size_t aCount, void* aTarget);
size_t AppendToFile(char* aData, size_t aSize, size_t aCount, void* aTarget);

// A readable account of a failed transfer, with the URL.
std::string DescribeFailure(CURL* aHandle, CURLcode aCode, const char* aErrorBuffer, const std::string& aURL);

}  // namespace trawlix::http_engine
