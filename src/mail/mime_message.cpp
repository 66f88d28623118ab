#include "mail/mime_message.h"

#include <algorithm>
#include <ctime>
#include <random>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

constexpr const char* cCRLF = "\r\n";
// The longest line a mail may carry, without its CR LF.
constexpr size_t cMaxLineLength = 998;
// Bytes of text per encoded word: 45 bytes make 60 base64 characters, which keeps the
// word within the 75 characters an encoded word may have.
constexpr size_t cEncodedWordBytes = 45;

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

std::string ToHeader(const std::vector<TMailRecipient>& aRecipients) {
    std::string header;
    for (const auto& recipient : aRecipients) {
        if (!header.empty()) header += ",\r\n ";
        const auto open = recipient.display.rfind('<');
        if (open == std::string::npos || open == 0) {
            header += recipient.display;
            continue;
        }
        // Only the name may need encoding; the address itself stays readable.
        header += EncodeHeaderText(Trim(recipient.display.substr(0, open))) + " <" + recipient.address + ">";
    }
    return header;
}

}  // namespace

std::vector<TMailRecipient> ParseRecipients(const std::string& aDestination) {
    std::vector<TMailRecipient> recipients;
    size_t start = 0;
    while (start <= aDestination.size()) {
        const size_t end = aDestination.find_first_of(",;\r\n", start);
        const std::string part = Trim(aDestination.substr(start, end == std::string::npos ? end : end - start));
        if (!part.empty()) {
            TMailRecipient recipient{part, part};
            const auto open = part.rfind('<');
            const auto close = part.rfind('>');
            if (open != std::string::npos && close != std::string::npos && close > open)
                recipient.address = Trim(part.substr(open + 1, close - open - 1));
            recipients.push_back(std::move(recipient));
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return recipients;
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
    mail += "Date: " + MailDate(aTime) + cCRLF;
    mail += "From: <" + aContent.from + ">" + cCRLF;
    mail += "To: " + ToHeader(aContent.recipients) + cCRLF;
    mail += "Subject: " + EncodeHeaderText(aContent.subject) + cCRLF;
    mail += "Message-ID: " + MessageID(aContent.from, aTime) + cCRLF;
    mail += std::string("MIME-Version: 1.0") + cCRLF;
    mail += std::string("Content-Type: ") + (aContent.isHTML ? "text/html" : "text/plain") + "; charset=utf-8" + cCRLF;
    mail += std::string("Content-Transfer-Encoding: ") + (sevenBit ? "7bit" : "base64") + cCRLF;
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
