#include "engine/download.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>

#include "engine/critical_section.h"
#include "engine/http_engine.h"

namespace trawlix {

using namespace http_engine;

namespace {

constexpr const char* cScratchFileName = "urlmon_temp.cur";
// A stream answer this short is an error page of the transport, not a page.
constexpr size_t cShortestStreamBody = 100;

struct TScratch {
    std::mutex mutex;
    std::string folder;
};

TScratch& Scratch() {
    static TScratch scratch;
    return scratch;
}

std::string ScratchFolder() {
    std::lock_guard lock(Scratch().mutex);
    return Scratch().folder;
}

// Every caller shares the one scratch file, so file downloads run one at a time.
TCCriticalSection& FileDownloadLock() {
    static TCCriticalSection lock("DownloadFile CS");
    return lock;
}

struct TFileCloser {
    void operator()(std::FILE* aFile) const { std::fclose(aFile); }
};

// A transfer that leaves the proxy to the environment, like the system's own service.
TEasyHandle NewSystemTransfer(const std::string& aUrl, char* aErrorBuffer) {
    TEasyHandle handle = NewEasyHandle();
    ApplyCommonOptions(handle.get());
    curl_easy_setopt(handle.get(), CURLOPT_URL, aUrl.c_str());
    curl_easy_setopt(handle.get(), CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(handle.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle.get(), CURLOPT_ERRORBUFFER, aErrorBuffer);
    return handle;
}

std::string ContentTypeOf(CURL* aHandle) {
    const char* contentType = nullptr;
    curl_easy_getinfo(aHandle, CURLINFO_CONTENT_TYPE, &contentType);
    return contentType ? contentType : "";
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read " + aPath.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Raises only when the scratch file cannot be used; a failed transfer gives "".
std::string DownloadThroughFile(const std::string& aUrl) {
    std::string folder = ScratchFolder();
    if (folder.empty()) throw std::runtime_error("No folder for downloads");
    std::filesystem::path path = std::filesystem::path(folder) / cScratchFileName;
    TCLock lock(FileDownloadLock());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TEasyHandle handle = NewSystemTransfer(aUrl, errorBuffer);
    std::string contentType;
    {
        std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "wb"));
        if (!file) throw std::runtime_error("Cannot write " + path.string());
        curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &AppendToFile);
        curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, file.get());
        if (curl_easy_perform(handle.get()) != CURLE_OK) return {};
        if (std::fflush(file.get()) != 0) throw std::runtime_error("Cannot write " + path.string());
        contentType = ContentTypeOf(handle.get());
    }
    return DecodeHttpBody(ReadWholeFile(path), contentType);
}

std::string DownloadThroughStream(const std::string& aUrl) {
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TEasyHandle handle = NewSystemTransfer(aUrl, errorBuffer);
    std::vector<std::uint8_t> body;
    curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &AppendToVector);
    curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &body);
    CURLcode code = curl_easy_perform(handle.get());
    if (code != CURLE_OK) throw EHttpError(DescribeFailure(handle.get(), code, errorBuffer, aUrl));
    if (!body.empty() && body.size() < cShortestStreamBody)
        throw EHttpError("Something went wrong with system stream downloading " + aUrl);
    return DecodeHttpBody(body, ContentTypeOf(handle.get()));
}

std::string FallbackDownload(const std::string& aUrl) {
    try {
        return DownloadThroughFile(aUrl);
    } catch (...) {
        return DownloadThroughStream(aUrl);
    }
}

}  // namespace

void SetDownloadScratchFolder(const std::string& aDataFolder) {
    std::lock_guard lock(Scratch().mutex);
    Scratch().folder = aDataFolder;
}

std::string DownloadFile(const std::string& aUrl, const ICHTTPClient& aDownloader) {
    try {
        if (aDownloader) {
            try {
                std::string body;
                aDownloader->Get(aUrl, body);
                return body;
            } catch (...) {
                // The client failed; the system's transfer gets its chance below.
            }
        }
        return FallbackDownload(aUrl);
    } catch (...) {
        return {};
    }
}

// ---- form POST ---------------------------------------------------------------------

namespace {

constexpr const char* cPostAgent = "VIZ2";

bool IsConnectFailure(CURL* aHandle, CURLcode aCode) {
    if (aCode == CURLE_COULDNT_CONNECT || aCode == CURLE_COULDNT_RESOLVE_HOST || aCode == CURLE_COULDNT_RESOLVE_PROXY)
        return true;
    // A time-out counts only when it struck before the connection was made.
    curl_off_t connectTime = 0;
    curl_easy_getinfo(aHandle, CURLINFO_CONNECT_TIME_T, &connectTime);
    return aCode == CURLE_OPERATION_TIMEDOUT && connectTime == 0;
}

size_t DiscardBody(char*, size_t aSize, size_t aCount, void*) { return aSize * aCount; }

}  // namespace

std::string PostParams(const std::string& aServer, const std::string& aToScript, const std::string& aParams,
                       const std::string& aGetParams) {
    TEasyHandle handle;
    try {
        handle = NewEasyHandle();
    } catch (const std::exception&) {
        throw std::runtime_error("Unable to initialize Wininet");
    }
    if (aServer.empty() || aServer.find_first_of("/?#@ ") != std::string::npos)
        throw std::runtime_error("Unable to connect to server");
    std::string object = aToScript + aGetParams;
    if (!object.empty() && object.front() != '/') object.insert(object.begin(), '/');
    std::string url = "http://" + aServer + object;

    CURL* curl = handle.get();
    ApplyCommonOptions(curl);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, cPostAgent);
    if (curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) != CURLE_OK)
        throw std::runtime_error("Unable to open POST request");
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, aParams.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aParams.size()));
    THeaderList headers(curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded"));
    headers.reset(curl_slist_append(headers.release(), "Pragma: no-cache"));
    headers.reset(curl_slist_append(headers.release(), "Cache-Control: no-cache"));
    // libcurl would otherwise wait for a "100 Continue" before sending a larger body.
    headers.reset(curl_slist_append(headers.release(), "Expect:"));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &DiscardBody);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);

    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_URL_MALFORMAT) throw std::runtime_error("Unable to open POST request");
    // Unlike the send itself, a server that cannot be reached is worth telling the caller.
    if (IsConnectFailure(curl, code)) throw std::runtime_error("Unable to connect to server");
    return {};
}

}  // namespace trawlix
