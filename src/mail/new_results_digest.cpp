#include "mail/new_results_digest.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "engine/critical_section.h"
#include "engine/email_address.h"
#include "engine/text_functions.h"
#include "engine/time_and_date_text.h"
#include "mail/notification_url.h"
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

TDigestResult ToDigestResult(const TEntry& aEntry, const TNotifyContext& aContext) {
    TDigestResult result;
    result.title = aEntry.GetName();
    result.link = aEntry.GetLink();
    result.price = aEntry.GetPrice();
    result.location = aEntry.GetLocationString();
    result.email = aContext.entryEmail ? aContext.entryEmail(aEntry) : DefaultEntryEmail(aEntry);
    if (aEntry.GetPriceDropped()) result.priceWas = aEntry.GetPriceWas();
    return result;
}

bool DailyTurnUsedOrEarly(const TSearch& aSearch, const TAlert& aAlert, double aNow) {
    if (aAlert.GetHowOften() != hoDaily) return false;
    const double sendAt = aAlert.GetSendAt();
    const double todaysTurn = std::floor(aNow) + (sendAt - std::floor(sendAt));
    const double lastSent = aSearch.GetNotificationsWereSentAt();
    if (lastSent <= 0) return aNow < todaysTurn;  // never sent: today's time is the first turn
    // The latest turn that has come: today's once its time passed, else yesterday's. A turn
    // that fell inside quiet hours (or while the program was not running) is taken at the
    // first chance after it, not skipped.
    const double latestTurn = aNow >= todaysTurn ? todaysTurn : todaysTurn - 1;
    return lastSent >= latestTurn;
}

// Quiet hours: the results keep their marks, so the first digest after them tells these
// together with whatever comes meanwhile.
TNotifyOutcome HeldOutcome(TSearch& aSearch, const TQuietHours& aQuietHours) {
    TNotifyOutcome outcome;
    if (aSearch.GetCalledFromUser()) return outcome;
    const TDigest digest = BuildDigest(aSearch, 0);
    if (digest.count == 0 && digest.priceDrops.empty()) return outcome;
    outcome.held = true;
    outcome.count = digest.count;
    outcome.statusText = "Notifications are held until the quiet hours end at " + aQuietHours.EndText();
    return outcome;
}

// Stores the search with its lock let go; a failure is left to the next save.
void SaveUnlocked(TSearch& aSearch, const TNotifyContext& aContext) {
    if (!aContext.saveSearch) return;
    TSearchUnlocked unlocked(aSearch.GetCriticalSection());
    try {
        aContext.saveSearch(aSearch);
    } catch (const std::exception&) {
        // The background saver tries again; the send does not wait for it.
    }
}

TAlertNotification NotificationFor(TSearch& aSearch, const TDigestSend& aSend, const std::string& aID,
                                   const TNotifyContext& aContext) {
    const TAlert& alert = aSearch.GetAlert();
    const std::string name = aSearch.GetName();
    TAlertNotification notification;
    notification.searchName = name;
    notification.count = aSend.digest.count;
    notification.digestId = aID;
    for (const IEntry& entry : aSend.digest.listed) notification.results.push_back(ToDigestResult(*entry, aContext));
    for (const IEntry& entry : aSend.digest.priceDrops)
        notification.priceDrops.push_back(ToDigestResult(*entry, aContext));
    TDigest digest = aSend.digest;
    digest.id = aID;
    if (aSend.sms) {
        notification.smsTo = aContext.smsAddress;
        notification.smsText = DigestSMSText(name, digest, alert.GetIncludeResults(), aContext.entryEmail);
    }
    if (aSend.email) {
        notification.emailTo = alert.GetEmail();
        notification.emailSubject = "New results available for " + name;
        notification.emailHTML = DigestEmailHTML(name, digest);
    }
    return notification;
}

std::vector<std::string> LinksOf(const std::vector<IEntry>& aEntries) {
    std::vector<std::string> links;
    for (const IEntry& entry : aEntries) links.push_back(entry->GetLink());
    return links;
}

// What an alert that can reach nobody says instead of using its results up.
std::string NobodyToTellReason(const TAlert& aAlert) {
    if (aAlert.GetSendToEmail() && Trim(aAlert.GetEmail()).empty()) return "the alert has no e-mail address";
    return {};
}

}  // namespace

