#pragma once

namespace trawlix {

class TProxySettings;
class TRegistry;

// The value "ProxySettings" of the settings file; a missing value changes nothing.
void LoadProxySettings(TProxySettings& aSettings, const TRegistry& aRegistry);
void SaveProxySettings(const TProxySettings& aSettings, TRegistry& aRegistry);

}  // namespace trawlix
