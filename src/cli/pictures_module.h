#pragma once

// The entry points of the pictures module (see cli/pictures.h), shared by the module and
// the program that loads it. Each leaves aError empty when the picture was written, else
// says why not: nothing is raised across the module's edge.
#include <filesystem>
#include <string>

#include "model/entry.h"
#include "model/timeline_bars.h"

namespace trawlix {
class TPlaces;
}

namespace trawlix::cli {

using TWriteMapPicture = void(const std::filesystem::path& aMapFile, const TPlaces* aPlaces,
                              const TEntryList& aResults, const std::filesystem::path& aOutput, std::string& aError);
using TWriteTimelinePicture = void(const TTimelineBars& aBars, const std::filesystem::path& aOutput,
                                   std::string& aError);

inline constexpr const char* cPicturesModule = "trawlix-pictures.so";
inline constexpr const char* cWriteMapPictureSymbol = "trawlix_write_map_picture";
inline constexpr const char* cWriteTimelinePictureSymbol = "trawlix_write_timeline_picture";

}  // namespace trawlix::cli
