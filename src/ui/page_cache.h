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

    // What one ad's archive may hold at most.
    static constexpr size_t cArchiveLimit = 5 * 1024 * 1024;

    // An archive keeps the page's HTML and, within aLimit bytes in all, its pictures and
    // style sheets in page order, so that the ad shows as it did the first time; sounds,
    // frames, scripts and objects are dropped, and so is a picture that would go past the
    // limit. A text that is not a multipart archive comes back unchanged.
    static std::string TrimArchive(const std::string& aArchive, size_t aLimit = cArchiveLimit);
    // The same on a file, replaced atomically; false when it could not be read or written.
    static bool TrimArchive(const std::filesystem::path& aFile, size_t aLimit = cArchiveLimit);

private:
    std::filesystem::path fFolder;
};

}  // namespace trawlix
