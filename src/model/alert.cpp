#include "model/alert.h"

#include <algorithm>
#include <mutex>

#include <pugixml.hpp>

#include "engine/clock.h"
#include "engine/text_functions.h"
#include "model/legacy_searches_file.h"
#include "model/objects_storage.h"

namespace trawlix {

namespace {

struct TAlertHooks {
    std::mutex lock;
    std::function<std::string()> defaultEmail;
    TAlertReplyMessageLoader replyMessageLoader;
};

TAlertHooks& Hooks() {
    static TAlertHooks hooks;
    return hooks;
}

std::string DefaultEmail() {
    std::function<std::string()> source;
    {
        std::lock_guard lock(Hooks().lock);
        source = Hooks().defaultEmail;
    }
    return source ? source() : std::string();
}

TAlertReplyMessageLoader ReplyMessageLoader() {
    std::lock_guard lock(Hooks().lock);
    return Hooks().replyMessageLoader;
}

std::vector<std::string> DestinationLines(const std::string& aText) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < aText.size(); start = end + 1) {
        end = aText.find('\n', start);
        if (end == std::string::npos) end = aText.size();
        const std::string line = Trim(aText.substr(start, end - start));
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

THowOften HowOftenFromNumber(int aNumber) { return aNumber == hoDaily ? hoDaily : hoInstantly; }

}  // namespace

void SetAlertDefaultEmailSource(std::function<std::string()> aSource) {
    std::lock_guard lock(Hooks().lock);
    Hooks().defaultEmail = std::move(aSource);
}

void SetAlertReplyMessageLoader(TAlertReplyMessageLoader aLoader) {
    std::lock_guard lock(Hooks().lock);
    Hooks().replyMessageLoader = std::move(aLoader);
}

TAlert::TAlert(double aNow) : TThreadSafeObject("TAlert"), fEmail(DefaultEmail()), fSendAt(aNow) {}

TAlert::TAlert() : TAlert(LocalNow()) {}

void TAlert::SetOnChange(std::function<void()> aOnChange) {
    TCLock lock(fCriticalSection);
    fOnChange = std::move(aOnChange);
}

void TAlert::Changed() const {
    std::function<void()> onChange;
    {
        TCLock lock(fCriticalSection);
        onChange = fOnChange;
    }
    if (onChange) onChange();
}

template <class T>
void TAlert::SetStored(T& aField, const T& aValue) {
    {
        TCLock lock(fCriticalSection);
        if (aField == aValue) return;
        aField = aValue;
    }
    Changed();
}

bool TAlert::GetEnabled() const { return Locked(fCriticalSection, fEnabled); }
void TAlert::SetEnabled(bool aValue) {
    if (!aValue) SetAutoReplyMessage(nullptr);
    SetStored(fEnabled, aValue);
}
bool TAlert::GetIncludeResults() const { return Locked(fCriticalSection, fIncludeResults); }
void TAlert::SetIncludeResults(bool aValue) { SetStored(fIncludeResults, aValue); }
bool TAlert::GetSendToEmail() const { return Locked(fCriticalSection, fSendToEmail); }
void TAlert::SetSendToEmail(bool aValue) { SetStored(fSendToEmail, aValue); }
std::string TAlert::GetEmail() const { return Locked(fCriticalSection, fEmail); }
void TAlert::SetEmail(const std::string& aValue) { SetStored(fEmail, aValue); }
bool TAlert::GetSendToSMS() const { return Locked(fCriticalSection, fSendToSMS); }
void TAlert::SetSendToSMS(bool aValue) { SetStored(fSendToSMS, aValue); }
THowOften TAlert::GetHowOften() const { return Locked(fCriticalSection, fHowOften); }
void TAlert::SetHowOften(THowOften aValue) { SetStored(fHowOften, aValue); }
double TAlert::GetSendAt() const { return Locked(fCriticalSection, fSendAt); }
void TAlert::SetSendAt(double aValue) { SetStored(fSendAt, aValue); }
int TAlert::GetMessageLength() const { return Locked(fCriticalSection, fMessageLength); }
void TAlert::SetMessageLength(int aValue) { SetStored(fMessageLength, aValue); }
int TAlert::GetIntervalMinutes() const { return Locked(fCriticalSection, fIntervalMinutes); }
void TAlert::SetIntervalMinutes(int aValue) { SetIntervalSeconds(aValue * 60); }
int TAlert::GetIntervalSeconds() const {
    TCLock lock(fCriticalSection);
    return fIntervalSeconds > 0 ? fIntervalSeconds : fIntervalMinutes * 60;
}
void TAlert::SetIntervalSeconds(int aValue) {
    const int minutes = std::max(1, (aValue + 59) / 60);
    const int seconds = aValue % 60 == 0 ? 0 : aValue;
    {
        TCLock lock(fCriticalSection);
        if (fIntervalMinutes == minutes && fIntervalSeconds == seconds) return;
        fIntervalMinutes = minutes;
        fIntervalSeconds = seconds;
    }
    Changed();
}
double TAlert::GetLastSearchedAt() const { return Locked(fCriticalSection, fLastSearchedAt); }
// Not stored: the search does not count as changed.
void TAlert::SetLastSearchedAt(double aValue) { SetLocked(fCriticalSection, fLastSearchedAt, aValue); }
bool TAlert::GetAutoReply() const { return Locked(fCriticalSection, fAutoReply); }
void TAlert::SetAutoReply(bool aValue) {
    if (!aValue) SetAutoReplyMessage(nullptr);
    SetStored(fAutoReply, aValue);
}
std::vector<std::string> TAlert::GetDestinations() const { return Locked(fCriticalSection, fDestinations); }
void TAlert::SetDestinations(const std::vector<std::string>& aValue) {
    std::vector<std::string> destinations;
    for (const std::string& url : aValue)
        if (!Trim(url).empty()) destinations.push_back(Trim(url));
    SetStored(fDestinations, destinations);
}
IAlertReplyMessagePtr TAlert::GetAutoReplyMessage() const { return Locked(fCriticalSection, fAutoReplyMessage); }
void TAlert::SetAutoReplyMessage(IAlertReplyMessagePtr aValue) {
    {
        TCLock lock(fCriticalSection);
        if (fAutoReplyMessage == aValue && !fKeepStoredReplyMessage) return;
        fAutoReplyMessage = std::move(aValue);
        fKeepStoredReplyMessage = false;
    }
    Changed();
}

void TAlert::FromDB(TObjectsStorage& aStorage, int aParentObjID) {
    auto object = aStorage.GetObject(cAlertType, aParentObjID);
    if (!object) return;
    const int id = object->GetID();
    TCLock lock(fCriticalSection);
    fEnabled = aStorage.GetObjectPropBool(id, "enabled");
    fIncludeResults = aStorage.GetObjectPropBool(id, "include_results");
    fSendToEmail = aStorage.GetObjectPropBool(id, "send_to_email");
    fEmail = aStorage.GetObjectPropText(id, "email", fEmail);
    fSendToSMS = aStorage.GetObjectPropBool(id, "send_to_sms");
    fHowOften = HowOftenFromNumber(aStorage.GetObjectPropInt(id, "how_often", 0));
    fSendAt = aStorage.GetObjectPropFloat(id, "send_at");
    fMessageLength = aStorage.GetObjectPropInt(id, "msg_length", 0);
    fIntervalMinutes = aStorage.GetObjectPropInt(id, "interval", 15);
    fIntervalSeconds = std::max(0, aStorage.GetObjectPropInt(id, "interval_seconds", 0));
    fAutoReply = aStorage.GetObjectPropBool(id, "auto_reply");
    fDestinations = DestinationLines(aStorage.GetObjectPropText(id, cAlertDestinationsProp));
    fAutoReplyMessage.reset();
    fKeepStoredReplyMessage = false;
    if (!fAutoReply) return;
    auto messageObject = aStorage.GetObject(cAutoReplyMessageType, id);
    if (!messageObject) return;
    if (auto loader = ReplyMessageLoader())
        fAutoReplyMessage = loader(aStorage, messageObject->GetID());
    else
        // Nobody here can read the message: leave it stored as it is rather than drop it.
        fKeepStoredReplyMessage = true;
}

void TAlert::SaveToDB(TObjectsStorage& aStorage, int aParentObjID) const {
    TCLock lock(fCriticalSection);
    const int id = aStorage.AddObject(cAlertType, aParentObjID, "", false);
    aStorage.SetObjectProp(id, "enabled", fEnabled);
    aStorage.SetObjectProp(id, "include_results", fIncludeResults);
    aStorage.SetObjectProp(id, "send_to_email", fSendToEmail);
    aStorage.SetObjectProp(id, "email", fEmail);
    aStorage.SetObjectProp(id, "send_to_sms", fSendToSMS);
    aStorage.SetObjectProp(id, "how_often", static_cast<int>(fHowOften));
    aStorage.SetObjectProp(id, "send_at", fSendAt);
    aStorage.SetObjectProp(id, "msg_length", fMessageLength);
    aStorage.SetObjectProp(id, "interval", fIntervalMinutes);
    aStorage.SetObjectProp(id, "interval_seconds", fIntervalSeconds);
    aStorage.SetObjectProp(id, "auto_reply", fAutoReply);
    std::string destinations;
    for (const std::string& url : fDestinations) destinations += (destinations.empty() ? "" : "\n") + url;
    aStorage.SetObjectProp(id, cAlertDestinationsProp, destinations);
    if (fKeepStoredReplyMessage) return;
    aStorage.DeleteObjects(cAutoReplyMessageType, id, true);
    if (fAutoReply && fAutoReplyMessage) {
        const int messageID = aStorage.AddObject(cAutoReplyMessageType, id, "", true);
        fAutoReplyMessage->SaveToDB(aStorage, messageID);
    }
}

void TAlert::FromXMLNode(const pugi::xml_node& aNode) {
    TCLock lock(fCriticalSection);
    // A malformed attribute keeps the value the alert has, like a missing one.
    const auto flag = [&](const char* aName, bool& aField) {
        if (auto attribute = aNode.attribute(aName)) ParseOlderFlag(attribute.as_string(), aField);
    };
    const auto integer = [&](const char* aName, int& aField) {
        if (auto attribute = aNode.attribute(aName)) ParseOlderInteger(attribute.as_string(), aField);
    };
    flag("enabled", fEnabled);
    flag("include_results", fIncludeResults);
    flag("send_to_email", fSendToEmail);
    flag("send_to_sms", fSendToSMS);
    int howOften = fHowOften;
    integer("how_often", howOften);
    fHowOften = HowOftenFromNumber(howOften);
    integer("msg_length", fMessageLength);
    if (auto attribute = aNode.attribute("send_at")) TryStrToFloatSafe(attribute.as_string(), fSendAt);
}

}  // namespace trawlix
