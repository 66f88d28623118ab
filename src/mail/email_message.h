#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace trawlix {

class TObjectsStorage;

// A mail as the user writes it: subject, body, HTML or plain text.
class TEmailMessage {
public:
    TEmailMessage() = default;
    TEmailMessage(const TEmailMessage&) = default;  // the four fields
    TEmailMessage& operator=(const TEmailMessage&) = default;
    virtual ~TEmailMessage() = default;

    const std::string& GetBody() const { return fBody; }
    bool GetIsHTML() const { return fIsHTML; }
    const std::string& GetSubject() const { return fSubject; }
    // The advertisement's title goes in front of the subject when the mail is sent.
    bool GetIncludeAdTitleInSubject() const { return fIncludeAdTitleInSubject; }
    void SetBody(const std::string& aBody) { fBody = aBody; }
    void SetIsHTML(bool aIsHTML) { fIsHTML = aIsHTML; }
    void SetSubject(const std::string& aSubject) { fSubject = aSubject; }
    void SetIncludeAdTitleInSubject(bool aInclude) { fIncludeAdTitleInSubject = aInclude; }

    // Reads the object aObjectID of type "message".
    virtual void Load(TObjectsStorage& aObjectsStorage, int aObjectID);
    // Adds a new "message" object under aParentID; returns its ID (0 or less when the
    // storage could not add it).
    virtual int Save(TObjectsStorage& aObjectsStorage, int aParentID);

protected:
    void WriteProps(TObjectsStorage& aObjectsStorage, int aObjectID) const;

    std::string fSubject;
    bool fIncludeAdTitleInSubject = false;
    std::string fBody;
    bool fIsHTML = false;
};

using IEmailMessage = std::shared_ptr<TEmailMessage>;

inline constexpr const char* cMessageType = "message";

enum TSendResult { srWaiting = 0, srOK = 1, srError = 2 };

// Called on the sending thread with the outcome and, for srError, why.
using TNotifyOnSendResult = std::function<void(TSendResult aResult, const std::string& aErrorText)>;

// One queued outgoing mail: the message, where it goes and who hears how it went.
class TEmailMessageWithDestination : public TEmailMessage {
public:
    // With IncludeAdTitleInSubject set, the subject becomes aAdTitle followed directly
    // by the message's subject: the caller supplies any separator in the title.
    TEmailMessageWithDestination(const TEmailMessage& aMsg, const std::string& aDestination,
                                 TNotifyOnSendResult aNotifyOnSendResult, int aPriority, const std::string& aAdTitle,
                                 const std::string& aAdURL);

    const std::string& GetDestination() const { return fDestination; }
    const TNotifyOnSendResult& GetNotifyOnSendResult() const { return fNotifyOnSendResult; }
    int GetPriority() const { return fPriority; }
    const std::string& GetAdURL() const { return fAdURL; }

private:
    std::string fDestination;
    TNotifyOnSendResult fNotifyOnSendResult;
    int fPriority;
    std::string fAdURL;
};

}  // namespace trawlix
