#include "sites/car_site_search.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <unordered_set>

#include "model/place_selection.h"
#include "model/places.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_run_environment.h"
#include "run/search_thread.h"

namespace trawlix {

namespace {

constexpr const char* kCarsComDefaultHost = "www.cars.com";
constexpr const char* kAutotraderDefaultHost = "www.autotrader.com";

std::string HostOrDefault(const std::string& aSetting, const char* aDefault) {
    return aSetting.empty() ? std::string(aDefault) : aSetting;
}

}  // namespace

bool IsCarCategoryID(int aID) { return aID == 52 || aID == 320 || aID == 321 || aID == 322; }

int RandomBelow(int aLimit) {
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, aLimit - 1)(generator);
}

std::string RoundedText(double aValue) {
    // nearbyint follows the default rounding mode, which rounds halves to even.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", std::nearbyint(aValue));
    return buffer;
}

std::string RangeParams(const std::string& aMinKey, const std::string& aMinValue, bool aHasMin,
                        const std::string& aMaxKey, const std::string& aMaxValue, bool aHasMax) {
    return aMinKey + "=" + (aHasMin ? aMinValue : "") + "&" + aMaxKey + "=" + (aHasMax ? aMaxValue : "");
}

// --- TCarOptions ------------------------------------------------------------------------------

const TProp& TCarOptions::Get(const std::string& aName) const {
    const TProp* prop = fOptions.GetPropByName(aName);
    if (!prop) throw std::runtime_error("The search has no option \"" + aName + "\".");
    return *prop;
}

std::string TCarOptions::Raw(const std::string& aName) const { return Get(aName).GetRawValue(); }

std::string TCarOptions::Text(const std::string& aName) const { return Get(aName).AsString(); }

int TCarOptions::Integer(const std::string& aName) const { return Get(aName).AsInteger(); }

double TCarOptions::Number(const std::string& aName) const { return Get(aName).AsDouble(); }

bool TCarOptions::Yes(const std::string& aName) const { return Get(aName).AsBoolean(); }

std::string TCarOptions::Param(const std::string& aName, const TOptionParams& aTable,
                               const std::string& aOtherwise) const {
    const std::string value = Text(aName);
    for (const auto& [option, param] : aTable)
        if (option == value) return param;
    return aOtherwise;
}

// --- TCarSiteSearch ---------------------------------------------------------------------------

std::vector<std::string> TCarSiteSearch::MakeSearchLinks(TBaseSearchThread& aThread) {
    TSearch& search = *GetParentSearch();
    int pages = 1;
    {
        TCLock lock(search.GetCriticalSection());
        pages = search.GetCalledFromUser() ? search.GetPagesCount() : 1;
    }
    std::vector<std::string> links;
    std::unordered_set<std::string> made(256);
    ForEachPlaceAndCategory(aThread, pages, [&](const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                                int aCategoryIndex, int aPage) {
        if (!IsCarCategoryID(aCategory.GetID())) return;
        for (const std::string& link : MakePlaceLinks(aPlace, aPage)) {
            if (link.empty() || !made.insert(link).second) continue;
            links.push_back(link + " " + std::to_string(aPlaceIndex) + " " + std::to_string(aCategoryIndex));
        }
    });
    return links;
}

std::string CarsComHost() { return HostOrDefault(GetSearchRunEnvironment()->carsComHost(), kCarsComDefaultHost); }

std::string AutotraderHost() {
    return HostOrDefault(GetSearchRunEnvironment()->autotraderHost(), kAutotraderDefaultHost);
}

}  // namespace trawlix