TDigest BuildDigest(TSearch& aSearch, int aLimit, const std::function<bool(const TEntry&)>& aSkip) {
    TDigest digest;
    const TFilter& filter = aSearch.GetFilter();
    for (const IEntry& entry : aSearch.GetSearchResults()) {
        if (!entry->GetIncludeInEmailDigest()) continue;
        if (entry->IsFolded()) {
            // Marked before it was folded (a digest that failed): its first result speaks for it.
            digest.unmarked.push_back(entry);
            continue;
        }
        if (!filter.EntryPasses(*entry, true)) continue;
        digest.unmarked.push_back(entry);
        if (aSkip && aSkip(*entry)) continue;
        digest.counted.push_back(entry);
        // A drop is told with both prices, even on a result not told of before.
        if (entry->GetPriceDropped()) {
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

void ClearDigestMarks(const TDigest& aDigest) {
    for (const IEntry& entry : aDigest.unmarked) entry->SetIncludeInEmailDigest(false);
}

void RestoreDigestMarks(const TDigest& aDigest) {
    for (const IEntry& entry : aDigest.unmarked) entry->SetIncludeInEmailDigest(true);
}

std::string DigestID(int aSearchID, const std::vector<IEntry>& aEntries) {
    std::vector<std::string> links = LinksOf(aEntries);
    std::sort(links.begin(), links.end());
    // FNV-1a: stable across runs and builds, unlike std::hash.
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&hash](const std::string& aText) {
        for (unsigned char c : aText) hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ '\n') * 1099511628211ull;
    };
    add(std::to_string(aSearchID));
    for (const std::string& link : links) add(link);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
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
           "<p>This is an automatically generated email. Please do not reply!</p>" +
           (aDigest.id.empty() ? std::string() : "\r\n<p>Digest " + aDigest.id + "</p>");
}

std::string DigestSMSText(const std::string& aSearchName, const TDigest& aDigest, bool aIncludeResults,
                          const std::function<std::string(const TEntry&)>& aEntryEmail) {
    // The id goes first: a carrier that cuts a long SMS keeps it.
    const std::string id = aDigest.id.empty() ? std::string() : "#" + aDigest.id + "\n";
    if (!aIncludeResults) return id + "New results available for:" + EscapeHTML(aSearchName);
    std::string text = id;
    for (const IEntry& entry : aDigest.listed) {
        const std::string email = aEntryEmail ? aEntryEmail(*entry) : DefaultEntryEmail(*entry);
        if (!email.empty()) text += email + ":";
        text += entry->GetName() + "\n";
        if (text.size() > cSMSTextLimit + id.size()) break;
    }
    return text;
}

std::string NotificationKinds(bool aSMS, bool aEmail, bool aWebhook) {
    if (aWebhook) return "Web hook";
    if (aSMS && aEmail) return "SMS & Email";
    return aSMS ? "SMS" : "Email";
}

bool SendsToWebhook(const TNotifyContext& aContext) {
    return aContext.transport && aContext.transport->GetName() == "webhook";
}

namespace {

// " at 18:05 on 10.12.2026", in the user's formats.
std::string SentAtText(double aNow) {
    const TTimeAndDateText when = UserTimeAndDate(aNow);
    return " at " + when.time + " on " + when.date;
}

}  // namespace

std::string NotificationsSentText(bool aSMS, bool aEmail, double aNow, bool aWebhook) {
    return "Notifications (" + NotificationKinds(aSMS, aEmail, aWebhook) + ") were sent" + SentAtText(aNow);
}

std::string NotificationsFailedText(bool aSMS, bool aEmail, const std::string& aReason, bool aWebhook) {
    return "Notifications (" + NotificationKinds(aSMS, aEmail, aWebhook) + ") could not be sent: " + aReason;
}

namespace {

// The parts the alert asks for, each with the results that part has not told yet; a web
// hook stands for both parts, so it gets the whole digest once.
std::vector<TDigestSend> PartsToSend(TSearch& aSearch, const TDigest& aWhole, bool aSMS, bool aEmail,
                                     const TNotifyContext& aContext) {
    const int limit = aSearch.GetAlert().GetMessageLength();
    if (SendsToWebhook(aContext)) return {{aSMS, true, aWhole, {}}};
    std::vector<TDigestSend> sends;
    for (TDigestPart part : {TDigestPart::SMS, TDigestPart::Email}) {
        const bool sms = part == TDigestPart::SMS;
        if (!(sms ? aSMS : aEmail)) continue;
        TDigest digest = BuildDigest(aSearch, limit, [&](const TEntry& aEntry) {
            return aSearch.GetDigestToldBy(part, aEntry.GetLink());
        });
        if (digest.count > 0 || !digest.priceDrops.empty()) sends.push_back({sms, !sms, std::move(digest), {}});
    }
    return sends;
}

// Notes what went out: everything, or the parts that did while another failed.
void NoteSent(TSearch& aSearch, const TDigest& aWhole, const std::vector<TDigestSend>& aSends, bool aAllSent) {
    if (aAllSent) {
        ClearDigestMarks(aWhole);
        aSearch.ForgetDigestTold(LinksOf(aWhole.unmarked));
        return;
    }
    for (const TDigestSend& send : aSends) {
        if (!send.error.empty()) continue;
        if (send.sms) aSearch.SetDigestToldBy(TDigestPart::SMS, LinksOf(send.digest.counted));
        if (send.email) aSearch.SetDigestToldBy(TDigestPart::Email, LinksOf(send.digest.counted));
    }
}

TWantedParts WantedParts(const TAlert& aAlert, bool aSMS, bool aEMail, const TNotifyContext& aContext) {
    TWantedParts parts;
    parts.sms = aSMS && !aContext.userPhone.empty() && aAlert.GetSendToSMS() && aContext.canSendSMS;
    parts.email = aEMail && !aAlert.GetEmail().empty() && aAlert.GetSendToEmail();
    // An SMS without a gateway address (a carrier not in the list) is not sent; the reason
    // is told, and the e-mail still goes.
    if (parts.sms && aContext.smsAddress.empty()) {
        parts.smsProblem = aContext.smsAddressError.empty() ? "no e-mail-to-SMS address" : aContext.smsAddressError;
        parts.sms = false;
    }
    if (aEMail && !parts.email) parts.nobodyProblem = NobodyToTellReason(aAlert);
    return parts;
}

// Why the send carrying aPart failed; empty when it went out or had nothing to tell.
std::string PartError(const std::vector<TDigestSend>& aSends, TDigestPart aPart) {
    for (const TDigestSend& send : aSends)
        if (!send.error.empty() && (aPart == TDigestPart::SMS ? send.sms : send.email)) return send.error;
    return {};
}

bool Carries(const std::vector<TDigestSend>& aSends, TDigestPart aPart) {
    return std::any_of(aSends.begin(), aSends.end(),
                       [aPart](const TDigestSend& aSend) { return aPart == TDigestPart::SMS ? aSend.sms : aSend.email; });
}

}  // namespace

std::string DestinationKinds(const std::vector<std::string>& aURLs) {
    std::string kinds;
    for (const std::string& url : aURLs) {
        const std::size_t separator = url.find("://");
        kinds += (kinds.empty() ? "" : ", ") + (separator == std::string::npos ? std::string("?") : url.substr(0, separator));
    }
    return kinds;
}

namespace {

std::vector<TDestinationSend> DestinationParts(TSearch& aSearch, const std::vector<std::string>& aURLs) {
    const int limit = aSearch.GetAlert().GetMessageLength();
    std::vector<TDestinationSend> sends;
    for (const std::string& url : aURLs) {
        const std::string key = DestinationKey(url);
        TDigest digest = BuildDigest(aSearch, limit, [&](const TEntry& aEntry) {
            return aSearch.GetDigestToldByDestination(key, aEntry.GetLink());
        });
        if (digest.count > 0 || !digest.priceDrops.empty()) sends.push_back({url, key, std::move(digest), {}, {}});
    }
    return sends;
}

// Each destination's part, made ready to send without the search.
std::vector<TDestinationSend> PreparedDestinationParts(TSearch& aSearch, const std::vector<std::string>& aURLs,
                                                       const std::string& aID, const TNotifyContext& aContext) {
    std::vector<TDestinationSend> sends = DestinationParts(aSearch, aURLs);
    for (TDestinationSend& send : sends)
        send.notification = NotificationFor(aSearch, {false, true, send.digest, {}}, aID, aContext);
    return sends;
}

// Any thread: each destination keeps its own error.
void SendToDestinations(std::vector<TDestinationSend>& aSends, const TNotifyContext& aContext) {
    for (TDestinationSend& send : aSends) {
        try {
            if (!aContext.makeDestination) throw ENotificationError("no transport for the alert's destinations");
            aContext.makeDestination(send.url)->SendAlert(send.notification);
        } catch (const std::exception& e) {
            send.error = e.what();
        }
    }
}

TNotifyOutcome DestinationsOutcome(const std::vector<TDestinationSend>& aSends, const TDigest& aWhole, double aNow) {
    TNotifyOutcome outcome;
    outcome.count = aWhole.count;
    outcome.listed = static_cast<int>(aWhole.listed.size());
    std::vector<std::string> sent, failed;
    for (const TDestinationSend& send : aSends) {
        (send.error.empty() ? sent : failed).push_back(send.url);
        if (!send.error.empty() && outcome.error.empty()) outcome.error = send.error;
    }
    if (failed.empty()) {
        outcome.emailSent = true;
        outcome.statusText = "Notifications (" + DestinationKinds(sent) + ") were sent" + SentAtText(aNow);
        return outcome;
    }
    outcome.failed = true;
    outcome.statusText = "Notifications (" + DestinationKinds(failed) + ") could not be sent: " + outcome.error;
    if (!sent.empty()) outcome.statusText += "; sent through " + DestinationKinds(sent);
    return outcome;
}

// Like the parts of a digest, a destination that told a result does not tell it again
// while another one failed.
TNotifyOutcome NoteDestinationsSent(TSearch* aSearch, const TPreparedDigest& aDigest, const TNotifyContext& aContext) {
    const std::vector<TDestinationSend>& sends = aDigest.destinationSends;
    const bool allSent = std::all_of(sends.begin(), sends.end(), [](const TDestinationSend& aSend) { return aSend.error.empty(); });
    if (aSearch) {
        if (allSent) {
            ClearDigestMarks(aDigest.whole);
            aSearch->ForgetDigestTold(LinksOf(aDigest.whole.unmarked));
        } else {
            for (const TDestinationSend& send : sends)
                if (send.error.empty()) aSearch->SetDigestToldByDestination(send.key, LinksOf(send.digest.counted));
            aSearch->SetNotificationsWereSentAt(aDigest.previousTurn);
        }
        SaveUnlocked(*aSearch, aContext);
    }
    TNotifyOutcome outcome = DestinationsOutcome(sends, aDigest.whole, aDigest.now);
    outcome.considered = true;
    return outcome;
}

}  // namespace

TPreparedDigest PrepareDigest(TSearch& aSearch, bool aSMS, bool aEMail, const TNotifyContext& aContext) {
    TPreparedDigest prepared;
    TNotifyOutcome& outcome = prepared.outcome;
    const TAlert& alert = aSearch.GetAlert();
    if (!alert.GetEnabled()) return prepared;
    const double now = aContext.now ? aContext.now() : LocalNow();
    prepared.now = now;
    if (aContext.quietHours.Contains(now)) {
        outcome = HeldOutcome(aSearch, aContext.quietHours);
        return prepared;
    }
    if (DailyTurnUsedOrEarly(aSearch, alert, now)) return prepared;
    outcome.considered = true;
    prepared.previousTurn = aSearch.GetNotificationsWereSentAt();
    aSearch.SetNotificationsWereSentAt(now);

    TDigest& whole = prepared.whole;
    if (!aSearch.GetCalledFromUser()) whole = BuildDigest(aSearch, alert.GetMessageLength());
    outcome.count = whole.count;
    outcome.listed = static_cast<int>(whole.listed.size());
    if (whole.count == 0 && whole.priceDrops.empty()) {
        ClearDigestMarks(whole);  // folded results only: told with their first result
        return prepared;
    }
    const std::vector<std::string> destinations = alert.GetDestinations();
    if (!destinations.empty()) {
        prepared.toNote = true;
        prepared.viaDestinations = true;
        prepared.destinationSends =
            PreparedDestinationParts(aSearch, destinations, DigestID(aSearch.GetID(), whole.counted), aContext);
        return prepared;
    }
    const TWantedParts& wanted = prepared.wanted = WantedParts(alert, aSMS, aEMail, aContext);
    prepared.hook = SendsToWebhook(aContext);
    if (!prepared.AnyPart() && wanted.smsProblem.empty() && wanted.nobodyProblem.empty()) {
        // The alert tells no one: said so, and the results are not kept for a digest that
        // cannot come.
        ClearDigestMarks(whole);
        outcome.statusText = "Notifications are off for this alert (neither e-mail nor SMS): " +
                             std::to_string(whole.count + static_cast<int>(whole.priceDrops.size())) +
                             " new results were not sent";
        return prepared;
    }
    prepared.toNote = true;
    prepared.transport = aContext.transport != nullptr;
    if (!prepared.AnyPart())
        prepared.error = wanted.smsProblem.empty() ? wanted.nobodyProblem : wanted.smsProblem;
    else if (!aContext.transport)
        prepared.error = aContext.transportError.empty() ? "no notification transport" : aContext.transportError;
    else {
        const std::string id = DigestID(aSearch.GetID(), whole.counted);
        prepared.sends = PartsToSend(aSearch, whole, wanted.sms, wanted.email, aContext);
        for (const TDigestSend& send : prepared.sends)
            prepared.notifications.push_back(NotificationFor(aSearch, send, id, aContext));
    }
    return prepared;
}

void SendPreparedDigest(TPreparedDigest& aDigest, const TNotifyContext& aContext) {
    SendToDestinations(aDigest.destinationSends, aContext);
    for (std::size_t i = 0; i < aDigest.sends.size(); ++i) {
        try {
            aContext.transport->SendAlert(aDigest.notifications[i]);
        } catch (const std::exception& e) {
            aDigest.sends[i].error = e.what();
        }
    }
}

TNotifyOutcome NoteDigestSent(TSearch* aSearch, const TPreparedDigest& aDigest, const TNotifyContext& aContext) {
    TNotifyOutcome outcome = aDigest.outcome;
    if (!aDigest.toNote) return outcome;
    if (aDigest.viaDestinations) return NoteDestinationsSent(aSearch, aDigest, aContext);
    const std::vector<TDigestSend>& sends = aDigest.sends;
    const TWantedParts& wanted = aDigest.wanted;
    const bool hook = aDigest.hook;
    std::string error = aDigest.error;
    if (error.empty()) error = PartError(sends, TDigestPart::Email);
    if (error.empty()) error = PartError(sends, TDigestPart::SMS);
    if (aSearch) {
        NoteSent(*aSearch, aDigest.whole, sends, error.empty());
        if (!error.empty()) aSearch->SetNotificationsWereSentAt(aDigest.previousTurn);
        if (aDigest.AnyPart() && aDigest.transport) SaveUnlocked(*aSearch, aContext);
    }
    const bool smsWent = Carries(sends, TDigestPart::SMS) && PartError(sends, TDigestPart::SMS).empty();
    const bool emailWent = Carries(sends, TDigestPart::Email) && PartError(sends, TDigestPart::Email).empty();
    if (!error.empty()) {
        // Nothing is lost: the results stay marked and the day's turn is not used up, so
        // the next run tells them again, through the parts that failed.
        outcome.failed = true;
        outcome.error = error;
        const bool smsFailed = !wanted.smsProblem.empty() || !PartError(sends, TDigestPart::SMS).empty() ||
                               (!aDigest.transport && wanted.sms);
        const bool emailFailed = !wanted.nobodyProblem.empty() || !PartError(sends, TDigestPart::Email).empty() ||
                                 (!aDigest.transport && (wanted.email || hook));
        outcome.statusText = NotificationsFailedText(smsFailed, emailFailed, error, hook && !sends.empty());
        if (smsWent && !hook) outcome.statusText += "; the SMS was sent";
        if (emailWent && !hook) outcome.statusText += "; the e-mail was sent";
        return outcome;
    }
    outcome.smsSent = wanted.sms;
    outcome.emailSent = wanted.email || hook;
    outcome.statusText = NotificationsSentText(wanted.sms, wanted.email || hook, aDigest.now, hook);
    if (!wanted.smsProblem.empty()) outcome.statusText += "; the SMS could not be sent: " + wanted.smsProblem;
    return outcome;
}

TNotifyOutcome NotifyForNewResults(TSearch& aSearch, bool aSMS, bool aEMail, const TNotifyContext& aContext) {
    TPreparedDigest digest = PrepareDigest(aSearch, aSMS, aEMail, aContext);
    if (digest.HasSends()) {
        // What the run found is stored before anything is told of it.
        SaveUnlocked(aSearch, aContext);
        TSearchUnlocked unlocked(aSearch.GetCriticalSection());
        SendPreparedDigest(digest, aContext);
    }
    return NoteDigestSent(&aSearch, digest, aContext);
}

}  // namespace trawlix
