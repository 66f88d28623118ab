#include "mail/mime_message.h"

#include <algorithm>
#include <ctime>
#include <random>
#include <string_view>

#include "engine/email_address.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace {

constexpr const char* cCRLF = "\r\n";
// The longest line a mail may carry, without its CR LF.
constexpr size_t cMaxLineLength = 998;
// Bytes of text per encoded word: 42 bytes make 56 base64 characters, which keeps the word
// within the 75 characters an encoded word may have, and "Subject: " with the first word
// within a header line.
constexpr size_t cEncodedWordBytes = 42;
// The longest header line a mail should carry, without its CR LF; servers refuse far longer
// ones ("500 Line too long").
constexpr size_t cFoldedLineLength = 78;

bool IsPrintableASCII(const std::string& aText) {
    return std::all_of(aText.begin(), aText.end(), [](char c) { return c == '\t' || (c >= 0x20 && c < 0x7F); });
}

std::string LineBreaksToSpaces(std::string aText) {
    std::replace_if(aText.begin(), aText.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return aText;
}

// Length of the UTF-8 character that starts with aLead (1 for a stray byte).
size_t CharacterLength(unsigned char aLead) {
    if (aLead >= 0xF0) return 4;
    if (aLead >= 0xE0) return 3;
    if (aLead >= 0xC0) return 2;
    return 1;
}

// The text cut into runs of whole characters of at most cEncodedWordBytes bytes.
std::vector<std::string> EncodedWordChunks(const std::string& aText) {
    std::vector<std::string> chunks(1);
    for (size_t i = 0; i < aText.size();) {
        const size_t length = std::min(CharacterLength(static_cast<unsigned char>(aText[i])), aText.size() - i);
        if (chunks.back().size() + length > cEncodedWordBytes) chunks.emplace_back();
        chunks.back() += aText.substr(i, length);
        i += length;
    }
    return chunks;
}

std::string NormalizeLineBreaks(const std::string& aText) {
    std::string out;
    out.reserve(aText.size() + aText.size() / 32);
    for (size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == '\r') {
            out += cCRLF;
            if (i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
        } else if (aText[i] == '\n') {
            out += cCRLF;
        } else {
            out += aText[i];
        }
    }
    return out;
}

bool FitsSevenBit(const std::string& aBody) {
    size_t lineLength = 0;
    for (char c : aBody) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) return false;
        lineLength = (c == '\n') ? 0 : lineLength + 1;
        if (lineLength > cMaxLineLength + 1) return false;  // + 1: the CR before the LF
    }
    return true;
}

std::string WrapLines(const std::string& aText, size_t aWidth) {
    std::string out;
    for (size_t i = 0; i < aText.size(); i += aWidth) out += aText.substr(i, aWidth) + cCRLF;
    return out;
}

std::string DomainOf(const std::string& aAddress) {
    const auto at = aAddress.rfind('@');
    return at == std::string::npos ? std::string("localhost") : aAddress.substr(at + 1);
}

std::string MessageID(const std::string& aSender, std::chrono::system_clock::time_point aTime) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(aTime.time_since_epoch()).count();
    char unique[64];
    std::snprintf(unique, sizeof unique, "%lld.%016llx", static_cast<long long>(millis),
                  static_cast<unsigned long long>(random()));
    return "<" + std::string(unique) + "@" + DomainOf(aSender) + ">";
}

// A header line folded where it has blanks, so that no line is longer than 78 characters
// unless one word alone is. A fold puts CR LF before a blank; the blank starts the next line,
// so the value reads the same unfolded. Folds already in aLine ("\r\n ") are kept.
std::string FoldHeaderLine(const std::string& aLine) {
    std::string out;
    out.reserve(aLine.size() + aLine.size() / 32);
    size_t lineStart = 0;
    size_t foldAt = std::string::npos;  // a blank of the current line that ends a word
    for (size_t i = 0; i < aLine.size(); ++i) {
        const char c = aLine[i];
        if (c == '\r' && i + 1 < aLine.size() && aLine[i + 1] == '\n') {
            out += cCRLF;
            ++i;
            lineStart = out.size();
            foldAt = std::string::npos;
            continue;
        }
        const bool blank = c == ' ' || c == '\t';
        if (blank && out.size() > lineStart && out.back() != ' ' && out.back() != '\t') foldAt = out.size();
        out += c;
        if (!blank && out.size() - lineStart > cFoldedLineLength && foldAt != std::string::npos) {
            out.insert(foldAt, cCRLF);
            lineStart = foldAt + 2;
            foldAt = std::string::npos;
        }
    }
    return out;
}

