#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

class TObjectsStorage;

// How often the new results of automatic runs are told (stored as the ordinal).
enum THowOften : unsigned char { hoInstantly = 0, hoDaily = 1 };

// The automatic reply an alert sends to new results. The mail layer knows what a message
// with its sending accounts is; the alert only keeps it and has it store itself.
class IAlertReplyMessage {
public:
    virtual ~IAlertReplyMessage() = default;
    virtual std::string GetSubject() const = 0;
    // Writes the message into aObjectID, the "auto_reply_message" object made for it.
    virtual void SaveToDB(TObjectsStorage& aStorage, int aObjectID) const = 0;
};
using IAlertReplyMessagePtr = std::shared_ptr<IAlertReplyMessage>;
// Reads a stored reply message from its "auto_reply_message" object.
using TAlertReplyMessageLoader = std::function<IAlertReplyMessagePtr(TObjectsStorage& aStorage, int aObjectID)>;

// Where a new alert takes its e-mail address from: the user's own (the session installs
// it); none installed gives an empty address.
void SetAlertDefaultEmailSource(std::function<std::string()> aSource);
// Who reads stored reply messages (installed by the layer that knows them).
void SetAlertReplyMessageLoader(TAlertReplyMessageLoader aLoader);

inline constexpr const char* cAlertType = "alert";
inline constexpr const char* cAutoReplyMessageType = "auto_reply_message";
// The alert's own notification URLs, one a line; they hold tokens (problem reports blank them).
inline constexpr const char* cAlertDestinationsProp = "notify_urls";
inline constexpr int cMinAlertInterval = 1;
inline constexpr int cMaxAlertInterval = 10000;
// The shortest interval in seconds: below it a watcher would only ask again for the page
// it has just read.
inline constexpr int cMinAlertIntervalSeconds = 15;

// A search's alert: whether the search is re-run by itself and how often, and whether and
// how its user hears of what those runs found. Every property takes the alert's lock.
class TAlert : public TThreadSafeObject {
public:
    // A new alert: switched off, every 15 minutes, to the user's own address, sent at once.
    // aNow is the time of creation (the daily send time starts there).
    explicit TAlert(double aNow);
    TAlert();

    bool GetEnabled() const;
    // Switching the alert off drops its automatic reply message.
    void SetEnabled(bool aValue);
    bool GetIncludeResults() const;
    void SetIncludeResults(bool aValue);
    bool GetSendToEmail() const;
    void SetSendToEmail(bool aValue);
    std::string GetEmail() const;
    void SetEmail(const std::string& aValue);
    bool GetSendToSMS() const;
    void SetSendToSMS(bool aValue);
    THowOften GetHowOften() const;
    void SetHowOften(THowOften aValue);
    // For hoDaily, the time of day is the earliest time a digest goes out.
    double GetSendAt() const;
    void SetSendAt(double aValue);
    // The most results a digest lists; 0 lists them all.
    int GetMessageLength() const;
    void SetMessageLength(int aValue);
    // Whole minutes; an interval below a minute, or between minutes, counts as the
    // minutes it reaches into (what older versions read).
    int GetIntervalMinutes() const;
    void SetIntervalMinutes(int aValue);
    // The interval as the scheduler uses it.
    int GetIntervalSeconds() const;
    void SetIntervalSeconds(int aValue);
    // Start of the last automatic run; 0 when there was none since the program started.
    double GetLastSearchedAt() const;
    void SetLastSearchedAt(double aValue);
    bool GetAutoReply() const;
    // Switching automatic replies off drops the reply message (the flag is kept as given).
    void SetAutoReply(bool aValue);
    IAlertReplyMessagePtr GetAutoReplyMessage() const;
    // Where the digests of this alert go, as notification URLs; none sends them through the
    // program's chosen transport.
    std::vector<std::string> GetDestinations() const;
    void SetDestinations(const std::vector<std::string>& aValue);
    void SetAutoReplyMessage(IAlertReplyMessagePtr aValue);

    // Called after a stored value changed, outside the alert's lock (the search marks
    // itself changed there).
    void SetOnChange(std::function<void()> aOnChange);

    // Reads the "alert" object below the search object aParentObjID; without one the alert
    // keeps what it has.
    void FromDB(TObjectsStorage& aStorage, int aParentObjID);
    // Writes the "alert" object below aParentObjID (reused when there is one). The caller
    // holds the transaction.
    void SaveToDB(TObjectsStorage& aStorage, int aParentObjID) const;
    // Reads the "alert" element of the older searches file.
    void FromXMLNode(const pugi::xml_node& aNode);

private:
    template <class T>
    void SetStored(T& aField, const T& aValue);
    void Changed() const;

    bool fEnabled = false;
    bool fIncludeResults = false;
    bool fSendToEmail = false;
    std::string fEmail;
    bool fSendToSMS = false;
    THowOften fHowOften = hoInstantly;
    double fSendAt = 0;
    int fMessageLength = 0;
    int fIntervalMinutes = 15;
    // 0 while the interval is whole minutes.
    int fIntervalSeconds = 0;
    double fLastSearchedAt = 0;
    bool fAutoReply = false;
    IAlertReplyMessagePtr fAutoReplyMessage;
    std::vector<std::string> fDestinations;
    // The stored reply message that could not be read (no loader): kept as stored.
    bool fKeepStoredReplyMessage = false;
    std::function<void()> fOnChange;
};

}  // namespace trawlix
