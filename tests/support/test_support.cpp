#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "model/sqlite_db.h"

namespace trawlix::test {

void CorruptTablePage(const std::filesystem::path& aDatabase, const std::string& aTable) {
    std::int64_t pageSize = 0, rootPage = 0;
    {
        TSQLiteDB db(aDatabase.string());
        pageSize = db.GetTableValue("PRAGMA page_size");
        rootPage = db.GetTableValue("select rootpage from sqlite_master where name = ?", {aTable});
    }
    if (pageSize <= 0 || rootPage <= 1) throw std::runtime_error("No page of its own for " + aTable);
    std::fstream file(aDatabase, std::ios::in | std::ios::out | std::ios::binary);
    // Bytes 3-6 of a b-tree page header: its number of cells and where their content starts.
    file.seekp((rootPage - 1) * pageSize + 3);
    file.write("\xff\xff\xff\xff", 4);
    if (!file) throw std::runtime_error("Cannot write " + aDatabase.string());
}


TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trawlix-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(fPath, ec);
}

std::string ReadFile(const std::filesystem::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::filesystem::path& aPath, const std::string& aContent) {
    std::filesystem::create_directories(aPath.parent_path());
    std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
    out << aContent;
}

std::string SitePageFixture(const std::string& aName) {
    return ReadFile(TestsDir() / "sites" / "fixtures" / "pages" / aName);
}

namespace {
void DrainPipes(int aOut, int aErr, int aIn, const std::string& aStdin, ProcessResult& aResult) {
    size_t written = 0;
    if (aStdin.empty()) {
        close(aIn);
        aIn = -1;
    }
    std::string* targets[2] = {&aResult.out, &aResult.err};
    int fds[2] = {aOut, aErr};
    while (fds[0] >= 0 || fds[1] >= 0 || aIn >= 0) {
        pollfd pfds[3];
        int n = 0;
        int index[3];
        for (int i = 0; i < 2; ++i)
            if (fds[i] >= 0) {
                pfds[n] = {fds[i], POLLIN, 0};
                index[n++] = i;
            }
        if (aIn >= 0) {
            pfds[n] = {aIn, POLLOUT, 0};
            index[n++] = 2;
        }
        if (poll(pfds, n, -1) < 0) break;
        for (int k = 0; k < n; ++k) {
            if (!pfds[k].revents) continue;
            if (index[k] == 2) {
                ssize_t w = write(aIn, aStdin.data() + written, aStdin.size() - written);
                if (w > 0) written += w;
                if (w <= 0 || written == aStdin.size()) {
                    close(aIn);
                    aIn = -1;
                }
                continue;
            }
            char buf[65536];
            ssize_t r = read(pfds[k].fd, buf, sizeof buf);
            if (r <= 0) {
                close(fds[index[k]]);
                fds[index[k]] = -1;
            } else {
                targets[index[k]]->append(buf, r);
            }
        }
    }
}
}  // namespace

namespace {
struct TSpawned {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
};

TSpawned Spawn(const std::vector<std::string>& aArgv, const std::map<std::string, std::string>& aEnv) {
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe(outPipe) || pipe(errPipe) || pipe(inPipe)) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], inPipe[0], inPipe[1]}) close(fd);
        for (const auto& [name, value] : aEnv) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        for (const auto& a : aArgv) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    close(inPipe[0]);
    return {pid, inPipe[1], outPipe[0], errPipe[0]};
}

int ExitCodeOf(pid_t aPid) {
    int status = 0;
    waitpid(aPid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::map<std::string, std::string> CliEnvironment(const std::filesystem::path& aProfile,
                                                  const std::map<std::string, std::string>& aEnv) {
    std::map<std::string, std::string> env{
        {"TRAWLIX_DATA_DIR", (aProfile / "data").string()},
        {"TRAWLIX_CONFIG_DIR", (aProfile / "config").string()},
        {"XDG_RUNTIME_DIR", (aProfile / "run").string()},
        {"XDG_CONFIG_HOME", (aProfile / "xdg-config").string()},
    };
    std::filesystem::create_directories(aProfile / "run");
    for (const auto& [k, v] : aEnv) env[k] = v;
    return env;
}
}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& aArgv,
                         const std::map<std::string, std::string>& aEnv, const std::string& aStdin) {
    const TSpawned spawned = Spawn(aArgv, aEnv);
    ProcessResult result;
    DrainPipes(spawned.out, spawned.err, spawned.in, aStdin, result);
    result.exitCode = ExitCodeOf(spawned.pid);
    return result;
}

TStartedCli::TStartedCli(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs) {
    std::vector<std::string> argv{CliPath()};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    const TSpawned spawned = Spawn(argv, CliEnvironment(aProfile, {}));
    close(spawned.in);
    fPid = spawned.pid;
    fOut = spawned.out;
    fErr = spawned.err;
}

TStartedCli::~TStartedCli() {
    if (fPid < 0) return;
    kill(fPid, SIGKILL);
    Wait();
}

bool TStartedCli::WaitForError(const std::string& aText) {
    char buffer[4096];
    while (fErrText.find(aText) == std::string::npos) {
        const ssize_t got = read(fErr, buffer, sizeof buffer);
        if (got <= 0) return false;
        fErrText.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

void TStartedCli::Signal(int aSignal) { kill(fPid, aSignal); }

ProcessResult TStartedCli::Wait() {
    ProcessResult result;
    DrainPipes(fOut, fErr, -1, {}, result);
    result.err = fErrText + result.err;
    result.exitCode = ExitCodeOf(fPid);
    fPid = -1;
    return result;
}

ProcessResult RunCli(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs,
                     const std::map<std::string, std::string>& aEnv, const std::string& aStdin) {
    std::vector<std::string> argv{CliPath()};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    return RunProcess(argv, CliEnvironment(aProfile, aEnv), aStdin);
}

}  // namespace trawlix::test
