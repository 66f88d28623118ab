#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The one reader of e-mail addresses. Every address that reaches an SMTP server goes through
// it, whether typed, stored or read from a page: an address that passes holds nothing the
// server could read as a command, a parameter or a second recipient.
namespace trawlix {

// One mailbox: the address for the envelope and the name, if any, for the header (as a
// person reads it: without quotes or escapes).
struct TMailbox {
    std::string name;
    std::string address;
};

// A text that is not a list of mailboxes; the message names the part that is wrong.
class EEmailAddress : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::size_t cMaxEmailAddressLength = 254;
inline constexpr std::size_t cMaxLocalPartLength = 64;

// Whether aAddress is one plain address, local@domain: a local part of dot-separated atoms
// (ASCII letters, digits and !#$%&'*+-/=?^_`{|}~), a domain of letters, digits and hyphens
// in dot-separated labels or an address literal in brackets, 254 characters at most.
bool IsValidEmailAddress(std::string_view aAddress);

// One mailbox as a person or a page writes it: "a@b.c", "<a@b.c>", "Name <a@b.c>" or
// "\"Lee, Ann\" <a@b.c>". Nothing when the text is not exactly one mailbox with a valid
// address, or its name holds a control character.
std::optional<TMailbox> ParseMailbox(std::string_view aText);

// Mailboxes separated by commas, semicolons or line breaks (outside quotes and angle
// brackets), blanks around them and empty parts skipped. Raises EEmailAddress naming the
// first part that is not a mailbox.
std::vector<TMailbox> ParseMailboxList(std::string_view aText);

// The address of a text that must be exactly one bare address (a reply address read from a
// page or stored with an ad): the trimmed address, or "" when it is anything else.
std::string SingleEmailAddress(std::string_view aText);

}  // namespace trawlix
