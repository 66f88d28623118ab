// Replying to the advertiser of one result.
#include <future>
#include <mutex>

#include "engine/email_address.h"
#include "model/entry.h"

namespace trawlix {

namespace {

std::mutex& LookupMutex() {
    static std::mutex mutex;
    return mutex;
}

TEntryEmailLookup& Lookup() {
    static TEntryEmailLookup lookup;
    return lookup;
}

TEntryEmailLookup CurrentLookup() {
    std::lock_guard<std::mutex> lock(LookupMutex());
    return Lookup();
}

constexpr const char* cSendDropped = "The mail was dropped before it was sent.";

}  // namespace

void SetEntryEmailLookup(TEntryEmailLookup aLookup) {
    std::lock_guard<std::mutex> lock(LookupMutex());
    Lookup() = std::move(aLookup);
}

TReplyOutcome TEntry::Reply(const IEntryReplyMessagePtr& aMessage, bool aWaitToSend, int aPriority,
                            std::function<void(const TReplyOutcome& aOutcome)> aOnSent) {
    // An ad whose address was looked for without success is not looked for again.
    // A lookup that could not read the page raises: the ad is looked for again next time.
    if (GetContact().empty() && !GetNoContact()) {
        const TEntryEmailLookup lookup = CurrentLookup();
        std::string contact;
        try {
            contact = lookup ? lookup(*this) : std::string();
        } catch (const std::exception& e) {
            return {TReplyOutcome::Failed, e.what()};
        }
        TCLock lock(GetCriticalSection());
        fContact = contact;
        fNoContact = contact.empty();
    }
    // A contact stored by an older version may hold anything a page offered: only one plain
    // address is written to.
    const std::string contact = SingleEmailAddress(GetContact());
    if (contact.empty()) return {TReplyOutcome::NoAddress, ""};

    // Marked before the hand-over so that no other reply takes the ad meanwhile; a failure
    // puts the earlier mark back.
    bool wasReplied = false;
    {
        TCLock lock(GetCriticalSection());
        wasReplied = fReplied;
        fReplied = true;
    }
    std::weak_ptr<TEntry> weakSelf = weak_from_this();
    auto result = std::make_shared<std::promise<TReplyOutcome>>();
    std::future<TReplyOutcome> future = result->get_future();
    auto onResult = [weakSelf, wasReplied, result, onSent = std::move(aOnSent)](bool aSent, const std::string& aError) {
        if (!aSent)
            if (auto self = weakSelf.lock()) self->SetReplied(wasReplied);
        const TReplyOutcome outcome =
            aSent ? TReplyOutcome{TReplyOutcome::Sent, ""} : TReplyOutcome{TReplyOutcome::Failed, aError};
        if (onSent) onSent(outcome);
        result->set_value(outcome);
    };
    try {
        aMessage->SendTo(contact, aPriority, GetLink(), GetName(), onResult);
    } catch (const std::exception& e) {
        SetReplied(wasReplied);
        return {TReplyOutcome::Failed, e.what()};
    }
    if (!aWaitToSend) return {TReplyOutcome::Queued, ""};
    try {
        return future.get();
    } catch (const std::future_error&) {
        // The account went away with the mail still queued.
        SetReplied(wasReplied);
        return {TReplyOutcome::Failed, cSendDropped};
    }
}

}  // namespace trawlix
