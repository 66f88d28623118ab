// The alerts window and the notification settings over a real session in a throw-away
// profile, driven with clicks: alerts that are switched on survive a restart, the
// transport choice is stored, and test messages go out through a real loopback peer (or
// fail against a closed port and say why).
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "mail/email_accounts.h"
#include "model/alert.h"
#include "model/gsm_networks.h"
#include "model/search.h"
#include "model/searches.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/alerts_controller.h"
#include "ui/criteria_panel.h"
#include "ui/destinations_panel.h"
#include "ui/form_alerts.h"
#include "ui/form_notification_settings.h"
#include "ui/form_settings.h"
#include "ui/notification_tests.h"
#include "find_widget.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

// A web hook on the loopback interface: answers every POST with 200 and keeps its body.
class TLoopbackReceiver : public QObject {
public:
    TLoopbackReceiver() {
        fServer.listen(QHostAddress::LocalHost);
        connect(&fServer, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = fServer.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                    buffer->append(socket->readAll());
                    const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
                    if (headerEnd < 0) return;
                    const QByteArray lower = buffer->left(headerEnd).toLower();
                    const qsizetype at = lower.indexOf("content-length:");
                    const int length = at < 0 ? 0 : lower.mid(at + 15, lower.indexOf("\r\n", at) - at - 15).trimmed().toInt();
                    if (buffer->size() < headerEnd + 4 + length) return;
                    bodies.push_back(buffer->mid(headerEnd + 4, length).toStdString());
                    socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString URL() const { return QString("http://127.0.0.1:%1/hook").arg(fServer.serverPort()); }
    std::vector<std::string> bodies;

private:
    QTcpServer fServer;
};

// The answers the windows' input boxes get, and what they were asked.
struct TInputAnswers {
    std::vector<std::string> proposed;
    std::vector<std::string> answers;  // taken from the front; none left cancels
    auto Hook() {
        return [this](const std::string&, const std::string&, const std::string& aText) -> std::optional<std::string> {
            proposed.push_back(aText);
            if (answers.empty()) return std::nullopt;
            std::string answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
    }
};

// Nothing of a test reaches the vendor's real host: its requests go to a closed port.
void CloseVendorHost(TSession& aSession) {
    aSession.GetSettings().SetVendorHost("127.0.0.1:" + std::to_string(test::FreeLoopbackPort()));
}

TSearch& FirstSearch(test::TRun& aRun) { return *aRun.session->GetMySearches()->GetAllSearches().front(); }

// The alerts window of a controller of the test's own, shown (not modally) on aSearch.
struct TAlertsWindowRun {
    explicit TAlertsWindowRun(test::TRun& aRun)
        : controller(*aRun.session, aRun.dialogs, *aRun.window, TAlertsController::THooks{}),
          window(controller.MakeAlertsWindow()) {
        window.AskText = input.Hook();
    }
    void Show(TSearch* aSearch) {
        window.Prepare(aSearch);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    TAlertsController controller;
    TformAlerts& window;
    TInputAnswers input;
};

// The preferences of a controller of the test's own, shown (not modally) on their Alerts page.
struct TSettingsWindowRun {
    explicit TSettingsWindowRun(test::TRun& aRun)
        : controller(*aRun.session, aRun.dialogs, *aRun.window, TAlertsController::THooks{}),
          window(controller.MakePreferencesWindow()), page(*window.Alerts) {
        page.AskText = input.Hook();
        window.Prepare(TformSettings::pgAlerts);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    TAlertsController controller;
    TformSettings& window;
    TformNotificationSettings& page;
    TInputAnswers input;
};

}  // namespace

class TestAlertsWindows : public QObject {
    Q_OBJECT

private slots:
    void anAlertSwitchedOnInTheWindowIsThereAfterARestart() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            run.session->GetSettings().SetUserEMail("me@example.org");
            CloseVendorHost(*run.session);
            test::Widget<QLineEdit>(run.window->Criteria(), "edtSearchName")->setText("Cars & Trucks");  // the panel names the search
            QTRY_COMPARE(FirstSearch(run).GetName(), std::string("Cars & Trucks"));
            TAlertsWindowRun alerts(run);
            alerts.Show(nullptr);  // no search given: the first row
            TformAlerts& window = alerts.window;
            QCOMPARE(window.windowTitle(), QString("Manage alerts"));
            QCOMPARE(window.lvAlerts->topLevelItemCount(), 1);
            // "&" is shown as itself, not as the mark of a shortcut.
            QCOMPARE(window.gbEditAlert->title(), QString("Edit alert \"Cars && Trucks\""));
            QVERIFY(!window.seInterval->isEnabled());  // everything waits for "Enable alert"

            run.dialogs.confirmAnswer = false;  // no test message now
            test::ClickBox(window.cbEnabled);
            QVERIFY(FirstSearch(run).GetAlert().GetEnabled());
            // Nothing has gone out through the mail service yet: a test is offered at once.
            QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
            QVERIFY(run.dialogs.confirmations[0].find("the Trawlix mail service") != std::string::npos);
            QVERIFY(window.seInterval->isEnabled());
            QVERIFY(!window.dtpWhenToSend->isEnabled());

            window.seInterval->selectAll();
            QTest::keyClicks(window.seInterval, "5");
            test::ClickBox(window.rbAtSpecificTime);
            QVERIFY(window.dtpWhenToSend->isEnabled());
            window.dtpWhenToSend->setTime(QTime(18, 0));
            test::ClickBox(window.rbUpTo50);
            // The search was made before the user gave an address: its alert has none yet, so
            // ticking EMail asks for one, offering the user's own.
            QCOMPARE(window.cbSendToEmail->text(), QString("EMail"));
            alerts.input.answers = {"  alerts@example.org "};
            test::ClickBox(window.cbSendToEmail);
            QCOMPARE(alerts.input.proposed, std::vector<std::string>{"me@example.org"});
            QCOMPARE(window.cbSendToEmail->text(), QString("EMail (alerts@example.org)"));
            QVERIFY(!window.lblAlertMissing->isVisible());
            // "change" refuses what is not an address and keeps the one there is.
            alerts.input.answers = {"not an email"};
            QTest::mouseClick(window.lblChangeEmail, Qt::LeftButton, {}, QPoint(5, window.lblChangeEmail->height() / 2));
            QCOMPARE(run.dialogs.warnings, std::vector<std::string>{"\"not an email\" is not an e-mail address."});
            QCOMPARE(window.cbSendToEmail->text(), QString("EMail (alerts@example.org)"));
            QVERIFY(FirstSearch(run).GetModified());
            QVERIFY(run.ExitAndWait());
        }
        test::TRun run(profile.Path());
        const TAlert& alert = FirstSearch(run).GetAlert();
        QVERIFY(alert.GetEnabled());
        QCOMPARE(alert.GetIntervalMinutes(), 5);
        QCOMPARE(alert.GetHowOften(), hoDaily);
        QCOMPARE(QTime::fromMSecsSinceStartOfDay(qRound((alert.GetSendAt() - std::floor(alert.GetSendAt())) * 86400000.0)),
                 QTime(18, 0));
        QCOMPARE(alert.GetMessageLength(), 50);
        QVERIFY(alert.GetSendToEmail());
        QCOMPARE(alert.GetEmail(), std::string("alerts@example.org"));
        QVERIFY(run.session->GetMySearches()->HasEnabledAlerts());
    }

    // Intervals under a minute: 20 s chosen in the window is kept over a restart and shown as
    // chosen; one written without the window (as trawlix-cli --interval does) is shown in the
    // unit it is whole in. Switching the unit keeps the interval, rounding seconds up.
    void anIntervalInSecondsIsChosenSavedAndShown() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            CloseVendorHost(*run.session);
            TAlert& alert = FirstSearch(run).GetAlert();
            alert.SetEnabled(true);
            alert.SetIntervalMinutes(2);
            TAlertsWindowRun alerts(run);
            alerts.Show(&FirstSearch(run));
            TformAlerts& window = alerts.window;
            QCOMPARE(window.cbIntervalUnit->currentText(), QString("minutes"));
            QCOMPARE(window.seInterval->value(), 2);
            QVERIFY(window.cbIntervalUnit->isEnabled());

            window.cbIntervalUnit->setCurrentIndex(window.cbIntervalUnit->findText("seconds"));
            QCOMPARE(window.seInterval->value(), 120);  // the same interval, in seconds
            QCOMPARE(alert.GetIntervalSeconds(), 120);
            window.seInterval->selectAll();
            QTest::keyClicks(window.seInterval, "5");  // under the shortest: not taken
            QCOMPARE(alert.GetIntervalSeconds(), 120);
            window.seInterval->selectAll();
            QTest::keyClicks(window.seInterval, "20");
            QCOMPARE(alert.GetIntervalSeconds(), 20);
            QVERIFY(FirstSearch(run).GetModified());
            QVERIFY(run.ExitAndWait());
        }
        {
            test::TRun run(profile.Path());
            CloseVendorHost(*run.session);
            QCOMPARE(FirstSearch(run).GetAlert().GetIntervalSeconds(), 20);
            TAlertsWindowRun alerts(run);
            alerts.Show(&FirstSearch(run));
            QCOMPARE(alerts.window.cbIntervalUnit->currentText(), QString("seconds"));
            QCOMPARE(alerts.window.seInterval->value(), 20);
            FirstSearch(run).GetAlert().SetIntervalSeconds(45);  // what `alert --interval 45s` stores
            QVERIFY(run.ExitAndWait());
        }
        test::TRun run(profile.Path());
        CloseVendorHost(*run.session);
        TAlert& alert = FirstSearch(run).GetAlert();
        TAlertsWindowRun alerts(run);
        TformAlerts& window = alerts.window;
        alerts.Show(&FirstSearch(run));
        QCOMPARE(window.cbIntervalUnit->currentText(), QString("seconds"));
        QCOMPARE(window.seInterval->value(), 45);

        struct TCase {
            int stored;
            const char* unit;
            int shown;
        };
        for (const TCase& c : {TCase{15, "seconds", 15}, TCase{90, "seconds", 90}, TCase{60, "minutes", 1},
                               TCase{600, "minutes", 10}, TCase{cMaxAlertInterval * 60, "minutes", cMaxAlertInterval}}) {
            alert.SetIntervalSeconds(c.stored);
            window.Prepare(&FirstSearch(run));
            QCOMPARE(window.cbIntervalUnit->currentText(), QString(c.unit));
            QCOMPARE(window.seInterval->value(), c.shown);
            QCOMPARE(alert.GetIntervalSeconds(), c.stored);  // showing writes nothing
        }

        alert.SetIntervalSeconds(90);
        window.Prepare(&FirstSearch(run));
        window.cbIntervalUnit->setCurrentIndex(window.cbIntervalUnit->findText("minutes"));
        QCOMPARE(window.seInterval->value(), 2);  // 90 s rounds up, never polling faster than chosen
        QCOMPARE(alert.GetIntervalSeconds(), 120);
    }

