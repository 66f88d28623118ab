#include "ui/page_cache.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

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

namespace {

// The boundary parameter of the archive's own Content-Type, from the headers before the
// first empty line; empty when there is none.
std::string Boundary(const std::string& aArchive) {
    size_t headersEnd = aArchive.find("\r\n\r\n");
    if (headersEnd == std::string::npos) headersEnd = aArchive.find("\n\n");
    const std::string headers = aArchive.substr(0, headersEnd);
    const size_t name = LowerCase(headers).find("boundary=");
    if (name == std::string::npos) return {};
    size_t start = name + 9;
    const bool quoted = start < headers.size() && headers[start] == '"';
    if (quoted) ++start;
    const size_t end = quoted ? headers.find('"', start) : headers.find_first_of("; \t\r\n", start);
    return headers.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A part's own headers name its type; only the first HTML part is kept.
bool IsHtmlPart(const std::string& aPart) {
    size_t headersEnd = aPart.find("\r\n\r\n");
    if (headersEnd == std::string::npos) headersEnd = aPart.find("\n\n");
    const std::string headers = LowerCase(aPart.substr(0, headersEnd));
    const size_t type = headers.find("content-type:");
    if (type == std::string::npos) return false;
    return headers.compare(headers.find_first_not_of(" \t", type + 13), 9, "text/html") == 0;
}

}  // namespace

std::string TPageCache::KeepHtmlOnly(const std::string& aArchive) {
    const std::string boundary = Boundary(aArchive);
    if (boundary.empty()) return aArchive;
    const std::string delimiter = "--" + boundary;
    size_t first = aArchive.find(delimiter);
    if (first == std::string::npos) return aArchive;
    std::vector<std::string> parts;
    for (size_t start = first + delimiter.size(); start < aArchive.size();) {
        if (aArchive.compare(start, 2, "--") == 0) break;  // the closing delimiter
        const size_t next = aArchive.find(delimiter, start);
        parts.push_back(aArchive.substr(start, next == std::string::npos ? std::string::npos : next - start));
        if (next == std::string::npos) break;
        start = next + delimiter.size();
    }
    const auto html = std::find_if(parts.begin(), parts.end(), IsHtmlPart);
    if (html == parts.end()) return aArchive;
    return aArchive.substr(0, first) + delimiter + *html + delimiter + "--\r\n";
}

bool TPageCache::KeepHtmlOnly(const fs::path& aFile) {
    std::ifstream in(aFile, std::ios::binary);
    if (!in) return false;
    std::ostringstream archive;
    archive << in.rdbuf();
    in.close();
    const fs::path temporary = aFile.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << KeepHtmlOnly(archive.str());
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(temporary, aFile, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

}  // namespace trawlix
