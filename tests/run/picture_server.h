#pragma once

// A loopback HTTP server for picture downloads: serves fixed bodies by path, answers 404
// for anything else, records the requests in the order they arrived, and can hold every
// answer until the test lets it go (so that tests decide when a download ends).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace trawlix::test {

class TPictureServer {
public:
    struct TRequest {
        std::string target;  // as on the request line: a path, or an absolute URL through a proxy
        std::string headers; // the raw header lines, lower-cased
    };

    TPictureServer() {
        fListen = socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        setsockopt(fListen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fListen, 32) != 0)
            throw std::runtime_error("The picture server cannot listen.");
        socklen_t len = sizeof addr;
        getsockname(fListen, reinterpret_cast<sockaddr*>(&addr), &len);
        fPort = ntohs(addr.sin_port);
        fAcceptor = std::thread([this] { AcceptLoop(); });
    }

    ~TPictureServer() {
        fStopping = true;
        ReleaseAll();
        fAcceptor.join();
        std::vector<std::thread> handlers;
        {
            std::lock_guard lock(fMutex);
            handlers.swap(fHandlers);
        }
        for (auto& handler : handlers) handler.join();
        close(fListen);
    }
    TPictureServer(const TPictureServer&) = delete;
    TPictureServer& operator=(const TPictureServer&) = delete;

    int Port() const { return fPort; }
    std::string Url(const std::string& aPath) const { return "http://127.0.0.1:" + std::to_string(fPort) + aPath; }

    void Serve(const std::string& aPath, const std::string& aBody, const std::string& aContentType = "image/jpeg") {
        std::lock_guard lock(fMutex);
        fBodies[aPath] = aBody;
        fContentTypes[aPath] = aContentType;
    }

    // From now on every answer waits until Release lets one go (or ReleaseAll all).
    void Hold() {
        std::lock_guard lock(fMutex);
        fHolding = true;
    }
    void Release(int aCount = 1) {
        {
            std::lock_guard lock(fMutex);
            fReleases += aCount;
        }
        fChanged.notify_all();
    }
    void ReleaseAll() {
        {
            std::lock_guard lock(fMutex);
            fHolding = false;
        }
        fChanged.notify_all();
    }

    std::vector<TRequest> Requests() const {
        std::lock_guard lock(fMutex);
        return fRequests;
    }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const auto& request : Requests()) targets.push_back(request.target);
        return targets;
    }
    // Answers sent (held ones count once let go).
    int Answered() const { return fAnswered; }

private:
    void AcceptLoop() {
        while (!fStopping) {
            pollfd pfd{fListen, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0) continue;
            int client = accept(fListen, nullptr, nullptr);
            if (client < 0) continue;
            std::lock_guard lock(fMutex);
            fHandlers.emplace_back([this, client] { Handle(client); });
        }
    }

    static std::string Lower(std::string aText) {
        for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return aText;
    }

    // One request per connection: the client is told to close after it.
    void Handle(int aClient) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(aClient, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            head.append(buffer, static_cast<size_t>(n));
        }
        // Browsers open spare connections and close some unused: nothing to answer then.
        if (head.find("\r\n\r\n") == std::string::npos) {
            close(aClient);
            return;
        }
        const size_t firstSpace = head.find(' ');
        const size_t secondSpace = head.find(' ', firstSpace + 1);
        TRequest request;
        if (firstSpace != std::string::npos && secondSpace != std::string::npos)
            request.target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        request.headers = Lower(head.substr(head.find("\r\n") + 2));
        std::string body;
        std::string contentType = "text/plain";
        bool found = false;
        {
            std::unique_lock lock(fMutex);
            fRequests.push_back(request);
            auto it = fBodies.find(PathOf(request.target));
            found = it != fBodies.end();
            if (found) {
                body = it->second;
                contentType = fContentTypes[it->first];
            }
            fChanged.wait(lock, [this] { return !fHolding || fReleases > 0 || fStopping; });
            if (fHolding && fReleases > 0) --fReleases;
        }
        std::string answer = std::string(found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                             "Content-Type: " + contentType + "\r\nConnection: close\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + body;
        send(aClient, answer.data(), answer.size(), MSG_NOSIGNAL);
        ++fAnswered;
        close(aClient);
    }

    static std::string PathOf(const std::string& aTarget) {
        const size_t scheme = aTarget.find("://");
        if (scheme == std::string::npos) return aTarget;
        const size_t path = aTarget.find('/', scheme + 3);
        return path == std::string::npos ? "/" : aTarget.substr(path);
    }

    int fListen = -1;
    int fPort = 0;
    std::atomic<bool> fStopping{false};
    std::atomic<int> fAnswered{0};
    std::thread fAcceptor;
    mutable std::mutex fMutex;
    std::condition_variable fChanged;
    std::vector<std::thread> fHandlers;
    std::map<std::string, std::string> fBodies;
    std::map<std::string, std::string> fContentTypes;
    std::vector<TRequest> fRequests;
    bool fHolding = false;
    int fReleases = 0;
};

}  // namespace trawlix::test