    // An alert with EMail ticked and no address would use up its results with nothing sent:
    // the window asks for the address, refuses to switch it on without one, and names what
    // is missing on an alert that is already on.
    void anAlertThatWouldMailNoAddressIsRefusedOrNamed() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        CloseVendorHost(*run.session);
        run.dialogs.confirmAnswer = false;  // no test message
        TAlert& alert = FirstSearch(run).GetAlert();
        alert.SetEmail("");
        alert.SetSendToEmail(true);
        TAlertsWindowRun alerts(run);
        alerts.Show(&FirstSearch(run));
        TformAlerts& window = alerts.window;
        QVERIFY(!window.lblAlertMissing->isVisible());  // off: nothing goes out anyway

        test::ClickBox(window.cbEnabled);  // the address is asked for, and not given
        QCOMPARE(alerts.input.proposed.size(), size_t(1));
        QVERIFY(!alert.GetEnabled());
        QVERIFY(!window.cbEnabled->isChecked());
        QCOMPARE(run.dialogs.warnings,
                 std::vector<std::string>{std::string(cAlertEmailMissing) + " The alert stays off until then."});

        // Switched on before this window refused it (an older profile): the window names it.
        alert.SetEnabled(true);
        window.Prepare(&FirstSearch(run));
        QVERIFY(window.lblAlertMissing->isVisible());
        QCOMPARE(window.lblAlertMissing->text(), QString(cAlertEmailMissing));
        alerts.input.answers = {"alerts@example.org"};
        QTest::mouseClick(window.lblChangeEmail, Qt::LeftButton, {}, QPoint(5, window.lblChangeEmail->height() / 2));
        QCOMPARE(alert.GetEmail(), std::string("alerts@example.org"));
        QVERIFY(!window.lblAlertMissing->isVisible());

