#include "engine/http_client.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <mutex>

#include "engine/host_budget.h"
#include "engine/http_engine.h"
#include "engine/poll_cache.h"
#include "engine/proxy_bypass.h"
#include "engine/text_functions.h"

namespace trawlix {

using namespace http_engine;

// ---- body decoding -----------------------------------------------------------------

namespace {

// Windows-1252 code points of the bytes 0x80-0x9F; the five unassigned bytes keep
// their own value, as Windows does.
constexpr std::array<char32_t, 32> cWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Windows1252ToCodePoint(std::uint8_t aByte) {
    if (aByte >= 0x80 && aByte < 0xA0) return cWindows1252High[aByte - 0x80];
    return aByte;
}

// Length of the well-formed UTF-8 sequence at aPos (no overlongs, no surrogates,
// nothing above U+10FFFF), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(const std::uint8_t* aData, size_t aSize, size_t aPos) {
    std::uint8_t lead = aData[aPos];
    if (lead < 0x80) return 1;
    size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (aPos + length > aSize) return 0;
    if (aData[aPos + 1] < low || aData[aPos + 1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((aData[aPos + i] & 0xC0) != 0x80) return 0;
    return length;
}

std::string Utf8WithWindows1252Fallback(const std::uint8_t* aData, size_t aSize) {
    std::string out;
    out.reserve(aSize);
    size_t pos = 0;
    while (pos < aSize) {
        size_t length = Utf8SequenceLength(aData, aSize, pos);
        if (length == 0) {
            AppendUtf8(out, Windows1252ToCodePoint(aData[pos]));
            ++pos;
        } else {
            out.append(reinterpret_cast<const char*>(aData + pos), length);
            pos += length;
        }
    }
    return out;
}

bool IsCharsetLabelChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ':';
}

// The label after the first "charset=" of aText (already lower case), quotes and blanks
// around it left out.
std::string CharsetAfterKeyword(const std::string& aText) {
    size_t pos = aText.find("charset=");
    if (pos == std::string::npos) return {};
    pos += 8;
    while (pos < aText.size() && (aText[pos] == '"' || aText[pos] == '\'' || aText[pos] == ' ')) ++pos;
    size_t end = pos;
    while (end < aText.size() && IsCharsetLabelChar(aText[end])) ++end;
    return aText.substr(pos, end - pos);
}

std::string CharsetOf(const std::string& aContentType) { return CharsetAfterKeyword(LowerCase(aContentType)); }

// Browsers look for the declaration in the first 1024 bytes; pages with long heads put it a
// little later, so a few kilobytes are searched.
constexpr size_t cMetaCharsetWindow = 4096;

// The charset that a <meta charset=...> or <meta http-equiv="Content-Type" content="...;
// charset=..."> tag near the top of an HTML page declares.
std::string MetaCharsetOf(const std::vector<std::uint8_t>& aBody) {
    const size_t size = std::min(aBody.size(), cMetaCharsetWindow);
    const std::string head = LowerCase(std::string(reinterpret_cast<const char*>(aBody.data()), size));
    for (size_t tag = head.find("<meta"); tag != std::string::npos; tag = head.find("<meta", tag + 5)) {
        const size_t end = head.find('>', tag);
        std::string charset = CharsetAfterKeyword(head.substr(tag, end == std::string::npos ? end : end - tag));
        if (!charset.empty()) return charset;
    }
    return {};
}

// UTF-8, and the labels that browsers read as Windows-1252: the fall-back decoder
// covers them exactly, so iconv is needed only for other charsets.
bool IsCoveredByFallback(const std::string& aCharset) {
    static const std::array<std::string, 9> labels = {"utf-8", "utf8", "iso-8859-1", "iso8859-1",
                                                      "latin1", "us-ascii", "ascii", "windows-1252",
                                                      "cp1252"};
    return std::find(labels.begin(), labels.end(), aCharset) != labels.end();
}

struct TIconvCloser {
    void operator()(iconv_t aHandle) const { iconv_close(aHandle); }
};

constexpr char32_t cReplacementCharacter = 0xFFFD;

// False when iconv does not know the charset. A byte that is not valid in the charset (or a
// sequence cut off at the end) becomes U+FFFD and the conversion goes on after it.
bool ConvertWithIconv(const std::string& aCharset, const std::vector<std::uint8_t>& aBody, std::string& aOut) {
    iconv_t raw = iconv_open("UTF-8", aCharset.c_str());
    if (raw == reinterpret_cast<iconv_t>(-1)) return false;
    std::unique_ptr<std::remove_pointer_t<iconv_t>, TIconvCloser> converter(raw);
    std::string out;
    std::string chunk(16 * 1024, '\0');
    char* in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(aBody.data()));
    size_t inLeft = aBody.size();
    while (inLeft > 0) {
        char* target = chunk.data();
        size_t outLeft = chunk.size();
        const size_t result = iconv(raw, &in, &inLeft, &target, &outLeft);
        const int error = errno;
        out.append(chunk.data(), chunk.size() - outLeft);
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        AppendUtf8(out, cReplacementCharacter);
        if (error == EINVAL) break;  // an incomplete sequence at the very end
        ++in;
        --inLeft;
        iconv(raw, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    }
    char* target = chunk.data();
    size_t outLeft = chunk.size();
    iconv(raw, nullptr, nullptr, &target, &outLeft);  // what a stateful charset still holds
    out.append(chunk.data(), chunk.size() - outLeft);
    aOut = std::move(out);
    return true;
}

}  // namespace

std::string DecodeHttpBody(const std::vector<std::uint8_t>& aBody, const std::string& aContentType) {
    std::string charset = CharsetOf(aContentType);
    if (charset.empty()) charset = MetaCharsetOf(aBody);
    std::string converted;
    if (!charset.empty() && !IsCoveredByFallback(charset) && ConvertWithIconv(charset, aBody, converted))
        return converted;
    return Utf8WithWindows1252Fallback(aBody.data(), aBody.size());
}

// ---- the client --------------------------------------------------------------------

struct TCHttpClient::TEngine {
    TEasyHandle handle;
    THeaderList headers;
    bool deflate = false;
    // The SOCKS version of the last SOCKS request; a setting that names neither
    // version keeps it.
    long socksType = CURLPROXY_SOCKS5_HOSTNAME;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

TCHttpClient::TCHttpClient(TProxySettings& aProxySettings, bool aDeflate)
    : fHTTPClient(std::make_unique<TEngine>()), fProxySettings(aProxySettings) {
    fHTTPClient->handle = NewEasyHandle();
    fHTTPClient->deflate = aDeflate;
    CURL* handle = fHTTPClient->handle.get();
    ApplyCommonOptions(handle);
    curl_slist* headers = curl_slist_append(nullptr, "Connection: keep-alive");
    headers = curl_slist_append(headers, "Keep-Alive: 115");
    fHTTPClient->headers.reset(headers);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    // Without the option libcurl neither advertises nor decodes any content encoding.
    if (aDeflate) curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, fHTTPClient->errorBuffer);
}

TCHttpClient::~TCHttpClient() = default;

namespace {

// This machine's own addresses, in libcurl's no-proxy syntax: "localhost" covers its sub-domains.
constexpr const char* cLoopbackHosts = "localhost,127.0.0.0/8,::1";

bool IsLoopbackHost(const std::string& aHost) {
    const std::string host = LowerCase(aHost);
    const std::string suffix = ".localhost";
    return host == "localhost" || host == "::1" || host == "[::1]" || host.rfind("127.", 0) == 0 ||
           (host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0);
}

std::string HostOf(const std::string& aURL) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
    char* host = nullptr;
    if (!url || curl_url_set(url.get(), CURLUPART_URL, aURL.c_str(), 0) != CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return {};
    std::string result = host;
    curl_free(host);
    return result;
}

std::atomic<bool> gLoopbackBypassesProxy{true};

// aURL, followed by the proxy when the request to it goes through one: a failure there may
// be the proxy's, not the server's.
std::string NameWithProxy(const TProxySettings& aProxySettings, const std::string& aURL) {
    if (!aProxySettings.GetEnabled() || aProxySettings.GetHost().empty()) return aURL;
    if (LoopbackBypassesProxy() && IsLoopbackHost(HostOf(aURL))) return aURL;
    return aURL + " through the proxy " + aProxySettings.GetHost() + ":" + std::to_string(aProxySettings.GetPort());
}

}  // namespace

bool LoopbackBypassesProxy() { return gLoopbackBypassesProxy; }
void SetLoopbackBypassesProxy(bool aValue) { gLoopbackBypassesProxy = aValue; }

void TCHttpClient::ApplyProxySettings() {
    CURL* handle = fHTTPClient->handle.get();
    // Read once, field by field, as the settings are now.
    bool enabled = fProxySettings.GetEnabled();
    if (!enabled) {
        // An empty proxy also stops libcurl from taking one from the environment.
        curl_easy_setopt(handle, CURLOPT_PROXY, "");
        return;
    }
    std::string host = fProxySettings.GetHost();
    long port = fProxySettings.GetPort();
    // Checked by libcurl for every request, redirects included. An empty list also keeps the
    // environment's no_proxy out, as the rest of the environment's proxy settings.
    curl_easy_setopt(handle, CURLOPT_NOPROXY, LoopbackBypassesProxy() ? cLoopbackHosts : "");
    std::string username = fProxySettings.GetUsername();
    std::string password = fProxySettings.GetPassword();
    curl_easy_setopt(handle, CURLOPT_PROXY, host.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXYPORT, port);
    if (fProxySettings.GetIsSOCKS()) {
        std::string version = fProxySettings.GetSOCKSVersion();
        if (version == "v4") fHTTPClient->socksType = CURLPROXY_SOCKS4;
        if (version == "v5") fHTTPClient->socksType = CURLPROXY_SOCKS5_HOSTNAME;
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, fHTTPClient->socksType);
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, username.empty() ? nullptr : username.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, username.empty() ? nullptr : password.c_str());
    } else {
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        // The credentials go along even when both are empty.
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, username.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, password.c_str());
    }
}

