#include "mail/email_account.h"

#include "mail/mime_message.h"
#include "model/objects_storage.h"

#include <mutex>

namespace trawlix {

namespace {

std::mutex& MailSentMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const TSentMail&)>& MailSentListener() {
    static std::function<void(const TSentMail&)> listener;
    return listener;
}

void TellMailSent(const TSentMail& aMail) {
    std::function<void(const TSentMail&)> listener;
    {
        std::lock_guard<std::mutex> lock(MailSentMutex());
        listener = MailSentListener();
    }
    if (!listener) return;
    try {
        listener(aMail);
    } catch (...) {
        // The history must not end the account's sending.
    }
}

}  // namespace

void SetOnMailSent(std::function<void(const TSentMail& aMail)> aOnMailSent) {
    std::lock_guard<std::mutex> lock(MailSentMutex());
    MailSentListener() = std::move(aOnMailSent);
}

// --- the sending thread ----------------------------------------------------------------

TSendThread::TSendThread(TEmailAccount& aEmailAccount) : TcThread("TSendThread"), fEmailAccount(aEmailAccount) {}

TSendThread::~TSendThread() {
    TerminateAndWait();
    TCLock lock(fThreadCriticalSection);
    fSendQueue.clear();
}

void TSendThread::Add(std::unique_ptr<TEmailMessageWithDestination> aMsg) {
    {
        TCLock lock(fThreadCriticalSection);
        const int priority = aMsg->GetPriority();
        fSendQueue.emplace(priority, std::move(aMsg));
    }
    Wake();  // no need to sit out the idle wait
}

int TSendThread::QueuedCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fSendQueue.size());
}

int TSendThread::UnfinishedCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fSendQueue.size()) + (fDelivering ? 1 : 0);
}

std::unique_ptr<TEmailMessageWithDestination> TSendThread::TakeNext() {
    TCLock lock(fThreadCriticalSection);
    if (fSendQueue.empty()) return nullptr;
    auto first = fSendQueue.begin();
    auto msg = std::move(first->second);
    fSendQueue.erase(first);
    fDelivering = true;
    return msg;
}

void TSendThread::Delivered() {
    TCLock lock(fThreadCriticalSection);
    fDelivering = false;
}

void TSendThread::Execute() {
    while (!Terminated()) {
        auto msg = TakeNext();
        if (!msg) {
            SleepFor(cIdleWait);
            continue;
        }
        Deliver(*msg);
        Delivered();
    }
}

namespace {
void Notify(const TEmailMessageWithDestination& aMsg, TSendResult aResult, const std::string& aErrorText) {
    if (!aMsg.GetNotifyOnSendResult()) return;
    try {
        aMsg.GetNotifyOnSendResult()(aResult, aErrorText);
    } catch (...) {
        // A failing listener must not end the account's sending.
    }
}
}  // namespace

void TSendThread::Deliver(const TEmailMessageWithDestination& aMsg) {
    try {
        TSmtpServer server;
        TMailContent content;
        {
            TCLock lock(fEmailAccount.GetCriticalSection());
            server = fEmailAccount.GetSmtpServer();
            content.from = fEmailAccount.GetSenderAddress();
        }
        content.recipients = ParseRecipients(aMsg.GetDestination());
        content.subject = aMsg.GetSubject();
        content.body = aMsg.GetBody();
        content.isHTML = aMsg.GetIsHTML();
        SendSmtpMail(server, content, [this] { return Terminated(); });
        TellMailSent({content.from, aMsg.GetDestination(), content.subject, content.body, aMsg.GetAdURL()});
    } catch (const std::exception& e) {
        // Mail cut short because the account goes away is dropped like the rest of the queue.
        if (!Terminated()) Notify(aMsg, srError, e.what());
        return;
    }
    Notify(aMsg, srOK, "");
}

// --- the account ----------------------------------------------------------------------

TEmailAccount::TEmailAccount() : fSendThread(std::make_unique<TSendThread>(*this)) { fSendThread->Start(); }

TEmailAccount::~TEmailAccount() { fSendThread.reset(); }

