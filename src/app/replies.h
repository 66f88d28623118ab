#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "mail/email_message_with_accounts.h"
#include "model/entry.h"

namespace trawlix {

class TSearch;
class TSearches;
class TSession;

// One ad a reply did not reach.
struct TReplyFailure {
    std::string link;
    std::string reason;
};

// What "Reply by EMail" did with the checked ads.
struct TReplyReport {
    int sent = 0;
    int failed = 0;     // the accounts (or the address lookup) said why in failures
    int noAddress = 0;  // ads without a reply address: nothing was sent to them
    std::vector<TReplyFailure> failures;
};

inline constexpr const char* cReplyNoSelectedAds = "There are no selected ads.";
inline constexpr const char* cReplyAlreadyRepliedQuestion =
    "There are ads that have already been replied. Do you wish to reply again anyway?";
inline constexpr const char* cMailNotSentText = "The mail was NOT sent successfully. \r\nThe following error occurred: \r\n";
inline constexpr const char* cForwardNoSelectedResults = "There are no selected results to be sent.";
inline constexpr const char* cForwardBlankAddress = "Please specify a valid EMail address.";
inline constexpr const char* cForwardCaption = "Forward selected ads";
inline constexpr const char* cForwardPrompt = "To EMail address";

// After each ad: its index from 0, how many there are, the ad and how its reply went.
using TReplyProgress =
    std::function<void(size_t aIndex, size_t aCount, const IEntry& aEntry, const TReplyOutcome& aOutcome)>;

// Replies to each ad in turn as a reply by hand does: each send is waited for, with
// priority 1. An error raised for one ad counts as its failure; the next ad is taken.
// Once aStopped says so (a signal), no further ad is taken; what was sent stays recorded.
TReplyReport ReplyToEntries(const TEntryList& aEntries, const IEmailMessageWithAccounts& aMessage,
                            const TReplyProgress& aOnProgress = {}, const std::function<bool()>& aStopped = {});
// "The message was sent to N ads." with, when some failed, how many and the first reasons,
// and where the history is.
std::string ReplyReportText(const TReplyReport& aReport);
// One line of a run's log about one ad: "<link>\tsent", or the reason it was not.
std::string ReplyLogLine(const IEntry& aEntry, const TReplyOutcome& aOutcome);

// The checked ads of a search's current list, in list order, under the search's and its
// filter's locks.
TEntryList CheckedEntries(TSearch& aSearch);
// True when one of them was replied before.
bool AnyReplied(const TEntryList& aEntries);

// "Forward to EMail": the ads as a list of links to aTo (as typed, checked), through the
// e-mail route of MakeMailTransport, as UTF-8 HTML. Raises std::runtime_error with the text
// for the user: a blank or malformed address, no ads, no e-mail route, a transport that failed.
void ForwardEntries(TSession& aSession, const TEntryList& aEntries, const std::string& aSearchName,
                    const std::string& aTo);
// The forwarded mail's HTML (links and escaped titles).
std::string ForwardHTML(const TEntryList& aEntries);
std::string ForwardSubject(const std::string& aSearchName);

// The names of the searches whose alert's automatic reply uses the account aAccountID.
std::vector<std::string> SearchesAutoReplyingWith(TSearches& aSearches, int aAccountID);
// Raised when an account still used by automatic replies is to be deleted.
class EAccountInUse : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// Removes the account from the session's list; raises EAccountInUse naming the searches
// whose automatic reply still uses it ("The following alerts still use this email
// account: ...").
void DeleteEmailAccount(TSession& aSession, const IEmailAccount& aAccount);

// Sets (or, with null, drops) the automatic reply of aSearch's alert. Raises when the
// message has no account or the alert is not enabled.
void SetSearchAutoReply(TSearch& aSearch, const IEmailMessageWithAccounts& aMessage);

}  // namespace trawlix
