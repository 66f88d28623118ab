#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace trawlix {

namespace {

const char* const kHeader = "# Trawlix settings: name<TAB>kind<TAB>value, value escaped (\\\\ \\n \\r \\t)\n";

std::string EscapeValue(const std::string& aText) {
    std::string out;
    for (char c : aText) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& aText) {
    std::string out;
    for (size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] != '\\' || i + 1 == aText.size()) {
            out += aText[i];
            continue;
        }
        char next = aText[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return out;
}

std::optional<std::int64_t> ToInteger(const std::string& aText) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
    if (ec != std::errc() || end != aText.data() + aText.size() || aText.empty()) return std::nullopt;
    return value;
}

void ThrowErrno(const std::string& aWhat, const std::filesystem::path& aPath) {
    throw std::runtime_error(aWhat + " \"" + aPath.string() + "\": " + std::strerror(errno));
}

// Closes a file descriptor when it goes out of scope.
struct TFileDescriptor {
    int fd;
    ~TFileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Empty when the file was read or does not exist; else why it could not be read.
std::string ReadWholeFile(const std::filesystem::path& aPath, std::string& aText) {
    TFileDescriptor file{::open(aPath.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return errno == ENOENT ? std::string() : aPath.string() + ": " + std::strerror(errno);
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) return aPath.string() + ": " + std::strerror(errno);
    if (!S_ISREG(status.st_mode)) return aPath.string() + " is not a file";
    char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return aPath.string() + ": " + std::strerror(errno);
        if (n == 0) return {};
        aText.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace

TSettingsFile::TSettingsFile(std::filesystem::path aFile) : fFile(std::move(aFile)) {
    std::string text;
    fLoadError = ReadWholeFile(fFile, text);
    if (fLoadError.empty()) fValues = Parse(text, &fLoadWarnings);
    // A file with lines that could not be read is written again, without them.
    if (fLoadError.empty() && fLoadWarnings.empty() && std::filesystem::exists(fFile)) fValuesOnDisk = fValues;
}

std::map<std::string, TSettingsFile::TValue> TSettingsFile::Parse(const std::string& aText, std::vector<std::string>* aWarnings) {
    const auto warn = [aWarnings](const std::string& aName, const std::string& aValue) {
        if (aWarnings) aWarnings->push_back(MalformedSettingWarning(aName, aValue));
    };
    std::map<std::string, TValue> values;
    std::istringstream lines(aText);
    std::string line;
    while (std::getline(lines, line)) {
        // A file edited on Windows ends its lines in CR LF; a CR inside a value is escaped.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        auto tab1 = line.find('\t');
        auto tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string::npos) continue;  // not a value line: ignored
        std::string name = line.substr(0, tab1);
        std::string kind = line.substr(tab1 + 1, tab2 - tab1 - 1);
        std::string raw = UnescapeValue(line.substr(tab2 + 1));
        TValue value;
        if (kind == "integer") {
            auto number = ToInteger(raw);
            if (!number) {
                warn(name, raw);
                continue;
            }
            value.kind = TKind::Integer;
            value.integer = *number;
        } else if (kind == "string") {
            value.text = raw;
        } else {
            warn(name, raw);
            continue;
        }
        values[name] = value;
    }
    return values;
}

std::string TSettingsFile::Serialize(const std::map<std::string, TValue>& aValues) {
    std::string out = kHeader;
    for (const auto& [name, value] : aValues) {
        out += name + "\t" + (value.kind == TKind::Integer ? "integer" : "string") + "\t" +
               EscapeValue(value.AsText()) + "\n";
    }
    return out;
}

bool TSettingsFile::ValueExists(const std::string& aName) const { return fValues.count(aName) > 0; }

std::optional<TSettingsFile::TValue> TSettingsFile::GetValue(const std::string& aName) const {
    auto it = fValues.find(aName);
    if (it == fValues.end()) return std::nullopt;
    return it->second;
}

std::int64_t TSettingsFile::ReadInteger(const std::string& aName) const {
    auto value = GetValue(aName);
    if (!value) throw std::runtime_error("Settings value \"" + aName + "\" does not exist");
    if (value->kind != TKind::Integer) throw std::runtime_error("Settings value \"" + aName + "\" is not an integer");
    return value->integer;
}

std::string TSettingsFile::ReadString(const std::string& aName) const {
    auto value = GetValue(aName);
    if (!value) throw std::runtime_error("Settings value \"" + aName + "\" does not exist");
    if (value->kind != TKind::String) throw std::runtime_error("Settings value \"" + aName + "\" is not a text");
    return value->text;
}

bool TSettingsFile::ReadBool(const std::string& aName) const { return ReadInteger(aName) != 0; }

void TSettingsFile::WriteInteger(const std::string& aName, std::int64_t aValue) {
    TValue value;
    value.kind = TKind::Integer;
    value.integer = aValue;
    fValues[aName] = value;
}

void TSettingsFile::WriteString(const std::string& aName, const std::string& aValue) {
    TValue value;
    value.text = aValue;
    fValues[aName] = value;
}

void TSettingsFile::DeleteValue(const std::string& aName) { fValues.erase(aName); }

std::string MalformedSettingWarning(const std::string& aName, const std::string& aValue) {
    return "The setting \"" + aName + "\" has the malformed value \"" + aValue + "\"; its default is used.";
}

void TSettingsFile::Save() const {
    if (fValuesOnDisk == fValues && std::filesystem::exists(fFile)) return;
    WriteFileAtomically(fFile, Serialize(fValues));
    fValuesOnDisk = fValues;
}

void WriteFileAtomically(const std::filesystem::path& aPath, const std::string& aContent) {
    std::error_code ec;
    std::filesystem::create_directories(aPath.parent_path(), ec);
    std::filesystem::path temp = aPath;
    temp += ".tmp-" + std::to_string(::getpid());
    {
        TFileDescriptor file{::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
        if (file.fd < 0) ThrowErrno("Cannot write", temp);
        size_t written = 0;
        while (written < aContent.size()) {
            ssize_t n = ::write(file.fd, aContent.data() + written, aContent.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::unlink(temp.c_str());
                ThrowErrno("Cannot write", temp);
            }
            written += static_cast<size_t>(n);
        }
        if (::fsync(file.fd) != 0) {
            ::unlink(temp.c_str());
            ThrowErrno("Cannot write", temp);
        }
    }
    if (::rename(temp.c_str(), aPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        ThrowErrno("Cannot replace", aPath);
    }
    TFileDescriptor dir{::open(aPath.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd >= 0) ::fsync(dir.fd);
}

}  // namespace trawlix
