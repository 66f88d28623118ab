#include "mail/stored_list.h"

#include "model/objects_storage.h"

namespace trawlix {

std::optional<TStoredList> ReadStoredList(TObjectsStorage& aObjectsStorage, const std::string& aRootType,
                                          const std::string& aItemType) {
    auto root = aObjectsStorage.GetObject(aRootType, -1);
    if (!root) return std::nullopt;
    TStoredList list{root->GetID(), {}};
    for (const auto& object : aObjectsStorage.GetObjects(aItemType, list.rootID))
        list.itemIDs.push_back(object->GetID());
    return list;
}

bool RewriteStoredList(TObjectsStorage& aObjectsStorage, const std::string& aRootType, const std::string& aItemType,
                       const std::function<bool(int aRootID)>& aSaveItems) {
    TStorageTransaction transaction(aObjectsStorage);
    const int rootID = aObjectsStorage.AddObject(aRootType, -1, "", false);
    if (rootID <= 0) return false;
    aObjectsStorage.DeleteObjects(aItemType, rootID, true);
    if (!aSaveItems(rootID)) return false;
    transaction.Commit();
    return true;
}

void AppendSnapshotFields(std::string& aText, std::initializer_list<std::string> aFields) {
    for (const std::string& field : aFields) aText += '\0' + std::to_string(field.size()) + ':' + field;
}

}  // namespace trawlix
