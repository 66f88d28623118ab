#include "mail/email_accounts.h"

#include <algorithm>

#include "mail/stored_list.h"
#include "model/objects_storage.h"

namespace trawlix {

void TEmailAccounts::Add(const IEmailAccount& aEmailAccount) {
    TCLock lock(fCriticalSection);
    if (aEmailAccount->GetID() == -1) aEmailAccount->SetID(fIDAccumulator++);
    fAccounts.push_back(aEmailAccount);
}

bool TEmailAccounts::Delete(const IEmailAccount& aEmailAccount) {
    TCLock lock(fCriticalSection);
    auto it = std::find(fAccounts.begin(), fAccounts.end(), aEmailAccount);
    if (it == fAccounts.end()) return false;
    fAccounts.erase(it);
    return true;
}

IEmailAccount FindAccountByID(const std::vector<IEmailAccount>& aAccounts, int aID) {
    for (const auto& account : aAccounts)
        if (account->GetID() == aID) return account;
    return nullptr;
}

IEmailAccount TEmailAccounts::GetAccountByID(int aID) const {
    TCLock lock(fCriticalSection);
    return FindAccountByID(fAccounts, aID);
}

TEmailAccounts::TAccountList TEmailAccounts::GetAccounts() const { return Locked(fCriticalSection, fAccounts); }

int TEmailAccounts::Count() const {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fAccounts.size());
}

int TEmailAccounts::GetIDAccumulator() const { return Locked(fCriticalSection, fIDAccumulator); }

bool TEmailAccounts::HasID(int aID) const { return FindAccountByID(fAccounts, aID) != nullptr; }

void TEmailAccounts::Load(TObjectsStorage& aObjectsStorage, int aUserID) {
    const auto stored = ReadStoredList(aObjectsStorage, StorageType(aUserID), cAccountType);
    if (!stored) return;
    TCLock lock(fCriticalSection);
    fIDAccumulator = aObjectsStorage.GetObjectPropInt(stored->rootID, "id_accumulator", 1);
    for (const int objectID : stored->itemIDs) {
        auto account = std::make_shared<TEmailAccount>();
        account->Load(aObjectsStorage, objectID);
        // A stored ID at or past the accumulator, or one already taken, would be handed out
        // twice; such an account gets a fresh ID instead.
        const int id = account->GetID();
        if (id > 0 && !HasID(id))
            fIDAccumulator = std::max(fIDAccumulator, id + 1);
        else
            account->SetID(-1);
        fAccounts.push_back(account);
    }
    for (const auto& account : fAccounts)
        if (account->GetID() == -1) account->SetID(fIDAccumulator++);
    fSavedSnapshot = Snapshot();
}

bool TEmailAccounts::Save(TObjectsStorage& aObjectsStorage, int aUserID) const {
    TCLock lock(fCriticalSection);
    const auto saveItems = [this, &aObjectsStorage](int aRootID) {
        aObjectsStorage.SetObjectProp(aRootID, "id_accumulator", fIDAccumulator);
        for (const auto& account : fAccounts)
            if (!account->Save(aObjectsStorage, aRootID)) return false;
        return true;
    };
    const bool saved = RewriteStoredList(aObjectsStorage, StorageType(aUserID), cAccountType, saveItems);
    if (saved) fSavedSnapshot = Snapshot();
    return saved;
}

bool TEmailAccounts::Changed() const {
    TCLock lock(fCriticalSection);
    return Snapshot() != fSavedSnapshot;
}

std::string TEmailAccounts::Snapshot() const {
    std::string text = std::to_string(fIDAccumulator);
    for (const auto& account : fAccounts) {
        const TSmtpServer server = account->GetSmtpServer();
        AppendSnapshotFields(text, {std::to_string(account->GetID()), server.host, std::to_string(server.port),
                                    server.username, server.password, server.useSSL ? "1" : "0"});
    }
    return text;
}

}  // namespace trawlix
