// Commands about the user's SMTP accounts: list, add, change, delete, send a test mail.
#include <future>

#include "app/session.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/password_option.h"
#include "app/replies.h"
#include "engine/email_address.h"
#include "mail/email_account_checks.h"
#include "mail/email_accounts.h"

namespace trawlix::cli {

namespace {

TEmailAccounts& SessionAccounts(CommandContext& aContext) {
    TEmailAccounts* accounts = aContext.session->GetEmailAccounts();
    if (!accounts || !aContext.session->GetInitialized())
        throw CommandError("The e-mail accounts could not be loaded.");
    return *accounts;
}

IEmailAccount AccountArgument(ArgParser& aArgs, CommandContext& aContext, const std::string& aCommand) {
    auto positionals = aArgs.Positionals();
    if (positionals.size() != 1) throw UsageError(aCommand + " needs exactly one account ID");
    const int id = ParseInt(positionals[0], "the account ID");
    IEmailAccount account = SessionAccounts(aContext).GetAccountByID(id);
    if (!account) throw CommandError("There is no e-mail account with the ID " + positionals[0] + ".");
    return account;
}

void CheckFields(const TEmailAccountFields& aFields) {
    const std::string problem = CheckEmailAccountFields(aFields);
    if (!problem.empty()) throw CommandError(problem);
}

int ListAccounts(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("accounts takes no arguments");
    const auto accounts = SessionAccounts(aContext).GetAccounts();
    if (json) {
        std::string list = "[";
        for (const auto& account : accounts) {
            const TSmtpServer server = account->GetSmtpServer();
            list += (list.size() > 1 ? "," : "") + JsonObject()
                                                       .Add("id", account->GetID())
                                                       .Add("host", server.host)
                                                       .Add("port", server.port)
                                                       .Add("username", server.username)
                                                       .Add("use_ssl", server.useSSL)
                                                       .Add("times_used", account->GetTimesUsed())
                                                       .Str();
        }
        aContext.out << list << "]\n";
        return 0;
    }
    // The password is never shown.
    for (const auto& account : accounts) {
        const TSmtpServer server = account->GetSmtpServer();
        aContext.out << account->GetID() << "\t" << server.host << "\t" << server.port << "\t" << server.username
                     << "\t" << (server.useSSL ? "ssl" : "no-ssl") << "\t" << account->GetTimesUsed() << "\n";
    }
    return 0;
}

int AddAccount(CommandContext& aContext) {
    ArgParser args(aContext.args);
    TEmailAccountFields fields;
    fields.host = args.RequiredValue("--host");
    fields.port = args.RequiredValue("--port");
    fields.username = args.RequiredValue("--user");
    fields.password = PasswordOption(args).value_or("");
    fields.useSSL = args.Flag("--ssl");
    if (!args.Positionals().empty()) throw UsageError("add-account takes options only");
    CheckFields(fields);
    auto account = std::make_shared<TEmailAccount>();
    FillEmailAccount(*account, fields);
    SessionAccounts(aContext).Add(account);
    aContext.out << account->GetID() << "\n";
    return 0;
}

int SetAccount(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto host = args.Value("--host");
    const auto port = args.Value("--port");
    const auto username = args.Value("--user");
    const auto password = PasswordOption(args);
    const bool ssl = args.Flag("--ssl");
    const bool noSSL = args.Flag("--no-ssl");
    if (ssl && noSSL) throw UsageError("--ssl and --no-ssl exclude each other");
    IEmailAccount account = AccountArgument(args, aContext, "set-account");
    TEmailAccountFields fields = FieldsOfEmailAccount(*account);
    fields.host = host.value_or(fields.host);
    fields.port = port.value_or(fields.port);
    fields.username = username.value_or(fields.username);
    fields.password = password.value_or(fields.password);
    if (ssl || noSSL) fields.useSSL = ssl;
    CheckFields(fields);
    FillEmailAccount(*account, fields);
    return 0;
}

int DeleteAccount(CommandContext& aContext) {
    ArgParser args(aContext.args);
    IEmailAccount account = AccountArgument(args, aContext, "delete-account");
    try {
        DeleteEmailAccount(*aContext.session, account);
    } catch (const EAccountInUse& e) {
        throw CommandError(e.what());
    }
    return 0;
}

int TestAccount(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const std::string destination = args.RequiredValue("--to");
    IEmailAccount account = AccountArgument(args, aContext, "test-account");
    if (ParseMailboxList(destination).empty()) throw CommandError("No recipient address was given");
    auto outcome = std::make_shared<std::promise<std::pair<TSendResult, std::string>>>();
    auto arrived = outcome->get_future();
    account->SendMessage(
        MakeTestMessage(), destination,
        [outcome](TSendResult aResult, const std::string& aErrorText) { outcome->set_value({aResult, aErrorText}); },
        cTestMessagePriority, "", "");
    const auto [result, errorText] = arrived.get();
    if (result != srOK) throw CommandError(errorText);
    aContext.out << cTestMessageSentText << "\n";
    return 0;
}

CommandRegistrar gAccounts({"accounts", "accounts [--json]", false, true, ListAccounts, AlwaysReadsOnly});
CommandRegistrar gAddAccount({"add-account",
                              std::string("add-account --host H --port N --user U [") + cPasswordOptions + "] [--ssl]",
                              true, true, AddAccount});
CommandRegistrar gSetAccount({"set-account",
                              std::string("set-account ID [--host H] [--port N] [--user U] [") + cPasswordOptions +
                                  "] [--ssl|--no-ssl]",
                              true, true, SetAccount});
CommandRegistrar gDeleteAccount({"delete-account", "delete-account ID", true, true, DeleteAccount});
CommandRegistrar gTestAccount({"test-account", "test-account ID --to ADDR", false, true, TestAccount});

}  // namespace

}  // namespace trawlix::cli
