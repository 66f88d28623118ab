#include <gtest/gtest.h>

#include <filesystem>

#include "mail/email_account_checks.h"
#include "mail/email_accounts.h"
#include "model/fixtures/sqlite_files.h"
#include "model/objects_storage.h"
#include "support/test_support.h"

using namespace trawlix;
namespace fs = std::filesystem;

namespace {

constexpr int cUser = -1;

class EmailAccountsStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(test::InstallationDatabase(), fFile);
        fStorage = std::make_unique<TObjectsStorage>(fFile.string());
    }
    void Reopen() {
        fStorage.reset();
        fStorage = std::make_unique<TObjectsStorage>(fFile.string());
    }
    static IEmailAccount NewAccount(const std::string& aUsername, int aID = -1) {
        auto account = std::make_shared<TEmailAccount>();
        account->SetID(aID);
        account->SetSMTPHost("smtp.example.org");
        account->SetSMTPPort(587);
        account->SetUsername(aUsername);
        account->SetPassword("it's \"secret\"");
        account->SetUseSSL(true);
        return account;
    }
    // Writes the list's object as a stored file has it, straight through the storage.
    void StoreRawList(int aAccumulator, const std::vector<int>& aIDs) {
        const int root = fStorage->AddObject(TEmailAccounts::StorageType(cUser), -1, "", false);
        fStorage->SetObjectProp(root, "id_accumulator", aAccumulator);
        for (int id : aIDs) {
            const int object = fStorage->AddObject(cAccountType, root, "", true);
            fStorage->SetObjectProp(object, "id", id);
            fStorage->SetObjectProp(object, "username", "user" + std::to_string(id));
        }
    }

    test::TempDir fDir;
    fs::path fFile = fDir / "object_storage.cur";
    std::unique_ptr<TObjectsStorage> fStorage;
};

}  // namespace

TEST_F(EmailAccountsStorageTest, SavedAccountsLoadBackWithTheirIDsAndSettings) {
    TEmailAccounts accounts;
    accounts.Add(NewAccount("alice"));
    accounts.Add(NewAccount("bob@example.org"));
    accounts.GetAccounts()[1]->SendMessage(TEmailMessage(), "nobody", {}, 1, "", "");  // not stored
    ASSERT_TRUE(accounts.Save(*fStorage, cUser));
    ASSERT_TRUE(accounts.Save(*fStorage, cUser));  // a second save replaces, never adds
    Reopen();

    auto root = fStorage->GetObject("email_accounts_-1", -1);
    ASSERT_TRUE(root);
    EXPECT_EQ(fStorage->GetObjects(cAccountType, root->GetID()).size(), 2u);
    TEmailAccounts loaded;
    loaded.Load(*fStorage, cUser);
    ASSERT_EQ(loaded.Count(), 2);
    const auto bob = loaded.GetAccounts()[1];
    EXPECT_EQ(bob->GetID(), 2);
    EXPECT_EQ(bob->GetUsername(), "bob@example.org");
    EXPECT_EQ(bob->GetSMTPHost(), "smtp.example.org");
    EXPECT_EQ(bob->GetSMTPPort(), 587);
    EXPECT_EQ(bob->GetPassword(), "it's \"secret\"");
    EXPECT_TRUE(bob->GetUseSSL());
    EXPECT_EQ(bob->GetTimesUsed(), 0);
    EXPECT_EQ(loaded.GetAccountByID(1)->GetUsername(), "alice");
    EXPECT_FALSE(loaded.GetAccountByID(3));
    EXPECT_EQ(loaded.GetIDAccumulator(), 3);
    // Nothing to write until something changes.
    EXPECT_FALSE(loaded.Changed());
    bob->SetSMTPPort(465);
    EXPECT_TRUE(loaded.Changed());
    ASSERT_TRUE(loaded.Save(*fStorage, cUser));
    EXPECT_FALSE(loaded.Changed());
    loaded.Delete(bob);
    EXPECT_TRUE(loaded.Changed());
}

TEST_F(EmailAccountsStorageTest, IDsAreNeverGivenTwice) {
    StoreRawList(3, {1, 2});
    TEmailAccounts accounts;
    accounts.Load(*fStorage, cUser);
    auto third = NewAccount("carol");
    accounts.Add(third);
    EXPECT_EQ(third->GetID(), 3);
    EXPECT_TRUE(accounts.Delete(third));
    EXPECT_FALSE(accounts.Delete(third));
    auto fourth = NewAccount("dave");
    accounts.Add(fourth);
    EXPECT_EQ(fourth->GetID(), 4);
    accounts.Delete(fourth);
    ASSERT_TRUE(accounts.Save(*fStorage, cUser));
    TEmailAccounts reloaded;
    reloaded.Load(*fStorage, cUser);
    auto fifth = NewAccount("erin");
    reloaded.Add(fifth);
    EXPECT_EQ(fifth->GetID(), 5);
}

