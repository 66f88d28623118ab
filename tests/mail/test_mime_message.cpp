#include <gtest/gtest.h>

#include "engine/email_address.h"
#include "mail/mime_message.h"
#include "mail/smtp_client.h"

using namespace trawlix;

namespace {

std::chrono::system_clock::time_point SomeTime() { return std::chrono::system_clock::from_time_t(1765374743); }

std::string HeaderOf(const std::string& aMail, const std::string& aName) {
    const auto start = aMail.find("\r\n" + aName + ": ");
    if (start == std::string::npos) return {};
    const auto end = aMail.find("\r\n", start + 2);
    return aMail.substr(start + aName.size() + 4, end - start - aName.size() - 4);
}

// A header's value with its folds taken out (CR LF removed, the blank after it kept).
std::string UnfoldedHeader(const std::string& aMail, const std::string& aName) {
    const auto start = aMail.find("\r\n" + aName + ":");
    if (start == std::string::npos) return {};
    std::string value;
    size_t at = start + aName.size() + 3;
    for (size_t end; (end = aMail.find("\r\n", at)) != std::string::npos; at = end + 2) {
        value += aMail.substr(at, end - at);
        if (aMail[end + 2] != ' ' && aMail[end + 2] != '\t') break;
    }
    return value.substr(value.find_first_not_of(' '));
}

}  // namespace

TEST(MimeMessage, RecipientsSplitOnCommasSemicolonsAndLineBreaks) {
    const auto recipients = ParseRecipients(" a@x.org; b@y.org,,\r\nJane Roe <c@z.org> ;");
    ASSERT_EQ(recipients.size(), 3u);
    EXPECT_EQ(recipients[0].address, "a@x.org");
    EXPECT_EQ(recipients[1].address, "b@y.org");
    EXPECT_EQ(recipients[2].address, "c@z.org");
    EXPECT_EQ(recipients[2].name, "Jane Roe");
    EXPECT_TRUE(ParseRecipients(" ;, ").empty());
    // Anything that is not an address raises before a line goes to the server.
    EXPECT_THROW(ParseRecipients("me@x.test> NOTIFY=SUCCESS ORCPT=rfc822;x@y"), EEmailAddress);
    EXPECT_THROW(ParseRecipients("a@x.org, Jane\r\nRoe <jane@x.org>"), EEmailAddress);
}

TEST(MimeMessage, NamesAreQuotedOrEncodedInTheHeader) {
    struct TCase {
        TMailRecipient recipient;
        const char* header;
    } cases[] = {
        {{"a@x.org", ""}, "a@x.org"},
        {{"jane@x.org", "Jane Roe"}, "Jane Roe <jane@x.org>"},
        {{"jane@x.org", "Roe, Jane"}, "\"Roe, Jane\" <jane@x.org>"},
        {{"jane@x.org", "J. \"Jay\" Roe \\ Co"}, "\"J. \\\"Jay\\\" Roe \\\\ Co\" <jane@x.org>"},
        {{"jane@x.org", "Jane <boss@y.org>"}, "\"Jane <boss@y.org>\" <jane@x.org>"},
        {{"z@x.org", "Zo\xC3\xAB"}, "=?UTF-8?B?Wm/Dqw==?= <z@x.org>"},
        {{"j@x.org", "Jane\r\nBcc: b@y.org"}, "\"Jane  Bcc: b@y.org\" <j@x.org>"},
    };
    for (const TCase& c : cases) EXPECT_EQ(MailboxHeaderText(c.recipient), c.header) << c.recipient.name;
}

TEST(MimeMessage, LongHeaderLinesAreFoldedAt78Characters) {
    std::string subject;
    for (int i = 0; subject.size() < 1200; ++i) subject += "word" + std::to_string(i) + " ";
    subject.pop_back();
    std::string wideName;
    for (int i = 0; i < 30; ++i) wideName += "\xC3\xA9t\xC3\xA9 ";
    TMailContent content{"me@mail.example",
                         ParseRecipients("a@x.org, Someone With A Rather Long Name <someone.with.a.long.address@x.org>, "
                                         "\"" + wideName + "\" <w@x.org>"),
                         subject, "body", false};
    for (const std::string& text : {subject, "Gr\xC3\xBC\xC3\x9F" "e " + subject}) {
        content.subject = text;
        const std::string mail = ComposeMail(content, SomeTime());
        const std::string headers = mail.substr(0, mail.find("\r\n\r\n") + 2);
        for (size_t start = 0, end; (end = headers.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::string line = headers.substr(start, end - start);
            EXPECT_LE(line.size(), 78u) << line;
            EXPECT_NE(line.find_first_not_of(" \t"), std::string::npos) << "a blank line would end the headers";
        }
    }
    content.subject = subject;
    EXPECT_EQ(UnfoldedHeader(ComposeMail(content, SomeTime()), "Subject"), subject);
    // A word longer than a line is left whole rather than broken.
    content.subject = std::string(120, 'x');
    const std::string mail = ComposeMail(content, SomeTime());
    EXPECT_NE(mail.find("\r\nSubject:\r\n " + std::string(120, 'x') + "\r\n"), std::string::npos);
    EXPECT_EQ(UnfoldedHeader(mail, "Subject"), std::string(120, 'x'));
}

TEST(MimeMessage, DateIsInEnglishWithTheZoneOffset) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(MailDate(SomeTime()), "Wed, 10 Dec 2025 13:52:23 +0000");
    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_EQ(MailDate(SomeTime()), "Wed, 10 Dec 2025 08:52:23 -0500");
    unsetenv("TZ");
    tzset();
}

TEST(MimeMessage, ComposesHeadersAndPicksTheBodyEncoding) {
    TMailContent content{"me@mail.example", ParseRecipients("Zoë <z@x.org>, a@x.org"), "Hello", "line 1\nline 2", false};
    std::string mail = ComposeMail(content, SomeTime());
    EXPECT_EQ(HeaderOf(mail, "From"), "<me@mail.example>");
    EXPECT_EQ(HeaderOf(mail, "To"), "=?UTF-8?B?Wm/Dqw==?= <z@x.org>,");
    EXPECT_EQ(HeaderOf(mail, "Subject"), "Hello");
    EXPECT_NE(HeaderOf(mail, "Message-ID").find("@mail.example>"), std::string::npos);
    EXPECT_EQ(HeaderOf(mail, "Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(HeaderOf(mail, "Content-Transfer-Encoding"), "7bit");
    EXPECT_NE(mail.find("\r\n\r\nline 1\r\nline 2\r\n"), std::string::npos);

    content.isHTML = true;
    content.body = "<p>Grüße</p>";
    mail = ComposeMail(content, SomeTime());
    EXPECT_EQ(HeaderOf(mail, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(HeaderOf(mail, "Content-Transfer-Encoding"), "base64");
    EXPECT_NE(mail.find("\r\n\r\nPHA+R3LDvMOfZTwvcD4=\r\n"), std::string::npos);

    // ASCII with a line too long for the wire is base64 too.
    content.body = std::string(1200, 'a');
    EXPECT_EQ(HeaderOf(ComposeMail(content, SomeTime()), "Content-Transfer-Encoding"), "base64");
}

TEST(SmtpClient, Port465SpeaksTLSFromTheFirstByte) {
    EXPECT_EQ(SmtpURL({"mail.example", 587, "", "", true}), "smtp://mail.example:587");
    EXPECT_EQ(SmtpURL({"mail.example", 465, "", "", false}), "smtps://mail.example:465");
    EXPECT_EQ(SmtpURL({"::1", 25, "", "", false}), "smtp://[::1]:25");
}
