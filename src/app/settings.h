#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "engine/critical_section.h"
#include "engine/proxy_settings.h"

namespace trawlix {

using TColor = std::uint32_t;  // 0x00BBGGRR

// The platform's colour text: a standard colour name when there is one, else "$" and eight
// hexadecimal digits. The reverse also takes decimal numbers; anything else raises.
std::string ColorToString(TColor aColor);
TColor StringToColor(const std::string& aText);
constexpr TColor RGBColor(int aRed, int aGreen, int aBlue) {
    return static_cast<TColor>(aRed) | static_cast<TColor>(aGreen) << 8 | static_cast<TColor>(aBlue) << 16;
}

class TColorSettings : public TThreadSafeObject {
public:
    TColorSettings();
    void RestoreDefaults();
    TColor GetVisitedBackgroundColor() const;
    void SetVisitedBackgroundColor(TColor aValue);
    TColor GetNewBackgroundColor() const;
    void SetNewBackgroundColor(TColor aValue);
    TColor GetHighlightedFontColor() const;
    void SetHighlightedFontColor(TColor aValue);

    std::string ToText() const;
    void FromText(const std::string& aText);  // raises on a malformed colour
    // A malformed colour keeps its current value and is named in aWarnings.
    void Load(const TSettingsFile& aSettingsFile, std::vector<std::string>* aWarnings = nullptr);
    void Save(TSettingsFile& aSettingsFile) const;

private:
    TColor fVisitedBackgroundColor = 0;
    TColor fNewBackgroundColor = 0;
    TColor fHighlightedFontColor = 0;
};

class TColumnsSettings : public TThreadSafeObject {
public:
    TColumnsSettings() : TThreadSafeObject("TColumnsSettings") {}
    int GetColumnWidth(const std::string& aListViewName, int aColumnIndex) const;  // -1 when unknown
    void SetColumnWidth(const std::string& aListViewName, int aColumnIndex, int aWidth);

    std::string ToText() const;
    // Raises on malformed numbers; with aWarnings it skips them instead and names them there.
    void FromText(const std::string& aText, std::vector<std::string>* aWarnings = nullptr);
    void Load(const TSettingsFile& aSettingsFile, std::vector<std::string>* aWarnings = nullptr);
    void Save(TSettingsFile& aSettingsFile) const;

private:
    struct TColumnContainer {
        std::string fName;
        std::map<int, int> fColumnWidths;
        int fMaxColumnIndex = -1;
    };
    TColumnContainer& Container(const std::string& aName);
    std::vector<TColumnContainer> fContainers;
};

// Kinds and names of every value the settings file may hold, for tools that list or edit it.
struct TSettingInfo {
    std::string name;
    TSettingsFile::TKind kind;
};

// The user's preferences. Loaded when created, written on SaveSettings and when destroyed.
class TSettings : public TThreadSafeObject {
public:
    // aSettingsFile: the settings file; aAutostartFile: the start-with-the-system entry;
    // aExecutablePath: the program that entry starts.
    TSettings(std::filesystem::path aSettingsFile, std::filesystem::path aAutostartFile,
              std::string aExecutablePath);
    ~TSettings() override;

    void LoadSettings();
    // Raises when the file cannot be written (a full disk), and when it could not be read at
    // start: a file that was not read is never written over (it keeps what the defaults in
    // memory would lose, a proxy with its credentials for one).
    void SaveSettings();
    // Why the settings file could not be read at start; empty when it was read (or is new).
    std::string GetLoadError() const;
    // Values of the file that could not be used and took their defaults, one text each.
    std::vector<std::string> GetLoadWarnings() const;
    // No writes at all (another instance owns the settings); Destroy then saves nothing.
    void SetReadOnly(bool aValue);

