#include "model/legacy_searches_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

bool ReadWholeFile(const std::filesystem::path& aPath, std::string& aText) {
    std::ifstream in(aPath, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    aText = text.str();
    return true;
}

}  // namespace

std::string LoadOlderSearchesText(const std::filesystem::path& aDataFolder) {
    const auto file = aDataFolder / cOlderSearchesFileName;
    const auto backup = aDataFolder / cOlderSearchesBackupName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && std::filesystem::exists(backup, ec))
        std::filesystem::copy_file(backup, file, ec);
    if (!std::filesystem::exists(file, ec)) return cOlderSearchesEmptyText;
    std::string text;
    if (!ReadWholeFile(file, text)) {
        std::filesystem::remove(file, ec);
        return cOlderSearchesEmptyText;
    }
    return Trim(text).empty() ? std::string(cOlderSearchesEmptyText) : text;
}

void WriteOlderSearchesText(const std::filesystem::path& aDataFolder, const std::string& aText) {
    const auto file = aDataFolder / cOlderSearchesFileName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return;
    // Written beside and renamed, so that a failed write never leaves half a file.
    const auto temporary = aDataFolder / (std::string(cOlderSearchesFileName) + ".new");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << aText;
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, ec);
            return;
        }
    }
    std::filesystem::rename(temporary, file, ec);
    if (ec) std::filesystem::remove(temporary, ec);
}

void ParseOlderSearchesText(const std::string& aText, pugi::xml_document& aDocument) {
    const std::string text = RemoveSpecialCharacters(aText);
    const auto parsed = aDocument.load_string(text.c_str(), pugi::parse_default | pugi::parse_declaration);
    if (!parsed) throw ESearchesFileError(std::string("The searches file ") + cOlderSearchesFileName +
                                          " cannot be read: " + parsed.description() + ".");
    if (!aDocument.document_element())
        throw ESearchesFileError(std::string("The searches file ") + cOlderSearchesFileName + " has no root element.");
}

std::string SerializeOlderSearches(const pugi::xml_document& aDocument) {
    std::ostringstream text;
    aDocument.save(text, "", pugi::format_raw, pugi::encoding_utf8);
    return text.str();
}

bool ParseOlderInteger(const std::string& aText, int& aValue) {
    const std::string text = Trim(aText);
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), aValue);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool ParseOlderFloat(const std::string& aText, double& aValue) {
    std::string text = Trim(aText);
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return false;
    const char* begin = text.data();
    if (text[0] == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), aValue);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(aValue);
}

bool ParseOlderFlag(const std::string& aText, bool& aValue) {
    const std::string text = LowerCase(Trim(aText));
    if (text == "true" || text == "false") {
        aValue = text == "true";
        return true;
    }
    double number = 0;
    if (!ParseOlderFloat(text, number)) return false;
    aValue = number != 0;
    return true;
}

pugi::xml_node TOlderSearchElement::Child(const char* aName) const {
    auto child = fNode.child(aName);
    if (!child)
        throw ESearchesFileError(std::string("A search in the searches file ") + cOlderSearchesFileName +
                                 " lacks the element \"" + aName + "\".");
    return child;
}

std::string TOlderSearchElement::Text(const char* aName) const { return Child(aName).child_value(); }

std::string TOlderSearchElement::UnescapedText(const char* aName) const { return UnEscapeXML(Text(aName)); }

int TOlderSearchElement::Integer(const char* aName) const {
    const std::string text = Text(aName);
    int value = 0;
    if (!ParseOlderInteger(text, value)) NotANumber(aName, text, "a whole number");
    return value;
}

double TOlderSearchElement::Float(const char* aName) const {
    const std::string text = Text(aName);
    double value = 0;
    if (!ParseOlderFloat(text, value)) NotANumber(aName, text, "a number");
    return value;
}

bool TOlderSearchElement::Flag(const char* aName) const {
    const std::string text = Text(aName);
    bool value = false;
    if (!ParseOlderFlag(text, value)) NotANumber(aName, text, "True, False or a number");
    return value;
}

void TOlderSearchElement::NotANumber(const char* aName, const std::string& aText, const char* aKind) const {
    throw ESearchesFileError(std::string("The element \"") + aName + "\" of a search in the searches file " +
                             cOlderSearchesFileName + " holds \"" + aText + "\", which is not " + aKind + ".");
}

}  // namespace trawlix
