#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace trawlix {

// The last answer to each page address a watcher polls. Within aShareWindow of being
// fetched an answer serves every search that asks for the same address (the searches due
// in one tick fetch each distinct page once); after that it still gives the validators of a
// conditional request, and the body when the site answers "not modified".
class TPollCache {
public:
    using TTime = std::chrono::steady_clock::time_point;

    struct TAnswer {
        std::vector<std::uint8_t> body;
        std::string contentType;
        std::string etag;
        std::string lastModified;
        TTime fetchedAt{};
    };

    // A request that failed, told alike to every search asking meanwhile: the site is not
    // asked again within the share window.
    struct TFailure {
        enum class TKind { Transfer, Status, TooLarge } kind = TKind::Transfer;
        std::string what;
        long status = 0;
        TTime failedAt{};
    };

    explicit TPollCache(std::chrono::milliseconds aShareWindow);

    // The answer to aURL when it was fetched within the share window before aNow.
    std::optional<TAnswer> Fresh(const std::string& aURL, TTime aNow) const;
    // The failure of the last request for aURL when it came within the share window and
    // after the last answer.
    std::optional<TFailure> FreshFailure(const std::string& aURL, TTime aNow) const;
    void StoreFailure(const std::string& aURL, TFailure aFailure);
    // The last answer to aURL, however old.
    std::optional<TAnswer> Last(const std::string& aURL) const;
    void Store(const std::string& aURL, TAnswer aAnswer);
    // The site said the last answer still holds: it counts as fetched at aNow.
    void Confirm(const std::string& aURL, TTime aNow);

    // Who asked for aURL (a search's name), so that figures can name searches per host.
    void NoteAsker(const std::string& aURL, const std::string& aAsker);
    std::set<std::string> Askers(const std::string& aURL) const;
    std::vector<std::string> URLs() const;

    struct TFigures {
        int served = 0;       // answers given from the cache within the share window
        int notModified = 0;  // conditional requests the site answered with 304
    };
    TFigures Figures() const;
    void CountServed();
    void CountNotModified();

private:
    struct TEntry {
        TAnswer answer;
        std::optional<TFailure> failure;
        std::set<std::string> askers;
    };

    mutable std::mutex fMutex;
    std::chrono::milliseconds fShareWindow;
    std::map<std::string, TEntry> fEntries;
    TFigures fFigures;
};

}  // namespace trawlix