// The validators a conditional request sends, and what the answer said.
struct TCHttpClient::TConditional {
    std::string ifNoneMatch;
    std::string ifModifiedSince;
    long status = 0;
    std::string etag;
    std::string lastModified;
};

namespace {

std::string AnswerHeader(CURL* aHandle, const char* aName) {
    curl_header* header = nullptr;
    if (curl_easy_header(aHandle, aName, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header) return {};
    return header->value ? header->value : "";
}

// The client's own headers with the validators of aConditional added.
THeaderList ConditionalHeaders(const curl_slist* aOwn, const std::string& aIfNoneMatch,
                               const std::string& aIfModifiedSince) {
    curl_slist* list = nullptr;
    for (const curl_slist* item = aOwn; item; item = item->next) list = curl_slist_append(list, item->data);
    if (!aIfNoneMatch.empty()) list = curl_slist_append(list, ("If-None-Match: " + aIfNoneMatch).c_str());
    if (!aIfModifiedSince.empty()) list = curl_slist_append(list, ("If-Modified-Since: " + aIfModifiedSince).c_str());
    return THeaderList(list);
}

}  // namespace

std::string TCHttpClient::Perform(const std::string& aURL, std::vector<std::uint8_t>& aBody, std::size_t aLimit,
                                  const char* aWhat, TConditional* aConditional) {
    TCLock lock(fCriticalSection);
    RefuseWhenStopped(aURL);
    CURL* handle = fHTTPClient->handle.get();
    ApplyProxySettings();
    ApplyTimeLimits(handle);
    std::vector<std::uint8_t> body;
    TBodySink sink;
    sink.bytes = &body;
    sink.limit = aLimit;
    fHTTPClient->errorBuffer[0] = '\0';
    SetTransferAddress(handle, aURL);
    UseBodySink(handle, sink);
    THeaderList conditionalHeaders;
    if (aConditional) {
        conditionalHeaders = ConditionalHeaders(fHTTPClient->headers.get(), aConditional->ifNoneMatch,
                                                aConditional->ifModifiedSince);
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, conditionalHeaders.get());
    }
    CURLcode code = curl_easy_perform(handle);
    if (aConditional) {
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, fHTTPClient->headers.get());
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &aConditional->status);
        if (code == CURLE_OK) {
            aConditional->etag = AnswerHeader(handle, "ETag");
            aConditional->lastModified = AnswerHeader(handle, "Last-Modified");
        }
    }
    if (code != CURLE_OK) {
        RaiseSinkFailure(sink, code, aURL, aWhat);
        RaiseTransferFailure(handle, code, fHTTPClient->errorBuffer, NameWithProxy(fProxySettings, aURL));
    }
    const char* contentType = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
    aBody = std::move(body);
    return contentType ? contentType : "";
}

