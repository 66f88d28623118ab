#include "mail/site_notice.h"

#include "engine/text_functions.h"
#include "model/alert.h"
#include "model/search.h"

namespace trawlix {

TAlertNotification SiteNotice(const std::string& aSearchName, const std::string& aSiteName,
                              const std::string& aProblem) {
    TAlertNotification notice;
    notice.searchName = aSearchName;
    if (aProblem.empty()) {
        notice.noticeTitle = aSiteName + " works again for " + aSearchName;
        notice.noticeText = aSiteName + " gives results again for your search named " + aSearchName + ".";
    } else {
        notice.noticeTitle = "A problem with " + aSiteName + " for " + aSearchName;
        notice.noticeText = aProblem + ". Trawlix keeps trying and tells you when the site works again.";
    }
    notice.smsText = notice.noticeText;
    notice.emailSubject = notice.noticeTitle;
    notice.emailHTML = "<p>" + EscapeHTML(notice.noticeText) +
                       "</p>\r\n<p>This is an automatically generated email. Please do not reply!</p>";
    return notice;
}

TPreparedNotice PrepareSiteNotice(TSearch& aSearch, const std::string& aSiteName, const std::string& aProblem,
                                  const TNotifyContext& aContext) {
    TPreparedNotice prepared;
    const TAlert& alert = aSearch.GetAlert();
    if (!alert.GetEnabled()) return prepared;
    // Held like a digest: the change stays untold and goes out after the quiet hours.
    if (aContext.quietHours.Contains(aContext.now ? aContext.now() : LocalNow())) {
        prepared.outcome.held = true;
        return prepared;
    }
    prepared.outcome.considered = true;
    prepared.notice = SiteNotice(aSearch.GetName(), aSiteName, aProblem);
    prepared.sms = !aContext.userPhone.empty() && alert.GetSendToSMS() && aContext.canSendSMS &&
                   !aContext.smsAddress.empty();
    prepared.email = !alert.GetEmail().empty() && alert.GetSendToEmail();
    // A web hook tells whatever the alert's boxes say, as it does for digests.
    prepared.hook = SendsToWebhook(aContext);
    if (!prepared.sms && !prepared.email && !prepared.hook) return prepared;
    if (prepared.sms) prepared.notice.smsTo = aContext.smsAddress;
    if (prepared.email) prepared.notice.emailTo = alert.GetEmail();
    prepared.toSend = true;
    return prepared;
}

TNotifyOutcome SendPreparedNotice(const TPreparedNotice& aNotice, const TNotifyContext& aContext) {
    TNotifyOutcome outcome = aNotice.outcome;
    if (!aNotice.toSend) return outcome;
    try {
        if (!aContext.transport)
            throw ENotificationError(aContext.transportError.empty() ? "no notification transport"
                                                                     : aContext.transportError);
        aContext.transport->SendAlert(aNotice.notice);
    } catch (const std::exception& e) {
        outcome.failed = true;
        outcome.error = e.what();
        outcome.statusText = NotificationsFailedText(aNotice.sms, aNotice.email, e.what(), aNotice.hook);
        return outcome;
    }
    outcome.smsSent = aNotice.sms;
    outcome.emailSent = aNotice.email || aNotice.hook;
    outcome.statusText =
        aNotice.notice.noticeTitle + ": " +
        NotificationsSentText(aNotice.sms, aNotice.email, aContext.now ? aContext.now() : LocalNow(), aNotice.hook);
    return outcome;
}

TNotifyOutcome NotifySiteProblem(TSearch& aSearch, const std::string& aSiteName, const std::string& aProblem,
                                 const TNotifyContext& aContext) {
    return SendPreparedNotice(PrepareSiteNotice(aSearch, aSiteName, aProblem, aContext), aContext);
}

}  // namespace trawlix
