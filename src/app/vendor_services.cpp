#include "app/vendor_services.h"

#include <stdexcept>

#include "app/session.h"
#include "app/settings.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace {

std::string HttpsAddress(const std::string& aVendorHost, const std::string& aPathAndQuery) {
    return "https://" + aVendorHost + "/" + aPathAndQuery;
}

// A version is plain digits with at most one point ("8.53"): an answer that holds anything
// else did not come from the vendor's version service.
bool ReadVersion(std::string aText, double& aValue) {
    aText = Trim(aText);
    if (aText.empty() || aText.front() == '.' || aText.back() == '.') return false;
    int points = 0;
    for (char c : aText) {
        if (c == '.') ++points;
        else if (c < '0' || c > '9') return false;
    }
    return points <= 1 && TryStrToFloatSafe(aText, aValue);
}

bool HasControlOrSpace(const std::string& aText) {
    for (unsigned char c : aText)
        if (c <= 0x20 || c == 0x7f) return true;
    return false;
}

// The address is opened in the user's browser: only a web page fetched over https, written
// as one plain address.
bool IsSafeDownloadAddress(const std::string& aUrl) {
    return LowerCase(aUrl).rfind("https://", 0) == 0 && aUrl.size() > 8 && !HasControlOrSpace(aUrl);
}

}  // namespace

std::string GetPropertyValue(TRESTConnection& aConnection, const std::string& aVendorHost, const std::string& aName) {
    return aConnection.GetRESTResponce(HttpsAddress(aVendorHost, "services/prop.php?action=get_value&name=$1"),
                                       {aName});
}

bool IsNewerVersion(const std::string& aAnswer, const std::string& aCurrent) {
    double latest = 0, current = 0;
    if (Trim(aAnswer) == aCurrent || !ReadVersion(aAnswer, latest) || !ReadVersion(aCurrent, current)) return false;
    return latest > current;
}

TUpdateCheck CheckForUpdate(TRESTConnection& aConnection, const std::string& aVendorHost, const std::string& aCurrent) {
    TUpdateCheck check;
    check.current = aCurrent;
    check.latest = Trim(GetPropertyValue(aConnection, aVendorHost, kVersionProperty));
    double ignored = 0;
    if (!ReadVersion(check.latest, ignored))
        throw std::runtime_error(check.latest.empty() ? "the vendor's host gave no version number"
                                                      : "the vendor's host gave no version number but \"" +
                                                            check.latest.substr(0, 40) + "\"");
    check.newer = IsNewerVersion(check.latest, aCurrent);
    if (!check.newer) return check;
    check.url = Trim(GetPropertyValue(aConnection, aVendorHost, kVersionUrlProperty));
    if (!IsSafeDownloadAddress(check.url))
        throw std::runtime_error("the vendor's host gave no download address for version " + check.latest);
    return check;
}

std::string LatestVersionText() { return std::string(kLatestVersionMessage) + "\n\n" + kUpdateThanks; }

void UpdateUserProfile(TRESTConnection& aConnection, const std::string& aVendorHost, TCSUser& aUser,
                       const std::string& aNewPass) {
    const std::string oldPass = aUser.Pass;
    if (!aNewPass.empty()) aUser.Pass = aNewPass;
    aConnection.GetRESTResponce(
        HttpsAddress(aVendorHost,
                     "services/user.php?action=update&id=$1&old_pass=$2&new_pass=$3&type=$4&real_name=$5&phone=$6"
                     "&email=$7&gsm_network_id=$8"),
        {std::to_string(aUser.ID), oldPass, aUser.Pass, std::to_string(aUser.UsrType), aUser.RealName, aUser.Phone,
         aUser.EMail, std::to_string(aUser.NetworkID)});
}

bool TakeNewsTurn(TSettings& aSettings, const std::string& aVersion) {
    const std::string lastRun = aSettings.ReadDirect("first_run", {}).AsText();
    aSettings.WriteDirectString("first_run", aVersion);
    return !lastRun.empty() && lastRun != aVersion;
}

}  // namespace trawlix
