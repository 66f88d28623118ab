#include "mail/auto_reply_thread.h"

namespace trawlix {

TAutoReplyThread::TAutoReplyThread() : TcThread("TAutoReplyThread") { Start(); }

TAutoReplyThread::~TAutoReplyThread() {
    TerminateAndWait();
    TCLock lock(fThreadCriticalSection);
    fReplyQueue.clear();
}

void TAutoReplyThread::Add(const IEntry& aEntry, const IEmailMessageWithAccounts& aMessage) {
    if (!aEntry || !aMessage) return;
    {
        TCLock lock(fThreadCriticalSection);
        for (const TEntryReply& queued : fReplyQueue)
            if (queued.fEntry == aEntry) return;
        fReplyQueue.push_back({aEntry, aMessage});
    }
    Wake();
}

int TAutoReplyThread::QueuedCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fReplyQueue.size());
}

int TAutoReplyThread::UnfinishedCount() const {
    TCLock lock(fThreadCriticalSection);
    return static_cast<int>(fReplyQueue.size()) + (fAnswering ? 1 : 0);
}

void TAutoReplyThread::SetOnEntryReplied(TOnEntryReplied aHandler) {
    TCLock lock(fThreadCriticalSection);
    fOnEntryReplied = std::move(aHandler);
}

void TAutoReplyThread::SetOnReplyFailed(TOnReplyFailed aHandler) {
    TCLock lock(fThreadCriticalSection);
    fOnReplyFailed = std::move(aHandler);
}

void TAutoReplyThread::SetAnsweredBefore(std::function<bool(const TEntry& aEntry)> aCheck) {
    TCLock lock(fThreadCriticalSection);
    fAnsweredBefore = std::move(aCheck);
}

bool TAutoReplyThread::TakeNext(TEntryReply& aReply) {
    TCLock lock(fThreadCriticalSection);
    if (fReplyQueue.empty()) return false;
    aReply = std::move(fReplyQueue.front());
    fReplyQueue.pop_front();
    fAnswering = true;
    return true;
}

void TAutoReplyThread::Finished() {
    TCLock lock(fThreadCriticalSection);
    fAnswering = false;
}

void TAutoReplyThread::Execute() {
    while (!Terminated()) {
        TEntryReply reply;
        if (!TakeNext(reply)) {
            SleepFor(cIdleWait);
            continue;
        }
        Answer(reply);
        Finished();
    }
}

void TAutoReplyThread::Answer(const TEntryReply& aReply) {
    // Replied already, by hand or by an earlier run: never answered twice.
    if (aReply.fEntry->GetRepliedStored()) {
        aReply.fEntry->SetAwaitingAutoReply(false);
        return;
    }
    if (aReply.fEntry->GetReplied()) return;  // a reply to it is on its way
    const auto answeredBefore = Locked(fThreadCriticalSection, fAnsweredBefore);
    if (answeredBefore && answeredBefore(*aReply.fEntry)) {
        aReply.fEntry->SetReplied(true);
        aReply.fEntry->SetAwaitingAutoReply(false);
        return;
    }
    TOnReplyFailed onFailed = Locked(fThreadCriticalSection, fOnReplyFailed);
    IEntry entry = aReply.fEntry;
    auto onSent = [entry, onFailed](const TReplyOutcome& aOutcome) {
        if (aOutcome.state == TReplyOutcome::Failed && onFailed) onFailed(entry, aOutcome.error);
    };
    TReplyOutcome outcome;
    try {
        outcome = aReply.fEntry->Reply(aReply.fMessage, false, 0, onSent);
    } catch (const std::exception& e) {
        // A message left without accounts, a lookup that raised: this reply is lost, the
        // queue goes on.
        outcome = {TReplyOutcome::Failed, e.what()};
    }
    if (outcome.state == TReplyOutcome::Failed && onFailed) onFailed(aReply.fEntry, outcome.error);
    if (TOnEntryReplied onReplied = Locked(fThreadCriticalSection, fOnEntryReplied)) onReplied(aReply);
}

}  // namespace trawlix
