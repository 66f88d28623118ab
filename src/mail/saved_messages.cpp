#include "mail/saved_messages.h"

#include "model/objects_storage.h"

namespace trawlix {

size_t TSavedMessages::Add(const TEmailMessage& aMessage) {
    TCLock lock(fCriticalSection);
    fMessages.push_back(aMessage);
    return fMessages.size() - 1;
}

bool TSavedMessages::Update(size_t aIndex, const TEmailMessage& aMessage) {
    TCLock lock(fCriticalSection);
    if (aIndex >= fMessages.size()) return false;
    fMessages[aIndex] = aMessage;
    return true;
}

bool TSavedMessages::Delete(size_t aIndex) {
    TCLock lock(fCriticalSection);
    if (aIndex >= fMessages.size()) return false;
    fMessages.erase(fMessages.begin() + static_cast<std::ptrdiff_t>(aIndex));
    return true;
}

std::vector<TEmailMessage> TSavedMessages::GetItems() const { return Locked(fCriticalSection, fMessages); }

size_t TSavedMessages::Count() const {
    TCLock lock(fCriticalSection);
    return fMessages.size();
}

void TSavedMessages::Load(TObjectsStorage& aObjectsStorage, int aUserID) {
    auto root = aObjectsStorage.GetObject(StorageType(aUserID), -1);
    TCLock lock(fCriticalSection);
    if (root)
        for (const auto& object : aObjectsStorage.GetObjects(cMessageType, root->GetID())) {
            TEmailMessage message;
            message.Load(aObjectsStorage, object->GetID());
            fMessages.push_back(message);
        }
    fSavedSnapshot = Snapshot();
}

bool TSavedMessages::Save(TObjectsStorage& aObjectsStorage, int aUserID) const {
    TCLock lock(fCriticalSection);
    TStorageTransaction transaction(aObjectsStorage);
    const int rootID = aObjectsStorage.AddObject(StorageType(aUserID), -1, "", false);
    if (rootID <= 0) return false;
    aObjectsStorage.DeleteObjects(cMessageType, rootID, true);
    for (TEmailMessage message : fMessages)
        if (message.Save(aObjectsStorage, rootID) <= 0) return false;
    transaction.Commit();
    fSavedSnapshot = Snapshot();
    return true;
}

bool TSavedMessages::Changed() const {
    TCLock lock(fCriticalSection);
    return Snapshot() != fSavedSnapshot;
}

std::string TSavedMessages::Snapshot() const {
    std::string text = std::to_string(fMessages.size());
    for (const auto& message : fMessages)
        for (const std::string& field : {message.GetSubject(), message.GetBody(),
                                         std::string(message.GetIsHTML() ? "1" : "0"),
                                         std::string(message.GetIncludeAdTitleInSubject() ? "1" : "0")})
            text += '\0' + std::to_string(field.size()) + ':' + field;
    return text;
}

}  // namespace trawlix