namespace {

struct TSitePolling {
    std::shared_ptr<THostBudget> budget;
    std::shared_ptr<TPollCache> cache;
};

std::mutex gPollingMutex;
TSitePolling gPolling;
thread_local std::string tRequestOwner;

TSitePolling CurrentPolling() {
    std::lock_guard lock(gPollingMutex);
    return gPolling;
}

[[noreturn]] void RaiseShared(const TPollCache::TFailure& aFailure) {
    using TKind = TPollCache::TFailure::TKind;
    if (aFailure.kind == TKind::Status) throw EHttpStatus(aFailure.what, aFailure.status);
    if (aFailure.kind == TKind::TooLarge) throw EHttpTooLarge(aFailure.what);
    throw EHttpError(aFailure.what);
}

bool StoppedNow(const std::string& aURL) {
    try {
        RefuseWhenStopped(aURL);
        return false;
    } catch (const EHttpError&) {
        return true;
    }
}

// The searches asking for a page that failed a moment ago hear the same failure.
void StoreSharedFailure(TPollCache& aCache, const std::string& aURL) {
    using TKind = TPollCache::TFailure::TKind;
    TPollCache::TFailure failure;
    failure.failedAt = std::chrono::steady_clock::now();
    try {
        throw;
    } catch (const EHttpStatus& e) {
        failure = {TKind::Status, e.what(), e.GetStatus(), failure.failedAt};
    } catch (const EHttpTooLarge& e) {
        failure = {TKind::TooLarge, e.what(), 0, failure.failedAt};
    } catch (const EHttpError& e) {
        failure = {TKind::Transfer, e.what(), 0, failure.failedAt};
    } catch (...) {
        return;
    }
    aCache.StoreFailure(aURL, std::move(failure));
}

bool ServeFresh(TPollCache& aCache, const std::string& aURL, std::vector<std::uint8_t>& aBody,
                std::string& aContentType) {
    const auto now = std::chrono::steady_clock::now();
    if (auto failure = aCache.FreshFailure(aURL, now)) RaiseShared(*failure);
    auto fresh = aCache.Fresh(aURL, now);
    if (!fresh) return false;
    aCache.CountServed();
    aBody = std::move(fresh->body);
    aContentType = std::move(fresh->contentType);
    return true;
}

}  // namespace

