#include "app/settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/proxy_settings_storage.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace {

struct TNamedColor {
    const char* name;
    TColor color;
};

// The standard colour names and their 0x00BBGGRR values.
constexpr std::array<TNamedColor, 20> kNamedColors{{
    {"clBlack", 0x000000},  {"clMaroon", 0x000080},     {"clGreen", 0x008000},   {"clOlive", 0x008080},
    {"clNavy", 0x800000},   {"clPurple", 0x800080},     {"clTeal", 0x808000},    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},        {"clLime", 0x00FF00},    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF},    {"clAqua", 0xFFFF00},    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF}, {"clMedGray", 0xA4A0A0},
}};

int ParseDecimal(const std::string& aText, const std::string& aWhat) {
    int value = 0;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
    if (ec != std::errc() || end != aText.data() + aText.size() || aText.empty())
        throw std::runtime_error("'" + aText + "' is not a valid integer value (" + aWhat + ")");
    return value;
}

const char* const kDefaultVisibleColumns[] = {"cbCaption", "cbImage",    "cbDate",   "cbPrice",
                                              "cbLocation", "cbCategory", "cbFoundOn"};

}  // namespace

std::string ColorToString(TColor aColor) {
    for (const auto& named : kNamedColors)
        if (named.color == aColor) return named.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%.8X", aColor);
    return buf;
}

TColor StringToColor(const std::string& aText) {
    for (const auto& named : kNamedColors)
        if (LowerCase(named.name) == LowerCase(aText)) return named.color;
    std::string digits = aText;
    int base = 10;
    if (!digits.empty() && digits[0] == '$') {
        digits.erase(0, 1);
        base = 16;
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
        base = 16;
    }
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
        throw std::runtime_error("'" + aText + "' is not a valid colour value");
    return value;
}

std::string NameValueLinesToText(const std::vector<std::pair<std::string, std::string>>& aLines) {
    std::string text;
    for (const auto& [name, value] : aLines) text += name + "=" + value + "\r\n";
    return text;
}

