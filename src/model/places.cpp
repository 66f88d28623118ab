#include "model/places.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <pugixml.hpp>

#include "model/ref_data_file.h"

namespace trawlix {

namespace {

// Real trees are four levels deep; anything far deeper is a damaged or hostile file,
// and refusing it keeps the recursive reader off the end of the stack.
constexpr int cMaxTreeDepth = 64;

// The id 2369 was retired and merged into 1686; searches saved with it still resolve.
constexpr int cRetiredPlaceID = 2369;
constexpr int cReplacementPlaceID = 1686;

constexpr double cEarthDiameterMiles = 7912;

int ReadRequiredInteger(const pugi::xml_node& aNode, const char* aName, const std::string& aText,
                        const std::string& aFileName) {
    int value = 0;
    const pugi::xml_attribute attribute = aNode.attribute(aName);
    if (!attribute || !TryReadInteger(attribute.value(), value))
        throw ERefDataError(aFileName, "the element \"" + std::string(aNode.name()) + "\" at " +
                                           DescribeXMLPosition(aNode, aText) + " has no numeric \"" + aName + "\"");
    return value;
}

double ReadOptionalDecimal(const pugi::xml_node& aNode, const char* aName, const std::string& aText,
                           const std::string& aFileName) {
    const pugi::xml_attribute attribute = aNode.attribute(aName);
    if (!attribute)
        return 0;
    double value = 0;
    if (!TryReadDecimal(attribute.value(), value))
        throw ERefDataError(aFileName, "the element \"" + std::string(aNode.name()) + "\" at " +
                                           DescribeXMLPosition(aNode, aText) + " has a malformed \"" + aName +
                                           "\": \"" + attribute.value() + "\"");
    return value;
}

TPlace* ReadPlace(const pugi::xml_node& aNode, int aDepth, const std::string& aText, const std::string& aFileName,
                  TOwnedPlaceList& aAll) {
    if (aDepth > cMaxTreeDepth)
        throw ERefDataError(aFileName, "the element at " + DescribeXMLPosition(aNode, aText) + " is nested too deeply");
    aAll.push_back(std::make_unique<TPlace>());
    TPlace* place = aAll.back().get();
    place->ReadFromXMLNode(aNode, aText, aFileName);
    for (const pugi::xml_node child : aNode.children("place"))
        place->AddChild(ReadPlace(child, aDepth + 1, aText, aFileName, aAll));
    return place;
}

double Radians(double aDegrees) { return aDegrees * std::numbers::pi / 180.0; }

}  // namespace

TPlace::TPlace()
    : fSitePlaces{std::make_unique<TCraigSitePlace>(this), std::make_unique<TBackpageSitePlace>(this),
                  std::make_unique<TOodleSitePlace>(this), std::make_unique<TEBaySitePlace>(this),
                  std::make_unique<TCarsComSitePlace>(this)} {}

TCraigSitePlace& TPlace::GetCraigSitePlace() const {
    return static_cast<TCraigSitePlace&>(*fSitePlaces[spCraigslist]);
}
TBackpageSitePlace& TPlace::GetBackpageSitePlace() const {
    return static_cast<TBackpageSitePlace&>(*fSitePlaces[spBackpage]);
}
TOodleSitePlace& TPlace::GetOodleSitePlace() const { return static_cast<TOodleSitePlace&>(*fSitePlaces[spOodle]); }
TEBaySitePlace& TPlace::GetEBaySitePlace() const { return static_cast<TEBaySitePlace&>(*fSitePlaces[spEBay]); }
TCarsComSitePlace& TPlace::GetCarsComSitePlace() const {
    return static_cast<TCarsComSitePlace&>(*fSitePlaces[spCarsCom]);
}

void TPlace::AddChild(TPlace* aChild) {
    aChild->fParent = this;
    fChildren.push_back(aChild);
}

bool TPlace::HasChildWithID(bool aIncludeSelf, int aID) const {
    if (aIncludeSelf && fID == aID)
        return true;
    return std::any_of(fChildren.begin(), fChildren.end(),
                       [aID](const TPlace* aChild) { return aChild->HasChildWithID(true, aID); });
}

std::string TPlace::ToString() const {
    std::string text = fName;
    for (const TPlace* ancestor = fParent; ancestor; ancestor = ancestor->fParent)
        text += " - " + ancestor->fName;
    return text;
}

void TPlace::ReadFromXMLNode(const pugi::xml_node& aNode, const std::string& aText, const std::string& aFileName) {
    fID = ReadRequiredInteger(aNode, "id", aText, aFileName);
    fParentID = ReadRequiredInteger(aNode, "parent_id", aText, aFileName);
    fName = aNode.attribute("name").value();
    fZIPCode = aNode.attribute("zip_code").value();
    fLatitude = ReadOptionalDecimal(aNode, "lat", aText, aFileName);
    fLongitude = ReadOptionalDecimal(aNode, "long", aText, aFileName);
    ReadSitePlaces(aNode);
}

void TPlace::ReadSitePlaces(const pugi::xml_node& aNode) {
    // A missing or unreadable site element ends the mappings quietly: the one at fault
    // and those after it stay empty, and the place itself is still usable.
    for (const auto& sitePlace : fSitePlaces) {
        const pugi::xml_node siteNode = aNode.child(sitePlace->GetSiteNodeName().c_str());
        if (!siteNode)
            return;
        try {
            sitePlace->FromXMLNode(siteNode);
        } catch (const std::exception&) {
            return;
        }
    }
}

TPlaceList ReadPlaceTree(const std::string& aText, const std::string& aFileName, TOwnedPlaceList& aAll) {
    pugi::xml_document document;
    const pugi::xml_node root = ParseRefDataXML(document, aText, aFileName);
    TPlaceList topLevel;
    for (const pugi::xml_node child : root.children()) {
        if (child.type() == pugi::node_element)
            topLevel.push_back(ReadPlace(child, 1, aText, aFileName, aAll));
    }
    return topLevel;
}

TPlaceList OrderCountries(const TPlaceList& aTopLevel) {
    TPlaceList countries;
    auto insertAfterFirstNamed = [&countries](const std::string& aName, TPlace* aPlace) {
        auto found = std::find_if(countries.begin(), countries.end(),
                                  [&aName](const TPlace* aOther) { return aOther->GetName() == aName; });
        countries.insert(found == countries.end() ? countries.begin() : found + 1, aPlace);
    };
    for (TPlace* place : aTopLevel) {
        if (place->GetName() == "united states")
            countries.insert(countries.begin(), place);
        else if (place->GetName() == "canada")
            insertAfterFirstNamed("united states", place);
        else if (place->GetName() == "UK")
            insertAfterFirstNamed("canada", place);
        else
            countries.push_back(place);
    }
    return countries;
}

std::unique_ptr<TPlaces> TPlaces::CreateFromFile(const std::string& aFileName) {
    return std::make_unique<TPlaces>(aFileName);
}

void TPlaces::LoadFromFile(const std::string& aFileName) { LoadFromText(ReadRefDataFile(aFileName), aFileName); }

void TPlaces::LoadFromText(const std::string& aText, const std::string& aFileName) {
    TOwnedPlaceList all;
    const TPlaceList topLevel = ReadPlaceTree(aText, aFileName, all);
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->GetID() < b->GetID(); });
    fAllPlaces = std::move(all);
    fCountries = OrderCountries(topLevel);
}

