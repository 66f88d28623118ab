// The account editor and the account list window, with a real SMTP server behind the test mail.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

#include "mail/email_accounts.h"
#include "mail/email_message_with_accounts.h"
#include "model/search.h"
#include "model/searches.h"
#include "support/smtp_server_fixture.h"
#include "support/test_support.h"
#include "ui/form_email_account.h"
#include "ui/form_email_accounts.h"
#include "ui/qt_main_thread_binding.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

void Type(QLineEdit* aEdit, const QString& aText) {
    aEdit->clear();
    QTest::keyClicks(aEdit, aText);
}

void FillEditor(TformEmailAccount& aEditor, const QString& aHost, const QString& aPort, const QString& aUser,
                const QString& aPassword, bool aUseSSL) {
    Type(aEditor.edtSMTPHost, aHost);
    Type(aEditor.edtSMTPPort, aPort);
    Type(aEditor.edtUsername, aUser);
    Type(aEditor.edtPassword, aPassword);
    aEditor.cbUseSSL->setChecked(aUseSSL);
}

}  // namespace

class TestEmailAccountsWindow : public QObject {
    Q_OBJECT

private slots:
    void theEditorKeepsItsWindowOpenUntilTheFieldsPass() {
        test::TRecordingDialogs dialogs;
        TformEmailAccount editor(dialogs, "");
        QCOMPARE(editor.windowTitle(), QString("Email Account"));
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        struct Case {
            QString host, port, user;
            std::string warning;
        } cases[] = {
            {"", "25", "alice", "You have to supply a valid SMTP host"},
            {"me@smtp.example.org", "25", "alice", "You have to supply a valid SMTP host"},
            {"smtp.example.org", "65536", "alice", "65536 is not a valid port value"},
            {"smtp.example.org", "x25", "alice", "x25 is not a valid port value"},
            {"smtp.example.org", "25", "   ", "You have to supply an account."},
        };
        for (const auto& c : cases) {
            FillEditor(editor, c.host, c.port, c.user, "pw", false);
            QTest::mouseClick(editor.btnOK, Qt::LeftButton);
            QCOMPARE(dialogs.warnings.back(), c.warning);
            QVERIFY(editor.isVisible());
        }
        FillEditor(editor, " smtp.example.org ", "587", "alice", "pw", true);
        QTest::keyClick(editor.edtUsername, Qt::Key_Return);  // Enter acts as OK
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        QCOMPARE(dialogs.warnings.size(), size_t(5));
    }

    void executeShowsTheAccountAndFillsItOnOK() {
        test::TRecordingDialogs dialogs;
        TformEmailAccount editor(dialogs, "");
        TEmailAccount account;
        account.SetSMTPHost("smtp.example.org");
        account.SetSMTPPort(25);
        account.SetUsername("alice");
        account.SetPassword("old");
        QTimer::singleShot(0, &editor, [&editor] {
            QCOMPARE(editor.edtSMTPHost->text(), QString("smtp.example.org"));
            QCOMPARE(editor.edtSMTPPort->text(), QString("25"));
            QCOMPARE(editor.edtPassword->echoMode(), QLineEdit::Password);
            Type(editor.edtSMTPPort, "587");
            Type(editor.edtPassword, " new ");
            editor.cbUseSSL->setChecked(true);
            QTest::mouseClick(editor.btnOK, Qt::LeftButton);
        });
        QVERIFY(editor.Execute(&account));
        QCOMPARE(account.GetSMTPPort(), 587);
        QCOMPARE(account.GetPassword(), std::string("new"));
        QVERIFY(account.GetUseSSL());
        QTimer::singleShot(0, &editor, [&editor] {
            Type(editor.edtSMTPPort, "2525");
            QTest::keyClick(&editor, Qt::Key_Escape);  // Escape acts as Cancel
        });
        QVERIFY(!editor.Execute(&account));
        QCOMPARE(account.GetSMTPPort(), 587);
    }

    void sendTestEmailShowsTheOutcome() {
        TQtMainThreadBinding binding;
        qputenv("TRAWLIX_CA_BUNDLE", QByteArray(test::TSmtpTestServer::CACertificate().c_str()));
        test::TSmtpTestServer server({"127.0.0.1", true, "alice", "right", "LOGIN,PLAIN"});
        test::TRecordingDialogs dialogs;
        TformEmailAccount editor(dialogs, "me@example.org");
        std::string suggested;
        editor.AskDestination = [&suggested](const std::string& aSuggested) {
            suggested = aSuggested;
            return std::optional<std::string>("you@example.org");
        };
        editor.show();
        FillEditor(editor, "localhost", QString::number(server.Port()), "alice", "right", true);
        QTest::mouseClick(editor.btnSendTestEmail, Qt::LeftButton);
        QCOMPARE(suggested, std::string("me@example.org"));
        QVERIFY(editor.TestInProgress());
        QVERIFY(!editor.btnSendTestEmail->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.informations.empty(), 25000);
        QCOMPARE(dialogs.informations.back(), std::string("The message was sent successfully. Please check your Inbox."));
        QVERIFY(!editor.TestInProgress());
        const auto mail = server.NextMail();
        QCOMPARE(mail["subject"], std::string("Test message from Trawlix"));
        QCOMPARE(mail["rcpt_tos"], std::string("you@example.org"));
        QCOMPARE(mail["tls"], std::string("yes"));

        Type(editor.edtPassword, "wrong");
        QTest::mouseClick(editor.btnSendTestEmail, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.warnings.empty(), 25000);
        const std::string warning = dialogs.warnings.back();
        QVERIFY2(warning.rfind("Message was NOT sent successfully. \r\nThe following error occurred: \r\n", 0) == 0,
                 warning.c_str());
        QVERIFY2(warning.find("535") != std::string::npos, warning.c_str());
        QVERIFY(editor.btnSendTestEmail->isEnabled());

        // A cancelled question sends nothing.
        editor.AskDestination = [](const std::string&) { return std::optional<std::string>(); };
        QTest::mouseClick(editor.btnSendTestEmail, Qt::LeftButton);
        QVERIFY(!editor.TestInProgress());
        qunsetenv("TRAWLIX_CA_BUNDLE");
    }

