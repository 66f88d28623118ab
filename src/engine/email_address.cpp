#include "engine/email_address.h"

#include <algorithm>

namespace trawlix {

namespace {

constexpr std::size_t cMaxLabelLength = 63;
constexpr std::string_view cBlanks = " \t";

bool IsAsciiLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The characters an atom of the local part may hold besides letters and digits.
bool IsAtomCharacter(char c) {
    return IsAsciiLetterOrDigit(c) || std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

std::string_view Trimmed(std::string_view aText) {
    const auto first = aText.find_first_not_of(cBlanks);
    if (first == std::string_view::npos) return {};
    return aText.substr(first, aText.find_last_not_of(cBlanks) - first + 1);
}

// Calls aCheck on each piece of aText between separators; false when any piece fails.
template <typename TCheck>
bool AllPieces(std::string_view aText, char aSeparator, TCheck aCheck) {
    for (std::size_t start = 0;;) {
        const std::size_t end = aText.find(aSeparator, start);
        if (!aCheck(aText.substr(start, end == std::string_view::npos ? end : end - start))) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool IsAtom(std::string_view aAtom) { return !aAtom.empty() && std::all_of(aAtom.begin(), aAtom.end(), IsAtomCharacter); }

bool IsDomainLabel(std::string_view aLabel) {
    return !aLabel.empty() && aLabel.size() <= cMaxLabelLength && aLabel.front() != '-' && aLabel.back() != '-' &&
           std::all_of(aLabel.begin(), aLabel.end(), [](char c) { return IsAsciiLetterOrDigit(c) || c == '-'; });
}

// "[192.0.2.1]" or "[IPv6:2001:db8::1]": only what an address literal is written with.
bool IsAddressLiteral(std::string_view aDomain) {
    if (aDomain.size() < 3 || aDomain.front() != '[' || aDomain.back() != ']') return false;
    const std::string_view inside = aDomain.substr(1, aDomain.size() - 2);
    return std::all_of(inside.begin(), inside.end(), [](char c) { return IsAsciiLetterOrDigit(c) || c == '.' || c == ':'; });
}

bool IsDomain(std::string_view aDomain) { return IsAddressLiteral(aDomain) || AllPieces(aDomain, '.', IsDomainLabel); }

// Reads a quoted name at the start of aText (which starts with '"') into aName; the rest
// after the closing quote is left in aText. False for a name that is not closed or holds a
// control character.
bool ReadQuotedName(std::string_view& aText, std::string& aName) {
    for (std::size_t i = 1; i < aText.size(); ++i) {
        char c = aText[i];
        if (c == '"') {
            aText.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < aText.size()) c = aText[++i];
        if (IsControl(c)) return false;
        aName += c;
    }
    return false;
}

// Reads an unquoted name up to the '<' into aName, leaving the rest in aText.
bool ReadPlainName(std::string_view& aText, std::string& aName) {
    const std::size_t open = aText.find('<');
    if (open == std::string_view::npos) return false;
    const std::string_view name = Trimmed(aText.substr(0, open));
    if (std::any_of(name.begin(), name.end(), [](char c) { return IsControl(c) || c == '"' || c == '>'; }))
        return false;
    aName = name;
    aText.remove_prefix(open);
    return true;
}

std::string Printable(std::string_view aText) {
    std::string shown(aText.substr(0, 80));
    std::replace_if(shown.begin(), shown.end(), IsControl, ' ');
    return shown;
}

// Where the parts of a list end: commas, semicolons and line breaks that stand outside a
// quoted name and outside angle brackets.
std::vector<std::string_view> SplitMailboxList(std::string_view aText) {
    std::vector<std::string_view> parts;
    bool quoted = false, bracketed = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        const char c = aText[i];
        if (quoted) {
            if (c == '\\') ++i;
            else if (c == '"') quoted = false;
        } else if (c == '"' && !bracketed) {
            quoted = true;
        } else if (c == '<') {
            bracketed = true;
        } else if (c == '>') {
            bracketed = false;
        } else if (!bracketed && std::string_view(",;\r\n").find(c) != std::string_view::npos) {
            parts.push_back(aText.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(aText.substr(start));
    return parts;
}

}  // namespace

bool IsValidEmailAddress(std::string_view aAddress) {
    if (aAddress.size() > cMaxEmailAddressLength) return false;
    const std::size_t at = aAddress.find('@');
    if (at == std::string_view::npos || at > cMaxLocalPartLength) return false;
    return AllPieces(aAddress.substr(0, at), '.', IsAtom) && IsDomain(aAddress.substr(at + 1));
}

std::optional<TMailbox> ParseMailbox(std::string_view aText) {
    std::string_view rest = Trimmed(aText);
    TMailbox mailbox;
    if (rest.find('<') == std::string_view::npos && rest.find('"') == std::string_view::npos) {
        if (!IsValidEmailAddress(rest)) return std::nullopt;
        mailbox.address = rest;
        return mailbox;
    }
    const bool nameRead = rest.front() == '"' ? ReadQuotedName(rest, mailbox.name) : ReadPlainName(rest, mailbox.name);
    rest = Trimmed(rest);
    if (!nameRead || rest.size() < 2 || rest.front() != '<' || rest.back() != '>') return std::nullopt;
    mailbox.address = rest.substr(1, rest.size() - 2);
    if (!IsValidEmailAddress(mailbox.address)) return std::nullopt;
    return mailbox;
}

std::vector<TMailbox> ParseMailboxList(std::string_view aText) {
    std::vector<TMailbox> mailboxes;
    for (std::string_view part : SplitMailboxList(aText)) {
        part = Trimmed(part);
        if (part.empty()) continue;
        std::optional<TMailbox> mailbox = ParseMailbox(part);
        if (!mailbox) throw EEmailAddress("\"" + Printable(part) + "\" is not an e-mail address");
        mailboxes.push_back(std::move(*mailbox));
    }
    return mailboxes;
}

std::string SingleEmailAddress(std::string_view aText) {
    const std::string_view address = Trimmed(aText);
    return IsValidEmailAddress(address) ? std::string(address) : std::string();
}

}  // namespace trawlix
