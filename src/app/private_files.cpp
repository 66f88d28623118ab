#include "app/private_files.h"

#include <sys/stat.h>

#include <string>

namespace trawlix::platform {

namespace fs = std::filesystem;

namespace {

constexpr mode_t cPrivateFolderMode = 0700;
constexpr mode_t cPrivateFileMode = 0600;

// Made with its final mode, so that it is never open to others, not even for a moment.
void MakePrivateFolder(const fs::path& aFolder) {
    if (aFolder.empty()) return;
    std::error_code ec;
    const fs::path folder = aFolder.lexically_normal();
    const fs::path target = folder.has_filename() ? folder : folder.parent_path();
    fs::create_directories(target.parent_path(), ec);
    ::mkdir(target.c_str(), cPrivateFolderMode);
    ::chmod(target.c_str(), cPrivateFolderMode);
}

void MakePrivateFile(const fs::path& aFile) {
    std::error_code ec;
    if (fs::is_regular_file(aFile, ec)) ::chmod(aFile.c_str(), cPrivateFileMode);
}

bool IsDatabaseFile(const fs::path& aFile) { return aFile.filename().string().rfind("object_storage", 0) == 0; }

}  // namespace

void KeepUserFilesPrivate(const fs::path& aDataFolder, const fs::path& aSettingsFile) {
    MakePrivateFolder(aDataFolder);
    MakePrivateFolder(aSettingsFile.parent_path());
    std::error_code ec;
    for (fs::directory_iterator it(aDataFolder, ec), end; !ec && it != end; it.increment(ec))
        if (IsDatabaseFile(it->path())) MakePrivateFile(it->path());
    MakePrivateFile(aSettingsFile);
}

}  // namespace trawlix::platform
