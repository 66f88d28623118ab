#pragma once

#include <memory>
#include <string>
#include <unordered_map>

namespace trawlix {

class TZipCode {
public:
    TZipCode(std::string aCode, double aLatitude, double aLongitude)
        : fCode(std::move(aCode)), fLatitude(aLatitude), fLongitude(aLongitude) {}

    const std::string& GetCode() const { return fCode; }
    double GetLatitude() const { return fLatitude; }
    double GetLongitude() const { return fLongitude; }

private:
    std::string fCode;
    double fLatitude;
    double fLongitude;
};

// The US ZIP codes with their coordinates (ZIPCodes.cur, lines "code=latitude;longitude").
class TZIPCodes {
public:
    TZIPCodes() = default;
    explicit TZIPCodes(const std::string& aFileName) { LoadFromFile(aFileName); }

    static std::unique_ptr<TZIPCodes> CreateFromFile(const std::string& aFileName);

    // Replaces the table; raises ERefDataError naming the file and line of a line that
    // does not read.
    void LoadFromFile(const std::string& aFileName);
    void LoadFromText(const std::string& aText, const std::string& aFileName);

    // Looks the trimmed code up (case-insensitively); null when unknown. The result
    // carries aCode as given.
    std::unique_ptr<TZipCode> GetCode(const std::string& aCode) const;
    int Count() const { return static_cast<int>(fHash.size()); }

private:
    struct TCoordinates {
        double latitude;
        double longitude;
    };
    std::unordered_map<std::string, TCoordinates> fHash;
};

// The text a ZIP code box holds once normalised for look-up: trimmed and padded with
// leading "0" to at least 5 characters ("2134" -> "02134"); empty stays empty.
std::string PadZIPCode(const std::string& aText);

}  // namespace trawlix
