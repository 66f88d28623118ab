#include "model/ref_data_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include <pugixml.hpp>

namespace trawlix {

ERefDataError::ERefDataError(const std::string& aFileName, const std::string& aDetail)
    : std::runtime_error("The reference file \"" + aFileName + "\" is damaged: " + aDetail), fFileName(aFileName) {}

std::string ReadRefDataFile(const std::string& aFileName) {
    std::ifstream stream(aFileName, std::ios::binary);
    if (!stream)
        throw ERefDataError(aFileName, "it is missing or cannot be opened");
    std::ostringstream content;
    content << stream.rdbuf();
    if (stream.bad())
        throw ERefDataError(aFileName, "it cannot be read");
    return content.str();
}

static int LineOfOffset(const std::string& aText, ptrdiff_t aOffset) {
    const auto end = aText.begin() + std::clamp<ptrdiff_t>(aOffset, 0, static_cast<ptrdiff_t>(aText.size()));
    return 1 + static_cast<int>(std::count(aText.begin(), end, '\n'));
}

pugi::xml_node ParseRefDataXML(pugi::xml_document& aDocument, const std::string& aText,
                               const std::string& aFileName) {
    const pugi::xml_parse_result result =
        aDocument.load_buffer(aText.data(), aText.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
                              pugi::encoding_auto);
    if (!result)
        throw ERefDataError(aFileName, std::string("malformed XML at line ") +
                                           std::to_string(LineOfOffset(aText, result.offset)) + ": " +
                                           result.description());
    const pugi::xml_node root = aDocument.document_element();
    if (!root)
        throw ERefDataError(aFileName, "it has no root element");
    return root;
}

std::string DescribeXMLPosition(const pugi::xml_node& aNode, const std::string& aText) {
    // Offsets are into the parsed buffer, which matches the text for UTF-8 files; for
    // other encodings the line is approximate but the element name still says where.
    return "line " + std::to_string(LineOfOffset(aText, aNode.offset_debug()));
}

static std::string_view TrimBlanks(std::string_view aText) {
    const auto first = aText.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = aText.find_last_not_of(" \t\r\n");
    return aText.substr(first, last - first + 1);
}

bool TryReadDecimal(const std::string& aText, double& aValue) {
    std::string text(TrimBlanks(aText));
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty())
        return false;
    const char* begin = text.data();
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return false;
    aValue = value;
    return true;
}

bool TryReadInteger(const std::string& aText, int& aValue) {
    const std::string_view text = TrimBlanks(aText);
    if (text.empty())
        return false;
    const char* begin = text.data();
    if (*begin == '+' && text.size() > 1)
        ++begin;
    int value = 0;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    aValue = value;
    return true;
}

}  // namespace trawlix
