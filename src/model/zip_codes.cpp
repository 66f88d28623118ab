#include "model/zip_codes.h"

#include <algorithm>
#include <cctype>

#include "engine/text_functions.h"
#include "model/ref_data_file.h"

namespace trawlix {

namespace {

// Spaces, tabs and line breaks only, as the ZIP code file is written.
std::string TrimBlanks(const std::string& aText) {
    const auto first = aText.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = aText.find_last_not_of(" \t\r\n");
    return aText.substr(first, last - first + 1);
}

bool TryReadCoordinates(const std::string& aValue, double& aLatitude, double& aLongitude) {
    const auto separator = aValue.find(';');
    if (separator == std::string::npos)
        return false;
    return TryReadDecimal(aValue.substr(0, separator), aLatitude) &&
           TryReadDecimal(aValue.substr(separator + 1), aLongitude);
}

}  // namespace

std::unique_ptr<TZIPCodes> TZIPCodes::CreateFromFile(const std::string& aFileName) {
    return std::make_unique<TZIPCodes>(aFileName);
}

void TZIPCodes::LoadFromFile(const std::string& aFileName) { LoadFromText(ReadRefDataFile(aFileName), aFileName); }

void TZIPCodes::LoadFromText(const std::string& aText, const std::string& aFileName) {
    std::unordered_map<std::string, TCoordinates> table;
    table.reserve(aText.size() / 24);
    size_t lineStart = 0;
    // A UTF-8 byte-order mark is harmless before digits but would hide the first code.
    if (aText.compare(0, 3, "\xEF\xBB\xBF") == 0)
        lineStart = 3;
    for (int lineNumber = 1; lineStart < aText.size(); ++lineNumber) {
        size_t lineEnd = aText.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = aText.size();
        const std::string line = TrimBlanks(aText.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (line.empty())
            continue;
        const auto equals = line.find('=');
        const std::string code = equals == std::string::npos ? std::string() : TrimBlanks(line.substr(0, equals));
        TCoordinates coordinates{};
        if (code.empty() || !TryReadCoordinates(line.substr(equals + 1), coordinates.latitude, coordinates.longitude))
            throw ERefDataError(aFileName, "line " + std::to_string(lineNumber) + " is not code=latitude;longitude: \"" +
                                               line.substr(0, 80) + "\"");
        // The first of two equal codes wins, as a name=value list finds it.
        table.emplace(LowerCase(code), coordinates);
    }
    fHash = std::move(table);
}

std::unique_ptr<TZipCode> TZIPCodes::GetCode(const std::string& aCode) const {
    const auto found = fHash.find(LowerCase(TrimBlanks(aCode)));
    if (found == fHash.end())
        return nullptr;
    return std::make_unique<TZipCode>(aCode, found->second.latitude, found->second.longitude);
}

std::string PadZIPCode(const std::string& aText) {
    std::string text = TrimBlanks(aText);
    if (!text.empty() && text.size() < 5)
        text.insert(0, 5 - text.size(), '0');
    return text;
}

}  // namespace trawlix
