// Start-up and exit of `trawlix-cli info` with a large stored search: the time the command
// takes, the peak memory of its process, and whether it left the database file as it was
// (a command that only reads must not rewrite it).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/objects_storage.h"
#include "model/searches.h"

namespace {

using namespace trawlix;
namespace fs = std::filesystem;

IEntry MakeResult(int aIndex) {
    const std::string link = "http://losangeles.craigslist.org/bik/" + std::to_string(aIndex) + ".html";
    return std::make_shared<TEntry>(ssCraigslist, "Dec 12", "Red mountain bike, barely used", link, 120.5,
                                    "los angeles - california - united states", "bikes - for sale", aIndex % 2 == 0,
                                    100, 0, "A fine bike in good shape, with lights and a lock.", "", "");
}

struct TProfile {
    fs::path path;
    explicit TProfile(int aResults) {
        std::string pattern = (fs::temp_directory_path() / "trawlix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
        fs::create_directories(path / "data");
        fs::create_directories(path / "config");
        fs::create_directories(path / "run");
        fs::copy_file(fs::path(TRAWLIX_TESTS_DIR).parent_path() / "data" / "object_storage.cur", Database());
        TObjectsStorage storage(Database().string());
        TSearches searches(path / "data", storage, {});
        TSearch& search = searches.AddSearch(std::make_unique<TSearch>());
        search.SetName("bikes");
        for (int i = 0; i < aResults; ++i) search.AddSearchResult(MakeResult(i));
        search.MarkModified();
        searches.SaveChangedSearches();
    }
    ~TProfile() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path Database() const { return path / "data" / "object_storage.cur"; }
};

struct TRunFigures {
    double seconds = 0;
    double peakMegabytes = 0;
    bool succeeded = false;
};

// Runs the command in the profile, as a user's shell would, and waits for it.
TRunFigures RunCliInfo(const TProfile& aProfile) {
    const std::vector<std::string> env = {
        "TRAWLIX_DATA_DIR=" + (aProfile.path / "data").string(),
        "TRAWLIX_CONFIG_DIR=" + (aProfile.path / "config").string(),
        "XDG_RUNTIME_DIR=" + (aProfile.path / "run").string(),
        "XDG_CONFIG_HOME=" + (aProfile.path / "xdg-config").string(),
    };
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const auto& variable : env) putenv(const_cast<char*>(variable.c_str()));
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execl(TRAWLIX_CLI_PATH, TRAWLIX_CLI_PATH, "info", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    TRunFigures figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    figures.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

void BM_CliInfoWithStoredResults(benchmark::State& aState) {
    const int results = static_cast<int>(aState.range(0));
    TProfile profile(results);
    // The first start of a new profile sets it up; the figures are those of later starts.
    if (!RunCliInfo(profile).succeeded) aState.SkipWithError("trawlix-cli info failed");
    const auto storedAt = fs::last_write_time(profile.Database());
    TRunFigures best;
    best.seconds = 1e9;
    for (auto _ : aState) {
        const TRunFigures run = RunCliInfo(profile);
        if (!run.succeeded) aState.SkipWithError("trawlix-cli info failed");
        if (run.seconds < best.seconds) best.seconds = run.seconds;
        best.peakMegabytes = std::max(best.peakMegabytes, run.peakMegabytes);
    }
    aState.counters["results"] = results;
    aState.counters["best_s"] = best.seconds;
    aState.counters["peak_MB"] = best.peakMegabytes;
    aState.counters["database_rewritten"] = fs::last_write_time(profile.Database()) != storedAt ? 1 : 0;
}
BENCHMARK(BM_CliInfoWithStoredResults)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace
