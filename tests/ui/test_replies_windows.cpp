// Replies to advertisers from the window: the compose window, "Reply by EMail" to a real
// SMTP server, the reply history window and the alerts window's automatic-reply message.
#include <QAction>
#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <set>

#include "app/replies.h"
#include "app/settings.h"
#include "mail/email_accounts.h"
#include "mail/email_message_with_accounts.h"
#include "mail/email_reply_history.h"
#include "mail/saved_messages.h"
#include "model/alert.h"
#include "results_test_support.h"
#include "support/sitesim_fixture.h"
#include "support/smtp_server_fixture.h"
#include "ui/alerts_controller.h"
#include "ui/date_range.h"
#include "ui/form_alerts.h"
#include "ui/form_email_reply_history.h"
#include "ui/form_send_mail.h"
#include "ui/result_pictures.h"
#include "ui/results_replies.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

void Type(QLineEdit* aEdit, const QString& aText) {
    aEdit->clear();
    QTest::keyClicks(aEdit, aText);
}

void Type(QPlainTextEdit* aEdit, const QString& aText) {
    aEdit->clear();
    QTest::keyClicks(aEdit, aText);
}

// Adds an account on the test server; its user name is the sender address.
IEmailAccount AddAccount(TSession& aSession, const std::string& aUser, int aPort) {
    auto account = std::make_shared<TEmailAccount>();
    account->SetSMTPHost("127.0.0.1");
    account->SetSMTPPort(aPort);
    account->SetUsername(aUser);
    aSession.GetEmailAccounts()->Add(account);
    return account;
}

// Clicks a check box on its box, where a user aims (a wide one ignores clicks past its text).
void ClickBox(QAbstractButton* aBox) { QTest::mouseClick(aBox, Qt::LeftButton, {}, QPoint(8, aBox->height() / 2)); }

// Toggles a row's check box with the keyboard, as a user does.
void ToggleRow(QTreeWidget* aList, int aRow) {
    aList->setFocus();
    aList->setCurrentItem(aList->topLevelItem(aRow));
    QTest::keyClick(aList, Qt::Key_Space);
}

// Runs aDrive on the modal window of type T once it is shown.
template <class T, class F>
void WhenShown(F aDrive) {
    QTimer::singleShot(0, [aDrive] {
        QTRY_VERIFY(qobject_cast<T*>(QApplication::activeModalWidget()));
        aDrive(*qobject_cast<T*>(QApplication::activeModalWidget()));
    });
}

std::set<std::string> RowTexts(QTreeWidget* aList, int aColumn) {
    std::set<std::string> texts;
    for (int row = 0; row < aList->topLevelItemCount(); ++row)
        texts.insert(aList->topLevelItem(row)->text(aColumn).toStdString());
    return texts;
}

}  // namespace

class TestRepliesWindows : public QObject {
    Q_OBJECT

private slots:
    // As a new user would: three ads checked, a message written, two of three accounts
    // picked; the server gets three mails, the rows show the replied icon and the history
    // lists the three.
    void replyByEmailSendsToEveryCheckedAdAndListsThemInTheHistory() {
        test::TSmtpTestServer server;
        test::TResultsWindow window({{"Red bike"}, {"Blue bike"}, {"Green bike"}, {"Old bike"}});
        TSession& session = *window.run.session;
        const std::vector<std::string> sellers{"red@example.org", "blue@example.org", "green@example.org"};
        const std::vector<std::string> titles{"Red bike", "Blue bike", "Green bike"};
        for (size_t i = 0; i < sellers.size(); ++i) window.Entry(titles[i])->SetContact(sellers[i]);
        AddAccount(session, "first@example.org", server.Port());
        AddAccount(session, "second@example.org", server.Port());
        AddAccount(session, "unused@example.org", server.Port());
        for (const std::string& title : titles) window.ClickMark(window.RowOf(title));
        QVERIFY(window.list().actSelectionReply->isEnabled());

        WhenShown<TformSendMail>([](TformSendMail& aCompose) {
            QCOMPARE(aCompose.windowTitle(), QString("Prepare message to send"));
            QCOMPARE(aCompose.lvEmailAccounts->topLevelItemCount(), 3);
            ToggleRow(aCompose.lvEmailAccounts, 2);  // the third account stays out
            Type(aCompose.edtSubject, " - still for sale?");
            ClickBox(aCompose.cbIncludeTitleInSubject);
            Type(aCompose.memoBody, "Hello, is it still there?");
            QTest::mouseClick(aCompose.btnOK, Qt::LeftButton);
        });
        window.list().actSelectionReply->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window.run.dialogs.informations.empty(), 60000);
        QVERIFY(window.run.dialogs.confirmations.empty());  // nothing was replied before
        const std::string report = window.run.dialogs.informations.back();
        QVERIFY2(report.rfind("The message was sent to 3 ads.", 0) == 0, report.c_str());

