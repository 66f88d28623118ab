#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trawlix {

// The program's settings file: typed values (integer or string) by name, kept in one
// text file of this user and written atomically.
class TSettingsFile {
public:
    enum class TKind { Integer, String };
    struct TValue {
        TKind kind = TKind::String;
        std::int64_t integer = 0;
        std::string text;
        std::string AsText() const { return kind == TKind::Integer ? std::to_string(integer) : text; }
        bool operator==(const TValue&) const = default;
    };

    TSettingsFile() = default;
    // Reads the file; a missing or unreadable file leaves the values empty (LoadError tells why
    // the file could not be read; a missing file is no error). Lines that cannot be read are
    // left out and named in LoadWarnings.
    explicit TSettingsFile(std::filesystem::path aFile);

    bool ValueExists(const std::string& aName) const;
    std::optional<TValue> GetValue(const std::string& aName) const;
    // Raise std::runtime_error when the value is missing or of another kind.
    std::int64_t ReadInteger(const std::string& aName) const;
    std::string ReadString(const std::string& aName) const;
    bool ReadBool(const std::string& aName) const;  // an integer value; non-zero is true

    void WriteInteger(const std::string& aName, std::int64_t aValue);
    void WriteString(const std::string& aName, const std::string& aValue);
    void WriteBool(const std::string& aName, bool aValue) { WriteInteger(aName, aValue ? 1 : 0); }
    void DeleteValue(const std::string& aName);

    const std::map<std::string, TValue>& Values() const { return fValues; }
    const std::filesystem::path& File() const { return fFile; }
    const std::string& LoadError() const { return fLoadError; }
    const std::vector<std::string>& LoadWarnings() const { return fLoadWarnings; }

    // Writes every value to the file: temporary file, fsync, rename. Raises on failure.
    // Values equal to those the file holds (as read, or as last written) leave it untouched.
    void Save() const;

    static std::string Serialize(const std::map<std::string, TValue>& aValues);
    // Lines end in LF or CR LF. A value line that cannot be read is skipped and, when
    // aWarnings is given, named there.
    static std::map<std::string, TValue> Parse(const std::string& aText, std::vector<std::string>* aWarnings = nullptr);

private:
    std::filesystem::path fFile;
    std::map<std::string, TValue> fValues;
    // What the file holds, when known.
    mutable std::optional<std::map<std::string, TValue>> fValuesOnDisk;
    std::string fLoadError;
    std::vector<std::string> fLoadWarnings;
};

// 'The setting "<name>" has the malformed value "<value>"; its default is used.'
std::string MalformedSettingWarning(const std::string& aName, const std::string& aValue);

// Writes a file so that readers see either the old or the new content, never a mix.
void WriteFileAtomically(const std::filesystem::path& aPath, const std::string& aContent);

}  // namespace trawlix
