#pragma once

#include <string>

#include "app/rest_connection.h"

namespace trawlix {

struct TCSUser;

inline constexpr const char* kVersionProperty = "PELVANE_VERSION";
inline constexpr const char* kVersionUrlProperty = "PELVANE_VERSION_URL";

inline constexpr const char* kNewVersionMessage = "A new version of Trawlix is available.";
inline constexpr const char* kUpdateQuestion = "Do you wish to update?";
inline constexpr const char* kLatestVersionMessage = "You are currently using the latest version of Trawlix. ";
inline constexpr const char* kUpdateThanks = "Thank you!";
inline constexpr const char* kUpdateCheckFailedPrefix = "Could not check for updates: ";

// The value the vendor's host keeps under aName, asked for over https only.
std::string GetPropertyValue(TRESTConnection& aConnection, const std::string& aVendorHost, const std::string& aName);

// True when aAnswer is a version (digits with at most one point) above aCurrent, both read as
// decimal numbers.
bool IsNewerVersion(const std::string& aAnswer, const std::string& aCurrent);

struct TUpdateCheck {
    std::string current;  // this program's version
    std::string latest;   // as the vendor's host gave it
    std::string url;      // where the newer version is downloaded (only when newer)
    bool newer = false;
};

// Asks the vendor's host for the latest version and, when it is newer, for its download
// address. Raises with the reason when the host cannot be asked, gives no version (anything
// but digits and a point), or gives an address that is not https or holds control characters
// or spaces.
TUpdateCheck CheckForUpdate(TRESTConnection& aConnection, const std::string& aVendorHost, const std::string& aCurrent);

// The text the update check shows for a result that is not newer.
std::string LatestVersionText();

// Sends the local user's profile to the vendor's host, over https only: the address
// carries the passwords. A non-empty aNewPass becomes the user's password first.
void UpdateUserProfile(TRESTConnection& aConnection, const std::string& aVendorHost, TCSUser& aUser,
                       const std::string& aNewPass);

class TSettings;

// Whether the news of this version is due: the settings name an earlier version that ran
// before ("first_run"). Records aVersion as run in every case; a first start sees no news.
bool TakeNewsTurn(TSettings& aSettings, const std::string& aVersion);

}  // namespace trawlix
