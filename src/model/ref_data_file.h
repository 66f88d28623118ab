#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace trawlix {

// Raised while loading a reference file; the message names the file and the element or
// line at fault, so that the start-up error report says what to fix.
class ERefDataError : public std::runtime_error {
public:
    ERefDataError(const std::string& aFileName, const std::string& aDetail);
    const std::string& GetFileName() const { return fFileName; }

private:
    std::string fFileName;
};

// Reads a whole file into memory; raises ERefDataError when it cannot be read.
std::string ReadRefDataFile(const std::string& aFileName);

// Parses an XML reference file held in memory (encoding from its byte-order mark,
// UTF-8 without one) and returns its root element; raises ERefDataError when malformed
// or empty.
pugi::xml_node ParseRefDataXML(pugi::xml_document& aDocument, const std::string& aText,
                               const std::string& aFileName);

// "line N" of the element, for error messages.
std::string DescribeXMLPosition(const pugi::xml_node& aNode, const std::string& aText);

// Decimal numbers as stored data writes them: "." or "," as separator, surrounding
// blanks ignored, finite values only. False when the text does not read completely.
bool TryReadDecimal(const std::string& aText, double& aValue);

// A whole decimal integer that fits in an int, surrounding blanks ignored.
bool TryReadInteger(const std::string& aText, int& aValue);

}  // namespace trawlix