        std::set<std::string> recipients, senders, subjects;
        for (int mail = 0; mail < 3; ++mail) {
            const auto received = server.NextMail();
            recipients.insert(received["rcpt_tos"]);
            senders.insert(received["mail_from"]);
            subjects.insert(received["subject"]);
            QCOMPARE(received["body"].substr(0, 9), std::string("Hello, is"));
        }
        QCOMPARE(recipients, std::set<std::string>(sellers.begin(), sellers.end()));
        QVERIFY(!senders.count("unused@example.org"));
        // The subject is trimmed; the title goes right in front of it.
        QCOMPARE(subjects, (std::set<std::string>{"Red bike- still for sale?", "Blue bike- still for sale?",
                                                   "Green bike- still for sale?"}));
        QVERIFY(!server.MailArrives(500));

        for (const std::string& title : titles) {
            const QModelIndex mark = window.model().index(window.RowOf(title), TResultsModel::cMarkColumn);
            QVERIFY2(window.Entry(title)->GetReplied(), title.c_str());
            QCOMPARE(mark.data(Qt::DecorationRole).value<QIcon>().cacheKey(), RepliedIcon().cacheKey());
        }
        QVERIFY(!window.Entry("Old bike")->GetReplied());

        WhenShown<TformEmailReplyHistory>([&sellers](TformEmailReplyHistory& aHistory) {
            QCOMPARE(aHistory.windowTitle(), QString("Email Reply History"));
            QCOMPARE(RowTexts(aHistory.lvHistory, 2), std::set<std::string>(sellers.begin(), sellers.end()));
            QCOMPARE(RowTexts(aHistory.lvHistory, 4).size(), size_t(3));
            QTest::mouseClick(aHistory.lvHistory->viewport(), Qt::LeftButton, {},
                              aHistory.lvHistory->visualItemRect(aHistory.lvHistory->topLevelItem(0)).center());
            QCOMPARE(aHistory.memoBody->toPlainText(), QString("Hello, is it still there?"));
            QVERIFY(aHistory.actOpenInWebBrowser->isEnabled());
            // A From date after the To date is swapped, and the filter says so.
            const QDate today = QDate::currentDate();
            aHistory.cbFromDate->setChecked(true);
            aHistory.cbToDate->setChecked(true);
            aHistory.dtpFromDate->setDate(today.addDays(2));
            aHistory.dtpToDate->setDate(today.addDays(-1));
            QTest::mouseClick(aHistory.btnFilter, Qt::LeftButton);
            QCOMPARE(aHistory.dtpFromDate->date(), today.addDays(-1));
            QCOMPARE(aHistory.dtpToDate->date(), today.addDays(2));
            QCOMPARE(aHistory.lblFilterNote->text(), QString(cDatesSwapped));
            QCOMPARE(RowTexts(aHistory.lvHistory, 4).size(), size_t(3));
            QTest::mouseClick(aHistory.btnFilter, Qt::LeftButton);
            QVERIFY(aHistory.lblFilterNote->text().isEmpty());
            QTest::keyClick(&aHistory, Qt::Key_Escape);
        });
        window.run.window->EmailReplyHistory1->trigger();

        // Replying again to an ad already answered asks first; No ends it there.
        window.run.dialogs.confirmAnswer = false;
        window.list().actSelectionReply->trigger();
        QCOMPARE(window.run.dialogs.confirmations.back(), std::string(cReplyAlreadyRepliedQuestion));
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A refused recipient is reported with its reason and its row stays unreplied.
    void aFailedReplyIsReportedAndLeavesTheAdUnreplied() {
        test::TResultsWindow window({{"Good ad"}, {"Bad ad"}});
        TSession& session = *window.run.session;
        window.Entry("Good ad")->SetContact("good@example.org");
        window.Entry("Bad ad")->SetContact("bad@example.org");
        AddAccount(session, "me@example.org", 1);  // nothing listens there
        window.ClickMark(window.RowOf("Bad ad"));
        window.run.window->Replies()->ComposeMessage = [&session] {
            auto message = std::make_shared<TEmailMessageWithAccounts>();
            message->SetSubject("Hi");
            message->SetBody("Body");
            message->AddAccount(session.GetEmailAccounts()->GetAccounts().front());
            return message;
        };
        window.list().actSelectionReply->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window.run.dialogs.informations.empty(), 60000);
        const std::string report = window.run.dialogs.informations.back();
        QVERIFY2(report.rfind("The message was sent to 0 ads.", 0) == 0, report.c_str());
        QVERIFY2(report.find(window.Entry("Bad ad")->GetLink()) != std::string::npos, report.c_str());
        QVERIFY(!window.Entry("Bad ad")->GetReplied());
        QVERIFY(window.run.window->StatusBar->text().startsWith("Reply not sent to "));

