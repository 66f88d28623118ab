#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/http_client.h"

namespace trawlix {

struct TDownloadFailure;

// The answer of today's Craigslist at aUrl through aClient alone: the system's transfer,
// which DownloadFile falls back on, would bypass the client's browser identity and cookies.
// Empty on any failure, aFailure saying why.
std::string FetchFromCraigslist(const std::string& aUrl, const ICHTTPClient& aClient, TDownloadFailure& aFailure);

// One area of Craigslist's reference list.
struct TCraigArea {
    long areaId = 0;
    std::string hostname;                // "sfbay"
    std::vector<std::string> subAreas;   // their abbreviations: "eby", "sfc"
};

// Craigslist's areas, found by host name: today's JSON search names an area by its id.
class TCraigAreas {
public:
    // Reads the reference list (a JSON array of areas); false with aProblem when it is not one.
    static bool Read(std::string_view aJson, TCraigAreas& aAreas, std::string& aProblem);

    const TCraigArea* FindByHost(std::string_view aHostname) const;
    static bool HasSubArea(const TCraigArea& aArea, std::string_view aAbbreviation);
    size_t Count() const { return fAreas.size(); }

private:
    std::vector<TCraigArea> fAreas;
};

// The site allows keeping the reference list this long.
inline constexpr int cCraigAreasKeepDays = 30;
// The file of the data folder the list is kept in.
inline constexpr const char* cCraigAreasFileName = "CraigslistAreas.json";

// The areas list: the copy in aFolder while it is younger than 30 days, else fetched afresh
// from https://reference.<aDomain>/Areas through aClient and kept there. A fetch that fails
// falls back on an older copy; null with aProblem when there is none. Kept in memory for the
// process once read.
std::shared_ptr<const TCraigAreas> LoadCraigAreas(const std::string& aFolder, const std::string& aDomain,
                                                  const ICHTTPClient& aClient, std::string& aProblem);
// Forgets the list kept in memory (tests, or a folder that changed).
void ForgetCraigAreas();

}  // namespace trawlix
