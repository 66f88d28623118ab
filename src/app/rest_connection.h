#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "engine/http_client.h"

namespace trawlix {

// aTemplate with every "$N" (N decimal digits) replaced by parameter N (1-based),
// URL-encoded, and "&random=" + aRandom appended so that no cache answers for the
// server. A "$N" with no such parameter stays as it is.
std::string BuildRESTAddress(const std::string& aTemplate, const std::vector<std::string>& aParams, int aRandom);

// The connection to the vendor's web services: one request at a time.
class TRESTConnection {
public:
    // Fetches aURL into the answer; raises EHttpError on any failure.
    using TFetch = std::function<std::string(const std::string& aURL)>;

    explicit TRESTConnection(ICHTTPClient aClient);
    explicit TRESTConnection(TFetch aFetch);

    // The answer text of the address built from aTemplate and aParams. A failure raises:
    // the address is never retried over plain http, since an answer over http could come
    // from anyone in the path (a version check pointing at another download). The failure's
    // text names the address without its query, which holds the parameters (passwords).
    std::string GetRESTResponce(const std::string& aTemplate, const std::vector<std::string>& aParams);

private:
    TCCriticalSection fCriticalSection{"TRESTConnection.fCriticalSection"};
    TFetch fFetch;
};

}  // namespace trawlix
