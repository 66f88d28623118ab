#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/quiet_hours.h"
#include "mail/notification_transport.h"
#include "model/entry.h"

namespace trawlix {

class TSearch;

// What telling the user about a search's new results needs from the program around it.
struct TNotifyContext {
    // Null when the chosen transport cannot be made; transportError then says why.
    INotificationTransportPtr transport;
    std::string transportError;
    std::string userPhone;
    bool canSendSMS = false;
    // The carrier's e-mail-to-SMS address; empty when it cannot be built (smsAddressError says why).
    std::string smsAddress;
    std::string smsAddressError;
    TNowFunction now;
    // Digests due in these hours are held: the results keep their marks for the next one.
    TQuietHours quietHours;
    // The advertiser's address of a result, when known; empty for none. Without it the
    // result's contact is used when it is an address.
    std::function<std::string(const TEntry& aEntry)> entryEmail;
    // Stores the search (its results and marks) as it is; called with its lock let go,
    // before a digest is sent and after. Raises when it could not; the digest goes on.
    std::function<void(TSearch& aSearch)> saveSearch;
    // The transport of one of an alert's own destinations (a notification URL); raises
    // ENotificationError when the URL cannot be used. Without it such alerts fail to send.
    std::function<INotificationTransportPtr(const std::string& aURL)> makeDestination;
};

// What one NotifyForNewResults did.
struct TNotifyOutcome {
    bool considered = false;   // the alert was on and its time had come
    bool smsSent = false;
    bool emailSent = false;
    bool failed = false;       // a part that should have gone out did not
    bool held = false;         // quiet hours: nothing was sent, nothing lost
    std::string error;         // why, when failed
    int count = 0;             // new results counted
    int listed = 0;
    // The status line: "Notifications (...) were sent at ..." or "... could not be sent: ...";
    // empty when nothing was to be sent.
    std::string statusText;
};

// The digest of the results marked by automatic runs that pass the search's filter, at
// most aLimit listed (all when aLimit < 1). The marks stay until the digest went out
// (ClearDigestMarks). A result whose price dropped is listed apart, under "Price drops",
// with both prices; a result folded under another is told of once, with that one. Results
// aSkip names (told already by the part being built) are neither counted nor listed.
struct TDigest {
    int count = 0;
    std::vector<IEntry> listed;
    std::vector<IEntry> unmarked;  // every result whose mark goes once the digest went out
    std::vector<IEntry> counted;   // the results it tells: counted ones and price drops
    std::string lines;             // one "<div><a href=...>name</a></div>" line per listed result
    std::vector<IEntry> priceDrops;
    std::string priceDropLines;    // one "<div><a href=...>name</a>: was 1200, now 950</div>" line each
    std::string id;                // the same for the same results, whenever sent
};
// The caller holds the search's lock.
TDigest BuildDigest(TSearch& aSearch, int aLimit, const std::function<bool(const TEntry&)>& aSkip = {});
// The digest went out: its results lose their marks.
void ClearDigestMarks(const TDigest& aDigest);
// Gives the marks back (older callers that cleared them).
void RestoreDigestMarks(const TDigest& aDigest);
// A short id made from the search and the links the digest tells.
std::string DigestID(int aSearchID, const std::vector<IEntry>& aEntries);

std::string DigestEmailHTML(const std::string& aSearchName, const TDigest& aDigest);
// The SMS: the listed results with their advertisers' addresses, cut after the line that
// passes 250 characters; or only the search's name without aIncludeResults.
std::string DigestSMSText(const std::string& aSearchName, const TDigest& aDigest, bool aIncludeResults,
                          const std::function<std::string(const TEntry&)>& aEntryEmail);
// "SMS", "Email" or "SMS & Email".
// "Web hook" when the notification went to a web hook, which stands for both.
std::string NotificationKinds(bool aSMS, bool aEmail, bool aWebhook = false);
// "Notifications (SMS & Email) were sent at 18:05 on 10.12.2026", in the user's formats
// (UserTimeAndDate).
std::string NotificationsSentText(bool aSMS, bool aEmail, double aNow, bool aWebhook = false);
// "Notifications (Email) could not be sent: <reason>".
std::string NotificationsFailedText(bool aSMS, bool aEmail, const std::string& aReason, bool aWebhook = false);
// Whether the context's transport is a web hook.
bool SendsToWebhook(const TNotifyContext& aContext);

// One part of a digest to send: the SMS, the e-mail, or (a web hook) both at once.
struct TDigestSend {
    bool sms = false;
    bool email = false;
    TDigest digest;
    std::string error;  // after the send: empty when it went out
};

// The alert's parts: which it asks for, and why one it asks for cannot go.
struct TWantedParts {
    bool sms = false;
    bool email = false;
    std::string smsProblem;
    std::string nobodyProblem;  // asked for a part that has nowhere to go
};

// One of the alert's own destinations, what it has not told yet and how it went.
struct TDestinationSend {
    std::string url;
    std::string key;
    TDigest digest;
    TAlertNotification notification;
    std::string error;
};

// A digest in three steps, so that the send needs no search: prepared with the search's
// lock held, sent anywhere (it holds copies and the results' shared entries only), then
// noted on the search, if that is still there, with its lock held again.
struct TPreparedDigest {
    TNotifyOutcome outcome;  // the whole outcome when there is nothing to note
    bool toNote = false;     // NoteDigestSent has something to do
    double now = 0;
    double previousTurn = 0;
    TDigest whole;
    TWantedParts wanted;
    bool hook = false;
    bool transport = false;
    std::string error;  // why nothing could be sent
    std::vector<TDigestSend> sends;
    std::vector<TAlertNotification> notifications;  // one per send
    bool viaDestinations = false;  // the alert's own destinations, instead of the parts above
    std::vector<TDestinationSend> destinationSends;

    bool AnyPart() const { return wanted.sms || wanted.email || hook; }
    bool HasSends() const { return !sends.empty() || !destinationSends.empty(); }
};
TPreparedDigest PrepareDigest(TSearch& aSearch, bool aSMS, bool aEMail, const TNotifyContext& aContext);
// Any thread: each part keeps its own error.
void SendPreparedDigest(TPreparedDigest& aDigest, const TNotifyContext& aContext);
// Clears the marks of what went out (or keeps them and the day's turn for a part that did
// not), stores the search and says what happened. A null aSearch (closed meanwhile): only
// what happened is said.
TNotifyOutcome NoteDigestSent(TSearch* aSearch, const TPreparedDigest& aDigest, const TNotifyContext& aContext);

// The digest of an automatic run: what its alert asks for, through the context's
// transport. Called with the search's lock held; the lock is let go while the transport
// sends. The search is stored before the send and after it; each part (SMS, e-mail) keeps
// its own outcome: a part that went out is not sent again for the same results, and a
// failed part keeps the results' marks and the day's turn for the next digest.
// An alert that names destinations sends to each of them instead (the e-mail part of a
// mailto:// destination to the alert's address), each keeping its own outcome the same way.
TNotifyOutcome NotifyForNewResults(TSearch& aSearch, bool aSMS, bool aEMail, const TNotifyContext& aContext);

// "Notifications (tgram, gotify) were sent at ..." / "... could not be sent: ...": the
// destinations named by their kind.
std::string DestinationKinds(const std::vector<std::string>& aURLs);

}  // namespace trawlix
