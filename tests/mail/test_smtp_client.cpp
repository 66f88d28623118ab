// A mail server that stops answering costs the send one time-out, not two.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "mail/smtp_client.h"

using namespace trawlix;

namespace {

// A mail server on loopback for one connection: it answers every command until the one
// that starts with aStallAt (".", the end of the mail's text, included) and from then on stays
// silent, keeping each line it still reads.
class TStallingSmtpPeer {
public:
    explicit TStallingSmtpPeer(std::string aStallAt) : fStallAt(std::move(aStallAt)) {
        fListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fListener, 1) != 0 ||
            ::getsockname(fListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no loopback port for the peer");
        fPort = ntohs(address.sin_port);
        fThread = std::thread([this] { Serve(); });
    }
    ~TStallingSmtpPeer() {
        ::shutdown(fListener, SHUT_RDWR);
        if (fThread.joinable()) fThread.join();
        ::close(fListener);
    }

    int Port() const { return fPort; }
    // Once the client has gone: what it said after the server fell silent.
    std::vector<std::string> LinesAfterSilence() {
        if (fThread.joinable()) fThread.join();
        return fAfterSilence;
    }
    // Once the client has gone: whether it said goodbye while the server still answered.
    bool HeardQuit() {
        if (fThread.joinable()) fThread.join();
        return fHeardQuit;
    }

private:
    void Serve() {
        const int connection = ::accept(fListener, nullptr, nullptr);
        if (connection < 0) return;
        Say(connection, "220 stall.example ESMTP");
        bool inText = false, silent = false;
        for (std::string line; ReadLine(connection, line);) {
            if (silent) {
                fAfterSilence.push_back(line);
                continue;
            }
            const bool endOfText = inText && line == ".";
            if (inText && !endOfText) continue;
            if (line.rfind(fStallAt, 0) == 0) {
                silent = true;
                continue;
            }
            if (endOfText) {
                inText = false;
                Say(connection, "250 queued");
            } else if (line.rfind("DATA", 0) == 0) {
                inText = true;
                Say(connection, "354 go ahead");
            } else if (line.rfind("QUIT", 0) == 0) {
                fHeardQuit = true;
                Say(connection, "221 bye");
            } else {
                Say(connection, "250 ok");
            }
        }
        ::close(connection);
    }

    bool ReadLine(int aConnection, std::string& aLine) {
        for (;;) {
            if (const auto end = fPending.find("\r\n"); end != std::string::npos) {
                aLine = fPending.substr(0, end);
                fPending.erase(0, end + 2);
                return true;
            }
            char buffer[4096];
            const ssize_t got = ::recv(aConnection, buffer, sizeof buffer, 0);
            if (got <= 0) return false;
            fPending.append(buffer, static_cast<size_t>(got));
        }
    }

    static void Say(int aConnection, const std::string& aLine) {
        const std::string text = aLine + "\r\n";
        [[maybe_unused]] const ssize_t sent = ::send(aConnection, text.data(), text.size(), MSG_NOSIGNAL);
    }

    std::string fStallAt;
    int fListener = -1;
    int fPort = 0;
    std::string fPending;
    std::vector<std::string> fAfterSilence;
    bool fHeardQuit = false;
    std::thread fThread;
};

TMailContent Mail() {
    TMailContent mail;
    mail.from = "me@example.org";
    mail.recipients = {{"you@example.org", ""}};
    mail.subject = "Lamp";
    mail.body = "Is it still there?";
    return mail;
}

}  // namespace

// The send fails with the server's silence; the client then leaves without a QUIT, whose
// answer it would wait for as long again.
TEST(SmtpClient, ASilentServerGetsNoQuitAfterItsTimeOut) {
    for (const std::string stallAt : {"MAIL FROM", "RCPT TO", "."}) {
        SCOPED_TRACE(stallAt);
        TStallingSmtpPeer peer(stallAt);
        TSmtpServer server;
        server.host = "127.0.0.1";
        server.port = peer.Port();
        server.timeoutSeconds = 1;
        try {
            SendSmtpMail(server, Mail());
            ADD_FAILURE() << "a server that never answered took the mail";
        } catch (const ESmtpError& e) {
            EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(peer.Port())), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(peer.LinesAfterSilence(), std::vector<std::string>{});
    }
}

// A server that answers takes the mail and still hears the polite QUIT.
TEST(SmtpClient, AnAnsweringServerTakesTheMailAndHearsQuit) {
    TStallingSmtpPeer peer("never");
    TSmtpServer server;
    server.host = "127.0.0.1";
    server.port = peer.Port();
    EXPECT_NO_THROW(SendSmtpMail(server, Mail()));
    EXPECT_TRUE(peer.HeardQuit());
}