void SetSitePolling(std::shared_ptr<THostBudget> aBudget, std::shared_ptr<TPollCache> aCache) {
    std::lock_guard lock(gPollingMutex);
    gPolling = {std::move(aBudget), std::move(aCache)};
}

bool SitePollingActive() {
    const TSitePolling polling = CurrentPolling();
    return polling.budget && polling.cache;
}

void SetRequestOwner(const std::string& aOwner) { tRequestOwner = aOwner; }

std::string TCHttpClient::PerformPolled(const std::string& aURL, std::vector<std::uint8_t>& aBody) {
    const TSitePolling polling = CurrentPolling();
    const std::size_t limit = GetTransferLimits().pageBytes;
    if (!polling.budget || !polling.cache) return Perform(aURL, aBody, limit, "page");
    TPollCache& cache = *polling.cache;
    cache.NoteAsker(aURL, tRequestOwner);
    std::string contentType;
    if (ServeFresh(cache, aURL, aBody, contentType)) return contentType;
    // Another search asking for the same page meanwhile gets this answer instead of a turn.
    const auto served = [&] {
        const auto now = std::chrono::steady_clock::now();
        return cache.Fresh(aURL, now).has_value() || cache.FreshFailure(aURL, now).has_value();
    };
    const auto ticket = polling.budget->Acquire(HostOf(aURL), served, [&] { RefuseWhenStopped(aURL); });
    if (!ticket && ServeFresh(cache, aURL, aBody, contentType)) return contentType;
    const auto last = cache.Last(aURL);
    TConditional conditional;
    if (last) {
        conditional.ifNoneMatch = last->etag;
        conditional.ifModifiedSince = last->lastModified;
    }
    try {
        contentType = Perform(aURL, aBody, limit, "page", &conditional);
    } catch (const EHttpError&) {
        // A transfer ended by a stop says nothing about the page.
        if (!StoppedNow(aURL)) StoreSharedFailure(cache, aURL);
        throw;
    }
    const auto now = std::chrono::steady_clock::now();
    if (conditional.status == 304 && last) {
        cache.Confirm(aURL, now);
        cache.CountNotModified();
        aBody = last->body;
        return last->contentType;
    }
    cache.Store(aURL, {aBody, contentType, conditional.etag, conditional.lastModified, now});
    return contentType;
}

