#pragma once

namespace trawlix {

class TProxySettings;
class TSettingsFile;

// The value "ProxySettings" of the settings file; a missing value changes nothing.
void LoadProxySettings(TProxySettings& aSettings, const TSettingsFile& aSettingsFile);
void SaveProxySettings(const TProxySettings& aSettings, TSettingsFile& aSettingsFile);

}  // namespace trawlix
