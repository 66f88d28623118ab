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

TNotifyOutcome NotifySiteProblem(TSearch& aSearch, const std::string& aSiteName, const std::string& aProblem,
                                 const TNotifyContext& aContext) {
    TNotifyOutcome outcome;
    const TAlert& alert = aSearch.GetAlert();
    if (!alert.GetEnabled()) return outcome;
    // Held like a digest: the change stays untold and goes out after the quiet hours.
    if (aContext.quietHours.Contains(aContext.now ? aContext.now() : LocalNow())) {
        outcome.held = true;
        return outcome;
    }
    outcome.considered = true;
    TAlertNotification notice = SiteNotice(aSearch.GetName(), aSiteName, aProblem);
    const bool wantSMS = !aContext.userPhone.empty() && alert.GetSendToSMS() && aContext.canSendSMS &&
                         !aContext.smsAddress.empty();
    const bool wantEmail = !alert.GetEmail().empty() && alert.GetSendToEmail();
    // A web hook tells whatever the alert's boxes say, as it does for digests.
    const bool hook = SendsToWebhook(aContext);
    if (!wantSMS && !wantEmail && !hook) return outcome;
    if (wantSMS) notice.smsTo = aContext.smsAddress;
    if (wantEmail) notice.emailTo = alert.GetEmail();
    try {
        if (!aContext.transport)
            throw ENotificationError(aContext.transportError.empty() ? "no notification transport"
                                                                     : aContext.transportError);
        aContext.transport->SendAlert(notice);
    } catch (const std::exception& e) {
        outcome.failed = true;
        outcome.error = e.what();
        outcome.statusText = NotificationsFailedText(wantSMS, wantEmail, e.what(), hook);
        return outcome;
    }
    outcome.smsSent = wantSMS;
    outcome.emailSent = wantEmail || hook;
    outcome.statusText = notice.noticeTitle + ": " +
                         NotificationsSentText(wantSMS, wantEmail, aContext.now ? aContext.now() : LocalNow(), hook);
    return outcome;
}

}  // namespace trawlix
