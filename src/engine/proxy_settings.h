#pragma once

#include <string>

#include "engine/critical_section.h"

namespace trawlix {

// Why a typed proxy host, user or password cannot be stored ("The proxy host must not contain
// a line break."), or empty when it can: the stored text is one value per line, so a line
// break would lose the rest of the value on the next start.
std::string ProxyTextProblem(const std::string& aWhat, const std::string& aValue);

// The proxy configuration shared by every HTTP client. Clients read it at every
// request, so a change takes effect on the next request.
class TProxySettings : public TThreadSafeObject {
public:
    TProxySettings() : TThreadSafeObject("TProxySettings") {}

    bool GetEnabled() const;
    void SetEnabled(bool aValue);
    std::string GetHost() const;
    void SetHost(const std::string& aValue);
    int GetPort() const;
    void SetPort(int aValue);
    std::string GetUsername() const;
    void SetUsername(const std::string& aValue);
    std::string GetPassword() const;
    void SetPassword(const std::string& aValue);
    bool GetIsSOCKS() const;
    void SetIsSOCKS(bool aValue);
    std::string GetSOCKSVersion() const;  // "v4", "v5", or anything read from the stored text
    void SetSOCKSVersion(const std::string& aValue);

    // The stored text: seven name=value lines, each ended by CR LF.
    std::string ToText() const;
    // Reads the stored text; a line that is missing leaves its value empty.
    void FromText(const std::string& aText);

private:
    bool fEnabled = false;
    std::string fHost;
    int fPort = 0;
    std::string fUsername;
    std::string fPassword;
    bool fIsSOCKS = false;
    std::string fSOCKSVersion = "v4";
};

}  // namespace trawlix