    static const std::vector<TSettingInfo>& KnownValues();
    // Values outside the fields ("orientation", results area sizes, "first_run").
    TSettingsFile::TValue ReadDirect(const std::string& aName, const TSettingsFile::TValue& aDefault) const;
    void WriteDirectInteger(const std::string& aName, std::int64_t aValue);
    // Kept in memory only; the next SaveSettings writes it with everything else.
    void SetDirectInteger(const std::string& aName, std::int64_t aValue);
    void WriteDirectString(const std::string& aName, const std::string& aValue);
    TSettingsFile Snapshot() const;  // the file's values as they stand, fields included
    // Takes every value of the given file, as if it had been loaded; raises on a malformed
    // colour or column text and then changes nothing.
    void Apply(const TSettingsFile& aValues);

#define TRAWLIX_SETTING(Type, Name)                   \
    Type Get##Name() const { return Get(f##Name); } \
    void Set##Name(const Type& aValue) { Set(f##Name, aValue); }
    TRAWLIX_SETTING(bool, DoNotify)
    TRAWLIX_SETTING(bool, DoNotifyEmail)
    TRAWLIX_SETTING(bool, DoIncludePostsEMail)
    TRAWLIX_SETTING(bool, DoIncludePostsSMS)
    TRAWLIX_SETTING(bool, DoNotifySMS)
    TRAWLIX_SETTING(bool, UseAlternativeGSMNetwork)
    TRAWLIX_SETTING(int, GSMNetworkID)
    TRAWLIX_SETTING(std::string, AlternativeGSMNetwork)
    TRAWLIX_SETTING(bool, DoShowTips)
    TRAWLIX_SETTING(bool, MsgBoxNewResults)
    TRAWLIX_SETTING(bool, MinimizeToTray)
    TRAWLIX_SETTING(bool, ShowUnreachableURLErrors)
    TRAWLIX_SETTING(bool, ShowSearchWizzard)
    // The same ad found in several places or sites shows as one result; the session hands it
    // to the results (SetFoldDuplicates), a change reaches them through TSession.
    TRAWLIX_SETTING(bool, FoldDuplicates)
    TRAWLIX_SETTING(int, CriteriaPanelWidth)
    TRAWLIX_SETTING(int, PreviewPanelHeight)
    TRAWLIX_SETTING(int, PreviewPanelWidth)
    TRAWLIX_SETTING(int, CriteriaSplitterBalloonHintShown)
    TRAWLIX_SETTING(int, AlertsBalloonHintShown)
    TRAWLIX_SETTING(bool, CriteriaHidden)
    TRAWLIX_SETTING(bool, ResultsAsThumbnails)
    TRAWLIX_SETTING(int, EmailAccountsUsageLimit)
    // The most page requests a watcher sends one host in a minute.
    TRAWLIX_SETTING(int, RequestsPerMinutePerHost)
    TRAWLIX_SETTING(std::string, CraigslistDomain)
    TRAWLIX_SETTING(std::string, OodleDomain)
    TRAWLIX_SETTING(std::string, EBayClassifiedsDomain)
    TRAWLIX_SETTING(std::string, CarsComDomain)
    TRAWLIX_SETTING(std::string, AutotraderDomain)
    TRAWLIX_SETTING(std::string, VendorHost)
    // The user's own e-mail address and phone number (only its digits are used).
    TRAWLIX_SETTING(std::string, UserEMail)
    TRAWLIX_SETTING(std::string, UserPhone)
    // How digests and test messages leave: "vendor", "smtp:<account id>" or "webhook".
    TRAWLIX_SETTING(std::string, NotificationTransport)
    TRAWLIX_SETTING(std::string, NotificationWebhookURL)
    // "ntfy", "discord", "slack" or "json".
    TRAWLIX_SETTING(std::string, NotificationWebhookFormat)
    // Some notification went out through the transport at some time.
    TRAWLIX_SETTING(bool, NotificationEverSent)
    // Why the last notification failed; empty when it went out (or none was sent yet).
    TRAWLIX_SETTING(std::string, NotificationLastError)
    // "HH:MM-HH:MM": digests due in these hours wait until they end; empty for none.
    TRAWLIX_SETTING(std::string, QuietHours)
    // An address the watcher fetches (GET) after each completed tick, so that an outside
    // dead-man's-switch service notices when it stops; empty for none.
    TRAWLIX_SETTING(std::string, HeartbeatURL)
#undef TRAWLIX_SETTING

