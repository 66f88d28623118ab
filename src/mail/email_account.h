#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/critical_section.h"
#include "engine/threads.h"
#include "mail/email_message.h"
#include "mail/smtp_client.h"

namespace trawlix {

class TEmailAccount;
class TObjectsStorage;

// One mail an account delivered: what the reply history keeps.
struct TSentMail {
    std::string from;     // the account's sender address
    std::string dest;
    std::string subject;  // as sent, with an ad title in front when there is one
    std::string body;
    std::string adURL;    // empty for a mail that answers no ad (a test mail)
};
// Told on the sending thread after every mail an account delivered, before the mail's own
// callback. Installed by the session for its reply history; none installed tells nobody.
void SetOnMailSent(std::function<void(const TSentMail& aMail)> aOnMailSent);

// The sending thread of one account: takes the queued mail with the highest priority
// (the earliest queued among equals) and delivers it, one connection per mail.
class TSendThread : public TcThread {
public:
    explicit TSendThread(TEmailAccount& aEmailAccount);
    // Stops the thread; mail still queued is dropped without a callback.
    ~TSendThread() override;

    void Add(std::unique_ptr<TEmailMessageWithDestination> aMsg);
    int QueuedCount() const;
    // Mail queued plus the one being delivered.
    int UnfinishedCount() const;

protected:
    void Execute() override;

private:
    static constexpr auto cIdleWait = std::chrono::milliseconds(300);

    std::unique_ptr<TEmailMessageWithDestination> TakeNext();
    void Deliver(const TEmailMessageWithDestination& aMsg);
    void Delivered();

    TEmailAccount& fEmailAccount;
    // Highest priority first; a multimap keeps equal keys in the order they came.
    std::multimap<int, std::unique_ptr<TEmailMessageWithDestination>, std::greater<int>> fSendQueue;
    bool fDelivering = false;
};

// One of the user's mailboxes: its SMTP settings and its sending thread. The settings
// are read for a send and written by the editor under the account's lock.
//
// The account's last reference must not be dropped on its own sending thread (inside a
// result callback): freeing the account waits for that thread.
class TEmailAccount {
public:
    TEmailAccount();  // starts the sending thread
    ~TEmailAccount();
    TEmailAccount(const TEmailAccount&) = delete;
    TEmailAccount& operator=(const TEmailAccount&) = delete;

    std::string GetExceptionText() const;
    int GetID() const;
    std::string GetPassword() const;
    std::string GetSMTPHost() const;
    int GetSMTPPort() const;
    std::string GetUsername() const;
    bool GetUseSSL() const;
    void SetID(int aID);
    void SetPassword(const std::string& aPassword);
    void SetSMTPHost(const std::string& aSMTPHost);
    void SetSMTPPort(int aSMTPPort);
    void SetUsername(const std::string& aUsername);
    void SetUseSSL(bool aUseSSL);
    // Mail queued through this account since the program started.
    int GetTimesUsed() const;
    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }

    // The user name when it holds "@", else user name + "@" + SMTP host.
    std::string GetSenderAddress() const;
    // The settings as one consistent snapshot.
    TSmtpServer GetSmtpServer() const;

    void Load(TObjectsStorage& aObjectsStorage, int aObjectID);
    // Adds a new "account" object under aParentID; false when the storage refused it.
    bool Save(TObjectsStorage& aObjectsStorage, int aParentID) const;

    // Queues the mail and returns; aNotifyOnSendResult hears the outcome later, on the
    // sending thread.
    void SendMessage(const TEmailMessage& aMsg, const std::string& aDestination,
                     TNotifyOnSendResult aNotifyOnSendResult, int aPriority, const std::string& aAdURL,
                     const std::string& aAdTitle);
    int QueuedCount() const { return fSendThread->QueuedCount(); }
    int UnfinishedCount() const { return fSendThread->UnfinishedCount(); }

    static int ComparePriority(const TEmailMessageWithDestination& aItem1, const TEmailMessageWithDestination& aItem2) {
        return aItem1.GetPriority() - aItem2.GetPriority();
    }

private:
    mutable TCCriticalSection fCriticalSection{"TEmailAccount CS"};
    int fID = -1;
    std::string fSMTPHost;
    int fSMTPPort = 0;
    std::string fUsername;
    std::string fPassword;
    bool fUseSSL = false;
    int fTimesUsed = 0;
    mutable TCCriticalSection fTimesUsedCriticalSection{"TEmailAccount.TimesUsedCriticalSection"};
    std::string fExceptionText;
    std::unique_ptr<TSendThread> fSendThread;
};

using IEmailAccount = std::shared_ptr<TEmailAccount>;

inline constexpr const char* cAccountType = "account";

}  // namespace trawlix