        // Nothing checked: the failure box says so.
        window.ClickMark(window.RowOf("Bad ad"));
        window.list().actSelectionReply->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window.run.dialogs.warnings.empty(), 20000);
        QCOMPARE(window.run.dialogs.warnings.back(), std::string(cMailNotSentText) + cReplyNoSelectedAds);
    }

    // "Forward to EMail" mails the checked ads' links through the notification transport
    // (here one of the user's accounts) to the address typed; a blank one is refused.
    void forwardToEmailSendsTheCheckedLinksToTheAddressTyped() {
        test::TSmtpTestServer server;
        test::TResultsWindow window({{"Red bike"}, {"Blue bike"}});
        TSession& session = *window.run.session;
        IEmailAccount account = AddAccount(session, "me@example.org", server.Port());
        session.GetSettings().SetNotificationTransport("smtp:" + std::to_string(account->GetID()));
        window.ClickMark(window.RowOf("Blue bike"));
        std::string answer = "   ";
        window.run.window->Replies()->AskText = [&answer](const std::string& aCaption, const std::string& aPrompt,
                                                          const std::string&) {
            return aCaption == "Forward selected ads" && aPrompt == "To EMail address" ? std::optional(answer)
                                                                                      : std::nullopt;
        };
        window.list().actSelectionSendToEmail->trigger();
        QCOMPARE(window.run.dialogs.warnings.back(), std::string("Please specify a valid EMail address."));

        answer = " buyer@example.org ";
        window.list().actSelectionSendToEmail->trigger();
        ExpectOnlyBlueBikeForwardedToTheBuyer(window, server);

        // Something that is not an address is refused before anything goes out.
        answer = "not an email";
        const size_t sent = window.run.dialogs.informations.size();
        window.list().actSelectionSendToEmail->trigger();
        QVERIFY2(window.run.dialogs.warnings.back().rfind("\"not an email\" is not an e-mail address.", 0) == 0,
                 window.run.dialogs.warnings.back().c_str());
        QCOMPARE(window.run.dialogs.informations.size(), sent);
    }

private:
    // The forward went out, to the typed address only, with the ticked ad and not the other.
    static void ExpectOnlyBlueBikeForwardedToTheBuyer(test::TResultsWindow& aWindow, test::TSmtpTestServer& aServer) {
        QTRY_VERIFY_WITH_TIMEOUT(!aWindow.run.dialogs.informations.empty(), 30000);
        QVERIFY2(aWindow.run.dialogs.informations.back().rfind("The message was sent to: buyer@example.org", 0) == 0,
                 aWindow.run.dialogs.informations.back().c_str());
        const auto mail = aServer.NextMail();
        QCOMPARE(mail["rcpt_tos"], std::string("buyer@example.org"));
        QVERIFY(mail["body"].find(aWindow.Entry("Blue bike")->GetLink()) != std::string::npos);
        QVERIFY(mail["body"].find(aWindow.Entry("Red bike")->GetLink()) == std::string::npos);
    }