        // Ticking EMail again on an alert without an address: given none, the box goes off.
        test::ClickBox(window.cbSendToEmail);
        QVERIFY(!alert.GetSendToEmail());
        alert.SetEmail("");
        test::ClickBox(window.cbSendToEmail);
        QVERIFY(!window.cbSendToEmail->isChecked());
        QVERIFY(!alert.GetSendToEmail());
    }

    // A long search name neither widens the window past the screen nor is lost: it is cut
    // in the title and whole in its tooltip.
    void aLongSearchNameKeepsTheWindowNarrow() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        CloseVendorHost(*run.session);
        const std::string name = "Antique oak lamps & brass candle holders " + std::string(200, 'x');
        FirstSearch(run).SetName(name);
        TAlertsWindowRun alerts(run);
        alerts.Show(&FirstSearch(run));
        QVERIFY2(alerts.window.width() <= 1000, qPrintable(QString::number(alerts.window.width())));
        QVERIFY2(alerts.window.minimumSizeHint().width() <= 1000,
                 qPrintable(QString::number(alerts.window.minimumSizeHint().width())));
        QVERIFY(alerts.window.gbEditAlert->title().contains(QChar(0x2026)));
        QCOMPARE(alerts.window.gbEditAlert->toolTip(), QString::fromStdString(name));
    }

    void switchingAnAlertOffDisablesItsControlsAndNoRowLeavesNothingToEdit() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        CloseVendorHost(*run.session);
        TSettings& settings = run.session->GetSettings();
        settings.SetUserPhone("+1 (555) 010-2030");
        settings.SetGSMNetworkID(987654);  // no such carrier: no address to show
        TAlertsWindowRun alerts(run);
        alerts.Show(&FirstSearch(run));
        TformAlerts& window = alerts.window;
        QCOMPARE(window.cbSendToSMS->text(), QString("SMS"));
        settings.SetUseAlternativeGSMNetwork(true);
        settings.SetAlternativeGSMNetwork("sms.example.net");
        window.Prepare(&FirstSearch(run));
        QCOMPARE(window.cbSendToSMS->text(), QString("SMS (15550102030@sms.example.net)"));
        run.dialogs.confirmAnswer = false;
        test::ClickBox(window.cbEnabled);
        test::ClickBox(window.cbEnableAutoReply);
        QVERIFY(FirstSearch(run).GetAlert().GetAutoReply());
        test::ClickBox(window.cbEnabled);
        QVERIFY(!FirstSearch(run).GetAlert().GetEnabled());
        for (QWidget* control : std::initializer_list<QWidget*>{window.cbIncludeResults, window.cbSendToEmail,
                                                                window.cbSendToSMS, window.rbInstantly,
                                                                window.seInterval, window.btnSetAutoReply})
            QVERIFY(!control->isEnabled());
        QCOMPARE(window.lblCurrentAutoReplyMessage->text(), QString("no message set"));
        window.lvAlerts->setCurrentItem(nullptr);
        QCOMPARE(window.gbEditAlert->title(), QString("Choose an alert to edit"));
        QVERIFY(!window.cbEnabled->isEnabled());
        QVERIFY(!window.cbEnabled->isChecked());
    }

    void theTransportChoiceIsStoredAndABadOneRefused() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettingsWindowRun settings(run);
        TformNotificationSettings& page = settings.page;
        QVERIFY(page.rbTransportVendor->isChecked());  // the default
        QVERIFY(!page.edtWebhookURL->isEnabled());

        test::ClickBox(page.rbTransportWebhook);
        QTRY_VERIFY(page.edtWebhookURL->isEnabled());
        QTest::keyClicks(page.edtWebhookURL, "ntfy.sh/alerts");  // no scheme
        test::ClickBox(settings.window.btnSave);
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QVERIFY(settings.window.isVisible());
        QCOMPARE(run.session->GetSettings().GetNotificationTransport(), std::string("vendor"));

        page.edtWebhookURL->clear();
        QTest::keyClicks(page.edtWebhookURL, "https://ntfy.sh/alerts");
        page.cboxWebhookFormat->setCurrentIndex(page.cboxWebhookFormat->findText("discord"));
        QTest::keyClicks(page.edtPhone, "(555) 010-2030");
        test::ClickBox(settings.window.btnSave);
        QVERIFY(!settings.window.isVisible());
        TSettings& stored = run.session->GetSettings();
        QCOMPARE(stored.GetNotificationTransport(), std::string("webhook"));
        QCOMPARE(stored.GetNotificationWebhookURL(), std::string("https://ntfy.sh/alerts"));
        QCOMPARE(stored.GetNotificationWebhookFormat(), std::string("discord"));
        QCOMPARE(stored.GetUserPhone(), std::string("(555) 010-2030"));

        // One of the user's own accounts: stored by its ID; the page shows it again.
        auto account = std::make_shared<TEmailAccount>();
        account->SetUsername("alice@example.org");
        run.session->GetEmailAccounts()->Add(account);
        page.Init();
        QVERIFY(page.rbTransportWebhook->isChecked());
        test::ClickBox(page.rbTransportAccount);
        QCOMPARE(page.cboxAccount->currentText(), QString("alice@example.org"));
        test::ClickBox(settings.window.btnSave);
        QCOMPARE(stored.GetNotificationTransport(), "smtp:" + std::to_string(account->GetID()));
        page.Init();
        QVERIFY(page.rbTransportAccount->isChecked());
    }

    void theCarrierListAndTheSMSTestFollowTheRules() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TGSMNetworks* networks = run.session->GetGSMNetworks();
        QVERIFY(networks && !networks->GetAllNetworks().empty());
        const TGSMNetwork& carrier = *networks->GetAllNetworks().front();
        run.session->GetSettings().SetGSMNetworkID(-1);
        TSettingsWindowRun settings(run);
        TformNotificationSettings& page = settings.page;
        QCOMPARE(page.cboxGSMNetwork->currentIndex(), -1);
        QCOMPARE(page.cboxGSMNetwork->itemText(0), QString::fromStdString(carrier.GetName() + ": " + carrier.GetAddress()));
        page.UpdateControls();
        QVERIFY(!page.btnSendTestSMS->isEnabled());

        page.SendTestSMS();  // as the button would, were it enabled
        QCOMPARE(run.dialogs.warnings.back(), std::string("Your phone number is invalid!"));
        QTest::keyClicks(page.edtPhone, "555-0102");
        page.SendTestSMS();
        QCOMPARE(run.dialogs.warnings.back(), std::string("Please select a network carrier!"));

        // Another network with its domain typed in is enough, with no carrier chosen.
        test::ClickBox(page.cbOtherNetwork);
        QTRY_VERIFY(page.edtOtherNetwork->isEnabled());
        QTest::keyClicks(page.edtOtherNetwork, "sms.example.net");
        page.UpdateControls();
        QVERIFY(page.btnSendTestSMS->isEnabled());
        QVERIFY(!page.cboxGSMNetwork->isEnabled());
        test::ClickBox(page.btnSendTestSMS);  // cancelled at the address
        QCOMPARE(settings.input.proposed.back(), std::string("5550102@sms.example.net"));

        test::ClickBox(page.cbOtherNetwork);
        page.cboxGSMNetwork->setCurrentIndex(0);
        page.UpdateControls();
        QVERIFY(page.btnSendTestSMS->isEnabled());
        test::ClickBox(page.btnSendTestSMS);
        QCOMPARE(settings.input.proposed.back(), "5550102@" + carrier.GetAddress());
        test::ClickBox(settings.window.btnSave);
        QCOMPARE(run.session->GetSettings().GetGSMNetworkID(), carrier.GetID());
        QVERIFY(!run.session->GetSettings().GetUseAlternativeGSMNetwork());
        QCOMPARE(run.session->GetSettings().GetAlternativeGSMNetwork(), std::string("sms.example.net"));
    }

    void aFailedTestMessageSaysWhyAndASentOneNamesTheConfirmedAddress() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettingsWindowRun settings(run);
        TformNotificationSettings& page = settings.page;
        test::ClickBox(page.btnSendTestEmail);
        QCOMPARE(run.dialogs.warnings.back(), std::string("Your email address is invalid!"));

        // A web hook nobody listens at.
        QTest::keyClicks(page.edtEmail, "me@example.org");
        test::ClickBox(page.rbTransportWebhook);
        const std::string closed = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/hook";
        QTest::keyClicks(page.edtWebhookURL, QString::fromStdString(closed));
        settings.input.answers = {"other@example.org"};
        run.dialogs.Clear();
        test::ClickBox(page.btnSendTestEmail);
        QCOMPARE(settings.input.proposed.back(), std::string("me@example.org"));
        QTRY_VERIFY_WITH_TIMEOUT(!settings.controller.Tests().InProgress(), 30000);
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        // A web hook is no mail box: the box says the hook was not reached.
        const std::string failed = cTestWebhookFailedText;
        QVERIFY2(run.dialogs.warnings[0].rfind(failed, 0) == 0, run.dialogs.warnings[0].c_str());
        QVERIFY2(run.dialogs.warnings[0].size() > failed.size() + 3, run.dialogs.warnings[0].c_str());  // the reason

        // A web hook that answers: the box names the hook, without its address's query.
        TLoopbackReceiver receiver;
        page.edtWebhookURL->clear();
        QTest::keyClicks(page.edtWebhookURL, receiver.URL() + "?key=s3cret");
        settings.input.answers = {"other@example.org"};
        run.dialogs.Clear();
        test::ClickBox(page.btnSendTestEmail);
        QTRY_VERIFY_WITH_TIMEOUT(!settings.controller.Tests().InProgress(), 30000);
        QCOMPARE(run.dialogs.informations.size(), size_t(1));
        QCOMPARE(run.dialogs.informations[0],
                 "The test message was posted to the web hook " + receiver.URL().toStdString() + ".\r\nThanks!");
        QCOMPARE(receiver.bodies.size(), size_t(1));
        // The choice was not stored yet: the stored transport has still sent nothing.
        QVERIFY(!settings.controller.Tests().TransportEverWorked());
    }

    // An alert's own destinations: a malformed URL is refused naming its wrong part and asked
    // again, the list shows no token, each row's button tests that destination alone.
    void anAlertsDestinationsAreEditedAndEachTestedOnItsOwn() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TLoopbackReceiver receiver;
        TAlertsWindowRun alerts(run);
        alerts.Show(nullptr);
        TformAlerts& window = alerts.window;
        TDestinationsPanel& panel = *window.gbDestinations;
        QVERIFY(panel.isEnabled());
        QCOMPARE(panel.lblNoDestinations->text(), QString(cNoDestinationsText));
        QVERIFY(!panel.btnRemoveDestination->isEnabled());

        const std::string hook = "json://127.0.0.1:" + receiver.URL().section(':', 2).toStdString() + "?key=s3cret";
        alerts.input.answers = {"tgram://123:ABC/general", hook};
        test::ClickBox(panel.btnAddDestination);
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QVERIFY2(run.dialogs.warnings[0].find("the chat id \"general\"") != std::string::npos, run.dialogs.warnings[0].c_str());
        QCOMPARE(alerts.input.proposed, (std::vector<std::string>{"", "tgram://123:ABC/general"}));
        const std::string closed = "ntfy://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/alerts";
        alerts.input.answers = {closed};
        test::ClickBox(panel.btnAddDestination);
        QCOMPARE(FirstSearch(run).GetAlert().GetDestinations(), (std::vector<std::string>{hook, closed}));
        QVERIFY(FirstSearch(run).GetModified());
        QCOMPARE(panel.lvDestinations->topLevelItemCount(), 2);
        const QString shown = panel.lvDestinations->topLevelItem(0)->text(0);
        QVERIFY2(!shown.contains("s3cret") && !shown.contains("/hook"), qPrintable(shown));
        QCOMPARE(panel.lblNoDestinations->text(), QString());

        const auto testButton = [&](int aRow) {
            return qobject_cast<QPushButton*>(panel.lvDestinations->itemWidget(panel.lvDestinations->topLevelItem(aRow), 1));
        };
        run.dialogs.Clear();
        test::ClickBox(testButton(0));
        QTRY_VERIFY_WITH_TIMEOUT(!alerts.controller.Tests().InProgress(), 30000);
        QCOMPARE(receiver.bodies.size(), size_t(1));
        QVERIFY2(receiver.bodies[0].find("\"test\": true") != std::string::npos, receiver.bodies[0].c_str());
        QCOMPARE(run.dialogs.informations, std::vector<std::string>{"The test message was sent to " + shown.toStdString() +
                                                                      ".\r\nThanks!"});
        run.dialogs.Clear();
        test::ClickBox(testButton(1));
        QTRY_VERIFY_WITH_TIMEOUT(!alerts.controller.Tests().InProgress(), 30000);
        QCOMPARE(receiver.bodies.size(), size_t(1));  // only the row's own destination is tried
        QCOMPARE(run.dialogs.warnings.size(), size_t(1));
        QVERIFY2(run.dialogs.warnings[0].rfind("The test message was NOT sent to " + closed, 0) == 0,
                 run.dialogs.warnings[0].c_str());

        panel.lvDestinations->setCurrentItem(panel.lvDestinations->topLevelItem(0));
        test::ClickBox(panel.btnRemoveDestination);
        QCOMPARE(FirstSearch(run).GetAlert().GetDestinations(), std::vector<std::string>{closed});
        QCOMPARE(panel.lvDestinations->topLevelItemCount(), 1);
    }

    void theAlertsWindowAndTheSettingsOpenEachOtherWithoutStackingUp() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TAlertsController controller(*run.session, run.dialogs, *run.window, TAlertsController::THooks{});
        TformSettings& settings = controller.MakePreferencesWindow();
        bool buttonHiddenMeanwhile = false;
        int alertsOpenings = 0;
        int pageAfterGlobalSettings = -1;
        // The Alerts page's "Manage alerts" opens the alerts window on top; its "Global alerts
        // settings" closes it again, and the preferences, still open on their Alerts page,
        // are all there is.
        QTimer::singleShot(0, &settings, [&] {
            QTimer::singleShot(0, &settings, [&] {
                TformAlerts* alerts = controller.AlertsWindow();
                if (alerts && alerts->isVisible()) {
                    ++alertsOpenings;
                    buttonHiddenMeanwhile = !settings.Alerts->btnManageAlerts->isVisible();
                    QTest::mouseClick(alerts->btnGlobalSettings, Qt::LeftButton);
                }
                QTimer::singleShot(0, &settings, [&] {
                    pageAfterGlobalSettings = settings.CurrentPage();
                    settings.reject();
                });
            });
            QTest::mouseClick(settings.Alerts->btnManageAlerts, Qt::LeftButton);
        });
        controller.ShowNotificationSettings();
        QCOMPARE(alertsOpenings, 1);
        QVERIFY(buttonHiddenMeanwhile);
        QCOMPARE(pageAfterGlobalSettings, int(TformSettings::pgAlerts));
        QVERIFY(!controller.AlertsWindow()->isVisible());
        QVERIFY(!settings.isVisible());
        QVERIFY(settings.Alerts->btnManageAlerts->isVisibleTo(&settings));
    }

    // One door to the notification settings: "Tools > Notification settings" and the alerts
    // window's "Global alerts settings" both open the preferences on their Alerts page.
    void theMenuAndTheAlertsWindowOpenThePreferencesOnTheirAlertsPage() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TAlertsController& controller = *run.window->Alerts();
        int shownPage = -1;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, run.window.get(), [&] {
            if (TformAlerts* alerts = controller.AlertsWindow(); alerts && alerts->isVisible()) {
                QTest::mouseClick(alerts->btnGlobalSettings, Qt::LeftButton);
            } else if (TformSettings* preferences = controller.PreferencesWindow(); preferences && preferences->isVisible()) {
                shownPage = preferences->CurrentPage();
                preferences->reject();
            }
        });
        answer.start();
        QAction* menuItem = run.window->findChild<QAction*>("actNotificationSettings");
        QVERIFY(menuItem);
        menuItem->trigger();
        QCOMPARE(shownPage, int(TformSettings::pgAlerts));

        shownPage = -1;
        controller.PreferencesWindow()->Prepare(TformSettings::pgGeneral);  // last left on another page
        controller.PreferencesWindow()->reject();
        controller.ShowAlerts(nullptr);
        QCOMPARE(shownPage, int(TformSettings::pgAlerts));
        QCOMPARE(&run.window->PreferencesWindow(), controller.PreferencesWindow());
    }

    void aWorkingTransportIsShownAndNoLongerOffersATest() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TLoopbackReceiver receiver;
        TSettings& stored = run.session->GetSettings();
        stored.SetNotificationTransport("webhook");
        stored.SetNotificationWebhookURL(receiver.URL().toStdString());
        TAlertsWindowRun alerts(run);
        alerts.Show(&FirstSearch(run));
        TformAlerts& window = alerts.window;
        QVERIFY(window.lblTransport->text().contains("Nothing has been sent"));
        QVERIFY(window.lblTransport->text().contains(receiver.URL()));
        FirstSearch(run).GetAlert().SetEmail("me@example.org");
        run.dialogs.confirmAnswer = true;
        test::ClickBox(window.cbEnabled);
        QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(!alerts.controller.Tests().InProgress(), 30000);
        QCOMPARE(run.dialogs.informations.back(), TestWebhookSentText(receiver.URL().toStdString()));
        QCOMPARE(receiver.bodies.size(), size_t(1));
        QVERIFY(window.lblTransport->text().contains("was sent successfully"));

        test::ClickBox(window.cbEnabled);
        test::ClickBox(window.cbEnabled);  // on again: it has worked, nothing more is asked
        QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
    }
};

TRAWLIX_UI_TEST(TestAlertsWindows)
#include "test_alerts_windows.moc"
