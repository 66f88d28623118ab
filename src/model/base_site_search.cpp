#include "model/base_site_search.h"

#include <mutex>

#include <pugixml.hpp>

#include "model/objects_storage.h"

namespace trawlix {

TBaseSiteSearch::TBaseSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch)
    : fSite(aSite), fParentSearch(aParentSearch) {}

bool TBaseSiteSearch::GetDoSearch() const { return Locked(fCriticalSection, fDoSearch); }

void TBaseSiteSearch::SetDoSearch(bool aValue) { SetLocked(fCriticalSection, fDoSearch, aValue); }

void TBaseSiteSearch::SaveToDB(TObjectsStorage& aStorage, int aParentID) const {
    const int id = aStorage.AddObject("site_search", aParentID, "", true);
    if (id <= 0) return;
    aStorage.SetObjectProp(id, "site", static_cast<int>(fSite));
    aStorage.SetObjectProp(id, "do_search", GetDoSearch());
    const TSiteHealth health = GetHealth();
    aStorage.SetObjectProp(id, "had_ads", health.hadAds);
    aStorage.SetObjectProp(id, "problem", health.problem);
    aStorage.SetObjectProp(id, "blocked", health.blocked);
    aStorage.SetObjectProp(id, "backoff_minutes", health.backoffMinutes);
    aStorage.SetObjectProp(id, "backoff_until", health.backoffUntil);
    aStorage.SetObjectProp(id, "told_bad", health.toldBad);
}

void TBaseSiteSearch::LoadFromDB(TObjectsStorage& aStorage, int aObjectID) {
    SetDoSearch(aStorage.GetObjectPropBool(aObjectID, "do_search"));
    TSiteHealth health;
    health.hadAds = aStorage.GetObjectPropBool(aObjectID, "had_ads");
    health.problem = aStorage.GetObjectPropText(aObjectID, "problem");
    health.blocked = aStorage.GetObjectPropBool(aObjectID, "blocked");
    health.backoffMinutes = aStorage.GetObjectPropInt(aObjectID, "backoff_minutes", 0);
    health.backoffUntil = aStorage.GetObjectPropFloat(aObjectID, "backoff_until");
    health.toldBad = aStorage.GetObjectPropBool(aObjectID, "told_bad");
    SetHealth(health);
}

TSiteHealth TBaseSiteSearch::GetHealth() const { return Locked(fCriticalSection, fHealth); }

void TBaseSiteSearch::SetHealth(const TSiteHealth& aValue) { SetLocked(fCriticalSection, fHealth, aValue); }

void TBaseSiteSearch::LoadFromXMLNode(const pugi::xml_node& aNode) {
    SetDoSearch(StorageTextToBool(aNode.attribute("do_search").as_string()));
}

namespace {

std::mutex gFactoryMutex;
TSiteSearchFactory gFactory;

}  // namespace

void SetSiteSearchFactory(TSiteSearchFactory aFactory) {
    std::lock_guard lock(gFactoryMutex);
    gFactory = std::move(aFactory);
}

std::unique_ptr<TBaseSiteSearch> MakeSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch) {
    TSiteSearchFactory factory;
    {
        std::lock_guard lock(gFactoryMutex);
        factory = gFactory;
    }
    if (factory) return factory(aSite, aParentSearch);
    return std::make_unique<TBaseSiteSearch>(aSite, aParentSearch);
}

bool SiteFromNumber(long long aNumber, TSiteSearchEnum& aSite) {
    if (aNumber < 0 || aNumber >= cSiteSearchCount) return false;
    aSite = static_cast<TSiteSearchEnum>(aNumber);
    return true;
}

}  // namespace trawlix
