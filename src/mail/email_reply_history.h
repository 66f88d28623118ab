#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/critical_section.h"

namespace trawlix {

class TObjectsStorage;

// One mail an account sent.
struct TEmailReplyHistoryItem {
    std::uint64_t fSerial = 0;  // names the item in this run (for Remove)
    double fTimeStamp = 0;      // local time as a day number (days since 30 Dec 1899)
    std::string fFrom;
    std::string fDest;
    std::string fMsgSubject;  // as sent, with an ad title in front when there was one
    std::string fMsgBody;
    std::string fAdURL;  // empty for a mail that answers no ad
};

// Every mail the accounts sent: the rows stored before, newest first, then this run's
// mails in the order their sends completed. Failed sends are not kept.
class TEmailReplyHistory : public TThreadSafeObject {
public:
    TEmailReplyHistory() : TThreadSafeObject("TEmailReplyHistory") {}

    void Add(const std::string& aFrom, const std::string& aDest, double aTimeStamp, const std::string& aMsgSubject,
             const std::string& aMsgBody, const std::string& aAdURL);
    // False when no item has that serial.
    bool Remove(std::uint64_t aSerial);
    std::vector<TEmailReplyHistoryItem> GetHistory() const;
    // The items newest first (by time stamp), at most aLimit of them (0: all).
    std::vector<TEmailReplyHistoryItem> NewestFirst(size_t aLimit = 0) const;
    size_t Count() const;

    // Appends the user's stored rows, newest first. Raises when the table cannot be read.
    void Load(TObjectsStorage& aObjectsStorage, int aUserID);
    // Stores what changed in one transaction: the rows added since the last save, or, after
    // a removal, all of the user's rows again. False (rows left as they were) on error.
    bool Save(TObjectsStorage& aObjectsStorage, int aUserID) const;
    bool Changed() const;
    // True when a mail answering the ad at aAdURL was sent (stored or in this run).
    bool HasReplyTo(const std::string& aAdURL) const;

private:
    std::vector<TEmailReplyHistoryItem> fHistory;
    std::uint64_t fNextSerial = 1;
    mutable bool fChanged = false;
    // The first items of fHistory that the table holds; all of them must be written again
    // when one was removed.
    mutable std::size_t fStoredCount = 0;
    mutable bool fRewrite = false;
};

}  // namespace trawlix
