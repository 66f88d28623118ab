#include "sites/craig_areas.h"

#include <simdjson.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "engine/download.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace fs = std::filesystem;

bool TCraigAreas::Read(std::string_view aJson, TCraigAreas& aAreas, std::string& aProblem) {
    simdjson::dom::parser parser;
    simdjson::dom::array list;
    if (parser.parse(aJson.empty() ? "" : aJson.data(), aJson.size()).get_array().get(list) != simdjson::SUCCESS) {
        aProblem = "the areas list is not a JSON array";
        return false;
    }
    aAreas.fAreas.clear();
    for (simdjson::dom::element item : list) {
        TCraigArea area;
        int64_t id = 0;
        std::string_view host;
        if (item["AreaID"].get_int64().get(id) != simdjson::SUCCESS ||
            item["Hostname"].get_string().get(host) != simdjson::SUCCESS || host.empty())
            continue;
        area.areaId = static_cast<long>(id);
        area.hostname = LowerCase(std::string(host));
        simdjson::dom::array subAreas;
        if (item["SubAreas"].get_array().get(subAreas) == simdjson::SUCCESS)
            for (simdjson::dom::element sub : subAreas) {
                std::string_view abbreviation;
                if (sub["Abbreviation"].get_string().get(abbreviation) == simdjson::SUCCESS)
                    area.subAreas.push_back(LowerCase(std::string(abbreviation)));
            }
        aAreas.fAreas.push_back(std::move(area));
    }
    if (aAreas.fAreas.empty()) {
        aProblem = "the areas list names no area";
        return false;
    }
    return true;
}

const TCraigArea* TCraigAreas::FindByHost(std::string_view aHostname) const {
    const std::string host = LowerCase(std::string(aHostname));
    for (const TCraigArea& area : fAreas)
        if (area.hostname == host) return &area;
    return nullptr;
}

bool TCraigAreas::HasSubArea(const TCraigArea& aArea, std::string_view aAbbreviation) {
    const std::string abbreviation = LowerCase(std::string(aAbbreviation));
    for (const std::string& sub : aArea.subAreas)
        if (sub == abbreviation) return true;
    return false;
}

std::string FetchFromCraigslist(const std::string& aUrl, const ICHTTPClient& aClient, TDownloadFailure& aFailure) {
    aFailure = {};
    if (!aClient) {
        aFailure.text = "Could not download " + aUrl;
        return {};
    }
    try {
        std::string body;
        aClient->Get(aUrl, body);
        return body;
    } catch (const EHttpTooLarge& e) {
        aFailure = {e.what(), true, 0};
    } catch (const EHttpStatus& e) {
        aFailure = {e.what(), false, e.GetStatus()};
    } catch (const std::exception& e) {
        aFailure.text = e.what();
    }
    return {};
}

namespace {

struct TKeptAreas {
    std::mutex mutex;
    std::string folder;
    std::shared_ptr<const TCraigAreas> areas;
    fs::file_time_type readAt{};
    // A list that could not be had is not asked for again at once: every link would ask.
    std::chrono::steady_clock::time_point failedAt{};
    bool failed = false;
};

TKeptAreas& Kept() {
    static TKeptAreas kept;
    return kept;
}

bool IsYoung(const fs::path& aFile) {
    std::error_code error;
    const auto written = fs::last_write_time(aFile, error);
    if (error) return false;
    return fs::file_time_type::clock::now() - written < std::chrono::hours(24 * cCraigAreasKeepDays);
}

std::shared_ptr<const TCraigAreas> ReadFile(const fs::path& aFile) {
    std::ifstream in(aFile, std::ios::binary);
    if (!in) return nullptr;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto areas = std::make_shared<TCraigAreas>();
    std::string problem;
    return TCraigAreas::Read(text, *areas, problem) ? areas : nullptr;
}

// Written beside and renamed, so that a reader never sees half a list.
void WriteFile(const fs::path& aFile, const std::string& aText) {
    const fs::path temporary = aFile.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << aText;
        if (!out.flush()) return;
    }
    std::error_code error;
    fs::rename(temporary, aFile, error);
    if (error) fs::remove(temporary, error);
}

}  // namespace

std::shared_ptr<const TCraigAreas> LoadCraigAreas(const std::string& aFolder, const std::string& aDomain,
                                                  const ICHTTPClient& aClient, std::string& aProblem) {
    TKeptAreas& kept = Kept();
    std::lock_guard lock(kept.mutex);
    const fs::path file = aFolder.empty() ? fs::path() : fs::path(aFolder) / cCraigAreasFileName;
    const bool fresh = kept.areas && kept.folder == aFolder &&
                       fs::file_time_type::clock::now() - kept.readAt < std::chrono::hours(24 * cCraigAreasKeepDays);
    if (fresh) return kept.areas;
    if (kept.failed && kept.folder == aFolder && std::chrono::steady_clock::now() - kept.failedAt < std::chrono::minutes(10)) {
        aProblem = "the areas list could not be fetched";
        return nullptr;
    }
    std::shared_ptr<const TCraigAreas> areas;
    if (!file.empty() && IsYoung(file)) areas = ReadFile(file);
    if (!areas) {
        TDownloadFailure failure;
        const std::string text = FetchFromCraigslist("https://reference." + aDomain + "/Areas", aClient, failure);
        auto fetched = std::make_shared<TCraigAreas>();
        std::string problem;
        if (!text.empty() && TCraigAreas::Read(text, *fetched, problem)) {
            areas = fetched;
            if (!file.empty()) WriteFile(file, text);
        } else {
            aProblem = text.empty() ? "the areas list could not be fetched" : problem;
            // An older copy still names the areas that existed then.
            if (!file.empty()) areas = ReadFile(file);
        }
    }
    kept.folder = aFolder;
    kept.failed = !areas;
    kept.failedAt = std::chrono::steady_clock::now();
    if (!areas) return nullptr;
    kept.areas = areas;
    kept.readAt = fs::file_time_type::clock::now();
    return areas;
}

void ForgetCraigAreas() {
    std::lock_guard lock(Kept().mutex);
    Kept().areas.reset();
    Kept().folder.clear();
    Kept().failed = false;
}

}  // namespace trawlix
