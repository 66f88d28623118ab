#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trawlix {

// What a running watcher tells about itself, kept in the data folder for `info`: written
// after each tick that fetched something, read by any other process.
struct TWatcherFigures {
    int searchesWatched = 0;
    int requestsPerMinutePerHost = 0;  // the budget
    double minutesWatched = 0;
    std::map<std::string, double> requestsPerMinute;  // per host, since the watcher started
    double medianDelaySeconds = -1;                   // result found to digest sent; -1 none yet
    int delaysCounted = 0;
    long long updatedAt = 0;  // seconds since the epoch

    static std::filesystem::path File(const std::filesystem::path& aDataFolder);
    // Atomically; a failure raises.
    void Save(const std::filesystem::path& aFile) const;
    // Nothing when there is no file or it is not one of these.
    static std::optional<TWatcherFigures> Load(const std::filesystem::path& aFile);
};

// The delays from a new result being found to its digest going out, per search: a digest
// tells every result found since the last one.
class TDigestDelays {
public:
    using TTime = std::chrono::steady_clock::time_point;

    void Found(const std::string& aSearch, TTime aAt);
    // The digest of aSearch went out at aAt: every result waiting for it has its delay.
    void Sent(const std::string& aSearch, TTime aAt);
    // -1 while there is none.
    double MedianSeconds() const;
    int Count() const { return static_cast<int>(fDelays.size()); }

private:
    // The most recent delays; older ones no longer say how the watcher does now.
    static constexpr std::size_t cKept = 1000;
    std::map<std::string, std::vector<TTime>> fWaiting;
    std::deque<double> fDelays;
};

}  // namespace trawlix
