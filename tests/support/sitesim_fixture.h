#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <map>
#include <string>
#include <vector>

// Test peers on loopback: the site simulator and real proxies in front of it. Each
// object starts its process in the constructor and kills it (and its children) in the
// destructor. A missing peer program raises std::runtime_error naming the package.
namespace trawlix::test {

// A process in its own process group, ended with the group when the object goes.
class TChildProcess {
public:
    // aStdoutPipe: keep standard output readable through ReadLine; otherwise it goes
    // to the log file beside standard error.
    TChildProcess(const std::vector<std::string>& aArgv, const std::filesystem::path& aLogFile, bool aStdoutPipe);
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // One line of standard output, waiting at most aTimeoutMs; raises on time-out or end.
    std::string ReadLine(int aTimeoutMs);
    pid_t Pid() const { return fPid; }
    std::string LogText() const;

private:
    pid_t fPid = -1;
    int fStdout = -1;
    std::string fPending;
    std::filesystem::path fLogFile;
};

// A write lock on the profile's database held by another process, as a second program (or a
// backup tool) would hold it; root ignores file permissions, this lock it does not. The lock
// goes with the returned process.
std::unique_ptr<TChildProcess> LockDatabase(const std::filesystem::path& aProfile);

// A folder for a peer's configuration and logs, removed afterwards.
class TPeerFolder {
public:
    TPeerFolder();
    ~TPeerFolder();
    TPeerFolder(const TPeerFolder&) = delete;
    TPeerFolder& operator=(const TPeerFolder&) = delete;
    const std::filesystem::path& Path() const { return fPath; }

private:
    std::filesystem::path fPath;
};

int FreeLoopbackPort();
// Waits until something accepts connections on 127.0.0.1:aPort; raises after aTimeoutMs.
void WaitForPort(int aPort, int aTimeoutMs);
// The full path of an installed program; raises naming the Debian package when missing.
std::string FindPeerBinary(const std::string& aName, const std::string& aPackage);

// A plain GET over a raw socket (no libcurl), so that tests can drive the simulator's
// control paths without going through the code under test.
std::string RawHttpGet(int aPort, const std::string& aPathAndQuery);

// One request as the simulator saw it.
struct TSimRequest {
    int connection = 0;  // the simulator's number of the TCP connection it came on
    std::string peer;    // address the connection came from
    std::string method;
    std::string url;     // absolute, as asked for through the proxy or rebuilt from Host
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string Header(const std::string& aName) const;
};

class TSiteSimulator {
public:
    struct TOptions {
        int seed = 1;
        std::string today;  // YYYY-MM-DD; empty for today
        bool tls = false;   // also serve HTTPS with the test CA's certificate
    };

    TSiteSimulator();
    explicit TSiteSimulator(const TOptions& aOptions);

    int Port() const { return fPort; }
    int TlsPort() const { return fTlsPort; }
    // http://127.0.0.1:port + aPath
    std::string Url(const std::string& aPath) const;
    std::vector<TSimRequest> Requests() const;
    void ClearRequests() const;
    void ClearFaults() const;
    // Takes aPercent off every priced ad until ClearFaults (0 restores the prices).
    void CutPrices(int aPercent) const;
    // What the page at aUrl holds, as the simulator's JSON.
    std::string Expected(const std::string& aUrl) const;
    // Until ClearFaults, every URL containing aMatch is answered as by a site that turns the
    // visitor away: aAs "403", "429", "503", "captcha", "blocked" or "changed" (no ads).
    void Block(const std::string& aMatch, const std::string& aAs) const;
    // Fault for the next aTimes URLs containing aMatch: a status, a delay, a reset
    // connection or a body cut in half.
    void AddFault(const std::string& aMatch, int aStatus, int aDelayMs = 0, bool aReset = false,
                  bool aTruncate = false, int aTimes = 1) const;

    // For the next aTimes URLs containing aMatch: answers aStatus with the JSON aBody, and a
    // Retry-After header when aRetryAfter is not empty (a web service's own refusals).
    void AddAnswer(const std::string& aMatch, int aStatus, const std::string& aBody,
                   const std::string& aRetryAfter = {}, int aTimes = 1) const;

    static std::filesystem::path ScriptPath();
    static std::filesystem::path CACertificate();

private:
    TPeerFolder fFolder;
    TChildProcess fProcess;
    int fPort = 0;
    int fTlsPort = 0;
};

// tinyproxy as an HTTP proxy with Basic credentials; its outgoing connections come
// from aBindAddress, so the simulator's log shows which requests it carried.
class TTinyProxy {
public:
    TTinyProxy(const std::string& aUser, const std::string& aPassword, const std::string& aBindAddress = "127.0.0.4");
    int Port() const { return fPort; }

private:
    TPeerFolder fFolder;
    int fPort;
    TChildProcess fProcess;
};

// microsocks as a SOCKS 5 proxy, with a user when aUser is not empty.
class TMicroSocks {
public:
    explicit TMicroSocks(const std::string& aUser = {}, const std::string& aPassword = {},
                         const std::string& aBindAddress = "127.0.0.3");
    int Port() const { return fPort; }

private:
    TPeerFolder fFolder;
    int fPort;
    TChildProcess fProcess;
};

// Dante as a SOCKS 4 (and 5) proxy without authentication.
class TDanteSocks {
public:
    explicit TDanteSocks(const std::string& aExternalAddress = "127.0.0.5");
    int Port() const { return fPort; }

private:
    TPeerFolder fFolder;
    int fPort;
    TChildProcess fProcess;
};

}  // namespace trawlix::test
