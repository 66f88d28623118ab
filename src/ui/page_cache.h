#pragma once

#include <filesystem>
#include <string>

namespace trawlix {

// The archives of the ad pages shown in the preview: one MHTML file per address in the
// data folder's "Temp", named by the address's MD5. Nothing deletes them.
class TPageCache {
public:
    explicit TPageCache(const std::filesystem::path& aDataFolder);

    const std::filesystem::path& Folder() const { return fFolder; }
    std::filesystem::path ArchivePath(const std::string& aAddress) const;
    // A file that is there but empty (a save that failed half-way) does not count.
    bool HasArchive(const std::string& aAddress) const;
    // Whether an address is one of the archives itself (those are never archived again).
    static bool IsArchiveAddress(const std::string& aAddress);

    // An archive keeps the page's HTML only: pictures, sounds, frames and style sheets are
    // dropped, so that a cache nobody empties stays small. A text that is not a multipart
    // archive comes back unchanged.
    static std::string KeepHtmlOnly(const std::string& aArchive);
    // The same on a file, replaced atomically; false when it could not be read or written.
    static bool KeepHtmlOnly(const std::filesystem::path& aFile);

private:
    std::filesystem::path fFolder;
};

}  // namespace trawlix
