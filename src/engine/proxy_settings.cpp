#include "engine/proxy_settings.h"
#include "engine/text_functions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace trawlix {

namespace {

const char* BoolText(bool aValue) { return aValue ? "True" : "False"; }

// Only a whole decimal integer counts; anything else is "no number".
bool ParseInt(const std::string& aText, int& aValue) {
    const char* first = aText.data();
    const char* last = first + aText.size();
    if (first != last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, aValue);
    return error == std::errc() && end == last && first != last;
}

// "True"/"False" in any case, or an integer (0 is false); any other text is false.
bool ParseBool(const std::string& aText) {
    std::string lower = LowerCase(aText);
    if (lower == "true") return true;
    int number = 0;
    return ParseInt(aText, number) && number != 0;
}

// Name lookup ignores case and the first line of a name wins, like a list of name=value lines.
std::map<std::string, std::string> SplitLines(const std::string& aText) {
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < aText.size()) {
        size_t end = aText.find_first_of("\r\n", start);
        if (end == std::string::npos) end = aText.size();
        std::string line = aText.substr(start, end - start);
        size_t equals = line.find('=');
        if (equals != std::string::npos) values.emplace(LowerCase(line.substr(0, equals)), line.substr(equals + 1));
        start = end + 1;
    }
    return values;
}

std::string ValueOf(const std::map<std::string, std::string>& aValues, const std::string& aName) {
    auto it = aValues.find(aName);
    return it == aValues.end() ? std::string() : it->second;
}

}  // namespace

std::string ProxyTextProblem(const std::string& aWhat, const std::string& aValue) {
    if (aValue.find_first_of("\r\n") == std::string::npos) return {};
    return "The proxy " + aWhat + " must not contain a line break.";
}

bool TProxySettings::GetEnabled() const { return Locked(fCriticalSection, fEnabled); }

void TProxySettings::SetEnabled(bool aValue) { SetLocked(fCriticalSection, fEnabled, aValue); }

std::string TProxySettings::GetHost() const { return Locked(fCriticalSection, fHost); }

void TProxySettings::SetHost(const std::string& aValue) { SetLocked(fCriticalSection, fHost, aValue); }

int TProxySettings::GetPort() const { return Locked(fCriticalSection, fPort); }

void TProxySettings::SetPort(int aValue) { SetLocked(fCriticalSection, fPort, aValue); }

std::string TProxySettings::GetUsername() const { return Locked(fCriticalSection, fUsername); }

void TProxySettings::SetUsername(const std::string& aValue) { SetLocked(fCriticalSection, fUsername, aValue); }

std::string TProxySettings::GetPassword() const { return Locked(fCriticalSection, fPassword); }

void TProxySettings::SetPassword(const std::string& aValue) { SetLocked(fCriticalSection, fPassword, aValue); }

bool TProxySettings::GetIsSOCKS() const { return Locked(fCriticalSection, fIsSOCKS); }

void TProxySettings::SetIsSOCKS(bool aValue) { SetLocked(fCriticalSection, fIsSOCKS, aValue); }

std::string TProxySettings::GetSOCKSVersion() const { return Locked(fCriticalSection, fSOCKSVersion); }

void TProxySettings::SetSOCKSVersion(const std::string& aValue) { SetLocked(fCriticalSection, fSOCKSVersion, aValue); }

std::string TProxySettings::ToText() const {
    TCLock lock(fCriticalSection);
    std::string text;
    text += "enabled=" + std::string(BoolText(fEnabled)) + "\r\n";
    text += "host=" + fHost + "\r\n";
    text += "port=" + std::to_string(fPort) + "\r\n";
    text += "username=" + fUsername + "\r\n";
    text += "password=" + fPassword + "\r\n";
    text += "socks=" + std::string(BoolText(fIsSOCKS)) + "\r\n";
    text += "socks_version=" + fSOCKSVersion + "\r\n";
    return text;
}

void TProxySettings::FromText(const std::string& aText) {
    auto values = SplitLines(aText);
    TCLock lock(fCriticalSection);
    fEnabled = ParseBool(ValueOf(values, "enabled"));
    fHost = ValueOf(values, "host");
    if (!ParseInt(ValueOf(values, "port"), fPort)) fPort = 0;
    fUsername = ValueOf(values, "username");
    fPassword = ValueOf(values, "password");
    fIsSOCKS = ParseBool(ValueOf(values, "socks"));
    fSOCKSVersion = ValueOf(values, "socks_version");
}

}  // namespace trawlix
