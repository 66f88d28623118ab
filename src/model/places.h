#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/site_places.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

// One node of the location tree or of the category tree. The tree that loaded it owns
// it; pointers to nodes stay valid for the tree's lifetime.
class TPlace {
public:
    TPlace();
    TPlace(const TPlace&) = delete;
    TPlace& operator=(const TPlace&) = delete;

    int GetID() const { return fID; }
    void SetID(int aID) { fID = aID; }
    // The parent id as the file gives it; the tree itself comes from the nesting.
    int GetParentID() const { return fParentID; }
    void SetParentID(int aParentID) { fParentID = aParentID; }
    const std::string& GetName() const { return fName; }
    void SetName(const std::string& aName) { fName = aName; }
    const std::string& GetZIPCode() const { return fZIPCode; }
    void SetZIPCode(const std::string& aZIPCode) { fZIPCode = aZIPCode; }
    // Degrees; 0 means unknown.
    double GetLatitude() const { return fLatitude; }
    void SetLatitude(double aLatitude) { fLatitude = aLatitude; }
    double GetLongitude() const { return fLongitude; }
    void SetLongitude(double aLongitude) { fLongitude = aLongitude; }

    // Always five, in TSitePlaceIndex order.
    const std::array<std::unique_ptr<TBaseSitePlace>, spCount>& GetSitePlaces() const { return fSitePlaces; }
    TCraigSitePlace& GetCraigSitePlace() const;
    TBackpageSitePlace& GetBackpageSitePlace() const;
    TOodleSitePlace& GetOodleSitePlace() const;
    TEBaySitePlace& GetEBaySitePlace() const;
    TCarsComSitePlace& GetCarsComSitePlace() const;

    TPlace* GetParent() const { return fParent; }
    const std::vector<TPlace*>& GetChildren() const { return fChildren; }
    // Links aChild below this node (the caller's tree keeps owning it).
    void AddChild(TPlace* aChild);

    // True when this node (with aIncludeSelf) or any node below it has the id.
    bool HasChildWithID(bool aIncludeSelf, int aID) const;
    // "city - state - country": the name, then each ancestor's.
    std::string ToString() const;

    // Reads id, parent id, name, ZIP code, coordinates and the site mappings of one
    // place element (not its children). Raises ERefDataError on a missing or
    // malformed id, parent id or coordinate.
    void ReadFromXMLNode(const pugi::xml_node& aNode, const std::string& aText, const std::string& aFileName);

private:
    void ReadSitePlaces(const pugi::xml_node& aNode);

    int fID = 0;
    int fParentID = 0;
    std::string fName;
    std::string fZIPCode;
    double fLatitude = 0;
    double fLongitude = 0;
    std::array<std::unique_ptr<TBaseSitePlace>, spCount> fSitePlaces;
    TPlace* fParent = nullptr;
    std::vector<TPlace*> fChildren;
};

using TPlaceList = std::vector<TPlace*>;
using TOwnedPlaceList = std::vector<std::unique_ptr<TPlace>>;

// Reads every element below the root of a tree file (Places.cur, Categories.cur),
// recursively, into aAll (pre-order: a node before its children); answers the top-level
// nodes in file order.
TPlaceList ReadPlaceTree(const std::string& aText, const std::string& aFileName, TOwnedPlaceList& aAll);

// The location tree (Places.cur).
class TPlaces {
public:
    TPlaces() = default;
    explicit TPlaces(const std::string& aFileName) { LoadFromFile(aFileName); }
    TPlaces(const TPlaces&) = delete;
    TPlaces& operator=(const TPlaces&) = delete;

    static std::unique_ptr<TPlaces> CreateFromFile(const std::string& aFileName);

    // Replaces the tree; raises ERefDataError naming the file on a bad file.
    void LoadFromFile(const std::string& aFileName);
    // The same from a document in memory; aFileName only names it in errors.
    void LoadFromText(const std::string& aText, const std::string& aFileName);

    // Every node, sorted by id.
    const TOwnedPlaceList& GetAllPlaces() const { return fAllPlaces; }
    // Top-level nodes: "united states", "canada", "UK", then the others in file order.
    const TPlaceList& GetCountries() const { return fCountries; }
    int Count() const { return static_cast<int>(fAllPlaces.size()); }

    // Binary search by id; 2369 is an old id of 1686 and finds it. Null when absent.
    TPlace* GetPlaceByID(int aID) const;

private:
    TOwnedPlaceList fAllPlaces;
    TPlaceList fCountries;
};

// Puts the top-level nodes in display order (see GetCountries).
TPlaceList OrderCountries(const TPlaceList& aTopLevel);

// Haversine distance on a sphere of 7912 miles diameter is at most aDistance miles.
// A coordinate of exactly 0 means unknown and is never near.
bool CoordinatesAreNear(double aDistance, double aLat1, double aLon1, double aLat2, double aLon2);
// The same node, or nodes within aTolerance miles (never near with a tolerance of 0).
bool PlacesAreNear(const TPlace* aPlace1, const TPlace* aPlace2, double aTolerance);

}  // namespace trawlix
