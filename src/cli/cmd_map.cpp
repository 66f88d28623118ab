// The map command: a search's results counted per region of a map, and the map drawn with
// its counts and flags as the map window shows it.
#include <filesystem>

#include "app/platform.h"
#include "app/session.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/pictures.h"
#include "cli/search_arg.h"
#include "engine/critical_section.h"
#include "model/filter.h"
#include "model/map_file.h"
#include "model/map_regions.h"
#include "model/search.h"

namespace trawlix::cli {

namespace {

// A path as given when it names a file, else a file of the maps folder.
std::filesystem::path MapPath(const std::string& aName) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(aName, ec)) return aName;
    return platform::MapsFolder() / aName;
}

// The results the search's list shows: those that pass its filter.
TEntryList FilteredResults(TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    TCLock filterLock(aSearch.GetFilter().GetCriticalSection());
    TEntryList results;
    for (const IEntry& entry : aSearch.GetSearchResults())
        if (aSearch.GetFilter().EntryPasses(*entry, false)) results.push_back(entry);
    return results;
}

int Map(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const std::string mapName = args.Value("--map").value_or(cStartMapFile);
    const auto render = args.Value("--render");
    const auto positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("map needs exactly one SEARCH");
    TSearch& search = FindSearchArg(aContext, positionals[0]);
    if (!aContext.session->GetPlaces()) throw CommandError("The places are not loaded.");
    const TPlaces& places = *aContext.session->GetPlaces();

    const std::filesystem::path mapFile = MapPath(mapName);
    TColorMap colorMap;
    try {
        ParseProperties(ReadMapFile(mapFile).Properties, colorMap);
        const TEntryList results = FilteredResults(search);
        const std::vector<int> counts = TMapRegions(colorMap, places).Count(results);
        if (render) WriteMapPicture(mapFile, &places, results, *render);

        std::string jsonItems;
        for (int index = 0; index < colorMap.Count(); ++index) {
            if (counts[index] == 0) continue;
            const TColorMapItem& item = *colorMap.GetItems()[index];
            if (json) {
                jsonItems += (jsonItems.empty() ? "" : ",") + JsonObject()
                                                                  .Add("hint", item.Hint)
                                                                  .Add("location_id", item.LocationID)
                                                                  .Add("count", counts[index])
                                                                  .Str();
            } else {
                aContext.out << item.Hint << "\t" << item.LocationID << "\t" << counts[index] << "\n";
            }
        }
        if (json) aContext.out << "[" << jsonItems << "]\n";
    } catch (const EMapFileError& e) {
        throw CommandError(e.what());
    }
    return 0;
}

CommandRegistrar gMap({"map", "map SEARCH [--map FILE] [--json] [--render FILE.png]", false, true, Map,
                       AlwaysReadsOnly});

}  // namespace

}  // namespace trawlix::cli