void TCHttpClient::Get(const std::string& aURL, std::string& aBody) {
    std::vector<std::uint8_t> bytes;
    const std::string contentType = PerformPolled(aURL, bytes);
    aBody = DecodeHttpBody(bytes, contentType);
}

void TCHttpClient::GetBytes(const std::string& aURL, std::vector<std::uint8_t>& aBody) {
    Perform(aURL, aBody, GetTransferLimits().pictureBytes, "picture");
}

long TCHttpClient::PerformPost(const std::string& aURL, const std::string& aContentType, const std::string& aBody,
                               const std::vector<std::string>& aHeaders, bool aFailOnError,
                               std::vector<std::uint8_t>& aAnswer) {
    RefuseWhenStopped(aURL);
    CURL* handle = fHTTPClient->handle.get();
    ApplyProxySettings();
    ApplyTimeLimits(handle);
    THeaderList headers(curl_slist_append(nullptr, ("Content-Type: " + aContentType).c_str()));
    for (const std::string& header : aHeaders) headers.reset(curl_slist_append(headers.release(), header.c_str()));
    // libcurl would otherwise wait for a "100 Continue" before sending a larger body.
    headers.reset(curl_slist_append(headers.release(), "Expect:"));
    TBodySink sink;
    sink.bytes = &aAnswer;
    sink.limit = GetTransferLimits().pageBytes;
    fHTTPClient->errorBuffer[0] = '\0';
    SetTransferAddress(handle, aURL);
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, aBody.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(aBody.size()));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, aFailOnError ? 1L : 0L);
    UseBodySink(handle, sink);
    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    // The handle goes back to what the GET requests expect.
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, fHTTPClient->headers.get());
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    if (code != CURLE_OK) {
        RaiseSinkFailure(sink, code, aURL, "answer");
        throw EHttpError(DescribeFailure(handle, code, fHTTPClient->errorBuffer, NameWithProxy(fProxySettings, aURL)));
    }
    return status;
}

long TCHttpClient::Post(const std::string& aURL, const std::string& aContentType, const std::string& aBody,
                        const std::vector<std::string>& aHeaders) {
    TCLock lock(fCriticalSection);
    std::vector<std::uint8_t> answer;
    const long status = PerformPost(aURL, aContentType, aBody, aHeaders, true, answer);
    if (status < 200 || status > 299)
        throw EHttpError("The server answered HTTP " + std::to_string(status) + " to " + NameWithProxy(fProxySettings, aURL));
    return status;
}

