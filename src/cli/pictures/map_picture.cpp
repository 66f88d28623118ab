// The map command's picture, drawn as the map window shows it.
#include <exception>
#include <type_traits>

#include "cli/pictures/drawing.h"
#include "cli/pictures_module.h"
#include "draw/map.h"

extern "C" [[gnu::visibility("default")]] void trawlix_write_map_picture(
    const std::filesystem::path& aMapFile, const trawlix::TPlaces* aPlaces, const trawlix::TEntryList& aResults,
    const std::filesystem::path& aOutput, std::string& aError) {
    using namespace trawlix;
    try {
        cli::EnsureDrawing();
        TMap map(mmResults, aPlaces);
        map.LoadFromFile(aMapFile);
        map.SetFlagBitmap(GreenFlagPicture());
        map.SetResults(aResults);
        const std::string failure = cli::SavePicture(map.Compose(), aOutput);
        aError = failure.empty() ? std::string() : "Cannot write " + aOutput.string() + ": " + failure;
    } catch (const std::exception& e) {
        aError = e.what();
    }
}
static_assert(std::is_same_v<decltype(trawlix_write_map_picture), trawlix::cli::TWriteMapPicture>);