std::vector<std::pair<std::string, std::string>> TextToNameValueLines(const std::string& aText) {
    std::vector<std::pair<std::string, std::string>> lines;
    size_t start = 0;
    while (start < aText.size()) {
        size_t end = aText.find_first_of("\r\n", start);
        if (end == std::string::npos) end = aText.size();
        std::string line = aText.substr(start, end - start);
        if (!line.empty()) {
            auto eq = line.find('=');
            if (eq == std::string::npos)
                lines.emplace_back(line, "");
            else
                lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
        start = end;
        if (start < aText.size() && aText[start] == '\r') ++start;
        if (start < aText.size() && aText[start] == '\n') ++start;
    }
    return lines;
}

// --- TColorSettings -------------------------------------------------------------------

TColorSettings::TColorSettings() : TThreadSafeObject("TColorSettings") { RestoreDefaults(); }

void TColorSettings::RestoreDefaults() {
    TCLock lock(fCriticalSection);
    fVisitedBackgroundColor = RGBColor(153, 180, 209);
    fNewBackgroundColor = RGBColor(166, 202, 240);
    // Dark on the light blue of visited rows: near-white there could hardly be read (WCAG AA
    // asks for a contrast of 4.5:1; this gives 7:1).
    fHighlightedFontColor = RGBColor(0, 32, 96);
}

TColor TColorSettings::GetVisitedBackgroundColor() const { return Locked(fCriticalSection, fVisitedBackgroundColor); }
void TColorSettings::SetVisitedBackgroundColor(TColor aValue) {
    SetLocked(fCriticalSection, fVisitedBackgroundColor, aValue);
}
TColor TColorSettings::GetNewBackgroundColor() const { return Locked(fCriticalSection, fNewBackgroundColor); }
void TColorSettings::SetNewBackgroundColor(TColor aValue) { SetLocked(fCriticalSection, fNewBackgroundColor, aValue); }
TColor TColorSettings::GetHighlightedFontColor() const { return Locked(fCriticalSection, fHighlightedFontColor); }
void TColorSettings::SetHighlightedFontColor(TColor aValue) {
    SetLocked(fCriticalSection, fHighlightedFontColor, aValue);
}

std::string TColorSettings::ToText() const {
    TCLock lock(fCriticalSection);
    return NameValueLinesToText({{"VisitedBackgroundColor", ColorToString(fVisitedBackgroundColor)},
                                 {"NewBackgroundColor", ColorToString(fNewBackgroundColor)},
                                 {"HighlightedFontColor", ColorToString(fHighlightedFontColor)}});
}

void TColorSettings::FromText(const std::string& aText) {
    TCLock lock(fCriticalSection);
    for (const auto& [name, value] : TextToNameValueLines(aText)) {
        if (name == "VisitedBackgroundColor") fVisitedBackgroundColor = StringToColor(value);
        if (name == "NewBackgroundColor") fNewBackgroundColor = StringToColor(value);
        if (name == "HighlightedFontColor") fHighlightedFontColor = StringToColor(value);
    }
}

void TColorSettings::Load(const TSettingsFile& aSettingsFile, std::vector<std::string>* aWarnings) {
    auto value = aSettingsFile.GetValue("ColorSettings");
    if (!value) return;
    if (!aWarnings) return FromText(value->text);
    TCLock lock(fCriticalSection);
    for (const auto& [name, text] : TextToNameValueLines(value->text)) {
        TColor* field = name == "VisitedBackgroundColor" ? &fVisitedBackgroundColor
                        : name == "NewBackgroundColor"   ? &fNewBackgroundColor
                        : name == "HighlightedFontColor" ? &fHighlightedFontColor
                                                         : nullptr;
        if (!field) continue;
        try {
            *field = StringToColor(text);
        } catch (const std::exception&) {
            aWarnings->push_back(MalformedSettingWarning(name, text));
        }
    }
}

void TColorSettings::Save(TSettingsFile& aSettingsFile) const { aSettingsFile.WriteString("ColorSettings", ToText()); }

// --- TColumnsSettings -----------------------------------------------------------------

TColumnsSettings::TColumnContainer& TColumnsSettings::Container(const std::string& aName) {
    for (auto& container : fContainers)
        if (container.fName == aName) return container;
    fContainers.push_back(TColumnContainer{aName, {}, -1});
    return fContainers.back();
}

int TColumnsSettings::GetColumnWidth(const std::string& aListViewName, int aColumnIndex) const {
    TCLock lock(fCriticalSection);
    for (const auto& container : fContainers) {
        if (container.fName != aListViewName) continue;
        auto it = container.fColumnWidths.find(aColumnIndex);
        return it == container.fColumnWidths.end() ? -1 : it->second;
    }
    return -1;
}

void TColumnsSettings::SetColumnWidth(const std::string& aListViewName, int aColumnIndex, int aWidth) {
    TCLock lock(fCriticalSection);
    auto& container = Container(aListViewName);
    container.fColumnWidths[aColumnIndex] = aWidth;
    container.fMaxColumnIndex = std::max(container.fMaxColumnIndex, aColumnIndex);
}

std::string TColumnsSettings::ToText() const {
    TCLock lock(fCriticalSection);
    std::vector<std::pair<std::string, std::string>> lines;
    for (const auto& container : fContainers) {
        std::string pairs;
        for (const auto& [index, width] : container.fColumnWidths) {
            if (index < 0 || index > container.fMaxColumnIndex) continue;
            if (!pairs.empty()) pairs += ";";
            pairs += std::to_string(index) + "_" + std::to_string(width);
        }
        lines.emplace_back(container.fName, pairs);
    }
    return NameValueLinesToText(lines);
}

void TColumnsSettings::FromText(const std::string& aText, std::vector<std::string>* aWarnings) {
    TCLock lock(fCriticalSection);
    for (const auto& [name, value] : TextToNameValueLines(aText)) {
        auto& container = Container(name);
        std::string piece;
        std::istringstream pieces(value);
        while (std::getline(pieces, piece, ';')) {
            std::istringstream words(piece);  // blanks separate pieces too
            std::string word;
            while (words >> word) {
                try {
                    auto underscore = word.find('_');
                    if (underscore == std::string::npos)
                        throw std::runtime_error("'" + word + "' is not a valid column width");
                    int index = ParseDecimal(word.substr(0, underscore), "column index");
                    int width = ParseDecimal(word.substr(underscore + 1), "column width");
                    container.fColumnWidths[index] = width;
                    container.fMaxColumnIndex = std::max(container.fMaxColumnIndex, index);
                } catch (const std::exception&) {
                    if (!aWarnings) throw;
                    aWarnings->push_back(MalformedSettingWarning("ColumnSettings", name + "=" + word));
                }
            }
        }
    }
}

void TColumnsSettings::Load(const TSettingsFile& aSettingsFile, std::vector<std::string>* aWarnings) {
    if (auto value = aSettingsFile.GetValue("ColumnSettings")) FromText(value->text, aWarnings);
}

void TColumnsSettings::Save(TSettingsFile& aSettingsFile) const { aSettingsFile.WriteString("ColumnSettings", ToText()); }

// --- TSettings -------------------------------------------------------------------------

const std::vector<TSettingInfo>& TSettings::KnownValues() {
    using K = TSettingsFile::TKind;
    static const std::vector<TSettingInfo> values = {
        {"DoNotify", K::Integer}, {"DoNotifyEmail", K::Integer}, {"DoIncludePosts", K::Integer},
        {"DoIncludePostsSMS", K::Integer}, {"DoNotifySMS", K::Integer}, {"UseAlternativeGSMNetwork", K::Integer},
        {"GSMNetworkID", K::Integer}, {"AlternativeGSMNetwork", K::String}, {"DoShowTips", K::Integer},
        {"MsgBoxNewResults", K::Integer}, {"MinimizeToTray", K::Integer}, {"ShowUnreachableURLErrors", K::Integer},
        {"ShowSearchWizzard", K::Integer}, {"VisibleColumns", K::String}, {"CriteriaPanelWidth", K::Integer},
        {"PreviewPanelHeight", K::Integer}, {"PreviewPanelWidth", K::Integer}, {"ColorSettings", K::String},
        {"ColumnSettings", K::String}, {"ProxySettings", K::String},
        {"CriteriaSplitterBalloonHintShown", K::Integer}, {"AlertsBalloonHintShown", K::Integer},
        {"CriteriaHidden", K::Integer}, {"ResultsAsThumbnails", K::Integer},
        {"EmailAccountsUsageLimit", K::Integer}, {"RequestsPerMinutePerHost", K::Integer},
        {"FoldDuplicates", K::Integer},
        {"CraigslistDomain", K::String}, {"OodleDomain", K::String}, {"EBayClassifiedsDomain", K::String},
        {"CarsComDomain", K::String}, {"AutotraderDomain", K::String}, {"VendorHost", K::String},
        {"UserEMail", K::String}, {"UserPhone", K::String},
        {"NotificationTransport", K::String}, {"NotificationWebhookURL", K::String},
        {"NotificationWebhookFormat", K::String}, {"NotificationEverSent", K::Integer},
        {"NotificationLastError", K::String}, {"QuietHours", K::String}, {"HeartbeatURL", K::String},
        // written directly by the main window and the news check
        {"orientation", K::Integer}, {"gbResultsHeight", K::Integer}, {"gbResultsWidth", K::Integer},
        {"lvResultsColumn3Width", K::Integer}, {"first_run", K::String},
    };
    return values;
}

TSettings::TSettings(std::filesystem::path aSettingsFile, std::filesystem::path aAutostartFile,
                     std::string aExecutablePath)
    : TThreadSafeObject("TSettings"),
      fAutostartFile(std::move(aAutostartFile)),
      fExecutablePath(std::move(aExecutablePath)),
      fSettingsFile(std::move(aSettingsFile)) {
    for (const char* column : kDefaultVisibleColumns) fVisibleColumns[column] = "true";
    LoadSettings();
}

TSettings::~TSettings() {
    try {
        SaveSettings();
    } catch (...) {
        // Nothing can be reported this late; the previous file stays intact.
    }
}

void TSettings::SetReadOnly(bool aValue) { SetLocked(fCriticalSection, fReadOnly, aValue); }

namespace {

// The value of aName when it has aKind; a value of the other kind is named in aWarnings.
std::optional<TSettingsFile::TValue> ValueOfKind(const TSettingsFile& aSettingsFile, const char* aName, TSettingsFile::TKind aKind,
                                             std::vector<std::string>& aWarnings) {
    auto value = aSettingsFile.GetValue(aName);
    if (!value || value->kind == aKind) return value;
    aWarnings.push_back(MalformedSettingWarning(aName, value->AsText()));
    return std::nullopt;
}

void ReadBoolValue(const TSettingsFile& aSettingsFile, const char* aName, bool& aField, std::vector<std::string>& aWarnings) {
    if (auto value = ValueOfKind(aSettingsFile, aName, TSettingsFile::TKind::Integer, aWarnings)) aField = value->integer != 0;
}

void ReadIntValue(const TSettingsFile& aSettingsFile, const char* aName, int& aField, std::vector<std::string>& aWarnings) {
    auto value = ValueOfKind(aSettingsFile, aName, TSettingsFile::TKind::Integer, aWarnings);
    if (!value) return;
    // Cut down to an int, 4294967297 would read as 1.
    if (value->integer < std::numeric_limits<int>::min() || value->integer > std::numeric_limits<int>::max()) {
        aWarnings.push_back(MalformedSettingWarning(aName, value->AsText()));
        return;
    }
    aField = static_cast<int>(value->integer);
}

void ReadStringValue(const TSettingsFile& aSettingsFile, const char* aName, std::string& aField,
                     std::vector<std::string>& aWarnings) {
    if (auto value = ValueOfKind(aSettingsFile, aName, TSettingsFile::TKind::String, aWarnings)) aField = value->text;
}

}  // namespace

#define TRAWLIX_BOOL_FIELDS(X)                                                                          \
    X("DoNotify", fDoNotify) X("DoNotifyEmail", fDoNotifyEmail) X("DoIncludePosts", fDoIncludePostsEMail) \
    X("DoIncludePostsSMS", fDoIncludePostsSMS) X("DoNotifySMS", fDoNotifySMS)                            \
    X("UseAlternativeGSMNetwork", fUseAlternativeGSMNetwork) X("DoShowTips", fDoShowTips)                \
    X("MsgBoxNewResults", fMsgBoxNewResults) X("MinimizeToTray", fMinimizeToTray)                       \
    X("ShowUnreachableURLErrors", fShowUnreachableURLErrors) X("ShowSearchWizzard", fShowSearchWizzard) \
    X("FoldDuplicates", fFoldDuplicates)                                                                \
    X("CriteriaHidden", fCriteriaHidden) X("ResultsAsThumbnails", fResultsAsThumbnails)                \
    X("NotificationEverSent", fNotificationEverSent)
#define TRAWLIX_INT_FIELDS(X)                                                                        \
    X("GSMNetworkID", fGSMNetworkID) X("CriteriaPanelWidth", fCriteriaPanelWidth)                    \
    X("PreviewPanelHeight", fPreviewPanelHeight) X("PreviewPanelWidth", fPreviewPanelWidth)          \
    X("CriteriaSplitterBalloonHintShown", fCriteriaSplitterBalloonHintShown)                         \
    X("AlertsBalloonHintShown", fAlertsBalloonHintShown) X("EmailAccountsUsageLimit", fEmailAccountsUsageLimit) \
    X("RequestsPerMinutePerHost", fRequestsPerMinutePerHost)
#define TRAWLIX_STRING_FIELDS(X)                                                                         \
    X("AlternativeGSMNetwork", fAlternativeGSMNetwork) X("CraigslistDomain", fCraigslistDomain)          \
    X("OodleDomain", fOodleDomain) X("EBayClassifiedsDomain", fEBayClassifiedsDomain)                    \
    X("CarsComDomain", fCarsComDomain) X("AutotraderDomain", fAutotraderDomain) X("VendorHost", fVendorHost)  \
    X("UserEMail", fUserEMail) X("UserPhone", fUserPhone) X("NotificationTransport", fNotificationTransport)  \
    X("NotificationWebhookURL", fNotificationWebhookURL)                                                  \
    X("NotificationWebhookFormat", fNotificationWebhookFormat) X("NotificationLastError", fNotificationLastError)  \
    X("QuietHours", fQuietHours) X("HeartbeatURL", fHeartbeatURL)

void TSettings::ReadFields(const TSettingsFile& aSettingsFile) {
#define READ_BOOL(name, field) ReadBoolValue(aSettingsFile, name, field, fLoadWarnings);
#define READ_INT(name, field) ReadIntValue(aSettingsFile, name, field, fLoadWarnings);
#define READ_STRING(name, field) ReadStringValue(aSettingsFile, name, field, fLoadWarnings);
    TRAWLIX_BOOL_FIELDS(READ_BOOL)
    TRAWLIX_INT_FIELDS(READ_INT)
    TRAWLIX_STRING_FIELDS(READ_STRING)
#undef READ_BOOL
#undef READ_INT
#undef READ_STRING
    if (auto value = aSettingsFile.GetValue("VisibleColumns"); value && value->kind == TSettingsFile::TKind::String) {
        fVisibleColumns.clear();
        for (const auto& [name, text] : TextToNameValueLines(value->text)) fVisibleColumns[name] = text;
    }
}

void TSettings::WriteFields(TSettingsFile& aSettingsFile) const {
#define WRITE_BOOL(name, field) aSettingsFile.WriteBool(name, field);
#define WRITE_INT(name, field) aSettingsFile.WriteInteger(name, field);
#define WRITE_STRING(name, field) aSettingsFile.WriteString(name, field);
    TRAWLIX_BOOL_FIELDS(WRITE_BOOL)
    TRAWLIX_INT_FIELDS(WRITE_INT)
    TRAWLIX_STRING_FIELDS(WRITE_STRING)
#undef WRITE_BOOL
#undef WRITE_INT
#undef WRITE_STRING
    std::vector<std::pair<std::string, std::string>> lines(fVisibleColumns.begin(), fVisibleColumns.end());
    aSettingsFile.WriteString("VisibleColumns", NameValueLinesToText(lines));
}

void TSettings::LoadSettings() {
    TCLock lock(fCriticalSection);
    fLoadWarnings = fSettingsFile.LoadWarnings();
    ReadFields(fSettingsFile);
    fColorSettings.Load(fSettingsFile, &fLoadWarnings);
    fColumnsSettings.Load(fSettingsFile, &fLoadWarnings);
    LoadProxySettings(fProxySettings, fSettingsFile);
    fAutoStart = ReadAutoStartEntry();
}

std::string TSettings::GetLoadError() const {
    TCLock lock(fCriticalSection);
    return fSettingsFile.LoadError();
}

std::vector<std::string> TSettings::GetLoadWarnings() const { return Locked(fCriticalSection, fLoadWarnings); }

void TSettings::RequireWritable() const {
    if (!fSettingsFile.LoadError().empty())
        throw std::runtime_error("The settings are not saved: the settings file could not be read (" +
                                 fSettingsFile.LoadError() + "), and it is left as it is.");
}

void TSettings::SaveSettings() {
    TCLock lock(fCriticalSection);
    if (fReadOnly) return;
    RequireWritable();
    WriteFields(fSettingsFile);
    fColorSettings.Save(fSettingsFile);
    fColumnsSettings.Save(fSettingsFile);
    SaveProxySettings(fProxySettings, fSettingsFile);
    fSettingsFile.Save();
}

TSettingsFile::TValue TSettings::ReadDirect(const std::string& aName, const TSettingsFile::TValue& aDefault) const {
    TCLock lock(fCriticalSection);
    return fSettingsFile.GetValue(aName).value_or(aDefault);
}

void TSettings::WriteDirectInteger(const std::string& aName, std::int64_t aValue) {
    TCLock lock(fCriticalSection);
    fSettingsFile.WriteInteger(aName, aValue);
    if (!fReadOnly && fSettingsFile.LoadError().empty()) fSettingsFile.Save();
}

void TSettings::SetDirectInteger(const std::string& aName, std::int64_t aValue) {
    TCLock lock(fCriticalSection);
    fSettingsFile.WriteInteger(aName, aValue);
}

void TSettings::WriteDirectString(const std::string& aName, const std::string& aValue) {
    TCLock lock(fCriticalSection);
    fSettingsFile.WriteString(aName, aValue);
    if (!fReadOnly && fSettingsFile.LoadError().empty()) fSettingsFile.Save();
}

TSettingsFile TSettings::Snapshot() const {
    TCLock lock(fCriticalSection);
    TSettingsFile copy = fSettingsFile;
    WriteFields(copy);
    fColorSettings.Save(copy);
    fColumnsSettings.Save(copy);
    SaveProxySettings(fProxySettings, copy);
    return copy;
}

void TSettings::Apply(const TSettingsFile& aValues) {
    // A malformed text typed by the user is refused here, before anything changes.
    TColorSettings colors;
    colors.Load(aValues);
    TColumnsSettings columns;
    columns.Load(aValues);
    TCLock lock(fCriticalSection);
    fSettingsFile = aValues;
    LoadSettings();
}

std::map<std::string, std::string> TSettings::GetVisibleColumns() const { return Get(fVisibleColumns); }
void TSettings::SetVisibleColumns(const std::map<std::string, std::string>& aValue) { Set(fVisibleColumns, aValue); }

bool TSettings::ReadAutoStartEntry() const {
    std::ifstream in(fAutostartFile);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Exec=", 0) != 0) continue;
        return LowerCase(line.substr(5)) == LowerCase("\"" + fExecutablePath + "\"");
    }
    return false;
}

bool TSettings::GetAutoStart() const { return Get(fAutoStart); }

void TSettings::SetAutoStart(bool aValue) {
    TCLock lock(fCriticalSection);
    fAutoStart = aValue;
    if (fReadOnly) return;
    if (!aValue) {
        std::error_code ec;
        std::filesystem::remove(fAutostartFile, ec);
        return;
    }
    WriteFileAtomically(fAutostartFile, "[Desktop Entry]\nType=Application\nName=Trawlix\nExec=\"" +
                                            fExecutablePath + "\"\nX-GNOME-Autostart-enabled=true\n");
}

bool TSettings::CanSendSMS() const {
    TCLock lock(fCriticalSection);
    if (!fUseAlternativeGSMNetwork) return fGSMNetworkID >= 0;
    return !fAlternativeGSMNetwork.empty();
}

}  // namespace trawlix
