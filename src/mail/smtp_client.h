#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "mail/mime_message.h"

namespace trawlix {

// Any failed send: connection, TLS, authentication, a refused sender or recipient, a
// time-out. The message says why, in libcurl's and the server's words.
class ESmtpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int cSmtpsPort = 465;
inline constexpr long cSmtpTimeoutSeconds = 20;

// Where and how to deliver.
struct TSmtpServer {
    std::string host;
    int port = 25;
    std::string username;
    std::string password;
    // STARTTLS, required. Port 465 always speaks TLS from the first byte instead.
    bool useSSL = false;
    // How long the server may stay silent; one connection waits that long once at most.
    long timeoutSeconds = cSmtpTimeoutSeconds;
};

// "smtp://host:port" or, for port 465, "smtps://host:port".
std::string SmtpURL(const TSmtpServer& aServer);

// Sends one mail over one connection: connect (20 s), STARTTLS when asked (TLS 1.2 or
// later, certificate and host name verified against the system store or the bundle named
// by TRAWLIX_CA_BUNDLE), AUTH when a password is given, MAIL FROM, one RCPT TO per
// recipient, DATA, QUIT. A server that stays silent for 20 s fails the send, and is then
// left without a QUIT, whose answer would cost another 20 s. aCancelled is polled during
// the exchange; when it returns true the send stops with an error, as quickly.
// Raises ESmtpError on any failure.
void SendSmtpMail(const TSmtpServer& aServer, const TMailContent& aContent,
                  const std::function<bool()>& aCancelled = {});

}  // namespace trawlix
