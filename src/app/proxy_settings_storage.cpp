#include "app/proxy_settings_storage.h"

#include "app/registry.h"
#include "engine/proxy_settings.h"

namespace trawlix {

// The proxy settings live in the settings file as one multi-line text value.
void LoadProxySettings(TProxySettings& aSettings, const TRegistry& aRegistry) {
    auto value = aRegistry.GetValue("ProxySettings");
    if (value && value->kind == TRegistry::TKind::String) aSettings.FromText(value->text);
}

void SaveProxySettings(const TProxySettings& aSettings, TRegistry& aRegistry) {
    aRegistry.WriteString("ProxySettings", aSettings.ToText());
}

}  // namespace trawlix
