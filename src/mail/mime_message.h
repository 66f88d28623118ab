#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace trawlix {

// One recipient: the address for the envelope and the name, if any, for the To header.
struct TMailRecipient {
    std::string address;  // without angle brackets
    std::string name;     // as a person reads it: without quotes or escapes
};

// The recipients of a destination text: separated by commas, semicolons or line breaks,
// trimmed, empty parts dropped. "Name <address>" keeps the name for the header. Raises
// EEmailAddress (engine/email_address.h) naming the first part that is not an address.
std::vector<TMailRecipient> ParseRecipients(const std::string& aDestination);

// "Name <address>" for a header: the name as it is when it is plain words, quoted when it
// holds other printable ASCII, as encoded words when it holds anything else; the bare address
// when there is no name.
std::string MailboxHeaderText(const TMailRecipient& aRecipient);

// A header value as RFC 2047 encoded words ("=?UTF-8?B?...?=") when it holds anything but
// printable ASCII, else unchanged. Words of at most 68 characters, cut on character
// boundaries, one per folded line. Line breaks become spaces first: a header value never
// starts a new header.
std::string EncodeHeaderText(const std::string& aText);

// The Date header value: "Thu, 10 Dec 2026 13:52:23 +0100", in English whatever the locale.
std::string MailDate(std::chrono::system_clock::time_point aTime);

// Standard Base64 (RFC 4648 alphabet, "=" padding) of the bytes, on one line.
std::string Base64EncodeStr(const std::string& aBytes);

// What one mail is made of before it goes on the wire.
struct TMailContent {
    std::string from;  // the sender address
    std::vector<TMailRecipient> recipients;
    std::string subject;
    std::string body;  // UTF-8; line breaks of any kind
    bool isHTML = false;
};

// The whole message in Internet format with CR LF line ends: Date, From, To, Subject,
// Message-ID, MIME headers and the body, base64 encoded when it is not short-lined ASCII.
// Header lines are folded at blanks to at most 78 characters where the words allow.
std::string ComposeMail(const TMailContent& aContent, std::chrono::system_clock::time_point aTime);

}  // namespace trawlix