    void theTestAsksForTheDestinationOfferingTheUsersAddress() {
        test::TRecordingDialogs dialogs;
        TformEmailAccount editor(dialogs, "me@example.org");
        editor.show();
        QString title, prompt, offered;
        QTimer::singleShot(0, &editor, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            prompt = box->labelText();
            offered = box->textValue();
            box->reject();
        });
        QTest::mouseClick(editor.btnSendTestEmail, Qt::LeftButton);
        QCOMPARE(title, QString("Destination address"));
        QCOMPARE(prompt, QString("Enter a destination address for the test message."));
        QCOMPARE(offered, QString("me@example.org"));
        QVERIFY(!editor.TestInProgress());  // cancelled: nothing sent
    }

    void theToolsMenuManagesTheSessionsAccounts() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            auto* action = run.window->findChild<QAction*>("actEmailAccounts");
            QVERIFY(action);
            action->trigger();
            auto* window = run.window->findChild<TformEmailAccounts*>();
            QVERIFY(window);
            QVERIFY(window->isVisible());
            QCOMPARE(window->windowTitle(), QString("Email accounts"));
            QString nextUser = "alice";
            bool answer = true;
            window->AccountEditor = [&](TEmailAccount& aAccount) {
                aAccount.SetSMTPHost("smtp.example.org");
                aAccount.SetSMTPPort(25);
                aAccount.SetUsername(nextUser.toStdString());
                return answer;
            };
            QTreeWidget* list = window->lvEmailAccounts;
            QVERIFY(!window->miEditAccount->isEnabled());
            QVERIFY(!window->miDeleteAccount->isEnabled());
            // The window's own buttons, not only its right-click menu, do the same.
            auto* addButton = window->findChild<QToolButton*>("btnAddaccount");
            auto* deleteButton = window->findChild<QToolButton*>("btnDeleteaccount");
            QVERIFY(addButton && addButton->isVisible() && addButton->isEnabled());
            QVERIFY(deleteButton && !deleteButton->isEnabled());
            QTest::mouseClick(addButton, Qt::LeftButton);
            QCOMPARE(list->topLevelItemCount(), 1);
            nextUser = "bob";
            window->miAddAccount->trigger();
            answer = false;
            window->miAddAccount->trigger();  // cancelled: nothing added
            answer = true;
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(list->topLevelItem(1)->text(0), QString("bob"));
            QCOMPARE(list->topLevelItem(1)->text(1), QString("0"));
            QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Checked);
            QCOMPARE(EmailAccountIDOfItem(*list->topLevelItem(1)), 2);

            // An account an automatic reply still uses stays, as in the compose window and the
            // command line; once the reply is off it goes.
            auto search = std::make_unique<TSearch>();
            search->SetName("Lamps");
            auto reply = std::make_shared<TEmailMessageWithAccounts>();
            reply->AddAccount(run.session->GetEmailAccounts()->GetAccountByID(2));
            search->GetAlert().SetAutoReplyMessage(reply);
            TSearch& lamps = *search;
            run.session->GetMySearches()->AddSearch(std::move(search));
            list->setCurrentItem(list->topLevelItem(1));
            QVERIFY(window->miDeleteAccount->isEnabled());
            window->miDeleteAccount->trigger();
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(run.session->GetEmailAccounts()->Count(), 2);
            QVERIFY(!run.dialogs.warnings.empty());
            QVERIFY2(run.dialogs.warnings.back().find("\"Lamps\"") != std::string::npos,
                     run.dialogs.warnings.back().c_str());
            lamps.GetAlert().SetAutoReplyMessage(nullptr);
            window->miDeleteAccount->trigger();
            QCOMPARE(list->topLevelItemCount(), 1);
            list->setCurrentItem(list->topLevelItem(0));
            nextUser = "alice@example.org";
            // A double click as the mouse makes it: a click, then the double click.
            const QPoint row = list->visualItemRect(list->topLevelItem(0)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
            QCOMPARE(list->topLevelItem(0)->text(0), QString("alice@example.org"));
            QCOMPARE(run.session->GetEmailAccounts()->Count(), 1);
            QVERIFY(run.ExitAndWait());
            // The session has freed its accounts: the window shows none and changes nothing.
            QVERIFY(!run.session->GetEmailAccounts());
            window->Refresh();
            QCOMPARE(list->topLevelItemCount(), 0);
            QVERIFY(!window->miAddAccount->isEnabled());
            window->AddAccount();
            QCOMPARE(list->topLevelItemCount(), 0);
        }
        // Saved at the end and loaded at the next start; the deleted ID stays used up.
        test::TRun again(profile.Path());
        TEmailAccounts& accounts = *again.session->GetEmailAccounts();
        QCOMPARE(accounts.Count(), 1);
        QCOMPARE(accounts.GetAccounts()[0]->GetUsername(), std::string("alice@example.org"));
        QCOMPARE(accounts.GetAccounts()[0]->GetID(), 1);
        auto added = std::make_shared<TEmailAccount>();
        accounts.Add(added);
        QCOMPARE(added->GetID(), 3);
        QVERIFY(again.ExitAndWait());
    }
};

TRAWLIX_UI_TEST(TestEmailAccountsWindow)
#include "test_email_accounts_window.moc"
