#include "app/watcher_figures.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/settings_file.h"

namespace trawlix {

namespace {
constexpr const char* cFirstLine = "trawlix watcher figures 1";
}  // namespace

std::filesystem::path TWatcherFigures::File(const std::filesystem::path& aDataFolder) {
    return aDataFolder / "watcher_figures.txt";
}

// One "name<TAB>value" a line; a host's rate as "host<TAB>NAME<TAB>rate".
void TWatcherFigures::Save(const std::filesystem::path& aFile) const {
    std::ostringstream text;
    text << cFirstLine << "\n"
         << "searches\t" << searchesWatched << "\n"
         << "budget\t" << requestsPerMinutePerHost << "\n"
         << "minutes\t" << minutesWatched << "\n"
         << "median_delay\t" << medianDelaySeconds << "\n"
         << "delays\t" << delaysCounted << "\n"
         << "updated\t" << updatedAt << "\n";
    for (const auto& [host, rate] : requestsPerMinute) text << "host\t" << host << "\t" << rate << "\n";
    WriteFileAtomically(aFile, text.str());
}

std::optional<TWatcherFigures> TWatcherFigures::Load(const std::filesystem::path& aFile) {
    std::ifstream in(aFile);
    std::string line;
    if (!in || !std::getline(in, line) || line != cFirstLine) return std::nullopt;
    TWatcherFigures figures;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        std::getline(fields, name, '\t');
        if (name == "host") {
            std::string host;
            double rate = 0;
            if (std::getline(fields, host, '\t') && fields >> rate) figures.requestsPerMinute[host] = rate;
            continue;
        }
        const auto read = [&fields](auto& aField) {
            if (!(fields >> aField)) throw std::runtime_error("unreadable");
        };
        try {
            if (name == "searches") read(figures.searchesWatched);
            if (name == "budget") read(figures.requestsPerMinutePerHost);
            if (name == "minutes") read(figures.minutesWatched);
            if (name == "median_delay") read(figures.medianDelaySeconds);
            if (name == "delays") read(figures.delaysCounted);
            if (name == "updated") read(figures.updatedAt);
        } catch (const std::runtime_error&) {
            return std::nullopt;
        }
    }
    return figures;
}

void TDigestDelays::Found(const std::string& aSearch, TTime aAt) { fWaiting[aSearch].push_back(aAt); }

void TDigestDelays::Sent(const std::string& aSearch, TTime aAt) {
    auto it = fWaiting.find(aSearch);
    if (it == fWaiting.end()) return;
    for (TTime found : it->second) {
        fDelays.push_back(std::chrono::duration<double>(aAt - found).count());
        if (fDelays.size() > cKept) fDelays.pop_front();
    }
    fWaiting.erase(it);
}

double TDigestDelays::MedianSeconds() const {
    if (fDelays.empty()) return -1;
    std::vector<double> sorted(fDelays.begin(), fDelays.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

}  // namespace trawlix
