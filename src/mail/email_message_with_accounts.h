#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "mail/email_account.h"
#include "mail/email_message.h"
#include "model/alert.h"
#include "model/entry.h"

namespace trawlix {

class TEmailAccounts;

// Where the usage limit of the accounts is read for each send (0: no limit). Installed by
// the session from the settings; none installed means no limit.
void SetEmailAccountsUsageLimitSource(std::function<int()> aSource);
int EmailAccountsUsageLimit();

inline constexpr const char* cAccountsType = "accounts";
inline constexpr const char* cAccountIDType = "acc_id";

// A reply with the accounts that may send it. Each send picks one of them at random,
// preferring those still under the usage limit, so replies to many advertisers are spread
// over several mailboxes. The message keeps its accounts alive.
class TEmailMessageWithAccounts : public TEmailMessage,
                                  public IAlertReplyMessage,
                                  public IEntryReplyMessage,
                                  public std::enable_shared_from_this<TEmailMessageWithAccounts> {
public:
    TEmailMessageWithAccounts() = default;
    explicit TEmailMessageWithAccounts(const TEmailMessage& aMessage) : TEmailMessage(aMessage) {}

    // Duplicates are not checked.
    void AddAccount(const IEmailAccount& aEmailAccount);
    // The first account with aID, or null.
    IEmailAccount GetAccountByID(int aID) const;
    std::vector<IEmailAccount> GetAccounts() const;
    // The result of the latest send.
    TSendResult GetSendResult() const;
    void SetSendResult(TSendResult aValue);

    // Among the accounts under aUsageLimit (0: no limit) when there are any, otherwise among
    // all. Raises when the message has no account.
    IEmailAccount ChooseRandomAccount(int aUsageLimit) const;
    IEmailAccount ChooseRandomAccount() const { return ChooseRandomAccount(EmailAccountsUsageLimit()); }

    // Hands the mail to a chosen account. With aWaitToSend, returns once the account has
    // answered: true when it went out (aError, when given, hears why not). Without, true
    // once queued.
    bool SendTo(const std::string& aEmailAddress, bool aWaitToSend, int aPriority, const std::string& aAdURL,
                const std::string& aAdTitle, std::string* aError = nullptr);
    void SendTo(const std::string& aAddress, int aPriority, const std::string& aAdURL, const std::string& aAdTitle,
                std::function<void(bool aSent, const std::string& aError)> aOnResult) override;

    std::string GetSubject() const override { return TEmailMessage::GetSubject(); }

    // Writes a new "message" object under aParentID (the "message" children there are
    // replaced), with its "accounts" and one "acc_id" per account; returns the new ID.
    int SaveUnder(TObjectsStorage& aObjectsStorage, int aParentID) const;
    // The message stored under aParentID by SaveUnder, with those of its accounts that
    // aAccounts still has; null when there is no stored message.
    static std::shared_ptr<TEmailMessageWithAccounts> LoadFrom(TObjectsStorage& aObjectsStorage, int aParentID,
                                                               const TEmailAccounts& aAccounts);
    void SaveToDB(TObjectsStorage& aStorage, int aObjectID) const override { SaveUnder(aStorage, aObjectID); }

private:
    mutable TCCriticalSection fCriticalSection{"TEmailMessageWithAccounts CS"};
    std::vector<IEmailAccount> fAccounts;
    TSendResult fSendResult = srWaiting;
};

using IEmailMessageWithAccounts = std::shared_ptr<TEmailMessageWithAccounts>;

}  // namespace trawlix
