#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "support/sitesim_fixture.h"

// A real SMTP server (aiosmtpd, Debian python3-aiosmtpd) on loopback, started in the
// constructor and ended with the object.
namespace trawlix::test {

// One message as the server accepted it: envelope, session and parsed headers and body.
struct TReceivedMail {
    std::map<std::string, std::string> fields;
    // "mail_from", "rcpt_tos" (comma separated), "tls" (yes/no), "login", "mechanism",
    // "raw_subject", "subject", "from", "to", "date", "message_id", "content_type",
    // "charset", "body"; empty for an unknown name.
    std::string operator[](const std::string& aName) const;
};

class TSmtpTestServer {
public:
    struct TOptions {
        std::string host = "127.0.0.1";
        bool starttls = false;  // offers STARTTLS with the test CA's certificate and requires it
        std::string user;       // AUTH required with this user when set
        std::string password;
        std::string mechanisms = "LOGIN,PLAIN";  // the AUTH mechanisms offered
        bool smtps = false;  // TLS from the first byte, with the test CA's certificate
        int port = 0;        // 0: a free one
    };

    TSmtpTestServer();
    explicit TSmtpTestServer(const TOptions& aOptions);
    // Below 32000, outside the range the system hands out for port 0.
    int Port() const { return fPort; }
    const std::string& Host() const { return fHost; }
    // The next accepted message; raises when none comes within aTimeoutMs.
    TReceivedMail NextMail(int aTimeoutMs = 10000);
    // True when a message arrives within aTimeoutMs.
    bool MailArrives(int aTimeoutMs);

    // The CA that signed the server's certificate (for localhost and 127.0.0.1).
    static std::filesystem::path CACertificate();

private:
    TPeerFolder fFolder;
    std::string fHost;
    int fPort;
    TChildProcess fProcess;
};

}  // namespace trawlix::test
