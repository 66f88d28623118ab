#include "engine/email_address.h"

#include <gtest/gtest.h>

namespace trawlix {
namespace {

TEST(EmailAddress, OnlyPlainAddressesPass) {
    const std::string longLocal(65, 'a');
    const std::string longLabel(64, 'b');
    const std::string longDomain = std::string(63, 'c') + "." + std::string(63, 'd') + "." + std::string(63, 'e') + "." +
                                   std::string(63, 'f') + ".org";  // 259 characters with "a@"
    struct TCase {
        std::string address;
        bool valid;
    };
    const TCase cases[] = {
        {"seller@example.com", true},
        {"sale-abc12-2741000001@craigslist.org", true},
        {"first.last+tag@sub.example.co.uk", true},
        {"o'brien@example.ie", true},
        {"a!#$%&'*+-/=?^_`{|}~z@x.org", true},
        {"alice@localhost", true},
        {"alice@127.0.0.1", true},
        {"postmaster@[192.0.2.1]", true},
        {"x@[IPv6:2001:db8::1]", true},
        {std::string(64, 'a') + "@x.org", true},
        {"", false},
        {"@example.com", false},
        {"seller@", false},
        {"seller", false},
        {"a@b@c.org", false},
        {".a@x.org", false},
        {"a.@x.org", false},
        {"a..b@x.org", false},
        {"a b@x.org", false},
        {"a@x..org", false},
        {"a@-x.org", false},
        {"a@x-.org", false},
        {"a@x.org.", false},
        {"a@x_y.org", false},
        {"\"quoted\"@x.org", false},
        {"a@x.org>", false},
        {"<a@x.org>", false},
        {"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822", false},
        {"a@x.org\r\nRCPT TO:<b@y.org>", false},
        {"a@x.org\n", false},
        {"a\x01@x.org", false},
        {"j\xC3\xB8rn@x.org", false},
        {"a@[192.0.2.1] x", false},
        {"a@[]", false},
        {"a@[1.2.3.4>]", false},
        {longLocal + "@x.org", false},
        {"a@" + longLabel + ".org", false},
        {"a@" + longDomain, false},
    };
    for (const TCase& c : cases) EXPECT_EQ(IsValidEmailAddress(c.address), c.valid) << c.address;
}

TEST(EmailAddress, AMailboxIsOneAddressWithAnOptionalName) {
    struct TCase {
        const char* text;
        bool valid;
        const char* name;
        const char* address;
    };
    const TCase cases[] = {
        {"a@x.org", true, "", "a@x.org"},
        {"  a@x.org\t", true, "", "a@x.org"},
        {"<a@x.org>", true, "", "a@x.org"},
        {"Jane Roe <jane@x.org>", true, "Jane Roe", "jane@x.org"},
        {"Jane Roe<jane@x.org>", true, "Jane Roe", "jane@x.org"},
        {"\"Roe, Jane\" <jane@x.org>", true, "Roe, Jane", "jane@x.org"},
        {"\"Say \\\"hi\\\" \\\\ bye\" <a@x.org>", true, "Say \"hi\" \\ bye", "a@x.org"},
        {"Zo\xC3\xAB <z@x.org>", true, "Zo\xC3\xAB", "z@x.org"},
        {"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822", false, "", ""},
        {"Jane <me@x.test> NOTIFY=SUCCESS", false, "", ""},
        {"Jane <me@x.test NOTIFY=SUCCESS>", false, "", ""},
        {"Jane\r\nRoe <jane@x.org>", false, "", ""},
        {"\"Jane\r\nRCPT TO:<b@y.org>\" <jane@x.org>", false, "", ""},
        {"Jane\x7f <jane@x.org>", false, "", ""},
        {"\"Jane <jane@x.org>", false, "", ""},
        {"\"Jane\" Roe <jane@x.org>", false, "", ""},
        {"Jane \"Roe\" <jane@x.org>", false, "", ""},
        {"Jane <a@x.org> <b@y.org>", false, "", ""},
        {"Jane <>", false, "", ""},
        {"Jane", false, "", ""},
        {"", false, "", ""},
        {"a@x.org, b@y.org", false, "", ""},
    };
    for (const TCase& c : cases) {
        const auto mailbox = ParseMailbox(c.text);
        ASSERT_EQ(mailbox.has_value(), c.valid) << c.text;
        if (!mailbox) continue;
        EXPECT_EQ(mailbox->name, c.name) << c.text;
        EXPECT_EQ(mailbox->address, c.address) << c.text;
    }
}

TEST(EmailAddress, ListsSplitOutsideQuotesAndBracketsAndRefuseAnyBadPart) {
    const auto list = ParseMailboxList(" a@x.org; b@y.org,,\r\n\"Roe, Jane\" <c@z.org> ;Bo <d@z.org>\n");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].address, "a@x.org");
    EXPECT_EQ(list[1].address, "b@y.org");
    EXPECT_EQ(list[2].name, "Roe, Jane");
    EXPECT_EQ(list[2].address, "c@z.org");
    EXPECT_EQ(list[3].name, "Bo");
    EXPECT_TRUE(ParseMailboxList(" ;, \r\n").empty());

    for (const char* bad : {"me@x.test> NOTIFY=SUCCESS ORCPT=rfc822;x@y", "a@x.org, Jane\r\nRoe <j@x.org>",
                            "a@x.org, nobody", "\"Roe, Jane <c@z.org>"}) {
        try {
            ParseMailboxList(bad);
            ADD_FAILURE() << "taken: " << bad;
        } catch (const EEmailAddress& e) {
            EXPECT_NE(std::string(e.what()).find("is not an e-mail address"), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find_first_of("\r\n"), std::string::npos) << e.what();
        }
    }
}

TEST(EmailAddress, AScrapedOrStoredContactIsOneAddressOrNone) {
    EXPECT_EQ(SingleEmailAddress(" seller@example.com "), "seller@example.com");
    for (const char* bad : {"sale@x.test, victim1@y.test; victim2@z.test", "sale@x.test victim@y.test",
                            "Seller <sale@x.test>", "sale@x.test\r\nBcc: victim@y.test", "call 555-0100", ""})
        EXPECT_EQ(SingleEmailAddress(bad), "") << bad;
}

}  // namespace
}  // namespace trawlix
