#pragma once

#include <string>

#include "mail/email_message.h"

namespace trawlix {

class TEmailAccount;

// The account editor's fields as typed.
struct TEmailAccountFields {
    std::string host;
    std::string port;
    std::string username;
    std::string password;
    bool useSSL = false;
};

inline constexpr const char* cInvalidHostMessage = "You have to supply a valid SMTP host";
inline constexpr const char* cInvalidPortSuffix = " is not a valid port value";
inline constexpr const char* cNoAccountMessage = "You have to supply an account.";
inline constexpr const char* cAccountLineBreakMessage = "The account cannot contain a line break.";
inline constexpr int cMaxSMTPPort = 65535;

// What is wrong with the fields, in the editor's order of checks; empty when they pass.
// A host or user name with a line break is refused: either would end up in the SMTP
// exchange and the mail's headers.
std::string CheckEmailAccountFields(const TEmailAccountFields& aFields);
// The trimmed port text as a number; 25 when it is not one.
int PortFromText(const std::string& aText);
// Copies the trimmed fields into the account under its lock.
void FillEmailAccount(TEmailAccount& aEmailAccount, const TEmailAccountFields& aFields);
// The account's settings as the editor shows them.
TEmailAccountFields FieldsOfEmailAccount(const TEmailAccount& aEmailAccount);

// The test mail an account editor sends.
inline constexpr const char* cTestMessageSubject = "Test message from Trawlix";
inline constexpr const char* cTestMessageSentText = "The message was sent successfully. Please check your Inbox.";
inline constexpr const char* cTestMessageFailedText =
    "Message was NOT sent successfully. \r\nThe following error occurred: \r\n";
inline constexpr int cTestMessagePriority = 1;
TEmailMessage MakeTestMessage();

}  // namespace trawlix
