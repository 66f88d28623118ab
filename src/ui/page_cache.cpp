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

// The media type a part's own headers name, in lower case; empty when none.
std::string PartType(const std::string& aPart) {
    size_t headersEnd = aPart.find("\r\n\r\n");
    if (headersEnd == std::string::npos) headersEnd = aPart.find("\n\n");
    const std::string headers = LowerCase(aPart.substr(0, headersEnd));
    const size_t type = headers.find("content-type:");
    if (type == std::string::npos) return {};
    const size_t start = headers.find_first_not_of(" \t", type + 13);
    if (start == std::string::npos) return {};
    return headers.substr(start, headers.find_first_of("; \t\r\n", start) - start);
}

bool IsHtmlPart(const std::string& aPart) { return PartType(aPart) == "text/html"; }

// What the page needs to look as it did: its pictures and style sheets.
bool IsLookPart(const std::string& aPart) {
    const std::string type = PartType(aPart);
    return type.rfind("image/", 0) == 0 || type == "text/css";
}

}  // namespace

std::string TPageCache::TrimArchive(const std::string& aArchive, size_t aLimit) {
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
    std::string trimmed = aArchive.substr(0, first) + delimiter + *html;
    const size_t closing = delimiter.size() + 4;  // "--" and the line break after the last part
    for (auto part = parts.begin(); part != parts.end(); ++part) {
        if (part == html || !IsLookPart(*part)) continue;
        if (trimmed.size() + delimiter.size() + part->size() + closing > aLimit) continue;
        trimmed += delimiter + *part;
    }
    return trimmed + delimiter + "--\r\n";
}

bool TPageCache::TrimArchive(const fs::path& aFile, size_t aLimit) {
    std::ifstream in(aFile, std::ios::binary);
    if (!in) return false;
    std::ostringstream archive;
    archive << in.rdbuf();
    in.close();
    const fs::path temporary = aFile.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << TrimArchive(archive.str(), aLimit);
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(temporary, aFile, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

}  // namespace trawlix
