#include "mail/new_results_digest.h"

#include <cmath>
#include <cstdio>

#include "engine/critical_section.h"
#include "engine/email_address.h"
#include "engine/text_functions.h"
#include "model/filter.h"
#include "model/objects_storage.h"
#include "model/search.h"

namespace trawlix {

namespace {

constexpr std::size_t cSMSTextLimit = 250;

// Unlocks the search for the length of a send, so the window is not held up by the network.
class TSearchUnlocked {
public:
    explicit TSearchUnlocked(TCCriticalSection& aLock) : fLock(aLock) { fLock.Release(); }
    ~TSearchUnlocked() { fLock.Acquire(); }
    TSearchUnlocked(const TSearchUnlocked&) = delete;
    TSearchUnlocked& operator=(const TSearchUnlocked&) = delete;

private:
    TCCriticalSection& fLock;
};

std::string DigestLine(const TEntry& aEntry) {
    return "<div><a href=\"" + aEntry.GetLink() + "\">" + EscapeHTML(aEntry.GetName()) + "</a></div>\r\n";
}

std::string PriceDropLine(const TEntry& aEntry) {
    return "<div><a href=\"" + aEntry.GetLink() + "\">" + EscapeHTML(aEntry.GetName()) + "</a>: was " +
           FloatToStorageText(aEntry.GetPriceWas()) + ", now " + FloatToStorageText(aEntry.GetPrice()) +
           "</div>\r\n";
}

std::string DefaultEntryEmail(const TEntry& aEntry) { return SingleEmailAddress(aEntry.GetContact()); }

void TimeAndDate(double aNow, std::string& aTime, std::string& aDate) {
    int year = 0;
    unsigned month = 0, day = 0;
    DecodeDate(aNow, year, month, day);
    const double dayFraction = aNow - std::floor(aNow);
    const int minutes = static_cast<int>(std::floor(dayFraction * 1440.0 + 1e-6));
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", (minutes / 60 + 11) % 12 + 1, minutes % 60,
                  minutes < 720 ? "AM" : "PM");
    aTime = text;
    std::snprintf(text, sizeof text, "%u/%u/%d", month, day, year);
    aDate = text;
}

TDigestResult ToDigestResult(const TEntry& aEntry, const TNotifyContext& aContext) {
    TDigestResult result;
    result.title = aEntry.GetName();
    result.link = aEntry.GetLink();
    result.price = aEntry.GetPrice();
    result.location = aEntry.GetLocationString();
    result.email = aContext.entryEmail ? aContext.entryEmail(aEntry) : DefaultEntryEmail(aEntry);
    return result;
}

bool DailyTurnUsedOrEarly(const TSearch& aSearch, const TAlert& aAlert, double aNow) {
    if (aAlert.GetHowOften() != hoDaily) return false;
    if (std::floor(aSearch.GetNotificationsWereSentAt()) == std::floor(aNow)) return true;
    const double sendAt = aAlert.GetSendAt();
    return sendAt - std::floor(sendAt) > aNow - std::floor(aNow);
}

// Quiet hours: the results keep their marks, so the first digest after them tells these
// together with whatever comes meanwhile.
TNotifyOutcome HeldOutcome(TSearch& aSearch, const TQuietHours& aQuietHours) {
    TNotifyOutcome outcome;
    if (aSearch.GetCalledFromUser()) return outcome;
    const TDigest digest = BuildDigest(aSearch, 0);
    RestoreDigestMarks(digest);
    if (digest.count == 0) return outcome;
    outcome.held = true;
    outcome.count = digest.count;
    outcome.statusText = "Notifications are held until the quiet hours end at " + aQuietHours.EndText();
    return outcome;
}

// Sends the digest's parts with the search unlocked; the error text, empty when it went out.
std::string SendDigest(TSearch& aSearch, const TDigest& aDigest, bool aSMS, bool aEmail, const TNotifyContext& aContext) {
    const TAlert& alert = aSearch.GetAlert();
    const std::string name = aSearch.GetName();
    TAlertNotification notification;
    notification.searchName = name;
    notification.count = aDigest.count;
    for (const IEntry& entry : aDigest.listed) notification.results.push_back(ToDigestResult(*entry, aContext));
    if (aSMS) {
        notification.smsTo = aContext.smsAddress;
        notification.smsText = DigestSMSText(name, aDigest, alert.GetIncludeResults(), aContext.entryEmail);
    }
    if (aEmail) {
        notification.emailTo = alert.GetEmail();
        notification.emailSubject = "New results available for " + name;
        notification.emailHTML = DigestEmailHTML(name, aDigest);
    }
    TSearchUnlocked unlocked(aSearch.GetCriticalSection());
    try {
        aContext.transport->SendAlert(notification);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TDigest BuildDigest(TSearch& aSearch, int aLimit) {
    TDigest digest;
    const TFilter& filter = aSearch.GetFilter();
    for (const IEntry& entry : aSearch.GetSearchResults()) {
        if (!entry->GetIncludeInEmailDigest()) continue;
        if (entry->IsFolded()) {
            // Marked before it was folded (a digest that failed): its first result speaks for it.
            entry->SetIncludeInEmailDigest(false);
            digest.unmarked.push_back(entry);
            continue;
        }
        if (!filter.EntryPasses(*entry, true)) continue;
        entry->SetIncludeInEmailDigest(false);
        digest.unmarked.push_back(entry);
        if (entry->GetPriceDropped() && !entry->GetNew()) {
            digest.priceDrops.push_back(entry);
            digest.priceDropLines += PriceDropLine(*entry);
            continue;
        }
        ++digest.count;
        if (aLimit < 1 || digest.count <= aLimit) {
            digest.lines += DigestLine(*entry);
            digest.listed.push_back(entry);
        }
    }
    return digest;
}

void RestoreDigestMarks(const TDigest& aDigest) {
    for (const IEntry& entry : aDigest.unmarked) entry->SetIncludeInEmailDigest(true);
}

namespace {

std::string PriceDropsSection(const TDigest& aDigest) {
    if (aDigest.priceDrops.empty()) return {};
    return "<p><b>Price drops</b></p>\r\n" + aDigest.priceDropLines;
}

}  // namespace

std::string DigestEmailHTML(const std::string& aSearchName, const TDigest& aDigest) {
    return "<p>There are new results available for your search named <b>" + EscapeHTML(aSearchName) +
           "</b>.</p>\r\n<p>Listing 1 - " + std::to_string(aDigest.listed.size()) + " of " +
           std::to_string(aDigest.count) + ".</p>\r\n" + aDigest.lines + PriceDropsSection(aDigest) +
           "\r\n<p>Thanks, <br/> the Trawlix team!</p>\r\n"
           "<p>This is an automatically generated email. Please do not reply!</p>";
}

std::string DigestSMSText(const std::string& aSearchName, const TDigest& aDigest, bool aIncludeResults,
                          const std::function<std::string(const TEntry&)>& aEntryEmail) {
    if (!aIncludeResults) return "New results available for:" + EscapeHTML(aSearchName);
    std::string text;
    for (const IEntry& entry : aDigest.listed) {
        const std::string email = aEntryEmail ? aEntryEmail(*entry) : DefaultEntryEmail(*entry);
        if (!email.empty()) text += email + ":";
        text += entry->GetName() + "\n";
        if (text.size() > cSMSTextLimit) break;
    }
    return text;
}

std::string NotificationKinds(bool aSMS, bool aEmail) {
    if (aSMS && aEmail) return "SMS & Email";
    return aSMS ? "SMS" : "Email";
}

std::string NotificationsSentText(bool aSMS, bool aEmail, double aNow) {
    std::string time, date;
    TimeAndDate(aNow, time, date);
    return "Notifications (" + NotificationKinds(aSMS, aEmail) + ") were sent at " + time + " on " + date;
}

std::string NotificationsFailedText(bool aSMS, bool aEmail, const std::string& aReason) {
    return "Notifications (" + NotificationKinds(aSMS, aEmail) + ") could not be sent: " + aReason;
}

TNotifyOutcome NotifyForNewResults(TSearch& aSearch, bool aSMS, bool aEMail, const TNotifyContext& aContext) {
    TNotifyOutcome outcome;
    const TAlert& alert = aSearch.GetAlert();
    if (!alert.GetEnabled()) return outcome;
    const double now = aContext.now ? aContext.now() : LocalNow();
    if (aContext.quietHours.Contains(now)) return HeldOutcome(aSearch, aContext.quietHours);
    if (DailyTurnUsedOrEarly(aSearch, alert, now)) return outcome;
    outcome.considered = true;
    const double previousTurn = aSearch.GetNotificationsWereSentAt();
    aSearch.SetNotificationsWereSentAt(now);

    TDigest digest;
    if (!aSearch.GetCalledFromUser()) digest = BuildDigest(aSearch, alert.GetMessageLength());
    outcome.count = digest.count;
    outcome.listed = static_cast<int>(digest.listed.size());
    if (digest.count == 0 && digest.priceDrops.empty()) return outcome;

    bool wantSMS = aSMS && !aContext.userPhone.empty() && alert.GetSendToSMS() && aContext.canSendSMS;
    const bool wantEmail = aEMail && !alert.GetEmail().empty() && alert.GetSendToEmail();
    // An SMS without a gateway address (a carrier not in the list) is not sent; the reason
    // is told, and the e-mail still goes.
    std::string smsProblem;
    if (wantSMS && aContext.smsAddress.empty()) {
        smsProblem = aContext.smsAddressError.empty() ? "no e-mail-to-SMS address" : aContext.smsAddressError;
        wantSMS = false;
    }
    // Nobody to tell: the results are reported all the same (their marks are gone).
    if (!wantSMS && !wantEmail && smsProblem.empty()) return outcome;
    std::string error;
    if (!wantSMS && !wantEmail)
        error = smsProblem;
    else if (!aContext.transport)
        error = aContext.transportError.empty() ? "no notification transport" : aContext.transportError;
    else
        error = SendDigest(aSearch, digest, wantSMS, wantEmail, aContext);
    if (!error.empty()) {
        // Nothing is lost: the results stay marked and the day's turn is not used up, so
        // the next run tells them again.
        RestoreDigestMarks(digest);
        aSearch.SetNotificationsWereSentAt(previousTurn);
        outcome.failed = true;
        outcome.error = error;
        outcome.statusText = NotificationsFailedText(wantSMS || !smsProblem.empty(), wantEmail, error);
        return outcome;
    }
    outcome.smsSent = wantSMS;
    outcome.emailSent = wantEmail;
    outcome.statusText = NotificationsSentText(wantSMS, wantEmail, now);
    if (!smsProblem.empty()) outcome.statusText += "; the SMS could not be sent: " + smsProblem;
    return outcome;
}

}  // namespace trawlix
