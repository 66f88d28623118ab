#pragma once

#include <filesystem>

#include "model/timeline_bars.h"

namespace trawlix::cli {

// Draws the timeline's bars as the desktop program's chart looks (title, gradient, one bar
// per day) and writes it as a PNG picture. Raises CommandError when the file cannot be written.
void WriteTimelinePicture(const TTimelineBars& aBars, const std::filesystem::path& aFile);

}  // namespace trawlix::cli