private slots:
    // With the notifications going to a web hook, forwarding still mails the address typed,
    // through the user's e-mail account; without one it says what is missing. The hook gets nothing.
    void forwardingWithAWebHookMailsThroughAnAccountOrSaysItCannot() {
        test::TSiteSimulator hook;
        test::TSmtpTestServer server;
        test::TResultsWindow window({{"Red bike"}, {"Blue bike"}});
        TSession& session = *window.run.session;
        session.GetSettings().SetNotificationTransport("webhook");
        session.GetSettings().SetNotificationWebhookURL(hook.Url("/hook/alerts"));
        window.ClickMark(window.RowOf("Blue bike"));
        window.run.window->Replies()->AskText = [](const std::string&, const std::string&, const std::string&) {
            return std::optional<std::string>("buyer@example.org");
        };
        window.list().actSelectionSendToEmail->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!window.run.dialogs.warnings.empty(), 30000);
        QVERIFY2(window.run.dialogs.warnings.back().find("No e-mail route") != std::string::npos,
                 window.run.dialogs.warnings.back().c_str());
        QVERIFY(window.run.dialogs.informations.empty());

        AddAccount(session, "me@example.org", server.Port());
        window.list().actSelectionSendToEmail->trigger();
        ExpectOnlyBlueBikeForwardedToTheBuyer(window, server);
        QVERIFY(hook.Requests().empty());
    }

    // The compose window refuses an incomplete message, keeps the saved messages and the
    // usage limit, and returns the ticked accounts.
    void theComposeWindowChecksTheFieldsAndKeepsTheSavedMessages() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSession& session = *run.session;
        IEmailAccount first = AddAccount(session, "first@example.org", 25);
        IEmailAccount second = AddAccount(session, "second@example.org", 25);
        TformSendMail compose(session, run.dialogs, run.window.get());
        compose.Prepare(nullptr);
        compose.show();
        QVERIFY(QTest::qWaitForWindowExposed(&compose));

        ToggleRow(compose.lvEmailAccounts, 0);
        ToggleRow(compose.lvEmailAccounts, 1);
        const std::pair<QString, QString> fields[] = {{"", ""}, {"  ", "body"}, {"Subject", " "}};
        const char* expected[] = {cNoAccountText, cNoSubjectText, cNoBodyText};
        for (int i = 0; i < 3; ++i) {
            if (i == 1) ToggleRow(compose.lvEmailAccounts, 1);
            Type(compose.edtSubject, fields[i].first);
            Type(compose.memoBody, fields[i].second);
            QTest::mouseClick(compose.btnOK, Qt::LeftButton);
            QCOMPARE(run.dialogs.warnings.back(), std::string(expected[i]));
            QVERIFY(compose.isVisible());
        }
        // "Save as new" makes the same checks before it keeps a message.
        QTest::mouseClick(compose.btnMessageNew, Qt::LeftButton);
        QCOMPARE(session.GetSavedMessages()->GetItems().size(), size_t(0));

        Type(compose.memoBody, "First body");
        ClickBox(compose.rbHTML);
        QTest::mouseClick(compose.btnMessageNew, Qt::LeftButton);
        Type(compose.edtSubject, "Subject");  // the same subject twice: both are listed
        Type(compose.memoBody, "Second body");
        ClickBox(compose.rbPlainText);
        QTest::mouseClick(compose.btnMessageNew, Qt::LeftButton);
        QCOMPARE(compose.cbSavedMessages->count(), 2);
        QCOMPARE(session.GetSavedMessages()->GetItems().size(), size_t(2));

        // Choosing the first puts its texts back; the ticked accounts stay.
        compose.cbSavedMessages->setFocus();
        QTest::keyClick(compose.cbSavedMessages, Qt::Key_Up);
        QCOMPARE(compose.memoBody->toPlainText(), QString("First body"));
        QVERIFY(compose.rbHTML->isChecked());
        Type(compose.edtSubject, "Renamed");
        QTest::mouseClick(compose.btnMessageUpdate, Qt::LeftButton);
        QCOMPARE(compose.cbSavedMessages->currentText(), QString("Renamed"));
        QCOMPARE(session.GetSavedMessages()->GetItems().front().GetSubject(), std::string("Renamed"));

        // Delete clears the texts but leaves the include-title box as it was.
        ClickBox(compose.cbIncludeTitleInSubject);
        QTest::mouseClick(compose.btnMessageDelete, Qt::LeftButton);
        QCOMPARE(session.GetSavedMessages()->GetItems().size(), size_t(1));
        QVERIFY(compose.edtSubject->text().isEmpty() && compose.memoBody->toPlainText().isEmpty());
        QVERIFY(compose.rbPlainText->isChecked());
        QVERIFY(compose.cbIncludeTitleInSubject->isChecked());
        QVERIFY(!compose.btnMessageDelete->isEnabled());

        // The usage limit is a setting of its own, stored at once.
        ClickBox(compose.cbAccountUsageLimit);
        QCOMPARE(session.GetSettings().GetEmailAccountsUsageLimit(), 20);
        compose.udAccountUsageLimit->setFocus();
        QTest::keyClick(compose.udAccountUsageLimit, Qt::Key_Up);
        QCOMPARE(session.GetSettings().GetEmailAccountsUsageLimit(), 21);
        ClickBox(compose.cbAccountUsageLimit);
        QCOMPARE(session.GetSettings().GetEmailAccountsUsageLimit(), 0);
        QVERIFY(!compose.udAccountUsageLimit->isEnabled());

        Type(compose.edtSubject, " Hello ");
        Type(compose.memoBody, " Body ");
        QTest::mouseClick(compose.btnOK, Qt::LeftButton);
        QVERIFY(!compose.isVisible());
        const auto message = compose.MakeMessage();
        QCOMPARE(message->GetSubject(), std::string("Hello"));
        QCOMPARE(message->GetBody(), std::string("Body"));
        QCOMPARE(message->GetAccounts().size(), size_t(1));
        QCOMPARE(message->GetAccounts().front(), second);
        run.ExitAndWait();
    }

    // The alerts window's automatic reply: set through the compose window, kept with the
    // search, and shown again after a restart.
    void theAutoReplyMessageSetInTheAlertsWindowRoundTrips() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            AddAccount(*run.session, "first@example.org", 25);
            AddAccount(*run.session, "second@example.org", 25);
            TformAlerts& alerts = run.window->Alerts()->MakeAlertsWindow();
            alerts.Prepare(run.window->CurrentSearch());
            alerts.show();
            QVERIFY(QTest::qWaitForWindowExposed(&alerts));
            run.dialogs.confirmAnswer = false;  // no test message now
            ClickBox(alerts.cbEnabled);
            ClickBox(alerts.cbEnableAutoReply);
            QVERIFY(alerts.cbEnabled->isChecked());
            QVERIFY(alerts.cbEnableAutoReply->isChecked());
            QVERIFY(alerts.btnSetAutoReply->isEnabled());
            // The warning about many results: No leaves the alert without a message.
            QTest::mouseClick(alerts.btnSetAutoReply, Qt::LeftButton);
            QVERIFY(run.dialogs.confirmations.back().rfind("Auto-reply messages are not suitable", 0) == 0);
            QCOMPARE(alerts.lblCurrentAutoReplyMessage->text(), QString("no message set"));

            run.dialogs.confirmAnswer = true;
            WhenShown<TformSendMail>([](TformSendMail& aCompose) {
                ToggleRow(aCompose.lvEmailAccounts, 0);  // only the second account
                Type(aCompose.edtSubject, "Auto hello");
                Type(aCompose.memoBody, "I am interested.");
                QTest::mouseClick(aCompose.btnOK, Qt::LeftButton);
            });
            QTest::mouseClick(alerts.btnSetAutoReply, Qt::LeftButton);
            QCOMPARE(alerts.lblCurrentAutoReplyMessage->text(), QString("Auto hello"));
            QTest::mouseClick(alerts.btnClose, Qt::LeftButton);
            QVERIFY(run.ExitAndWait());
        }
        test::TRun run(profile.Path());
        TAlert& alert = run.window->CurrentSearch()->GetAlert();
        const auto message = std::dynamic_pointer_cast<TEmailMessageWithAccounts>(alert.GetAutoReplyMessage());
        QVERIFY(message);
        QCOMPARE(message->GetSubject(), std::string("Auto hello"));
        QCOMPARE(message->GetBody(), std::string("I am interested."));
        QCOMPARE(message->GetAccounts().size(), size_t(1));
        QCOMPARE(message->GetAccounts().front()->GetUsername(), std::string("second@example.org"));

        // Opened again, the compose window shows the message with its account ticked.
        TformAlerts& alerts = run.window->Alerts()->MakeAlertsWindow();
        alerts.Prepare(run.window->CurrentSearch());
        alerts.show();
        QCOMPARE(alerts.lblCurrentAutoReplyMessage->text(), QString("Auto hello"));
        WhenShown<TformSendMail>([](TformSendMail& aCompose) {
            QCOMPARE(aCompose.edtSubject->text(), QString("Auto hello"));
            QCOMPARE(aCompose.lvEmailAccounts->topLevelItem(0)->checkState(0), Qt::Unchecked);
            QCOMPARE(aCompose.lvEmailAccounts->topLevelItem(1)->checkState(0), Qt::Checked);
            // The account the reply uses cannot be deleted.
            aCompose.lvEmailAccounts->setCurrentItem(aCompose.lvEmailAccounts->topLevelItem(1));
            QTest::mouseClick(aCompose.btnAccountDelete, Qt::LeftButton);
            QCOMPARE(aCompose.lvEmailAccounts->topLevelItemCount(), 2);
            QTest::keyClick(&aCompose, Qt::Key_Escape);
        });
        QTest::mouseClick(alerts.btnSetAutoReply, Qt::LeftButton);
        QVERIFY(run.dialogs.warnings.back().rfind("The following alerts still use this email account: ", 0) == 0);
        QCOMPARE(alerts.lblCurrentAutoReplyMessage->text(), QString("Auto hello"));  // cancelled: unchanged
        alerts.close();
        run.ExitAndWait();
    }
};

TRAWLIX_UI_TEST(TestRepliesWindows)
#include "test_replies_windows.moc"
