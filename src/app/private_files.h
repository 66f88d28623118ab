#pragma once

#include <filesystem>

namespace trawlix::platform {

// The database and the settings hold the SMTP passwords, so only the user may read them:
// creates the data folder and the settings file's folder readable by the user only (0700)
// when they are missing, tightens them when they exist, and tightens the database files
// ("object_storage*") and the settings file to 0600. Safe to call again at any time;
// anything it cannot change is left as it is.
void KeepUserFilesPrivate(const std::filesystem::path& aDataFolder, const std::filesystem::path& aSettingsFile);

}  // namespace trawlix::platform