TPostAnswer TCHttpClient::PostForAnswer(const std::string& aURL, const std::string& aContentType,
                                        const std::string& aBody, const std::vector<std::string>& aHeaders) {
    TCLock lock(fCriticalSection);
    std::vector<std::uint8_t> bytes;
    TPostAnswer answer;
    answer.status = PerformPost(aURL, aContentType, aBody, aHeaders, false, bytes);
    answer.body.assign(bytes.begin(), bytes.end());
    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(fHTTPClient->handle.get(), CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
        answer.retryAfter = static_cast<long>(retryAfter);
    return answer;
}

long TCHttpClient::Ping(const std::string& aURL) {
    TCLock lock(fCriticalSection);
    RefuseWhenStopped(aURL);
    CURL* handle = fHTTPClient->handle.get();
    ApplyProxySettings();
    ApplyTimeLimits(handle);
    std::vector<std::uint8_t> body;
    TBodySink sink;
    sink.bytes = &body;
    sink.limit = GetTransferLimits().pageBytes;
    fHTTPClient->errorBuffer[0] = '\0';
    SetTransferAddress(handle, aURL);
    UseBodySink(handle, sink);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 0L);
    const CURLcode code = curl_easy_perform(handle);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    if (code != CURLE_OK) {
        RaiseSinkFailure(sink, code, aURL, "answer");
        throw EHttpError(DescribeFailure(handle, code, fHTTPClient->errorBuffer, NameWithProxy(fProxySettings, aURL)));
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

void TCHttpClient::ActAsBrowser() {
    TCLock lock(fCriticalSection);
    CURL* handle = fHTTPClient->handle.get();
    curl_easy_setopt(handle, CURLOPT_USERAGENT, cBrowserUserAgent);
    curl_slist* headers = fHTTPClient->headers.release();
    headers = curl_slist_append(headers, "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    headers = curl_slist_append(headers, "Accept-Language: en-US,en;q=0.5");
    fHTTPClient->headers.reset(headers);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    // An empty file name starts libcurl's cookie engine without reading any file.
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

// ---- the shared clients ------------------------------------------------------------

namespace {

struct TSharedClients {
    std::mutex mutex;
    ICHTTPClient vendor;
    std::array<ICHTTPClient, cSiteSearchCount> sites;
};

TSharedClients& SharedClients() {
    static TSharedClients clients;
    return clients;
}

}  // namespace

void CreateSiteDownloaders(TProxySettings& aProxySettings) {
    TSharedClients& clients = SharedClients();
    std::lock_guard lock(clients.mutex);
    clients.vendor = std::make_shared<TCHttpClient>(aProxySettings, false);
    for (int site = 0; site < cSiteSearchCount; ++site)
        clients.sites[site] = std::make_shared<TCHttpClient>(aProxySettings, site == ssCraigslist);
    // Today's Craigslist serves browsers only, and keeps its visitor by the cookie it sets.
    clients.sites[ssCraigslist]->ActAsBrowser();
}

void ReleaseSiteDownloaders() {
    TSharedClients& clients = SharedClients();
    std::lock_guard lock(clients.mutex);
    clients.vendor.reset();
    for (auto& client : clients.sites) client.reset();
}

ICHTTPClient GetSiteDownloader(TSiteSearchEnum aSite) {
    int index = static_cast<int>(aSite);
    if (index < 0 || index >= cSiteSearchCount) return nullptr;
    TSharedClients& clients = SharedClients();
    std::lock_guard lock(clients.mutex);
    return clients.sites[index];
}

ICHTTPClient GetVendorDownloader() {
    TSharedClients& clients = SharedClients();
    std::lock_guard lock(clients.mutex);
    return clients.vendor;
}

}  // namespace trawlix
