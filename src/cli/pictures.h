#pragma once

#include <filesystem>

#include "model/entry.h"
#include "model/timeline_bars.h"

namespace trawlix {
class TPlaces;
}

namespace trawlix::cli {

// The pictures the commands draw. Drawing needs Qt's graphics libraries, which would cost
// every command, drawing or not, about ten megabytes and a tenth of a second to load; they
// live in a module that is loaded when a picture is first asked for. Both raise
// CommandError when the picture cannot be drawn or written, or the module cannot be loaded.

// The map with its regions coloured by their counts of aResults, as the map window shows it.
void WriteMapPicture(const std::filesystem::path& aMapFile, const TPlaces* aPlaces, const TEntryList& aResults,
                     const std::filesystem::path& aOutput);
// The timeline's bars as the desktop program's chart looks (title, gradient, one bar a day).
void WriteTimelinePicture(const TTimelineBars& aBars, const std::filesystem::path& aOutput);

}  // namespace trawlix::cli