TPlace* TPlaces::GetPlaceByID(int aID) const {
    const int id = aID == cRetiredPlaceID ? cReplacementPlaceID : aID;
    const auto found = std::lower_bound(fAllPlaces.begin(), fAllPlaces.end(), id,
                                        [](const auto& aPlace, int aValue) { return aPlace->GetID() < aValue; });
    return found != fAllPlaces.end() && (*found)->GetID() == id ? found->get() : nullptr;
}

bool CoordinatesAreNear(double aDistance, double aLat1, double aLon1, double aLat2, double aLon2) {
    if (aDistance == 0 || aLat1 == 0 || aLon1 == 0 || aLat2 == 0 || aLon2 == 0)
        return false;
    const double lat1 = Radians(aLat1);
    const double lat2 = Radians(aLat2);
    const double halfDLat = std::sin(std::abs(lat1 - lat2) / 2);
    const double halfDLon = std::sin(std::abs(Radians(aLon1) - Radians(aLon2)) / 2);
    // Rounding can push a just past 1 for antipodal points; sqrt of a negative is NaN.
    const double a = std::clamp(halfDLat * halfDLat + std::cos(lat1) * std::cos(lat2) * halfDLon * halfDLon, 0.0, 1.0);
    const double miles = cEarthDiameterMiles * std::atan2(std::sqrt(a), std::sqrt(1 - a));
    return miles <= aDistance;
}

bool PlacesAreNear(const TPlace* aPlace1, const TPlace* aPlace2, double aTolerance) {
    if (aPlace1 && aPlace1 == aPlace2)
        return true;
    if (aTolerance == 0 || !aPlace1 || !aPlace2)
        return false;
    return CoordinatesAreNear(aTolerance, aPlace1->GetLatitude(), aPlace1->GetLongitude(), aPlace2->GetLatitude(),
                              aPlace2->GetLongitude());
}

}  // namespace trawlix
