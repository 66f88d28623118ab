#include "support/smtp_server_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "support/test_support.h"

namespace trawlix::test {

namespace fs = std::filesystem;

namespace {

constexpr int cSmtpStartTimeoutMs = 15000;

fs::path TlsFixture(const std::string& aName) { return trawlix::test::TestsDir() / "sitesim" / "fixtures" / "tls" / aName; }

std::vector<std::string> ServerArgv(const TSmtpTestServer::TOptions& aOptions, int aPort) {
    // The server needs the system's Python with the Debian aiosmtpd package.
    std::vector<std::string> argv = {"/usr/bin/python3", "-u",
                                     (trawlix::test::TestsDir() / "support" / "smtp_server.py").string(),
                                     "--host", aOptions.host, "--port", std::to_string(aPort)};
    if (aOptions.starttls)
        argv.insert(argv.end(), {"--starttls", "--cert", TlsFixture("server.pem").string(), "--key",
                                 TlsFixture("server.key").string()});
    if (aOptions.smtps)
        argv.insert(argv.end(), {"--smtps", "--cert", TlsFixture("server.pem").string(), "--key",
                                 TlsFixture("server.key").string()});
    if (!aOptions.user.empty())
        argv.insert(argv.end(), {"--user", aOptions.user, "--password", aOptions.password, "--mechanisms",
                                 aOptions.mechanisms});
    return argv;
}

// A free port picked below the range the system hands out for port 0, so that no other
// peer asking for port 0 meanwhile is given it.
int FreeEditablePort(const std::string& aHost) {
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> ports(20000, 31999);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = ports(random);
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, aHost.c_str(), &address.sin_addr);
        const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (free) return port;
    }
    throw std::runtime_error("No free port below 32000 on " + aHost);
}

std::string FromHex(const std::string& aHex) {
    std::string text;
    for (size_t i = 0; i + 1 < aHex.size(); i += 2) text += static_cast<char>(std::stoi(aHex.substr(i, 2), nullptr, 16));
    return text;
}

}  // namespace

std::string TReceivedMail::operator[](const std::string& aName) const {
    auto it = fields.find(aName);
    return it == fields.end() ? std::string() : it->second;
}

TSmtpTestServer::TSmtpTestServer() : TSmtpTestServer(TOptions{}) {}

TSmtpTestServer::TSmtpTestServer(const TOptions& aOptions)
    : fHost(aOptions.host),
      fPort(aOptions.port ? aOptions.port : FreeEditablePort(aOptions.host)),
      fProcess(ServerArgv(aOptions, fPort), fFolder.Path() / "smtp_server.log", true) {
    const std::string ready = fProcess.ReadLine(cSmtpStartTimeoutMs);
    if (ready != "ready " + std::to_string(fPort))
        throw std::runtime_error("The SMTP test server did not start (python3-aiosmtpd installed?): " + ready + " " +
                                 fProcess.LogText());
}

TReceivedMail TSmtpTestServer::NextMail(int aTimeoutMs) {
    std::string line = fProcess.ReadLine(aTimeoutMs);
    if (line != "mail") throw std::runtime_error("Unexpected line from the SMTP test server: " + line);
    TReceivedMail mail;
    while ((line = fProcess.ReadLine(aTimeoutMs)) != "end") {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) throw std::runtime_error("Unexpected line from the SMTP test server: " + line);
        mail.fields[line.substr(0, tab)] = FromHex(line.substr(tab + 1));
    }
    return mail;
}

bool TSmtpTestServer::MailArrives(int aTimeoutMs) {
    try {
        NextMail(aTimeoutMs);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

fs::path TSmtpTestServer::CACertificate() { return TlsFixture("ca.pem"); }

}  // namespace trawlix::test
