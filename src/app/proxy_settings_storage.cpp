#include "app/proxy_settings_storage.h"

#include "app/settings_file.h"
#include "engine/proxy_settings.h"

namespace trawlix {

// The proxy settings live in the settings file as one multi-line text value.
void LoadProxySettings(TProxySettings& aSettings, const TSettingsFile& aSettingsFile) {
    auto value = aSettingsFile.GetValue("ProxySettings");
    if (value && value->kind == TSettingsFile::TKind::String) aSettings.FromText(value->text);
}

void SaveProxySettings(const TProxySettings& aSettings, TSettingsFile& aSettingsFile) {
    aSettingsFile.WriteString("ProxySettings", aSettings.ToText());
}

}  // namespace trawlix
