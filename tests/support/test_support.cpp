#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
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

ProcessResult RunProcess(const std::vector<std::string>& aArgv,
                         const std::map<std::string, std::string>& aEnv, const std::string& aStdin) {
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
    ProcessResult result;
    DrainPipes(outPipe[0], errPipe[0], inPipe[1], aStdin, result);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

ProcessResult RunCli(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs,
                     const std::map<std::string, std::string>& aEnv, const std::string& aStdin) {
    std::vector<std::string> argv{CliPath()};
    argv.insert(argv.end(), aArgs.begin(), aArgs.end());
    std::map<std::string, std::string> env{
        {"TRAWLIX_DATA_DIR", (aProfile / "data").string()},
        {"TRAWLIX_CONFIG_DIR", (aProfile / "config").string()},
        {"XDG_RUNTIME_DIR", (aProfile / "run").string()},
        {"XDG_CONFIG_HOME", (aProfile / "xdg-config").string()},
    };
    std::filesystem::create_directories(aProfile / "run");
    for (const auto& [k, v] : aEnv) env[k] = v;
    return RunProcess(argv, env, aStdin);
}

}  // namespace trawlix::test