std::string TEmailAccount::GetExceptionText() const { return Locked(fCriticalSection, fExceptionText); }

int TEmailAccount::GetID() const { return Locked(fCriticalSection, fID); }

std::string TEmailAccount::GetPassword() const { return Locked(fCriticalSection, fPassword); }

std::string TEmailAccount::GetSMTPHost() const { return Locked(fCriticalSection, fSMTPHost); }

int TEmailAccount::GetSMTPPort() const { return Locked(fCriticalSection, fSMTPPort); }

std::string TEmailAccount::GetUsername() const { return Locked(fCriticalSection, fUsername); }

bool TEmailAccount::GetUseSSL() const { return Locked(fCriticalSection, fUseSSL); }

void TEmailAccount::SetID(int aID) { SetLocked(fCriticalSection, fID, aID); }

void TEmailAccount::SetPassword(const std::string& aPassword) { SetLocked(fCriticalSection, fPassword, aPassword); }

void TEmailAccount::SetSMTPHost(const std::string& aSMTPHost) { SetLocked(fCriticalSection, fSMTPHost, aSMTPHost); }

void TEmailAccount::SetSMTPPort(int aSMTPPort) { SetLocked(fCriticalSection, fSMTPPort, aSMTPPort); }

void TEmailAccount::SetUsername(const std::string& aUsername) { SetLocked(fCriticalSection, fUsername, aUsername); }

void TEmailAccount::SetUseSSL(bool aUseSSL) { SetLocked(fCriticalSection, fUseSSL, aUseSSL); }

int TEmailAccount::GetTimesUsed() const { return Locked(fTimesUsedCriticalSection, fTimesUsed); }

std::string TEmailAccount::GetSenderAddress() const {
    TCLock lock(fCriticalSection);
    if (fUsername.find('@') != std::string::npos) return fUsername;
    return fUsername + "@" + fSMTPHost;
}

TSmtpServer TEmailAccount::GetSmtpServer() const {
    TCLock lock(fCriticalSection);
    return TSmtpServer{fSMTPHost, fSMTPPort, fUsername, fPassword, fUseSSL};
}

void TEmailAccount::Load(TObjectsStorage& aObjectsStorage, int aObjectID) {
    TCLock lock(fCriticalSection);
    fID = aObjectsStorage.GetObjectPropInt(aObjectID, "id", -1);
    fSMTPHost = aObjectsStorage.GetObjectPropText(aObjectID, "host");
    fSMTPPort = aObjectsStorage.GetObjectPropInt(aObjectID, "port", 0);
    fUsername = aObjectsStorage.GetObjectPropText(aObjectID, "username");
    fPassword = aObjectsStorage.GetObjectPropText(aObjectID, "password");
    fUseSSL = aObjectsStorage.GetObjectPropBool(aObjectID, "use_ssl");
}

bool TEmailAccount::Save(TObjectsStorage& aObjectsStorage, int aParentID) const {
    TCLock lock(fCriticalSection);
    const int id = aObjectsStorage.AddObject(cAccountType, aParentID, "", true);
    if (id <= 0) return false;
    aObjectsStorage.SetObjectProp(id, "id", fID);
    aObjectsStorage.SetObjectProp(id, "host", fSMTPHost);
    aObjectsStorage.SetObjectProp(id, "port", fSMTPPort);
    aObjectsStorage.SetObjectProp(id, "username", fUsername);
    aObjectsStorage.SetObjectProp(id, "password", fPassword);
    aObjectsStorage.SetObjectProp(id, "use_ssl", fUseSSL);
    return true;
}

void TEmailAccount::SendMessage(const TEmailMessage& aMsg, const std::string& aDestination,
                                TNotifyOnSendResult aNotifyOnSendResult, int aPriority, const std::string& aAdURL,
                                const std::string& aAdTitle) {
    {
        TCLock lock(fTimesUsedCriticalSection);
        ++fTimesUsed;
    }
    fSendThread->Add(std::make_unique<TEmailMessageWithDestination>(aMsg, aDestination, std::move(aNotifyOnSendResult),
                                                                    aPriority, aAdTitle, aAdURL));
}

}  // namespace trawlix
