#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "engine/threads.h"
#include "mail/email_message_with_accounts.h"
#include "model/entry.h"

namespace trawlix {

// One queued automatic reply.
struct TEntryReply {
    IEntry fEntry;
    IEmailMessageWithAccounts fMessage;
};

// Answers the new results of automatic runs, one queued reply after another, without
// waiting for the sends: several accounts then send in parallel. An entry already replied
// when its turn comes is skipped, and an entry queued twice is answered once.
class TAutoReplyThread : public TcThread {
public:
    using TOnEntryReplied = std::function<void(const TEntryReply& aReply)>;
    // A reply that could not go out: the ad's link and why (raised while handing it over,
    // or reported by the account later, on its sending thread).
    using TOnReplyFailed = std::function<void(const IEntry& aEntry, const std::string& aReason)>;

    TAutoReplyThread();  // starts the thread
    // Stops the thread; replies still queued are dropped.
    ~TAutoReplyThread() override;

    void Add(const IEntry& aEntry, const IEmailMessageWithAccounts& aMessage);
    int QueuedCount() const;
    // Replies queued plus the one being handed to an account: zero means every reply taken
    // so far sits in an account's queue or went out.
    int UnfinishedCount() const;
    // Called on this thread after each reply handed to an account.
    void SetOnEntryReplied(TOnEntryReplied aHandler);
    void SetOnReplyFailed(TOnReplyFailed aHandler);
    // Says whether an ad was answered already (a mail of an earlier run, stored before the
    // program was killed); such an ad is marked replied and not answered again.
    void SetAnsweredBefore(std::function<bool(const TEntry& aEntry)> aCheck);

protected:
    void Execute() override;

private:
    static constexpr auto cIdleWait = std::chrono::milliseconds(300);

    bool TakeNext(TEntryReply& aReply);
    void Answer(const TEntryReply& aReply);
    void Finished();

    std::deque<TEntryReply> fReplyQueue;
    bool fAnswering = false;  // a reply was taken and is not yet handed over
    TOnEntryReplied fOnEntryReplied;
    TOnReplyFailed fOnReplyFailed;
    std::function<bool(const TEntry& aEntry)> fAnsweredBefore;
};

}  // namespace trawlix
