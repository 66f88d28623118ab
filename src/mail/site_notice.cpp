#include "mail/site_notice.h"

#include "engine/clock.h"
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

TAlertNotification EverySiteDownNotice(const std::string& aSince, const std::string& aLastProblem) {
    TAlertNotification notice;
    notice.searchName = "Trawlix";
    notice.noticeTitle = "Every site has failed for an hour";
    notice.noticeText = "No site has given Trawlix results since " + aSince +
                        ": the watcher is running but finds nothing. The last problem: " + aLastProblem + ".";
    notice.smsText = notice.noticeText;
    notice.emailSubject = notice.noticeTitle;
    notice.emailHTML = "<p>" + EscapeHTML(notice.noticeText) +
                       "</p>\r\n<p>This is an automatically generated email. Please do not reply!</p>";
    return notice;
}

namespace {

// A notice goes to each of the alert's own destinations; one that failed makes the notice
// wait for the next run (the others may then tell it twice: a notice, unlike a digest,
// carries nothing that would be lost).
TNotifyOutcome NoticeToDestinations(const TAlertNotification& aNotice, const std::vector<std::string>& aURLs,
                                    const TNotifyContext& aContext) {
    TNotifyOutcome outcome;
    outcome.considered = true;
    std::vector<std::string> failed;
    for (const std::string& url : aURLs) {
        try {
            if (!aContext.makeDestination) throw ENotificationError("no transport for the alert's destinations");
            aContext.makeDestination(url)->SendAlert(aNotice);
        } catch (const std::exception& e) {
            failed.push_back(url);
            if (outcome.error.empty()) outcome.error = e.what();
        }
    }
    outcome.failed = !failed.empty();
    outcome.emailSent = !outcome.failed;
    outcome.statusText = outcome.failed ? "Notifications (" + DestinationKinds(failed) + ") could not be sent: " + outcome.error
                                        : aNotice.noticeTitle + ": Notifications (" + DestinationKinds(aURLs) + ") were sent";
    return outcome;
}

}  // namespace

TNotifyOutcome NotifyEverySiteDown(TAlertNotification aNotice, const std::string& aUserEmail,
                                   const std::vector<std::string>& aDestinations, const TNotifyContext& aContext) {
    if (aContext.quietHours.Contains(aContext.now ? aContext.now() : LocalNow())) {
        TNotifyOutcome held;
        held.held = true;
        return held;
    }
    aNotice.emailTo = aUserEmail;
    TNotifyOutcome outcome = aDestinations.empty() ? TNotifyOutcome{} : NoticeToDestinations(aNotice, aDestinations, aContext);
    if (aUserEmail.empty() && !SendsToWebhook(aContext)) return outcome;
    outcome.considered = true;
    try {
        if (!aContext.transport)
            throw ENotificationError(aContext.transportError.empty() ? "no notification transport" : aContext.transportError);
        aContext.transport->SendAlert(aNotice);
    } catch (const std::exception& e) {
        outcome.failed = true;
        if (outcome.error.empty()) outcome.error = e.what();
    }
    outcome.emailSent = !outcome.failed;
    outcome.statusText = outcome.failed ? aNotice.noticeTitle + ": could not be told: " + outcome.error
                                        : aNotice.noticeTitle + ": the notice was sent";
    return outcome;
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
    const std::vector<std::string> destinations = alert.GetDestinations();
    if (!destinations.empty()) {
        prepared.notice.emailTo = alert.GetEmail();
        prepared.destinations = destinations;
        prepared.toSend = true;
        return prepared;
    }
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
    if (!aNotice.destinations.empty()) return NoticeToDestinations(aNotice.notice, aNotice.destinations, aContext);
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