TEST_F(EmailAccountsStorageTest, AStoredAccumulatorBehindTheIDsIsMovedPastThem) {
    // A damaged file: the accumulator lags and two accounts share an ID.
    StoreRawList(1, {1, 7, 7});
    TEmailAccounts accounts;
    accounts.Load(*fStorage, cUser);
    std::vector<int> ids;
    for (const auto& account : accounts.GetAccounts()) ids.push_back(account->GetID());
    EXPECT_EQ(ids, (std::vector<int>{1, 7, 8}));
    auto added = NewAccount("new");
    accounts.Add(added);
    EXPECT_EQ(added->GetID(), 9);
}

TEST_F(EmailAccountsStorageTest, AnotherUsersAccountsAreNotLoaded) {
    TEmailAccounts accounts;
    accounts.Add(NewAccount("alice"));
    ASSERT_TRUE(accounts.Save(*fStorage, 42));
    TEmailAccounts mine;
    mine.Load(*fStorage, cUser);
    EXPECT_EQ(mine.Count(), 0);
    EXPECT_EQ(mine.GetIDAccumulator(), 1);
}

TEST(EmailMessage, StoresItsFourFieldsAndPrefixesTheAdTitle) {
    test::TempDir dir;
    fs::copy_file(test::InstallationDatabase(), dir / "db.cur");
    TObjectsStorage storage((dir / "db.cur").string());
    TEmailMessage message;
    message.SetSubject("About your ad");
    message.SetBody("Is it still 'available'?");
    message.SetIsHTML(true);
    message.SetIncludeAdTitleInSubject(true);
    const int id = message.Save(storage, -1);
    ASSERT_GT(id, 0);
    EXPECT_NE(message.Save(storage, -1), id);  // always a new object
    TEmailMessage loaded;
    loaded.Load(storage, id);
    EXPECT_EQ(loaded.GetSubject(), "About your ad");
    EXPECT_EQ(loaded.GetBody(), "Is it still 'available'?");
    EXPECT_TRUE(loaded.GetIsHTML());
    EXPECT_TRUE(loaded.GetIncludeAdTitleInSubject());

    TEmailMessageWithDestination queued(loaded, "a@b.org", {}, 3, "Red bike - ", "http://ad");
    EXPECT_EQ(queued.GetSubject(), "Red bike - About your ad");
    loaded.SetIncludeAdTitleInSubject(false);
    EXPECT_EQ(TEmailMessageWithDestination(loaded, "a@b.org", {}, 3, "Red bike - ", "").GetSubject(), "About your ad");
}

// The editor's fields as typed; password and SSL left out where a case does not need them.
struct TTypedAccountFields : TEmailAccountFields {
    TTypedAccountFields(std::string aHost, std::string aPort, std::string aUser, std::string aPassword = "",
                        bool aUseSSL = false)
        : TEmailAccountFields{std::move(aHost), std::move(aPort), std::move(aUser), std::move(aPassword), aUseSSL} {}
};

TEST(EmailAccountChecks, RefusesWhatTheEditorRefusesInItsOrder) {
    struct Case {
        TTypedAccountFields fields;
        std::string problem;
    } cases[] = {
        {{"smtp.example.org", "587", "alice", "pw", true}, ""},
        {{"  smtp.example.org ", " 25 ", " alice ", "", false}, ""},
        {{"", "25", "alice"}, "You have to supply a valid SMTP host"},
        {{"me@smtp.example.org", "25", "alice"}, "You have to supply a valid SMTP host"},
        {{"smtp.example.org\r\nRCPT TO:<x@y>", "25", "alice"}, "You have to supply a valid SMTP host"},
        {{"smtp.example.org", "abc", ""}, "abc is not a valid port value"},
        {{"smtp.example.org", "0", "alice"}, "0 is not a valid port value"},
        {{"smtp.example.org", "31999", "alice"}, ""},
        {{"smtp.example.org", "40025", "alice"}, ""},
        {{"smtp.example.org", "65535", "alice"}, ""},
        {{"smtp.example.org", "65536", "alice"}, "65536 is not a valid port value"},
        {{"smtp.example.org", "-25", "alice"}, "-25 is not a valid port value"},
        {{"smtp.example.org", "2.5", "alice"}, "2.5 is not a valid port value"},
        {{"smtp.example.org", "25", "  "}, "You have to supply an account."},
        {{"smtp.example.org", "25", "alice\nBcc: x@y.org"}, "The account cannot contain a line break."},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckEmailAccountFields(c.fields), c.problem) << c.fields.host << "|" << c.fields.port;
}

TEST(EmailAccountChecks, FillingTrimsAndFallsBackToPort25) {
    TEmailAccount account;
    FillEmailAccount(account, {" smtp.example.org ", "x", " alice ", " pw ", true});
    EXPECT_EQ(account.GetSMTPHost(), "smtp.example.org");
    EXPECT_EQ(account.GetSMTPPort(), 25);
    EXPECT_EQ(account.GetUsername(), "alice");
    EXPECT_EQ(account.GetPassword(), "pw");
    EXPECT_TRUE(account.GetUseSSL());
    EXPECT_EQ(account.GetSenderAddress(), "alice@smtp.example.org");
    account.SetUsername("alice@example.org");
    EXPECT_EQ(account.GetSenderAddress(), "alice@example.org");
    const auto fields = FieldsOfEmailAccount(account);
    EXPECT_EQ(fields.port, "25");
}