void AddHeader(std::string& aMail, const std::string& aName, const std::string& aValue) {
    aMail += FoldHeaderLine(aName + ": " + aValue) + cCRLF;
}

std::string ToHeader(const std::vector<TMailRecipient>& aRecipients) {
    std::string header;
    for (const auto& recipient : aRecipients) {
        if (!header.empty()) header += ",\r\n ";
        header += MailboxHeaderText(recipient);
    }
    return header;
}

// A name that may stand in a header as it is: words of atom characters between spaces.
bool IsPlainPhrase(const std::string& aName) {
    static constexpr std::string_view cAtomSpecials = "!#$%&'*+-/=?^_`{|}~ ";
    return std::all_of(aName.begin(), aName.end(), [](char c) {
        const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        return letterOrDigit || cAtomSpecials.find(c) != std::string_view::npos;
    });
}

std::string QuotedName(const std::string& aName) {
    std::string quoted = "\"";
    for (char c : aName) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

std::vector<TMailRecipient> ParseRecipients(const std::string& aDestination) {
    std::vector<TMailRecipient> recipients;
    for (TMailbox& mailbox : ParseMailboxList(aDestination))
        recipients.push_back({std::move(mailbox.address), std::move(mailbox.name)});
    return recipients;
}

std::string MailboxHeaderText(const TMailRecipient& aRecipient) {
    const std::string name = LineBreaksToSpaces(aRecipient.name);
    if (name.empty()) return aRecipient.address;
    std::string shown;
    if (IsPlainPhrase(name))
        shown = name;
    else if (IsPrintableASCII(name))
        shown = QuotedName(name);
    else
        shown = EncodeHeaderText(name);
    return shown + " <" + aRecipient.address + ">";
}

std::string EncodeHeaderText(const std::string& aText) {
    const std::string text = LineBreaksToSpaces(aText);
    if (IsPrintableASCII(text)) return text;
    std::string encoded;
    for (const auto& chunk : EncodedWordChunks(text)) {
        if (!encoded.empty()) encoded += "\r\n ";
        encoded += "=?UTF-8?B?" + Base64EncodeStr(chunk) + "?=";
    }
    return encoded;
}

std::string MailDate(std::chrono::system_clock::time_point aTime) {
    static constexpr const char* cDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* cMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = std::chrono::system_clock::to_time_t(aTime);
    std::tm local{};
    localtime_r(&seconds, &local);
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %d %s %04d %02d:%02d:%02d %c%02ld%02ld", cDays[local.tm_wday], local.tm_mday,
                  cMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return text;
}

std::string ComposeMail(const TMailContent& aContent, std::chrono::system_clock::time_point aTime) {
    const std::string body = NormalizeLineBreaks(aContent.body);
    const bool sevenBit = FitsSevenBit(body);
    std::string mail;
    AddHeader(mail, "Date", MailDate(aTime));
    AddHeader(mail, "From", "<" + aContent.from + ">");
    AddHeader(mail, "To", ToHeader(aContent.recipients));
    AddHeader(mail, "Subject", EncodeHeaderText(aContent.subject));
    AddHeader(mail, "Message-ID", MessageID(aContent.from, aTime));
    AddHeader(mail, "MIME-Version", "1.0");
    AddHeader(mail, "Content-Type", std::string(aContent.isHTML ? "text/html" : "text/plain") + "; charset=utf-8");
    AddHeader(mail, "Content-Transfer-Encoding", sevenBit ? "7bit" : "base64");
    mail += cCRLF;
    if (sevenBit) {
        mail += body;
        if (!body.empty() && body.back() != '\n') mail += cCRLF;
    } else {
        mail += WrapLines(Base64EncodeStr(body), 76);
    }
    return mail;
}

std::string Base64EncodeStr(const std::string& aBytes) {
    static constexpr char cAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((aBytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < aBytes.size(); i += 3) {
        const size_t left = std::min<size_t>(3, aBytes.size() - i);
        unsigned group = 0;
        for (size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < left ? static_cast<unsigned char>(aBytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; ++k) out += k <= left ? cAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}


}  // namespace trawlix
