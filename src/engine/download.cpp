#include "engine/download.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "engine/http_engine.h"

namespace trawlix {

using namespace http_engine;

namespace {

// Each fall-back transfer gets its own file, made from this pattern in the data folder, so
// that two processes (the window and the command line) never share one.
constexpr const char* cScratchFilePattern = "urlmon_temp-XXXXXX.cur";
constexpr int cScratchFileSuffixLength = 4;  // ".cur"
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

// A private file for one transfer, removed with everything in it when the object goes.
class TScratchFile {
public:
    explicit TScratchFile(const std::string& aFolder) {
        std::string pattern = (std::filesystem::path(aFolder) / cScratchFilePattern).string();
        const int fd = ::mkostemps(pattern.data(), cScratchFileSuffixLength, O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("Cannot write in " + aFolder);
        fPath = pattern;
        fFile = ::fdopen(fd, "w+b");
        if (!fFile) {
            ::close(fd);
            ::unlink(fPath.c_str());
            throw std::runtime_error("Cannot write " + fPath);
        }
    }
    ~TScratchFile() {
        std::fclose(fFile);
        ::unlink(fPath.c_str());
    }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    std::FILE* File() const { return fFile; }
    const std::string& Path() const { return fPath; }

    std::vector<std::uint8_t> ReadAll() const {
        if (std::fflush(fFile) != 0 || std::fseek(fFile, 0, SEEK_SET) != 0)
            throw std::runtime_error("Cannot read " + fPath);
        std::vector<std::uint8_t> bytes;
        std::uint8_t buffer[64 * 1024];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, fFile)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
        if (std::ferror(fFile)) throw std::runtime_error("Cannot read " + fPath);
        return bytes;
    }

private:
    std::string fPath;
    std::FILE* fFile = nullptr;
};

// A transfer that leaves the proxy to the environment, like the system's own service.
TEasyHandle NewSystemTransfer(const std::string& aUrl, char* aErrorBuffer) {
    RefuseWhenStopped(aUrl);
    TEasyHandle handle = NewEasyHandle();
    ApplyCommonOptions(handle.get());
    SetTransferAddress(handle.get(), aUrl);
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

// Raises std::runtime_error only when no scratch file can be made; a failed transfer gives
// "" (EHttpTooLarge when the page passed its size).
std::string DownloadThroughFile(const std::string& aUrl) {
    std::string folder = ScratchFolder();
    if (folder.empty()) throw std::runtime_error("No folder for downloads");
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TEasyHandle handle = NewSystemTransfer(aUrl, errorBuffer);
    TScratchFile scratch(folder);
    TBodySink sink;
    sink.file = scratch.File();
    sink.limit = GetTransferLimits().pageBytes;
    UseBodySink(handle.get(), sink);
    const CURLcode code = curl_easy_perform(handle.get());
    if (code != CURLE_OK) {
        RaiseSinkFailure(sink, code, aUrl, "page");
        return {};
    }
    return DecodeHttpBody(scratch.ReadAll(), ContentTypeOf(handle.get()));
}

std::string DownloadThroughStream(const std::string& aUrl) {
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TEasyHandle handle = NewSystemTransfer(aUrl, errorBuffer);
    std::vector<std::uint8_t> body;
    TBodySink sink;
    sink.bytes = &body;
    sink.limit = GetTransferLimits().pageBytes;
    UseBodySink(handle.get(), sink);
    CURLcode code = curl_easy_perform(handle.get());
    if (code != CURLE_OK) {
        RaiseSinkFailure(sink, code, aUrl, "page");
        RaiseTransferFailure(handle.get(), code, errorBuffer, aUrl);
    }
    if (!body.empty() && body.size() < cShortestStreamBody)
        throw EHttpError("Something went wrong with system stream downloading " + aUrl);
    return DecodeHttpBody(body, ContentTypeOf(handle.get()));
}

std::string FallbackDownload(const std::string& aUrl) {
    try {
        return DownloadThroughFile(aUrl);
    } catch (const EHttpTooLarge&) {
        throw;
    } catch (...) {
        return DownloadThroughStream(aUrl);
    }
}

}  // namespace

void SetDownloadScratchFolder(const std::string& aDataFolder) {
    std::lock_guard lock(Scratch().mutex);
    Scratch().folder = aDataFolder;
}

std::string GetDownloadScratchFolder() { return ScratchFolder(); }

bool IsRefusalStatus(long aStatus) { return aStatus == 403 || aStatus == 429 || aStatus == 503; }

std::string DownloadFile(const std::string& aUrl, const ICHTTPClient& aDownloader) {
    TDownloadFailure failure;
    return DownloadFile(aUrl, aDownloader, failure);
}

std::string DownloadFile(const std::string& aUrl, const ICHTTPClient& aDownloader, TDownloadFailure& aFailure) {
    aFailure = {};
    try {
        if (aDownloader) {
            try {
                std::string body;
                aDownloader->Get(aUrl, body);
                return body;
            } catch (const EHttpTooLarge&) {
                throw;  // the fall-back would only fetch the same oversized answer again
            } catch (const EHttpStatus& e) {
                aFailure.httpStatus = e.GetStatus();
                aFailure.text = e.what();
                if (IsRefusalStatus(e.GetStatus())) return {};
            } catch (const std::exception& e) {
                // The client failed; the system's transfer gets its chance below. Its reason
                // stays the page's, should the fall-back fail without one of its own.
                aFailure.text = e.what();
            } catch (...) {
                aFailure.text = "Could not download " + aUrl;
            }
        }
        std::string body = FallbackDownload(aUrl);
        if (!body.empty()) aFailure = {};
        return body;
    } catch (const EHttpTooLarge& e) {
        aFailure = {e.what(), true, aFailure.httpStatus};
    } catch (const EHttpStatus& e) {
        aFailure = {e.what(), false, e.GetStatus()};
    } catch (const std::exception& e) {
        aFailure.text = e.what();
    } catch (...) {
        aFailure.text = "Could not download " + aUrl;
    }
    return {};
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
