#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace trawlix {

// The program's settings key: typed values (integer or string) by name, kept in one
// text file and written atomically. Stands for the per-user registry key.
class TRegistry {
public:
    enum class TKind { Integer, String };
    struct TValue {
        TKind kind = TKind::String;
        std::int64_t integer = 0;
        std::string text;
        std::string AsText() const { return kind == TKind::Integer ? std::to_string(integer) : text; }
    };

    TRegistry() = default;
    // Reads the file; a missing or unreadable file leaves the key empty (LoadError tells why).
    explicit TRegistry(std::filesystem::path aFile);

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

    // Writes every value to the file: temporary file, fsync, rename. Raises on failure.
    void Save() const;

    static std::string Serialize(const std::map<std::string, TValue>& aValues);
    static std::map<std::string, TValue> Parse(const std::string& aText);

private:
    std::filesystem::path fFile;
    std::map<std::string, TValue> fValues;
    std::string fLoadError;
};

// Writes a file so that readers see either the old or the new content, never a mix.
void WriteFileAtomically(const std::filesystem::path& aPath, const std::string& aContent);

}  // namespace trawlix
