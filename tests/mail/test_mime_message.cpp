#include <gtest/gtest.h>

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

}  // namespace

TEST(MimeMessage, RecipientsSplitOnCommasSemicolonsAndLineBreaks) {
    const auto recipients = ParseRecipients(" a@x.org; b@y.org,,\r\nJane Roe <c@z.org> ;");
    ASSERT_EQ(recipients.size(), 3u);
    EXPECT_EQ(recipients[0].address, "a@x.org");
    EXPECT_EQ(recipients[1].address, "b@y.org");
    EXPECT_EQ(recipients[2].address, "c@z.org");
    EXPECT_EQ(recipients[2].display, "Jane Roe <c@z.org>");
    EXPECT_TRUE(ParseRecipients(" ;, ").empty());
}

TEST(MimeMessage, HeaderTextIsEncodedOnlyWhenItNeedsTo) {
    EXPECT_EQ(EncodeHeaderText("Plain subject"), "Plain subject");
    // A line break would start a header of the sender's choosing.
    EXPECT_EQ(EncodeHeaderText("Hi\r\nBcc: x@y.org"), "Hi  Bcc: x@y.org");
    EXPECT_EQ(EncodeHeaderText("Grüße"), "=?UTF-8?B?R3LDvMOfZQ==?=");
    // Long texts: several words, each at most 75 characters, never splitting a character.
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "é";
    const std::string encoded = EncodeHeaderText(longText);
    size_t start = 0;
    int words = 0;
    while (start < encoded.size()) {
        size_t end = encoded.find("\r\n ", start);
        const std::string word = encoded.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(word.size(), 75u);
        EXPECT_EQ(word.rfind("=?UTF-8?B?", 0), 0u);
        ++words;
        if (end == std::string::npos) break;
        start = end + 3;
    }
    EXPECT_EQ(words, 2);  // 80 bytes: 44 + 36, cut between two characters
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
