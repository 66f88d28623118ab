// Commands about replies to advertisers: reply, automatic replies, forwarding, the reply
// history and the saved messages.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/platform.h"
#include "app/replies.h"
#include "app/session.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/search_arg.h"
#include "engine/clock.h"
#include "engine/text_functions.h"
#include "mail/email_accounts.h"
#include "mail/email_reply_history.h"
#include "mail/saved_messages.h"
#include "model/search.h"

namespace trawlix::cli {

namespace {

std::string ReadBodyFile(const std::string& aFile) {
    std::ifstream in(aFile, std::ios::binary);
    if (!in) throw CommandError("The file " + aFile + " could not be read.");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// --subject S (--body TEXT | --body-file FILE) [--html] [--include-title], checked as the
// compose window checks them.
TEmailMessage MessageArguments(ArgParser& aArgs) {
    TEmailMessage message;
    const std::string subject = Trim(aArgs.RequiredValue("--subject"));
    auto body = aArgs.Value("--body");
    auto bodyFile = aArgs.Value("--body-file");
    if (body && bodyFile) throw UsageError("give --body or --body-file, not both");
    if (!body && !bodyFile) throw UsageError("--body or --body-file is required");
    const std::string text = Trim(body ? *body : ReadBodyFile(*bodyFile));
    message.SetIsHTML(aArgs.Flag("--html"));
    message.SetIncludeAdTitleInSubject(aArgs.Flag("--include-title"));
    if (subject.empty()) throw CommandError("You have to supply a subject for your message");
    if (text.empty()) throw CommandError("You have to supply a body for your message");
    message.SetSubject(subject);
    message.SetBody(text);
    return message;
}

// The message with the accounts of --accounts ID[,ID...].
IEmailMessageWithAccounts MessageWithAccounts(CommandContext& aContext, ArgParser& aArgs) {
    const std::string list = aArgs.RequiredValue("--accounts");
    TEmailAccounts* accounts = aContext.session->GetEmailAccounts();
    if (!accounts) throw CommandError("The e-mail accounts could not be loaded.");
    auto message = std::make_shared<TEmailMessageWithAccounts>(MessageArguments(aArgs));
    std::stringstream ids(list);
    for (std::string id; std::getline(ids, id, ',');) {
        IEmailAccount account = accounts->GetAccountByID(ParseInt(Trim(id), "an account ID"));
        if (!account) throw CommandError("There is no e-mail account with the ID " + Trim(id) + ".");
        message->AddAccount(account);
    }
    if (message->GetAccounts().empty())
        throw CommandError("You have to specify at least one account to send your message with");
    return message;
}

// The search's results (or favourites) with the given links, in the order given.
TEntryList EntriesByLink(TSearch& aSearch, const std::vector<std::string>& aLinks) {
    TEntryList entries;
    TCLock lock(aSearch.GetCriticalSection());
    for (const std::string& link : aLinks) {
        IEntry entry = aSearch.GetSearchResults().FindByLink(link);
        if (!entry) entry = aSearch.GetFavourites().FindByLink(link);
        if (!entry) throw CommandError("The search \"" + aSearch.GetName() + "\" has no result " + link + ".");
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::string> SearchAndLinks(ArgParser& aArgs, const std::string& aCommand, std::string& aSearch) {
    std::vector<std::string> positionals = aArgs.Positionals();
    if (positionals.size() < 2) throw UsageError(aCommand + " needs a search and at least one link");
    aSearch = positionals[0];
    return {positionals.begin() + 1, positionals.end()};
}

int Reply(CommandContext& aContext) {
    ArgParser args(aContext.args);
    IEmailMessageWithAccounts message = MessageWithAccounts(aContext, args);
    std::string searchText;
    const std::vector<std::string> links = SearchAndLinks(args, "reply", searchText);
    TSearch& search = FindSearchArg(aContext, searchText);
    const TEntryList entries = EntriesByLink(search, links);
    const TReplyReport report = ReplyToEntries(entries, message, [&](size_t, size_t, const IEntry& aEntry, const TReplyOutcome& aOutcome) {
        aContext.out << ReplyLogLine(aEntry, aOutcome) << "\n";
        aContext.out.flush();
        if (!aOutcome.WasSent()) aContext.err << ReplyLogLine(aEntry, aOutcome) << "\n";
    }, [] { return platform::TTerminationSignals::Received() != 0; });
    // The replied marks are stored with the search.
    search.MarkModified();
    aContext.out << ReplyReportText(report) << "\n";
    return report.sent > 0 ? 0 : 1;
}

int AutoReply(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool off = args.Flag("--off");
    IEmailMessageWithAccounts message = off ? nullptr : MessageWithAccounts(aContext, args);
    const std::vector<std::string> positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("auto-reply needs exactly one search");
    TSearch& search = FindSearchArg(aContext, positionals[0]);
    try {
        SetSearchAutoReply(search, message);
    } catch (const std::runtime_error& e) {
        throw CommandError(e.what());
    }
    return 0;
}

int Forward(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const std::string to = args.RequiredValue("--to");
    std::string searchText;
    const std::vector<std::string> links = SearchAndLinks(args, "forward", searchText);
    TSearch& search = FindSearchArg(aContext, searchText);
    try {
        ForwardEntries(*aContext.session, EntriesByLink(search, links), search.GetName(), to);
    } catch (const CommandError&) {
        throw;
    } catch (const std::runtime_error& e) {
        throw CommandError(std::string(cMailNotSentText) + e.what());
    }
    aContext.out << "The message was sent to: " << to << "\n";
    return 0;
}

// A day number as ISO 8601 local time, to the second.
std::string IsoLocalTime(double aDayNumber) {
    int year = 0;
    unsigned month = 0, day = 0;
    DecodeDate(aDayNumber, year, month, day);
    long long seconds = std::llround((aDayNumber - std::floor(aDayNumber)) * 86400.0);
    if (seconds >= 86400) seconds = 86399;
    char text[64];  // room for any year the compiler can imagine
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld", year, month, day, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return text;
}

int History(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const std::optional<int> limit = args.IntValue("--limit");
    if (!args.Positionals().empty()) throw UsageError("history takes options only");
    if (limit && *limit < 1) throw UsageError("--limit needs a number above 0");
    const auto items = aContext.session->GetReplyHistory().NewestFirst(limit ? static_cast<size_t>(*limit) : 0);
    if (json) {
        aContext.out << "[";
        for (size_t i = 0; i < items.size(); ++i)
            aContext.out << (i ? "," : "") << "\n  "
                         << JsonObject()
                                .Add("time", IsoLocalTime(items[i].fTimeStamp))
                                .Add("from", items[i].fFrom)
                                .Add("to", items[i].fDest)
                                .Add("subject", items[i].fMsgSubject)
                                .Add("ad_url", items[i].fAdURL)
                                .Str();
        aContext.out << (items.empty() ? "]\n" : "\n]\n");
        return 0;
    }
    for (const auto& item : items)
        aContext.out << IsoLocalTime(item.fTimeStamp) << "\t" << item.fFrom << "\t" << item.fDest << "\t"
                     << item.fMsgSubject << "\t" << item.fAdURL << "\n";
    return 0;
}

TSavedMessages& SessionSavedMessages(CommandContext& aContext) {
    TSavedMessages* messages = aContext.session->GetSavedMessages();
    if (!messages || !aContext.session->GetInitialized()) throw CommandError("The saved messages could not be loaded.");
    return *messages;
}

int Messages(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("messages takes options only");
    const auto items = SessionSavedMessages(aContext).GetItems();
    if (json) {
        aContext.out << "[";
        for (size_t i = 0; i < items.size(); ++i)
            aContext.out << (i ? "," : "") << "\n  "
                         << JsonObject()
                                .Add("number", static_cast<int>(i + 1))
                                .Add("subject", items[i].GetSubject())
                                .Add("body", items[i].GetBody())
                                .Add("html", items[i].GetIsHTML())
                                .Add("include_title", items[i].GetIncludeAdTitleInSubject())
                                .Str();
        aContext.out << (items.empty() ? "]\n" : "\n]\n");
        return 0;
    }
    for (size_t i = 0; i < items.size(); ++i)
        aContext.out << i + 1 << "\t" << items[i].GetSubject() << "\t" << (items[i].GetIsHTML() ? "html" : "plain")
                     << "\t" << (items[i].GetIncludeAdTitleInSubject() ? "title" : "no-title") << "\n";
    return 0;
}

int AddMessage(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const TEmailMessage message = MessageArguments(args);
    if (!args.Positionals().empty()) throw UsageError("add-message takes options only");
    aContext.out << SessionSavedMessages(aContext).Add(message) + 1 << "\n";
    return 0;
}

int DeleteMessage(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const std::vector<std::string> positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("delete-message needs exactly one message number");
    const int number = ParseInt(positionals[0], "the message number");
    if (number < 1 || !SessionSavedMessages(aContext).Delete(static_cast<size_t>(number - 1)))
        throw CommandError("There is no saved message " + positionals[0] + ".");
    return 0;
}

constexpr const char* cMessageOptions = "--subject S (--body TEXT | --body-file FILE) [--html] [--include-title]";

CommandRegistrar gReply({"reply", std::string("reply SEARCH LINK... ") + cMessageOptions + " --accounts ID[,ID...]",
                         true, true, Reply});
CommandRegistrar gAutoReply({"auto-reply",
                             std::string("auto-reply SEARCH (") + cMessageOptions + " --accounts ID[,ID...] | --off)",
                             true, true, AutoReply});
CommandRegistrar gForward({"forward", "forward SEARCH LINK... --to ADDR", false, true, Forward});
CommandRegistrar gHistory({"history", "history [--json] [--limit N]", false, true, History, AlwaysReadsOnly});
CommandRegistrar gMessages({"messages", "messages [--json]", false, true, Messages, AlwaysReadsOnly});
CommandRegistrar gAddMessage({"add-message", std::string("add-message ") + cMessageOptions, true, true, AddMessage});
CommandRegistrar gDeleteMessage({"delete-message", "delete-message N", true, true, DeleteMessage});

}  // namespace

}  // namespace trawlix::cli
