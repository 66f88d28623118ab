#include "mail/email_accounts.h"

#include <algorithm>

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

IEmailAccount TEmailAccounts::GetAccountByID(int aID) const {
    TCLock lock(fCriticalSection);
    for (const auto& account : fAccounts)
        if (account->GetID() == aID) return account;
    return nullptr;
}

TEmailAccounts::TAccountList TEmailAccounts::GetAccounts() const { return Locked(fCriticalSection, fAccounts); }

int TEmailAccounts::Count() const {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fAccounts.size());
}

int TEmailAccounts::GetIDAccumulator() const { return Locked(fCriticalSection, fIDAccumulator); }

bool TEmailAccounts::HasID(int aID) const {
    return std::any_of(fAccounts.begin(), fAccounts.end(), [aID](const auto& aItem) { return aItem->GetID() == aID; });
}

void TEmailAccounts::Load(TObjectsStorage& aObjectsStorage, int aUserID) {
    auto root = aObjectsStorage.GetObject(StorageType(aUserID), -1);
    if (!root) return;
    TCLock lock(fCriticalSection);
    fIDAccumulator = aObjectsStorage.GetObjectPropInt(root->GetID(), "id_accumulator", 1);
    for (const auto& object : aObjectsStorage.GetObjects(cAccountType, root->GetID())) {
        auto account = std::make_shared<TEmailAccount>();
        account->Load(aObjectsStorage, object->GetID());
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
    TStorageTransaction transaction(aObjectsStorage);
    const int rootID = aObjectsStorage.AddObject(StorageType(aUserID), -1, "", false);
    if (rootID <= 0) return false;
    aObjectsStorage.DeleteObjects(cAccountType, rootID, true);
    aObjectsStorage.SetObjectProp(rootID, "id_accumulator", fIDAccumulator);
    for (const auto& account : fAccounts)
        if (!account->Save(aObjectsStorage, rootID)) return false;
    transaction.Commit();
    fSavedSnapshot = Snapshot();
    return true;
}

bool TEmailAccounts::Changed() const {
    TCLock lock(fCriticalSection);
    return Snapshot() != fSavedSnapshot;
}

std::string TEmailAccounts::Snapshot() const {
    std::string text = std::to_string(fIDAccumulator);
    for (const auto& account : fAccounts) {
        const TSmtpServer server = account->GetSmtpServer();
        for (const std::string& field : {std::to_string(account->GetID()), server.host, std::to_string(server.port),
                                         server.username, server.password, std::string(server.useSSL ? "1" : "0")})
            text += '\0' + std::to_string(field.size()) + ':' + field;
    }
    return text;
}

}  // namespace trawlix
