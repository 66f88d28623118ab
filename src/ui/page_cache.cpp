#include "ui/page_cache.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "engine/text_functions.h"

namespace trawlix {

namespace fs = std::filesystem;

TPageCache::TPageCache(const fs::path& aDataFolder) : fFolder(aDataFolder / "Temp") {}

fs::path TPageCache::ArchivePath(const std::string& aAddress) const { return fFolder / (MD5(aAddress) + ".mht"); }

bool TPageCache::HasArchive(const std::string& aAddress) const {
    std::error_code error;
    const fs::path path = ArchivePath(aAddress);
    return fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error;
}

bool TPageCache::IsArchiveAddress(const std::string& aAddress) {
    constexpr const char* cSuffix = ".mht";
    if (aAddress.size() < 4) return false;
    return std::equal(aAddress.end() - 4, aAddress.end(), cSuffix,
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

}  // namespace trawlix
