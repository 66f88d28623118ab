#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <pugixml.hpp>

namespace trawlix {

// An older searches file that lacks a required element or holds a malformed value.
class ESearchesFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The searches file of the versions before the object storage: "SearchesCPF.cur" in the
// data folder, with "SearchesCPF.tmp" as its backup. It is read once, on the first start
// with an empty storage, and written back unchanged at the end of every session.
inline constexpr const char* cOlderSearchesFileName = "SearchesCPF.cur";
inline constexpr const char* cOlderSearchesBackupName = "SearchesCPF.tmp";
inline constexpr const char* cOlderSearchesEmptyText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <searches id_counter=\"0\"></searches>";

// The file's text: restored from the backup when missing, the empty document when
// there is none or it is blank. A file that cannot be read is deleted.
std::string LoadOlderSearchesText(const std::filesystem::path& aDataFolder);
// Writes aText back when the file exists (a session never creates it).
void WriteOlderSearchesText(const std::filesystem::path& aDataFolder, const std::string& aText);

// Parses the text after dropping every character outside 32..126 (line breaks
// included), as the older program did with its own files; raises ESearchesFileError
// when it is not a document.
void ParseOlderSearchesText(const std::string& aText, pugi::xml_document& aDocument);
std::string SerializeOlderSearches(const pugi::xml_document& aDocument);

// Reads the values of one search element: child elements carrying texts. The readers of
// required values raise ESearchesFileError naming the element when it is missing or
// holds no number where one is needed.
class TOlderSearchElement {
public:
    explicit TOlderSearchElement(const pugi::xml_node& aNode) : fNode(aNode) {}

    bool Has(const char* aName) const { return static_cast<bool>(fNode.child(aName)); }
    pugi::xml_node Child(const char* aName) const;
    std::string Text(const char* aName) const;
    // With the older program's own unescaping of the texts it had escaped itself.
    std::string UnescapedText(const char* aName) const;
    int Integer(const char* aName) const;
    double Float(const char* aName) const;
    // "True"/"False" in any case, or a number (non-zero is true).
    bool Flag(const char* aName) const;

private:
    [[noreturn]] void NotANumber(const char* aName, const std::string& aText, const char* aKind) const;
    pugi::xml_node fNode;
};

// Strict readers shared with the element readers; false when the text is not one.
bool ParseOlderInteger(const std::string& aText, int& aValue);
bool ParseOlderFloat(const std::string& aText, double& aValue);
bool ParseOlderFlag(const std::string& aText, bool& aValue);

}  // namespace trawlix
