#include "support/sitesim_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/test_support.h"

namespace trawlix::test {

namespace fs = std::filesystem;

namespace {

constexpr int cStartTimeoutMs = 10000;

std::string ReadText(const fs::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& aPath, const std::string& aText) {
    std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
    out << aText;
}

// A socket closed by its destructor.
class TSocket {
public:
    TSocket() : fFd(socket(AF_INET, SOCK_STREAM, 0)) {
        if (fFd < 0) throw std::runtime_error("socket() failed");
    }
    ~TSocket() { close(fFd); }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    int Fd() const { return fFd; }

private:
    int fFd;
};

sockaddr_in Loopback(int aPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(aPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool CanConnect(int aPort) {
    TSocket sock;
    sockaddr_in address = Loopback(aPort);
    return connect(sock.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

std::string Unescape(const std::string& aField) {
    std::string out;
    for (size_t i = 0; i < aField.size(); ++i) {
        if (aField[i] != '\\' || i + 1 == aField.size()) {
            out += aField[i];
            continue;
        }
        char next = aField[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& aLine) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        size_t tab = aLine.find('\t', start);
        fields.push_back(Unescape(aLine.substr(start, tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::string Lower(std::string aText) {
    for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return aText;
}

TSimRequest ParseLogLine(const std::string& aLine) {
    std::vector<std::string> fields = SplitTabs(aLine);
    if (fields.size() != 6) throw std::runtime_error("Unreadable simulator log line: " + aLine);
    TSimRequest request;
    request.connection = std::stoi(fields[0]);
    request.peer = fields[1];
    request.method = fields[2];
    request.url = fields[3];
    std::istringstream headers(fields[4]);
    for (std::string header; std::getline(headers, header);) {
        size_t colon = header.find(": ");
        if (colon != std::string::npos) request.headers[Lower(header.substr(0, colon))] = header.substr(colon + 2);
    }
    request.body = fields[5];
    return request;
}

std::string UrlEncode(const std::string& aText) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : aText) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string BodyOf(const std::string& aResponse) {
    size_t end = aResponse.find("\r\n\r\n");
    if (end == std::string::npos) throw std::runtime_error("Malformed answer from the simulator");
    return aResponse.substr(end + 4);
}

}  // namespace

// ---- processes -----------------------------------------------------------------------

TChildProcess::TChildProcess(const std::vector<std::string>& aArgv, const fs::path& aLogFile, bool aStdoutPipe)
    : fLogFile(aLogFile) {
    int pipeFds[2] = {-1, -1};
    if (aStdoutPipe && pipe(pipeFds) != 0) throw std::runtime_error("pipe() failed");
    int logFd = open(aLogFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (logFd < 0) throw std::runtime_error("Cannot write " + aLogFile.string());
    std::vector<char*> argv;
    for (const std::string& arg : aArgv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    fPid = fork();
    if (fPid == 0) {
        setpgid(0, 0);
        // A test process that ends without its destructors (a death test's child, a crash)
        // takes its peers with it; a peer left behind would hold the test runner's output
        // pipe open and the runner would wait for it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(aStdoutPipe ? pipeFds[1] : logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        close_range(3, ~0U, 0);  // nothing of the test process's own files
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(logFd);
    if (aStdoutPipe) {
        close(pipeFds[1]);
        fStdout = pipeFds[0];
    }
    if (fPid < 0) throw std::runtime_error("fork() failed");
    setpgid(fPid, fPid);
}

TChildProcess::~TChildProcess() {
    if (fStdout >= 0) close(fStdout);
    if (fPid <= 0) return;
    kill(-fPid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(fPid, nullptr, WNOHANG) == fPid) {
            kill(-fPid, SIGKILL);  // children of a forking daemon
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(-fPid, SIGKILL);
    waitpid(fPid, nullptr, 0);
}

std::string TChildProcess::ReadLine(int aTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    while (true) {
        size_t newline = fPending.find('\n');
        if (newline != std::string::npos) {
            std::string line = fPending.substr(0, newline);
            fPending.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{fStdout, POLLIN, 0};
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            throw std::runtime_error("No output from " + std::to_string(fPid) + ": " + LogText());
        char buffer[4096];
        ssize_t got = read(fStdout, buffer, sizeof buffer);
        if (got <= 0) throw std::runtime_error("Peer process ended early: " + LogText());
        fPending.append(buffer, static_cast<size_t>(got));
    }
}

std::string TChildProcess::LogText() const { return ReadText(fLogFile); }

TPeerFolder::TPeerFolder() {
    std::string pattern = (fs::temp_directory_path() / "trawlix-peer-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
}

TPeerFolder::~TPeerFolder() {
    std::error_code error;
    fs::remove_all(fPath, error);
}

int FreeLoopbackPort() {
    TSocket sock;
    sockaddr_in address = Loopback(0);
    if (bind(sock.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("bind() failed");
    socklen_t length = sizeof address;
    getsockname(sock.Fd(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

namespace {
void WaitForPeer(int aPort, const TChildProcess& aProcess) {
    try {
        WaitForPort(aPort, cStartTimeoutMs);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string(e.what()) + "; the peer said: " + aProcess.LogText());
    }
}
}  // namespace

void WaitForPort(int aPort, int aTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
    while (!CanConnect(aPort)) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("Nothing listens on port " + std::to_string(aPort));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string FindPeerBinary(const std::string& aName, const std::string& aPackage) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/local/sbin";
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        fs::path candidate = fs::path(folder) / aName;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    throw std::runtime_error("The test peer '" + aName + "' is not installed (Debian package " + aPackage + ")");
}

std::string RawHttpGet(int aPort, const std::string& aPathAndQuery) {
    TSocket sock;
    sockaddr_in address = Loopback(aPort);
    if (connect(sock.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("Cannot reach port " + std::to_string(aPort));
    std::string request = "GET " + aPathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(aPort) +
                          "\r\nConnection: close\r\n\r\n";
    if (send(sock.Fd(), request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        throw std::runtime_error("send() failed");
    std::string response;
    char buffer[8192];
    for (ssize_t got; (got = recv(sock.Fd(), buffer, sizeof buffer, 0)) > 0;)
        response.append(buffer, static_cast<size_t>(got));
    return response;
}

// ---- the simulator ---------------------------------------------------------------------

std::string TSimRequest::Header(const std::string& aName) const {
    auto it = headers.find(Lower(aName));
    return it == headers.end() ? std::string() : it->second;
}

fs::path TSiteSimulator::ScriptPath() { return trawlix::test::TestsDir() / "sitesim" / "sitesim.py"; }

fs::path TSiteSimulator::CACertificate() {
    return trawlix::test::TestsDir() / "sitesim" / "fixtures" / "tls" / "ca.pem";
}

namespace {
std::vector<std::string> SimulatorArgv(const fs::path& aFolder, const TSiteSimulator::TOptions& aOptions) {
    std::vector<std::string> argv = {FindPeerBinary("python3", "python3"), "-u",
                                     TSiteSimulator::ScriptPath().string(), "--log", (aFolder / "requests.log").string(),
                                     "--seed", std::to_string(aOptions.seed)};
    if (!aOptions.today.empty()) argv.insert(argv.end(), {"--today", aOptions.today});
    if (aOptions.tls) argv.insert(argv.end(), {"--tls-port", "0"});
    return argv;
}

int PortFromLine(const std::string& aLine, const std::string& aLabel) {
    if (aLine.rfind(aLabel + " ", 0) != 0) throw std::runtime_error("Unexpected simulator output: " + aLine);
    return std::stoi(aLine.substr(aLabel.size() + 1));
}
}  // namespace

TSiteSimulator::TSiteSimulator() : TSiteSimulator(TOptions{}) {}

TSiteSimulator::TSiteSimulator(const TOptions& aOptions)
    : fProcess(SimulatorArgv(fFolder.Path(), aOptions), fFolder.Path() / "stderr.log", true) {
    fPort = PortFromLine(fProcess.ReadLine(cStartTimeoutMs), "listening");
    if (aOptions.tls) fTlsPort = PortFromLine(fProcess.ReadLine(cStartTimeoutMs), "tls");
}

std::string TSiteSimulator::Url(const std::string& aPath) const {
    return "http://127.0.0.1:" + std::to_string(fPort) + aPath;
}

std::vector<TSimRequest> TSiteSimulator::Requests() const {
    std::vector<TSimRequest> requests;
    std::istringstream log(ReadText(fFolder.Path() / "requests.log"));
    for (std::string line; std::getline(log, line);)
        if (!line.empty()) requests.push_back(ParseLogLine(line));
    return requests;
}

void TSiteSimulator::ClearRequests() const { WriteText(fFolder.Path() / "requests.log", ""); }

void TSiteSimulator::ClearFaults() const {
    if (BodyOf(RawHttpGet(fPort, "/__sim/clear")) != "ok\n") throw std::runtime_error("The simulator kept its faults");
}

void TSiteSimulator::CutPrices(int aPercent) const {
    if (BodyOf(RawHttpGet(fPort, "/__sim/pricecut?percent=" + std::to_string(aPercent))) != "ok\n")
        throw std::runtime_error("The simulator did not take the price cut");
}

std::string TSiteSimulator::Expected(const std::string& aUrl) const {
    return BodyOf(RawHttpGet(fPort, "/__sim/expected?url=" + UrlEncode(aUrl)));
}

void TSiteSimulator::AddFault(const std::string& aMatch, int aStatus, int aDelayMs, bool aReset, bool aTruncate,
                              int aTimes) const {
    std::string query = "/__sim/fault?match=" + UrlEncode(aMatch) + "&status=" + std::to_string(aStatus) +
                        "&delay_ms=" + std::to_string(aDelayMs) + "&reset=" + (aReset ? "1" : "0") +
                        "&truncate=" + (aTruncate ? "1" : "0") + "&times=" + std::to_string(aTimes);
    if (BodyOf(RawHttpGet(fPort, query)) != "ok\n") throw std::runtime_error("The simulator refused the fault");
}

void TSiteSimulator::AddAnswer(const std::string& aMatch, int aStatus, const std::string& aBody,
                               const std::string& aRetryAfter, int aTimes) const {
    const std::string query = "/__sim/answer?match=" + UrlEncode(aMatch) + "&status=" + std::to_string(aStatus) +
                              "&body=" + UrlEncode(aBody) + "&retry_after=" + UrlEncode(aRetryAfter) +
                              "&times=" + std::to_string(aTimes);
    if (BodyOf(RawHttpGet(fPort, query)) != "ok\n") throw std::runtime_error("The simulator refused the answer");
}

void TSiteSimulator::Block(const std::string& aMatch, const std::string& aAs) const {
    const std::string query = "/__sim/block?match=" + UrlEncode(aMatch) + "&as=" + UrlEncode(aAs);
    if (BodyOf(RawHttpGet(fPort, query)) != "ok\n") throw std::runtime_error("The simulator refused the block");
}

// ---- proxies ------------------------------------------------------------------------------

namespace {

std::vector<std::string> TinyProxyArgv(const fs::path& aFolder, int aPort, const std::string& aUser,
                                       const std::string& aPassword, const std::string& aBind) {
    std::string config = "Port " + std::to_string(aPort) +
                         "\nListen 127.0.0.1\nBind " + aBind +
                         "\nTimeout 30\nMaxClients 20\nLogLevel Info\nAllow 127.0.0.1\nDisableViaHeader Yes\n";
    if (getuid() == 0) config += "User nobody\nGroup nogroup\n";
    // tinyproxy's configuration grammar takes letters and digits only here.
    if (!aUser.empty()) config += "BasicAuth " + aUser + " " + aPassword + "\n";
    WriteText(aFolder / "tinyproxy.conf", config);
    return {FindPeerBinary("tinyproxy", "tinyproxy"), "-d", "-c", (aFolder / "tinyproxy.conf").string()};
}

std::vector<std::string> MicroSocksArgv(int aPort, const std::string& aUser, const std::string& aPassword,
                                        const std::string& aBind) {
    std::vector<std::string> argv = {FindPeerBinary("microsocks", "microsocks"), "-i", "127.0.0.1", "-p",
                                     std::to_string(aPort), "-b", aBind};
    if (!aUser.empty()) argv.insert(argv.end(), {"-u", aUser, "-P", aPassword});
    return argv;
}

std::vector<std::string> DanteArgv(const fs::path& aFolder, int aPort, const std::string& aExternal) {
    std::string config = "logoutput: stderr\ninternal: 127.0.0.1 port = " + std::to_string(aPort) +
                         "\nexternal: " + aExternal +
                         "\nsocksmethod: none\nclientmethod: none\n";
    // Server settings must come before the rules.
    if (getuid() == 0) config += "user.privileged: root\nuser.unprivileged: nobody\n";
    config += "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\nsocks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
    WriteText(aFolder / "danted.conf", config);
    return {FindPeerBinary("danted", "dante-server"), "-f", (aFolder / "danted.conf").string(), "-N", "1"};
}

}  // namespace

TTinyProxy::TTinyProxy(const std::string& aUser, const std::string& aPassword, const std::string& aBindAddress)
    : fPort(FreeLoopbackPort()),
      fProcess(TinyProxyArgv(fFolder.Path(), fPort, aUser, aPassword, aBindAddress), fFolder.Path() / "log", false) {
    WaitForPeer(fPort, fProcess);
}

TMicroSocks::TMicroSocks(const std::string& aUser, const std::string& aPassword, const std::string& aBindAddress)
    : fPort(FreeLoopbackPort()),
      fProcess(MicroSocksArgv(fPort, aUser, aPassword, aBindAddress), fFolder.Path() / "log", false) {
    WaitForPeer(fPort, fProcess);
}

TDanteSocks::TDanteSocks(const std::string& aExternalAddress)
    : fPort(FreeLoopbackPort()),
      fProcess(DanteArgv(fFolder.Path(), fPort, aExternalAddress), fFolder.Path() / "log", false) {
    WaitForPeer(fPort, fProcess);
}

std::unique_ptr<TChildProcess> LockDatabase(const std::filesystem::path& aProfile) {
    auto locker = std::make_unique<TChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", "-c",
                                 "import sqlite3, sys, time\n"
                                 "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                 "c.execute('BEGIN IMMEDIATE')\n"
                                 "print('locked', flush=True)\n"
                                 "time.sleep(300)\n",
                                 (aProfile / "data" / "object_storage.cur").string()},
        aProfile / "locker.log", true);
    if (locker->ReadLine(10000) != "locked") throw std::runtime_error("the locker did not start");
    return locker;
}

}  // namespace trawlix::test
