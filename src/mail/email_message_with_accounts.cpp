#include "mail/email_message_with_accounts.h"

#include <future>
#include <mutex>
#include <random>
#include <stdexcept>

#include "mail/email_accounts.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

std::mutex& UsageLimitMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<int()>& UsageLimitSource() {
    static std::function<int()> source;
    return source;
}

size_t RandomIndex(size_t aCount) {
    thread_local std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<size_t>(0, aCount - 1)(generator);
}

constexpr const char* cNoAccount = "The message has no e-mail account to be sent with.";

}  // namespace

void SetEmailAccountsUsageLimitSource(std::function<int()> aSource) {
    std::lock_guard<std::mutex> lock(UsageLimitMutex());
    UsageLimitSource() = std::move(aSource);
}

int EmailAccountsUsageLimit() {
    std::function<int()> source;
    {
        std::lock_guard<std::mutex> lock(UsageLimitMutex());
        source = UsageLimitSource();
    }
    return source ? source() : 0;
}

void TEmailMessageWithAccounts::AddAccount(const IEmailAccount& aEmailAccount) {
    TCLock lock(fCriticalSection);
    fAccounts.push_back(aEmailAccount);
}

IEmailAccount TEmailMessageWithAccounts::GetAccountByID(int aID) const {
    TCLock lock(fCriticalSection);
    return FindAccountByID(fAccounts, aID);
}

std::vector<IEmailAccount> TEmailMessageWithAccounts::GetAccounts() const { return Locked(fCriticalSection, fAccounts); }

TSendResult TEmailMessageWithAccounts::GetSendResult() const { return Locked(fCriticalSection, fSendResult); }

void TEmailMessageWithAccounts::SetSendResult(TSendResult aValue) { SetLocked(fCriticalSection, fSendResult, aValue); }

IEmailAccount TEmailMessageWithAccounts::ChooseRandomAccount(int aUsageLimit) const {
    TCLock lock(fCriticalSection);
    if (fAccounts.empty()) throw std::runtime_error(cNoAccount);
    std::vector<IEmailAccount> underLimit;
    if (aUsageLimit > 0)
        for (const auto& account : fAccounts)
            if (account->GetTimesUsed() < aUsageLimit) underLimit.push_back(account);
    // The limit steers the choice and never stops a send: with every account at it, any may go.
    const std::vector<IEmailAccount>& candidates = underLimit.empty() ? fAccounts : underLimit;
    return candidates[RandomIndex(candidates.size())];
}

void TEmailMessageWithAccounts::SendTo(const std::string& aAddress, int aPriority, const std::string& aAdURL,
                                       const std::string& aAdTitle,
                                       std::function<void(bool aSent, const std::string& aError)> aOnResult) {
    IEmailAccount account;
    {
        // The choice and the hand-over under one lock: two sends at once must not both take
        // the last free use of an account.
        TCLock lock(fCriticalSection);
        account = ChooseRandomAccount(EmailAccountsUsageLimit());
        fSendResult = srWaiting;
        std::weak_ptr<TEmailMessageWithAccounts> weakSelf = weak_from_this();
        account->SendMessage(
            *this, aAddress,
            [weakSelf, onResult = std::move(aOnResult)](TSendResult aResult, const std::string& aError) {
                if (auto self = weakSelf.lock()) self->SetSendResult(aResult);
                if (onResult) onResult(aResult == srOK, aError);
            },
            aPriority, aAdURL, aAdTitle);
    }
}

bool TEmailMessageWithAccounts::SendTo(const std::string& aEmailAddress, bool aWaitToSend, int aPriority,
                                       const std::string& aAdURL, const std::string& aAdTitle, std::string* aError) {
    auto result = std::make_shared<std::promise<std::pair<bool, std::string>>>();
    auto future = result->get_future();
    SendTo(aEmailAddress, aPriority, aAdURL, aAdTitle,
           [result](bool aSent, const std::string& aText) { result->set_value({aSent, aText}); });
    if (!aWaitToSend) return true;
    std::pair<bool, std::string> outcome{false, "The mail was dropped before it was sent."};
    try {
        outcome = future.get();
    } catch (const std::future_error&) {
        // The account went away with the mail still queued.
    }
    if (!outcome.first && aError) *aError = outcome.second;
    return outcome.first;
}

int TEmailMessageWithAccounts::SaveUnder(TObjectsStorage& aObjectsStorage, int aParentID) const {
    TEmailMessage plain;
    std::vector<IEmailAccount> accounts;
    {
        TCLock lock(fCriticalSection);
        plain = *this;
        accounts = fAccounts;
    }
    aObjectsStorage.DeleteObjects(cMessageType, aParentID, true);
    const int messageID = plain.Save(aObjectsStorage, aParentID);
    if (messageID <= 0) return messageID;
    const int accountsID = aObjectsStorage.AddObject(cAccountsType, messageID, "", false);
    if (accountsID <= 0) return messageID;
    aObjectsStorage.DeleteObjects(cAccountIDType, accountsID, true);
    for (const auto& account : accounts)
        aObjectsStorage.AddObject(cAccountIDType, accountsID, std::to_string(account->GetID()), true);
    return messageID;
}

std::shared_ptr<TEmailMessageWithAccounts> TEmailMessageWithAccounts::LoadFrom(TObjectsStorage& aObjectsStorage,
                                                                               int aParentID,
                                                                               const TEmailAccounts& aAccounts) {
    auto messageObject = aObjectsStorage.GetObject(cMessageType, aParentID);
    if (!messageObject) return nullptr;
    auto message = std::make_shared<TEmailMessageWithAccounts>();
    message->TEmailMessage::Load(aObjectsStorage, messageObject->GetID());
    auto accountsObject = aObjectsStorage.GetObject(cAccountsType, messageObject->GetID());
    if (!accountsObject) return message;
    for (const auto& idObject : aObjectsStorage.GetObjects(cAccountIDType, accountsObject->GetID())) {
        int id = 0;
        try {
            id = std::stoi(idObject->GetData());
        } catch (const std::exception&) {
            continue;
        }
        // An account deleted meanwhile is skipped.
        if (IEmailAccount account = aAccounts.GetAccountByID(id)) message->AddAccount(account);
    }
    return message;
}

}  // namespace trawlix
