#include "app/proxy_settings.h"
#include "app/registry.h"

namespace trawlix {

// The proxy settings live in the settings key as one multi-line text value.
void TProxySettings::Load(const TRegistry& aRegistry) {
    auto value = aRegistry.GetValue("ProxySettings");
    if (value && value->kind == TRegistry::TKind::String) FromText(value->text);
}

void TProxySettings::Save(TRegistry& aRegistry) const { aRegistry.WriteString("ProxySettings", ToText()); }

}  // namespace trawlix
