#include "model/searches.h"

#include <algorithm>

#include <pugixml.hpp>

#include "model/legacy_searches_file.h"
#include "model/objects_storage.h"

namespace trawlix {

TSearches::TSearches(std::filesystem::path aDataFolder, TObjectsStorage& aStorage, TSearchLookups aLookups)
    : fDataFolder(std::move(aDataFolder)), fStorage(aStorage), fLookups(aLookups),
      XML(LoadOlderSearchesText(fDataFolder)) {}

TSearches::~TSearches() {
    WriteOlderSearchesText(fDataFolder, XML);
    FAllSearches.clear();
}

void TSearches::LoadSearches() {
    TCLock lock(fListLock);
    FAllSearches.clear();
    fUnreadable.clear();
    if (fStorage.GetObjectsCount() == 0)
        LoadFromOlderFile();
    else
        LoadFromStorage();
    std::erase_if(FAllSearches, [](const auto& aSearch) { return aSearch->GetUserID() != cLocalUserID; });
    std::stable_sort(FAllSearches.begin(), FAllSearches.end(),
                     [](const auto& aLeft, const auto& aRight) { return aLeft->GetOrder() < aRight->GetOrder(); });
}

void TSearches::LoadFromOlderFile() {
    pugi::xml_document document;
    ParseOlderSearchesText(XML, document);
    for (const auto& node : document.document_element().children()) {
        if (node.type() != pugi::node_element) continue;
        auto search = TSearch::CreateFromXMLNode(node, fLookups);
        // Not stored yet: the first save creates its object.
        search->SetID(-1);
        FAllSearches.push_back(std::move(search));
    }
    XML = SerializeOlderSearches(document);
}

void TSearches::LoadFromStorage() {
    for (const auto& object : fStorage.GetObjects("search", -1)) {
        try {
            FAllSearches.push_back(TSearch::CreateFromDB(fStorage, object->GetID(), fLookups));
        } catch (const std::exception& e) {
            // A search the storage cannot give back is left out; the others still load, and
            // its rows are spared by later saves.
            fUnreadable.push_back({object->GetID(), StoredNameOf(object->GetID()), e.what()});
        }
    }
}

std::string TSearches::StoredNameOf(int aSearchID) {
    try {
        const std::string name = fStorage.GetObjectPropText(aSearchID, "name");
        if (!name.empty()) return name;
    } catch (const std::exception&) {
    }
    return "#" + std::to_string(aSearchID);
}

bool TSearches::SaveMySearches(const TProcessMessages& aProcessMessages) {
    TCLock saveLock(fSaveLock);
    // A session that changed nothing writes nothing.
    if (!AnyModified()) {
        SetLastSaveError({});
        return true;
    }
    std::vector<std::pair<TSearch*, int>> written;
    try {
        TStorageTransaction transaction(fStorage);
        // Results of searches deleted without their rows (older versions left them) go.
        fStorage.SQLLiteDB().ExecSQL(
            "delete from entries where search_id not in (select id from objects where type = 'search')");
        for (const auto& search : FAllSearches) {
            if (aProcessMessages) aProcessMessages();
            if (!search->GetModified()) continue;
            written.emplace_back(search.get(), search->WriteToDB(fStorage, aProcessMessages));
        }
        transaction.Commit();
    } catch (const std::exception& e) {
        // The rollback took back the rows these searches wrote.
        for (const auto& [search, changeCount] : written) search->ForgetStoredResultRows();
        SetLastSaveError(e.what());
        return false;
    }
    for (const auto& [search, changeCount] : written) search->MarkSaved(changeCount);
    SetLastSaveError({});
    if (!written.empty()) CompactWhenWasteful();
    return true;
}

void TSearches::CompactWhenWasteful() {
    try {
        if (!fStorage.CompactWhenWasteful()) return;
    } catch (const std::exception&) {
        // Compacting is housekeeping: the searches are stored, and a failed VACUUM
        // changed nothing.
        return;
    }
    TCLock lock(fListLock);
    for (const auto& search : FAllSearches) search->ForgetStoredResultRows();
}

std::string TSearches::GetLastSaveError() const { return Locked(fListLock, fLastSaveError); }

void TSearches::SetLastSaveError(const std::string& aError) { SetLocked(fListLock, fLastSaveError, aError); }

void TSearches::SaveSearch(TSearch& aSearch) {
    TCLock saveLock(fSaveLock);
    aSearch.SaveToDB(fStorage);
}

std::unique_ptr<TSearch> TSearches::CloneSearch(TSearch& aSearch) {
    TCLock saveLock(fSaveLock);
    return aSearch.Clone(fStorage, fLookups);
}

std::vector<TSearch*> TSearches::ModifiedSearches() const {
    TCLock lock(fListLock);
    std::vector<TSearch*> modified;
    for (const auto& search : FAllSearches)
        if (search->GetModified()) modified.push_back(search.get());
    return modified;
}

bool TSearches::Listed(const TSearch* aSearch) const {
    TCLock lock(fListLock);
    return std::any_of(FAllSearches.begin(), FAllSearches.end(),
                       [&](const auto& aItem) { return aItem.get() == aSearch; });
}

int TSearches::SaveChangedSearches() {
    int saved = 0;
    for (TSearch* search : ModifiedSearches()) {
        TCLock saveLock(fSaveLock);
        // Deleting a search takes it off the list before it waits for this lock, so a
        // search still listed here is alive until the save ends.
        if (!Listed(search)) continue;
        search->SaveToDB(fStorage);
        ++saved;
    }
    return saved;
}

void TSearches::RunUnderSaveLock(const std::function<void()>& aWork) {
    TCLock saveLock(fSaveLock);
    aWork();
}

bool TSearches::AnyModified() const { return !ModifiedSearches().empty(); }

std::unique_ptr<TSearch> TSearches::DeleteSearch(TSearch* aSearch) {
    std::unique_ptr<TSearch> owned;
    {
        TCLock lock(fListLock);
        auto it = std::find_if(FAllSearches.begin(), FAllSearches.end(),
                               [&](const auto& aItem) { return aItem.get() == aSearch; });
        if (it == FAllSearches.end()) return nullptr;
        owned = std::move(*it);
        FAllSearches.erase(it);
    }
    try {
        TCLock saveLock(fSaveLock);
        owned->DeleteFromDB(fStorage);
    } catch (...) {
        TCLock lock(fListLock);
        FAllSearches.push_back(std::move(owned));
        throw;
    }
    return owned;
}

TSearch& TSearches::AddSearch(std::unique_ptr<TSearch> aSearch) {
    TCLock lock(fListLock);
    FAllSearches.push_back(std::move(aSearch));
    return *FAllSearches.back();
}

void TSearches::Reorder(const std::vector<TSearch*>& aOrder) {
    TCLock lock(fListLock);
    std::vector<std::unique_ptr<TSearch>> ordered;
    for (TSearch* wanted : aOrder) {
        auto it = std::find_if(FAllSearches.begin(), FAllSearches.end(),
                               [&](const auto& aItem) { return aItem.get() == wanted; });
        if (it == FAllSearches.end()) continue;
        ordered.push_back(std::move(*it));
        FAllSearches.erase(it);
    }
    // Searches the caller did not name keep their relative order behind the named ones.
    for (auto& rest : FAllSearches) ordered.push_back(std::move(rest));
    FAllSearches = std::move(ordered);
    for (size_t i = 0; i < FAllSearches.size(); ++i) FAllSearches[i]->SetOrder(static_cast<int>(i));
}

TSearch* TSearches::GetSearchByID(int aSearchID) const {
    if (aSearchID <= 0) return nullptr;
    for (const auto& search : FAllSearches)
        if (search->GetID() == aSearchID) return search.get();
    return nullptr;
}

TSearch* TSearches::GetSearchByName(const std::string& aSearchName) const {
    if (aSearchName.empty()) return nullptr;
    for (const auto& search : FAllSearches)
        if (search->GetName() == aSearchName) return search.get();
    return nullptr;
}

bool TSearches::HasEnabledAlerts() const {
    TCLock lock(fListLock);
    return std::any_of(FAllSearches.begin(), FAllSearches.end(),
                       [](const auto& aSearch) { return aSearch->GetAlert().GetEnabled(); });
}

}  // namespace trawlix
