#include "mail/email_reply_history.h"

#include <algorithm>

#include "engine/text_functions.h"
#include "model/objects_storage.h"

namespace trawlix {

void TEmailReplyHistory::Add(const std::string& aFrom, const std::string& aDest, double aTimeStamp,
                             const std::string& aMsgSubject, const std::string& aMsgBody, const std::string& aAdURL) {
    TCLock lock(fCriticalSection);
    fHistory.push_back({fNextSerial++, aTimeStamp, aFrom, aDest, aMsgSubject, aMsgBody, aAdURL});
    fChanged = true;
}

bool TEmailReplyHistory::Remove(std::uint64_t aSerial) {
    TCLock lock(fCriticalSection);
    auto item = std::find_if(fHistory.begin(), fHistory.end(),
                             [aSerial](const TEmailReplyHistoryItem& aItem) { return aItem.fSerial == aSerial; });
    if (item == fHistory.end()) return false;
    if (static_cast<std::size_t>(item - fHistory.begin()) < fStoredCount) fRewrite = true;
    fHistory.erase(item);
    fStoredCount = std::min(fStoredCount, fHistory.size());
    fChanged = true;
    return true;
}

std::vector<TEmailReplyHistoryItem> TEmailReplyHistory::GetHistory() const {
    return Locked(fCriticalSection, fHistory);
}

std::vector<TEmailReplyHistoryItem> TEmailReplyHistory::NewestFirst(size_t aLimit) const {
    std::vector<TEmailReplyHistoryItem> items = GetHistory();
    // Equal time stamps keep the later-added item first: it was sent later.
    std::stable_sort(items.begin(), items.end(), [](const TEmailReplyHistoryItem& aLeft, const TEmailReplyHistoryItem& aRight) {
        if (aLeft.fTimeStamp != aRight.fTimeStamp) return aLeft.fTimeStamp > aRight.fTimeStamp;
        return aLeft.fSerial > aRight.fSerial;
    });
    if (aLimit > 0 && items.size() > aLimit) items.resize(aLimit);
    return items;
}

size_t TEmailReplyHistory::Count() const {
    TCLock lock(fCriticalSection);
    return fHistory.size();
}

void TEmailReplyHistory::Load(TObjectsStorage& aObjectsStorage, int aUserID) {
    auto table = aObjectsStorage.SQLLiteDB().GetTable(
        "select * from email_reply_history where user_id = ? order by timestamp desc, id asc", {aUserID});
    TCLock lock(fCriticalSection);
    for (; !table.Eof(); table.Next())
        fHistory.push_back({fNextSerial++, StrToFloatDefSafe(table.FieldAsString("timestamp"), 0),
                            UnEscapeSQL(table.FieldAsString("source")), UnEscapeSQL(table.FieldAsString("dest")),
                            UnEscapeSQL(table.FieldAsString("msg_subject")), UnEscapeSQL(table.FieldAsString("msg_body")),
                            UnEscapeSQL(table.FieldAsString("ad_url"))});
    fStoredCount = fHistory.size();
    fChanged = false;
}

bool TEmailReplyHistory::Save(TObjectsStorage& aObjectsStorage, int aUserID) const {
    TCLock lock(fCriticalSection);
    try {
        TStorageTransaction transaction(aObjectsStorage);
        TSQLiteDB& db = aObjectsStorage.SQLLiteDB();
        // Each accepted mail is stored as it goes out: appending keeps that cheap however
        // long the history grows.
        std::size_t first = fStoredCount;
        if (fRewrite) {
            db.ExecSQL("delete from email_reply_history where user_id = ?", {aUserID});
            first = 0;
        }
        // The texts are bound, not spliced into the statement; they are stored escaped as
        // the table always kept them.
        for (std::size_t i = first; i < fHistory.size(); ++i) {
            const auto& item = fHistory[i];
            db.ExecSQL("insert into email_reply_history (user_id, timestamp, source, dest, msg_subject, msg_body, "
                       "ad_url) values (?, ?, ?, ?, ?, ?, ?)",
                       {aUserID, item.fTimeStamp, EscapeSQL(item.fFrom), EscapeSQL(item.fDest),
                        EscapeSQL(item.fMsgSubject), EscapeSQL(item.fMsgBody), EscapeSQL(item.fAdURL)});
        }
        transaction.Commit();
    } catch (const std::exception&) {
        return false;  // rolled back: the rows stored before stay as they were
    }
    fStoredCount = fHistory.size();
    fRewrite = false;
    fChanged = false;
    return true;
}

bool TEmailReplyHistory::HasReplyTo(const std::string& aAdURL) const {
    if (aAdURL.empty()) return false;
    TCLock lock(fCriticalSection);
    return std::any_of(fHistory.begin(), fHistory.end(),
                       [&](const TEmailReplyHistoryItem& aItem) { return aItem.fAdURL == aAdURL; });
}

bool TEmailReplyHistory::Changed() const {
    TCLock lock(fCriticalSection);
    return fChanged;
}

}  // namespace trawlix
