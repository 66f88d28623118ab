#pragma once

#include <array>
#include <string>

namespace trawlix {

// The supported ad sites. Stored as the integer, so the values never change.
enum TSiteSearchEnum { ssCraigslist = 0, ssBackpage, ssOodle, ssEBay, ssCarsCom, ssAutotrader };

inline constexpr int cSiteSearchCount = 6;

// Display names, indexed by TSiteSearchEnum.
inline const std::array<std::string, cSiteSearchCount> cSiteSearchStr = {
    "Craigslist", "Backpage", "Oodle", "EBayClassifieds", "Cars.com", "Autotrader.com"};

}  // namespace trawlix
