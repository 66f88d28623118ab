#include "mail/email_message.h"

#include "model/objects_storage.h"

namespace trawlix {

void TEmailMessage::Load(TObjectsStorage& aObjectsStorage, int aObjectID) {
    fSubject = aObjectsStorage.GetObjectPropText(aObjectID, "subject");
    fIncludeAdTitleInSubject = aObjectsStorage.GetObjectPropBool(aObjectID, "include_title_ad_in_sbj");
    fBody = aObjectsStorage.GetObjectPropText(aObjectID, "body");
    fIsHTML = aObjectsStorage.GetObjectPropBool(aObjectID, "is_html");
}

int TEmailMessage::Save(TObjectsStorage& aObjectsStorage, int aParentID) {
    const int id = aObjectsStorage.AddObject(cMessageType, aParentID, "", true);
    if (id > 0) WriteProps(aObjectsStorage, id);
    return id;
}

void TEmailMessage::WriteProps(TObjectsStorage& aObjectsStorage, int aObjectID) const {
    aObjectsStorage.SetObjectProp(aObjectID, "subject", fSubject);
    aObjectsStorage.SetObjectProp(aObjectID, "include_title_ad_in_sbj", fIncludeAdTitleInSubject);
    aObjectsStorage.SetObjectProp(aObjectID, "body", fBody);
    aObjectsStorage.SetObjectProp(aObjectID, "is_html", fIsHTML);
}

TEmailMessageWithDestination::TEmailMessageWithDestination(const TEmailMessage& aMsg, const std::string& aDestination,
                                                           TNotifyOnSendResult aNotifyOnSendResult, int aPriority,
                                                           const std::string& aAdTitle, const std::string& aAdURL)
    : TEmailMessage(aMsg),
      fDestination(aDestination),
      fNotifyOnSendResult(std::move(aNotifyOnSendResult)),
      fPriority(aPriority),
      fAdURL(aAdURL) {
    if (fIncludeAdTitleInSubject) fSubject = aAdTitle + fSubject;
}

}  // namespace trawlix
