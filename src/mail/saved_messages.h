#pragma once

#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "mail/email_message.h"

namespace trawlix {

class TObjectsStorage;

// The user's reusable reply texts, in the order added. Saved messages carry no accounts.
// Every operation takes the list's lock; items are handed out as copies.
class TSavedMessages {
public:
    // Appends a copy; returns its index.
    size_t Add(const TEmailMessage& aMessage);
    // False when aIndex is past the end.
    bool Update(size_t aIndex, const TEmailMessage& aMessage);
    bool Delete(size_t aIndex);
    std::vector<TEmailMessage> GetItems() const;
    size_t Count() const;

    // Reads the user's "saved_messages_<user id>" object, when there is one.
    void Load(TObjectsStorage& aObjectsStorage, int aUserID);
    // Rewrites that object in one transaction; false when the storage refused it.
    bool Save(TObjectsStorage& aObjectsStorage, int aUserID) const;
    bool Changed() const;

    static std::string StorageType(int aUserID) { return "saved_messages_" + std::to_string(aUserID); }

private:
    std::string Snapshot() const;

    mutable TCCriticalSection fCriticalSection{"TSavedMessages"};
    std::vector<TEmailMessage> fMessages;
    mutable std::string fSavedSnapshot;
};

}  // namespace trawlix
