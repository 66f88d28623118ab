#include "mail/smtp_client.h"

#include <sys/socket.h>

#include <chrono>

#include "engine/email_address.h"
#include "engine/http_client.h"
#include "engine/http_engine.h"

namespace trawlix {

namespace {

using http_engine::THeaderList;

bool HasLineBreak(const std::string& aText) { return aText.find_first_of("\r\n") != std::string::npos; }

// The mail text handed to libcurl piece by piece.
struct TUpload {
    const std::string& data;
    size_t position = 0;
};

size_t ReadUpload(char* aBuffer, size_t aSize, size_t aCount, void* aSource) {
    auto& upload = *static_cast<TUpload*>(aSource);
    const size_t length = std::min(aSize * aCount, upload.data.size() - upload.position);
    upload.data.copy(aBuffer, length, upload.position);
    upload.position += length;
    return length;
}

// What the exchange left behind for the error message: the server's last refusal (a
// reply line with a 4xx or 5xx code); the polite replies to QUIT come after it. And when the
// server last showed signs of life: a reply, or mail text it took.
struct TExchange {
    using TClock = std::chrono::steady_clock;

    std::string lastRefusal;
    const std::function<bool()>* cancelled = nullptr;
    std::chrono::seconds patience{cSmtpTimeoutSeconds};
    TClock::time_point lastSign = TClock::now();
    curl_off_t uploaded = 0;
    bool silent = false;  // the server had its whole time-out
    curl_socket_t socket = CURL_SOCKET_BAD;  // the connection's, while the send lasts
};

int OnDebug(CURL*, curl_infotype aType, char* aData, size_t aSize, void* aExchange) {
    if (aType != CURLINFO_HEADER_IN) return 0;
    auto& exchange = *static_cast<TExchange*>(aExchange);
    exchange.lastSign = TExchange::TClock::now();
    std::string line(aData, aSize);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty() && (line[0] == '4' || line[0] == '5')) exchange.lastRefusal = line;
    return 0;
}

// The server's time-out is kept here rather than by libcurl: libcurl keeps a connection
// whose reply timed out and says QUIT on it before it lets go, waiting the whole time-out
// again for an answer that will not come. It calls this at least every second; once the
// server has been silent for its time-out the connection is shut, so nothing more is sent
// or waited for: one silent server costs one time-out.
int OnProgress(void* aExchange, curl_off_t, curl_off_t, curl_off_t, curl_off_t aUploaded) {
    auto& exchange = *static_cast<TExchange*>(aExchange);
    if (*exchange.cancelled && (*exchange.cancelled)()) return 1;
    const auto now = TExchange::TClock::now();
    if (aUploaded != exchange.uploaded) {
        exchange.uploaded = aUploaded;
        exchange.lastSign = now;
    }
    if (now - exchange.lastSign < exchange.patience) return 0;
    exchange.silent = true;
    if (exchange.socket != CURL_SOCKET_BAD) ::shutdown(exchange.socket, SHUT_RDWR);
    return 1;
}

int OnSocket(void* aExchange, curl_socket_t aSocket, curlsocktype) {
    static_cast<TExchange*>(aExchange)->socket = aSocket;
    return CURL_SOCKOPT_OK;
}

std::string Bracketed(const std::string& aAddress) { return "<" + aAddress + ">"; }

// The envelope carries the addresses as they are: one that is not a plain address could add
// parameters to MAIL FROM or RCPT TO, or commands of its own.
void CheckEnvelope(const TSmtpServer& aServer, const TMailContent& aContent) {
    if (aServer.host.empty() || HasLineBreak(aServer.host)) throw ESmtpError("The SMTP host is not valid.");
    if (!IsValidEmailAddress(aContent.from)) throw ESmtpError("The sender address is not valid.");
    if (aContent.recipients.empty()) throw ESmtpError("The message has no recipient address.");
    for (const TMailRecipient& recipient : aContent.recipients)
        if (!IsValidEmailAddress(recipient.address))
            throw ESmtpError("The recipient address \"" + recipient.address.substr(0, 80) + "\" is not valid.");
}

void ApplyConnection(CURL* aHandle, const TSmtpServer& aServer, const std::string& aURL) {
    curl_easy_setopt(aHandle, CURLOPT_URL, aURL.c_str());
    curl_easy_setopt(aHandle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(aHandle, CURLOPT_NOSIGNAL, 1L);
    // Mail goes straight to the user's server: the environment's proxy variables are for
    // web transfers, and an all_proxy meant for them would swallow the SMTP connection.
    curl_easy_setopt(aHandle, CURLOPT_PROXY, "");
    curl_easy_setopt(aHandle, CURLOPT_CONNECTTIMEOUT, aServer.timeoutSeconds);
    // A server that stops answering fails the send (OnProgress); libcurl's own limits only
    // stand behind that.
    curl_easy_setopt(aHandle, CURLOPT_SERVER_RESPONSE_TIMEOUT, 2 * aServer.timeoutSeconds + 5);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(aHandle, CURLOPT_LOW_SPEED_TIME, 2 * aServer.timeoutSeconds + 5);
    // STARTTLS must succeed when asked: falling back to plain text would hand the
    // password to whoever sits in between.
    if (aServer.useSSL && aServer.port != cSmtpsPort)
        curl_easy_setopt(aHandle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    http_engine::ApplyTLSVerification(aHandle);
    if (!aServer.password.empty()) {
        curl_easy_setopt(aHandle, CURLOPT_USERNAME, aServer.username.c_str());
        curl_easy_setopt(aHandle, CURLOPT_PASSWORD, aServer.password.c_str());
    }
}

std::string DescribeFailure(const TSmtpServer& aServer, CURLcode aCode, const char* aErrorBuffer,
                            const TExchange& aExchange) {
    std::string reason = (aErrorBuffer && *aErrorBuffer) ? aErrorBuffer : curl_easy_strerror(aCode);
    if (aCode == CURLE_ABORTED_BY_CALLBACK && aExchange.silent)
        reason = "the server did not answer for " + std::to_string(aExchange.patience.count()) + " seconds";
    else if (aCode == CURLE_ABORTED_BY_CALLBACK)
        return "The message was not sent: sending was stopped.";
    const std::string& reply = aExchange.lastRefusal;
    // libcurl names the failed step and the code; the server's own words say why.
    if (!reply.empty() && reason.find(reply) == std::string::npos)
        reason += " (the server said: " + reply + ")";
    return "Could not send the message through " + aServer.host + ":" + std::to_string(aServer.port) + ": " + reason;
}

}  // namespace

std::string SmtpURL(const TSmtpServer& aServer) {
    const bool literalIPv6 = aServer.host.find(':') != std::string::npos;
    const std::string host = literalIPv6 ? "[" + aServer.host + "]" : aServer.host;
    return std::string(aServer.port == cSmtpsPort ? "smtps://" : "smtp://") + host + ":" + std::to_string(aServer.port);
}

void SendSmtpMail(const TSmtpServer& aServer, const TMailContent& aContent,
                  const std::function<bool()>& aCancelled) {
    CheckEnvelope(aServer, aContent);
    const std::string mail = ComposeMail(aContent, std::chrono::system_clock::now());
    auto handle = http_engine::NewEasyHandle();
    CURL* curl = handle.get();
    const std::string url = SmtpURL(aServer);
    ApplyConnection(curl, aServer, url);

    const std::string from = Bracketed(aContent.from);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    THeaderList recipients;
    for (const auto& recipient : aContent.recipients) {
        curl_slist* grown = curl_slist_append(recipients.get(), Bracketed(recipient.address).c_str());
        if (!grown) throw ESmtpError("Out of memory while preparing the recipients.");
        recipients.release();
        recipients.reset(grown);
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());

    TUpload upload{mail};
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.size()));

    TExchange exchange;
    exchange.cancelled = &aCancelled;
    exchange.patience = std::chrono::seconds(aServer.timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);  // feeds OnDebug the server's replies
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, OnDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, OnSocket);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &exchange);

    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) throw ESmtpError(DescribeFailure(aServer, code, errorBuffer, exchange));
}

}  // namespace trawlix
