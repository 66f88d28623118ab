#include "mail/push_transports.h"

#include <algorithm>

#include "engine/text_functions.h"
#include "mail/digest_text.h"
#include "mail/push_delivery.h"

namespace trawlix {

namespace {

// Long titles are cut: a digest line must fit in a message with room to spare.
constexpr std::size_t cLineTitleBytes = 600;

std::string HTMLAttribute(const std::string& aText) {
    std::string escaped;
    for (char c : EscapeHTML(aText)) escaped += c == '"' ? std::string("&quot;") : std::string(1, c);
    return escaped;
}

std::string TelegramResultLine(const TDigestResult& aResult) {
    std::string line = "<a href=\"" + HTMLAttribute(aResult.link) + "\">" +
                       EscapeHTML(Utf8Prefix(aResult.title, cLineTitleBytes)) + "</a>";
    if (aResult.priceWas >= 0)
        line += " was " + PlainPrice(aResult.priceWas) + ", now " + PlainPrice(aResult.price);
    else if (aResult.price >= 0)
        line += " " + PlainPrice(aResult.price);
    return line;
}

// A line that cannot fit even alone (an address of thousands of characters) goes as plain
// text, cut: a tag cut in two would make Telegram refuse the whole message.
std::string FittedLine(const std::string& aLine, const std::string& aPlain, std::size_t aBudget) {
    if (Utf16Length(aLine) <= aBudget) return aLine;
    return EscapeHTML(Utf8Prefix(aPlain, aBudget / 5));
}

std::vector<std::string> TelegramLines(const TAlertNotification& aNotification, std::size_t aBudget) {
    std::vector<std::string> lines;
    if (!aNotification.noticeText.empty()) {
        std::size_t start = 0;
        for (std::size_t end; start <= aNotification.noticeText.size(); start = end + 1) {
            end = aNotification.noticeText.find('\n', start);
            if (end == std::string::npos) end = aNotification.noticeText.size();
            const std::string line = aNotification.noticeText.substr(start, end - start);
            lines.push_back(FittedLine(EscapeHTML(line), line, aBudget));
        }
        return lines;
    }
    lines.push_back(DigestCounts(aNotification));
    const auto add = [&](const TDigestResult& aResult) {
        lines.push_back(FittedLine(TelegramResultLine(aResult), aResult.title + " " + aResult.link, aBudget));
    };
    for (const TDigestResult& result : aNotification.results) add(result);
    if (!aNotification.priceDrops.empty()) lines.push_back("<b>Price drops</b>");
    for (const TDigestResult& result : aNotification.priceDrops) add(result);
    return lines;
}

std::string TelegramHeading(const TAlertNotification& aNotification) {
    const std::string title =
        aNotification.noticeTitle.empty() ? DigestTitle(aNotification) : aNotification.noticeTitle;
    std::string heading = "<b>" + EscapeHTML(Utf8Prefix(title, cLineTitleBytes)) + "</b>";
    if (!aNotification.digestId.empty()) heading += " (digest " + EscapeHTML(aNotification.digestId) + ")";
    return heading;
}

// Lines gathered into chunks of at most aBudget, each line whole.
std::vector<std::string> GatherLines(const std::vector<std::string>& aLines, std::size_t aBudget) {
    std::vector<std::string> chunks;
    std::string chunk;
    std::size_t length = 0;
    for (const std::string& line : aLines) {
        const std::size_t lineLength = Utf16Length(line);
        if (!chunk.empty() && length + 1 + lineLength > aBudget) {
            chunks.push_back(chunk);
            chunk.clear();
            length = 0;
        }
        if (!chunk.empty()) {
            chunk += "\n";
            ++length;
        }
        chunk += line;
        length += lineLength;
    }
    if (!chunk.empty() || chunks.empty()) chunks.push_back(chunk);
    return chunks;
}

// At most aLimit characters (UTF-16 units) of aText, cut between characters.
std::string CharacterPrefix(const std::string& aText, std::size_t aLimit) {
    std::size_t length = 0, at = 0;
    while (at < aText.size()) {
        const std::size_t bytes = std::max<std::size_t>(ValidUtf8SequenceAt(aText, at), 1);
        const std::size_t units = bytes == 4 ? 2 : 1;
        if (length + units > aLimit) break;
        length += units;
        at += bytes;
    }
    return aText.substr(0, at);
}

// At most aLimit characters of aText, cut at the end of a line when there is one.
std::string CutAtLineEnd(const std::string& aText, std::size_t aLimit) {
    const std::string cut = CharacterPrefix(aText, aLimit);
    if (cut.size() == aText.size()) return cut;
    const std::size_t lineEnd = cut.rfind('\n');
    return lineEnd == std::string::npos || lineEnd == 0 ? cut : cut.substr(0, lineEnd + 1);
}

std::string MarkdownText(const std::string& aText) {
    std::string escaped;
    for (char c : aText) {
        if (std::string_view("\\`*_[]()<>#!|").find(c) != std::string_view::npos) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string MarkdownLink(const std::string& aURL) {
    std::string link;
    for (char c : aURL) {
        if (c == ' ') link += "%20";
        else if (c == '(') link += "%28";
        else if (c == ')') link += "%29";
        else link += c;
    }
    return link;
}

std::string GotifyMarkdown(const TAlertNotification& aNotification) {
    if (!aNotification.noticeText.empty()) return MarkdownText(aNotification.noticeText);
    std::string text = DigestCounts(aNotification);
    if (!aNotification.digestId.empty()) text += " (digest " + aNotification.digestId + ")";
    text += "\n\n";
    const auto line = [](const TDigestResult& aResult) {
        return "- [" + MarkdownText(aResult.title) + "](" + MarkdownLink(aResult.link) + ")";
    };
    for (const TDigestResult& result : aNotification.results)
        text += line(result) + (result.price >= 0 ? " " + PlainPrice(result.price) : std::string()) + "\n";
    if (!aNotification.priceDrops.empty()) text += "\n**Price drops**\n\n";
    for (const TDigestResult& result : aNotification.priceDrops)
        text += line(result) + " was " + PlainPrice(result.priceWas) + ", now " + PlainPrice(result.price) + "\n";
    return text;
}

const TDigestResult* FirstResult(const TAlertNotification& aNotification) {
    if (!aNotification.results.empty()) return &aNotification.results.front();
    if (!aNotification.priceDrops.empty()) return &aNotification.priceDrops.front();
    return nullptr;
}

std::string NotificationTitle(const TAlertNotification& aNotification) {
    return aNotification.noticeTitle.empty() ? DigestTitle(aNotification) : aNotification.noticeTitle;
}

}  // namespace

std::size_t Utf16Length(const std::string& aText) {
    std::size_t length = 0;
    for (unsigned char c : aText) {
        if ((c & 0xC0) == 0x80) continue;   // a continuation byte
        length += c >= 0xF0 ? 2 : 1;        // beyond the BMP: a surrogate pair
    }
    return length;
}

std::vector<std::string> TelegramMessages(const TAlertNotification& aNotification) {
    const std::string heading = TelegramHeading(aNotification);
    // Room for the heading, " (999/999)" and the line end after it.
    const std::size_t budget = cTelegramMessageLimit - Utf16Length(heading) - 11;
    const std::vector<std::string> chunks = GatherLines(TelegramLines(aNotification, budget), budget);
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        std::string part = chunks.size() == 1 ? std::string()
                                              : " (" + std::to_string(i + 1) + "/" + std::to_string(chunks.size()) + ")";
        messages.push_back(heading + part + "\n" + chunks[i]);
    }
    return messages;
}

// --- Telegram --------------------------------------------------------------------------

TTelegramTransport::TTelegramTransport(std::string aBotToken, std::string aChatID, TProxySettings& aProxySettings,
                                       std::string aAPIBase)
    : fBotToken(std::move(aBotToken)),
      fChatID(std::move(aChatID)),
      fProxySettings(aProxySettings),
      fAPIBase(std::move(aAPIBase)) {}

void TTelegramTransport::SendMessage(const std::string& aHTML) {
    // The bot's number (before the colon) names it; the rest of the token is the secret.
    const std::string bot = fBotToken.substr(0, fBotToken.find(':'));
    TPushDelivery delivery("Telegram", "telegram:" + bot, {fBotToken}, fProxySettings);
    delivery.Send({fAPIBase + "/bot" + fBotToken + "/sendMessage", "application/json",
                   "{\"chat_id\": " + JsonString(fChatID) + ", \"text\": " + JsonString(aHTML) +
                       ", \"parse_mode\": \"HTML\", \"disable_web_page_preview\": true}",
                   {}});
}

void TTelegramTransport::SendAlert(const TAlertNotification& aNotification) {
    for (const std::string& message : TelegramMessages(aNotification)) SendMessage(message);
}

void TTelegramTransport::SendTest(TTestMessageKind aKind, const std::string&) {
    SendMessage("<b>Trawlix test message</b>\n" + EscapeHTML(TestText(aKind)));
}

// --- Pushover --------------------------------------------------------------------------

TPushoverTransport::TPushoverTransport(std::string aUserKey, std::string aAppToken, int aPriority,
                                       TProxySettings& aProxySettings, std::string aAPIBase)
    : fUserKey(std::move(aUserKey)),
      fAppToken(std::move(aAppToken)),
      fPriority(aPriority),
      fProxySettings(aProxySettings),
      fAPIBase(std::move(aAPIBase)) {}

void TPushoverTransport::Send(const std::string& aTitle, const std::string& aMessage, const TDigestResult* aFirst) {
    std::string body = "token=" + URLEncode(fAppToken) + "&user=" + URLEncode(fUserKey) +
                       "&title=" + URLEncode(CharacterPrefix(aTitle, cPushoverTitleLimit)) +
                       "&message=" + URLEncode(CutAtLineEnd(aMessage, cPushoverMessageLimit));
    if (aFirst && aFirst->link.size() <= cPushoverURLLimit)
        body += "&url=" + URLEncode(aFirst->link) +
                "&url_title=" + URLEncode(CharacterPrefix(aFirst->title, cPushoverURLTitleLimit));
    body += "&priority=" + std::to_string(fPriority);
    // An emergency message repeats until acknowledged: once a minute, for an hour at most.
    if (fPriority >= 2) body += "&retry=60&expire=3600";
    TPushDelivery delivery("Pushover", "pushover:" + fAppToken, {fAppToken, fUserKey}, fProxySettings);
    delivery.Send({fAPIBase + "/1/messages.json", "application/x-www-form-urlencoded", body, {}});
}

void TPushoverTransport::SendAlert(const TAlertNotification& aNotification) {
    const std::string message = aNotification.noticeText.empty() ? DigestPlainText(aNotification)
                                                                  : aNotification.noticeText;
    Send(NotificationTitle(aNotification), message, FirstResult(aNotification));
}

void TPushoverTransport::SendTest(TTestMessageKind aKind, const std::string&) {
    Send("Trawlix test message", TestText(aKind), nullptr);
}

// --- Gotify ----------------------------------------------------------------------------

TGotifyTransport::TGotifyTransport(std::string aServerURL, std::string aAppToken, int aPriority,
                                   TProxySettings& aProxySettings)
    : fServerURL(std::move(aServerURL)),
      fAppToken(std::move(aAppToken)),
      fPriority(aPriority),
      fProxySettings(aProxySettings) {}

void TGotifyTransport::Send(const std::string& aTitle, const std::string& aMarkdown, const std::string& aClickURL) {
    std::string extras = "\"client::display\": {\"contentType\": \"text/markdown\"}";
    if (!aClickURL.empty())
        extras += ", \"client::notification\": {\"click\": {\"url\": " + JsonString(aClickURL) + "}}";
    const std::string body = "{\"title\": " + JsonString(aTitle) + ", \"message\": " + JsonString(aMarkdown) +
                             ", \"priority\": " + std::to_string(fPriority) + ", \"extras\": {" + extras + "}}";
    // The token goes in a header, not in the address, where logs and proxies would keep it.
    TPushDelivery delivery("Gotify", "gotify:" + fServerURL + ":" + fAppToken, {fAppToken}, fProxySettings);
    delivery.Send({fServerURL + "/message", "application/json", body, {"X-Gotify-Key: " + fAppToken}});
}

void TGotifyTransport::SendAlert(const TAlertNotification& aNotification) {
    const TDigestResult* first = FirstResult(aNotification);
    Send(NotificationTitle(aNotification), GotifyMarkdown(aNotification), first ? first->link : std::string());
}

void TGotifyTransport::SendTest(TTestMessageKind aKind, const std::string&) {
    Send("Trawlix test message", TestText(aKind), {});
}

}  // namespace trawlix
