#include "app/replies.h"

#include <algorithm>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/email_address.h"
#include "engine/text_functions.h"
#include "mail/email_accounts.h"
#include "model/alert.h"
#include "model/filter.h"
#include "model/search.h"
#include "model/searches.h"

namespace trawlix {

namespace {

// How many reasons the final report names; the log of the run names every one.
constexpr size_t cReportedReasons = 3;

std::string NoAddressReason() { return "the ad shows no reply address"; }

}  // namespace

TReplyReport ReplyToEntries(const TEntryList& aEntries, const IEmailMessageWithAccounts& aMessage,
                            const TReplyProgress& aOnProgress, const std::function<bool()>& aStopped) {
    TReplyReport report;
    for (size_t i = 0; i < aEntries.size(); ++i) {
        if (aStopped && aStopped()) break;
        const IEntry& entry = aEntries[i];
        TReplyOutcome outcome;
        try {
            outcome = entry->Reply(aMessage, true, 1);
        } catch (const std::exception& e) {
            outcome = {TReplyOutcome::Failed, e.what()};
        }
        if (outcome.WasSent()) {
            ++report.sent;
        } else if (outcome.state == TReplyOutcome::NoAddress) {
            ++report.noAddress;
        } else {
            ++report.failed;
            report.failures.push_back({entry->GetLink(), outcome.error});
        }
        if (aOnProgress) aOnProgress(i, aEntries.size(), entry, outcome);
    }
    return report;
}

std::string ReplyReportText(const TReplyReport& aReport) {
    std::string text = "The message was sent to " + std::to_string(aReport.sent) + " ads.";
    if (aReport.failed > 0) {
        text += "\r\n" + std::to_string(aReport.failed) + (aReport.failed == 1 ? " ad" : " ads") +
                " could not be sent to:";
        for (size_t i = 0; i < aReport.failures.size() && i < cReportedReasons; ++i)
            text += "\r\n" + aReport.failures[i].link + ": " + aReport.failures[i].reason;
        if (aReport.failures.size() > cReportedReasons) text += "\r\n...";
    }
    if (aReport.noAddress > 0)
        text += "\r\n" + std::to_string(aReport.noAddress) + (aReport.noAddress == 1 ? " ad shows" : " ads show") +
                " no reply address.";
    text += "\r\n\r\nYou can view the sent emails history from \"Tools\" -> \"Email Reply History\".";
    return text;
}

std::string ReplyLogLine(const IEntry& aEntry, const TReplyOutcome& aOutcome) {
    switch (aOutcome.state) {
        case TReplyOutcome::Sent: return aEntry->GetLink() + "\tsent";
        case TReplyOutcome::Queued: return aEntry->GetLink() + "\tqueued";
        case TReplyOutcome::NoAddress: return aEntry->GetLink() + "\tnot sent: " + NoAddressReason();
        case TReplyOutcome::Failed: break;
    }
    return aEntry->GetLink() + "\tnot sent: " + aOutcome.error;
}

TEntryList CheckedEntries(TSearch& aSearch) {
    TCLock searchLock(aSearch.GetCriticalSection());
    TFilter& filter = aSearch.GetFilter();
    TCLock filterLock(filter.GetCriticalSection());
    TEntryList checked;
    for (const IEntry& entry : filter.GetResults())
        if (entry->GetChecked()) checked.push_back(entry);
    return checked;
}

bool AnyReplied(const TEntryList& aEntries) {
    return std::any_of(aEntries.begin(), aEntries.end(), [](const IEntry& aEntry) { return aEntry->GetReplied(); });
}

std::string ForwardHTML(const TEntryList& aEntries) {
    std::string html = "<html><head></head><body><p>Below are the results you requested. </p>";
    for (const IEntry& entry : aEntries)
        html += "<div><a href=\"" + EscapeHTML(entry->GetLink()) + "\">" + EscapeHTML(entry->GetName()) + "</a></div>";
    html += "<p><br/>Thanks, <br/> the Trawlix!</p></body></html>";
    return html;
}

std::string ForwardSubject(const std::string& aSearchName) { return "Search results for: " + aSearchName; }

void ForwardEntries(TSession& aSession, const TEntryList& aEntries, const std::string& aSearchName,
                    const std::string& aTo) {
    if (Trim(aTo).empty()) throw std::runtime_error(cForwardBlankAddress);
    if (const std::string problem = MailAddressProblem(aTo); !problem.empty()) throw std::runtime_error(problem);
    if (aEntries.empty()) throw std::runtime_error(cForwardNoSelectedResults);
    TAlertNotification mail;
    mail.searchName = aSearchName;
    mail.count = static_cast<int>(aEntries.size());
    for (const IEntry& entry : aEntries) mail.results.push_back({entry->GetName(), entry->GetLink(), entry->GetPrice(), entry->GetLocationString(), entry->GetContact()});
    mail.emailTo = aTo;
    mail.emailSubject = ForwardSubject(aSearchName);
    mail.emailHTML = ForwardHTML(aEntries);
    MakeMailTransport(aSession.GetSettings(), aSession.GetEmailAccounts())->SendAlert(mail);
}

std::vector<std::string> SearchesAutoReplyingWith(TSearches& aSearches, int aAccountID) {
    std::vector<std::string> names;
    for (const auto& search : aSearches.GetAllSearches()) {
        auto message = std::dynamic_pointer_cast<TEmailMessageWithAccounts>(search->GetAlert().GetAutoReplyMessage());
        if (message && message->GetAccountByID(aAccountID)) names.push_back(search->GetName());
    }
    return names;
}

void DeleteEmailAccount(TSession& aSession, const IEmailAccount& aAccount) {
    TEmailAccounts* accounts = aSession.GetEmailAccounts();
    if (!accounts || !aAccount) return;
    if (TSearches* searches = aSession.GetMySearches()) {
        const std::vector<std::string> names = SearchesAutoReplyingWith(*searches, aAccount->GetID());
        if (!names.empty()) {
            std::string joined;
            for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
            throw EAccountInUse("The following alerts still use this email account: \"" + joined +
                                "\". \r\n\r\nPlease remove any dependencies and then try deleting again.");
        }
    }
    accounts->Delete(aAccount);
}

void SetSearchAutoReply(TSearch& aSearch, const IEmailMessageWithAccounts& aMessage) {
    TAlert& alert = aSearch.GetAlert();
    if (!aMessage) {
        alert.SetAutoReply(false);
        return;
    }
    if (aMessage->GetAccounts().empty())
        throw std::runtime_error("You have to specify at least one account to send your message with");
    if (!alert.GetEnabled()) throw std::runtime_error("The alert of \"" + aSearch.GetName() + "\" is not enabled.");
    alert.SetAutoReply(true);
    alert.SetAutoReplyMessage(aMessage);
}

}  // namespace trawlix
