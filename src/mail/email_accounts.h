#pragma once

#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "mail/email_account.h"

namespace trawlix {

class TObjectsStorage;

// The account of aAccounts with ID aID; null when none has it.
IEmailAccount FindAccountByID(const std::vector<IEmailAccount>& aAccounts, int aID);

// The user's accounts, in the order added. IDs come from an accumulator that only grows
// and is stored with the list, so an ID is never given twice, even after a delete.
class TEmailAccounts {
public:
    using TAccountList = std::vector<IEmailAccount>;

    // An account with ID -1 gets the next ID; the account is appended.
    void Add(const IEmailAccount& aEmailAccount);
    // Drops the list's reference; false when the account is not in the list.
    bool Delete(const IEmailAccount& aEmailAccount);
    IEmailAccount GetAccountByID(int aID) const;
    // A copy of the list, safe to walk while others change it.
    TAccountList GetAccounts() const;
    int Count() const;
    int GetIDAccumulator() const;

    // Reads the user's "email_accounts_<user id>" object, when there is one.
    void Load(TObjectsStorage& aObjectsStorage, int aUserID);
    // Rewrites that object in one transaction; false when the storage refused it. Raises
    // when the storage cannot even open the transaction (a locked database).
    bool Save(TObjectsStorage& aObjectsStorage, int aUserID) const;
    // True when the list or an account differs from what was last loaded or saved.
    bool Changed() const;

    static std::string StorageType(int aUserID) { return "email_accounts_" + std::to_string(aUserID); }

private:
    bool HasID(int aID) const;
    // Everything that is stored, as one text to compare.
    std::string Snapshot() const;

    mutable TCCriticalSection fCriticalSection{"TEmailAccounts"};
    int fIDAccumulator = 1;
    TAccountList fAccounts;
    mutable std::string fSavedSnapshot;
};

}  // namespace trawlix
