#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace trawlix::test {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return fPath; }
    std::filesystem::path operator/(const std::string& aName) const { return fPath / aName; }

private:
    std::filesystem::path fPath;
};

std::string ReadFile(const std::filesystem::path& aPath);
void WriteFile(const std::filesystem::path& aPath, const std::string& aContent);

// Overwrites four bytes of the header of aTable's first page in an SQLite file (no
// connection may be open on it): the file still opens, but rows of that table are lost.
void CorruptTablePage(const std::filesystem::path& aDatabase, const std::string& aTable);

// Where this build keeps what the tests use (tests/support/build_paths.cpp). Only that
// file knows the build's folders, so every other test file compiles the same in any clone.
// Folder of the test sources (fixtures live beside the tests).
std::filesystem::path TestsDir();
// A saved page of a site, from tests/sites/fixtures/pages.
std::string SitePageFixture(const std::string& aName);
// The source tree's data folder (reference files, the empty database).
std::filesystem::path SourceDataDir();
// The command-line program of this build.
std::string CliPath();

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program with the given arguments and extra environment, capturing both outputs.
ProcessResult RunProcess(const std::vector<std::string>& aArgv,
                         const std::map<std::string, std::string>& aEnv = {},
                         const std::string& aStdin = {});

// Runs trawlix-cli with data and settings kept in the given folder.
ProcessResult RunCli(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs,
                     const std::map<std::string, std::string>& aEnv = {}, const std::string& aStdin = {});

// trawlix-cli started in the background (profile as for RunCli), for what a test does while
// it runs. A process still running when the object goes is killed.
class TStartedCli {
public:
    TStartedCli(const std::filesystem::path& aProfile, const std::vector<std::string>& aArgs);
    ~TStartedCli();
    TStartedCli(const TStartedCli&) = delete;
    TStartedCli& operator=(const TStartedCli&) = delete;

    // Reads standard error until aText came; false when the program closed it first.
    bool WaitForError(const std::string& aText);
    void Signal(int aSignal);
    // Waits for the end; what came on standard error before is included.
    ProcessResult Wait();

private:
    int fPid = -1;
    int fOut = -1, fErr = -1;
    std::string fErrText;
};

}  // namespace trawlix::test
