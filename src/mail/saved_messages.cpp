#include "mail/saved_messages.h"

#include "mail/stored_list.h"
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
    const auto stored = ReadStoredList(aObjectsStorage, StorageType(aUserID), cMessageType);
    TCLock lock(fCriticalSection);
    if (stored)
        for (const int objectID : stored->itemIDs) {
            TEmailMessage message;
            message.Load(aObjectsStorage, objectID);
            fMessages.push_back(message);
        }
    fSavedSnapshot = Snapshot();
}

bool TSavedMessages::Save(TObjectsStorage& aObjectsStorage, int aUserID) const {
    TCLock lock(fCriticalSection);
    const auto saveItems = [this, &aObjectsStorage](int aRootID) {
        for (TEmailMessage message : fMessages)
            if (message.Save(aObjectsStorage, aRootID) <= 0) return false;
        return true;
    };
    const bool saved = RewriteStoredList(aObjectsStorage, StorageType(aUserID), cMessageType, saveItems);
    if (saved) fSavedSnapshot = Snapshot();
    return saved;
}

bool TSavedMessages::Changed() const {
    TCLock lock(fCriticalSection);
    return Snapshot() != fSavedSnapshot;
}

std::string TSavedMessages::Snapshot() const {
    std::string text = std::to_string(fMessages.size());
    for (const auto& message : fMessages)
        AppendSnapshotFields(text, {message.GetSubject(), message.GetBody(), message.GetIsHTML() ? "1" : "0",
                                    message.GetIncludeAdTitleInSubject() ? "1" : "0"});
    return text;
}

}  // namespace trawlix