    // Which result columns are shown: name=value lines ("cbCaption=true", ...).
    std::map<std::string, std::string> GetVisibleColumns() const;
    void SetVisibleColumns(const std::map<std::string, std::string>& aValue);

    bool GetAutoStart() const;
    void SetAutoStart(bool aValue);  // updates the start-with-the-system entry at once

    bool CanSendSMS() const;

    TColorSettings& GetColorSettings() { return fColorSettings; }
    TColumnsSettings& GetColumnsSettings() { return fColumnsSettings; }
    TProxySettings& GetProxySettings() { return fProxySettings; }

private:
    template <class T>
    T Get(const T& aField) const {
        TCLock lock(fCriticalSection);
        return aField;
    }
    template <class T>
    void Set(T& aField, const T& aValue) {
        TCLock lock(fCriticalSection);
        aField = aValue;
    }
    void ReadFields(const TSettingsFile& aSettingsFile);
    void RequireWritable() const;
    void WriteFields(TSettingsFile& aSettingsFile) const;
    bool ReadAutoStartEntry() const;

    std::filesystem::path fAutostartFile;
    std::string fExecutablePath;
    TSettingsFile fSettingsFile;
    bool fReadOnly = false;
    std::vector<std::string> fLoadWarnings;

    bool fDoNotify = false;
    bool fDoNotifyEmail = false;
    bool fDoIncludePostsEMail = false;
    bool fDoIncludePostsSMS = false;
    bool fDoNotifySMS = false;
    bool fUseAlternativeGSMNetwork = false;
    int fGSMNetworkID = -1;
    std::string fAlternativeGSMNetwork;
    bool fDoShowTips = false;
    bool fAutoStart = false;
    bool fMsgBoxNewResults = true;
    bool fMinimizeToTray = false;
    bool fShowUnreachableURLErrors = false;
    bool fShowSearchWizzard = true;
    bool fFoldDuplicates = true;
    std::map<std::string, std::string> fVisibleColumns;
    int fCriteriaPanelWidth = 0;
    int fPreviewPanelHeight = 0;
    int fPreviewPanelWidth = 0;
    TColorSettings fColorSettings;
    TColumnsSettings fColumnsSettings;
    TProxySettings fProxySettings;
    int fCriteriaSplitterBalloonHintShown = 0;
    int fAlertsBalloonHintShown = 0;
    bool fCriteriaHidden = false;
    bool fResultsAsThumbnails = false;
    int fEmailAccountsUsageLimit = 0;
    int fRequestsPerMinutePerHost = 6;
    std::string fCraigslistDomain = "craigslist.org";
    std::string fOodleDomain = "oodle.com";
    std::string fEBayClassifiedsDomain = "ebayclassifieds.com";
    std::string fCarsComDomain = "www.cars.com";
    std::string fAutotraderDomain = "www.autotrader.com";
    std::string fVendorHost = "www.velmorasolutions.com";
    std::string fUserEMail;
    std::string fUserPhone;
    std::string fNotificationTransport = "vendor";
    std::string fNotificationWebhookURL;
    std::string fNotificationWebhookFormat = "ntfy";
    bool fNotificationEverSent = false;
    std::string fNotificationLastError;
    std::string fQuietHours;
    std::string fHeartbeatURL;
};

// Name=value lines as the program stores them: each line ended by CR LF.
std::string NameValueLinesToText(const std::vector<std::pair<std::string, std::string>>& aLines);
// Splits text at CR, LF or CR LF into name=value pairs (split at the first "=").
std::vector<std::pair<std::string, std::string>> TextToNameValueLines(const std::string& aText);

}  // namespace trawlix
