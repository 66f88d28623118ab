#pragma once

#include <QImage>
#include <filesystem>
#include <string>

namespace trawlix::cli {

// Text needs Qt's font machinery, which needs an application object: one without any
// display, so the commands draw on a server too.
void EnsureDrawing();

// Writes the picture as PNG through a temporary file renamed over aFile, so that a failed
// write leaves no half picture. Answers why it failed; empty when it was written.
std::string SavePicture(const QImage& aPicture, const std::filesystem::path& aFile);

}  // namespace trawlix::cli
