#include "mail/email_account_checks.h"

#include <charconv>

#include "engine/text_functions.h"
#include "mail/email_account.h"

namespace trawlix {

namespace {

bool HasLineBreak(const std::string& aText) { return aText.find_first_of("\r\n") != std::string::npos; }

bool ParseWhole(const std::string& aText, int& aValue) {
    if (aText.empty()) return false;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), aValue);
    return ec == std::errc() && end == aText.data() + aText.size();
}

}  // namespace

std::string CheckEmailAccountFields(const TEmailAccountFields& aFields) {
    const std::string host = Trim(aFields.host);
    if (host.empty() || host.find('@') != std::string::npos || HasLineBreak(host)) return cInvalidHostMessage;
    int port = 0;
    if (!ParseWhole(Trim(aFields.port), port) || port < 1 || port > cMaxSMTPPort)
        return aFields.port + cInvalidPortSuffix;
    const std::string username = Trim(aFields.username);
    if (username.empty()) return cNoAccountMessage;
    if (HasLineBreak(username)) return cAccountLineBreakMessage;
    return {};
}

int PortFromText(const std::string& aText) {
    int port = 0;
    return ParseWhole(Trim(aText), port) ? port : 25;
}

void FillEmailAccount(TEmailAccount& aEmailAccount, const TEmailAccountFields& aFields) {
    TCLock lock(aEmailAccount.GetCriticalSection());
    aEmailAccount.SetSMTPHost(Trim(aFields.host));
    aEmailAccount.SetSMTPPort(PortFromText(aFields.port));
    aEmailAccount.SetUsername(Trim(aFields.username));
    aEmailAccount.SetPassword(Trim(aFields.password));
    aEmailAccount.SetUseSSL(aFields.useSSL);
}

TEmailAccountFields FieldsOfEmailAccount(const TEmailAccount& aEmailAccount) {
    TCLock lock(aEmailAccount.GetCriticalSection());
    return TEmailAccountFields{aEmailAccount.GetSMTPHost(), std::to_string(aEmailAccount.GetSMTPPort()),
                               aEmailAccount.GetUsername(), aEmailAccount.GetPassword(), aEmailAccount.GetUseSSL()};
}

TEmailMessage MakeTestMessage() {
    TEmailMessage message;
    message.SetSubject(cTestMessageSubject);
    message.SetBody(
        "This is a test mass-email message that you have requested.\r\n"
        "This means that the SMTP settings for your email account are properly configured. \r\n\r\n"
        "Thanks, \r\nthe Trawlix team.");
    message.SetIsHTML(false);
    return message;
}

}  // namespace trawlix
