// The preferences window, its pages, the proxy dialog and the edit-value dialog, driven
// with clicks and keys over a real session in a throw-away profile.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFrame>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

#include "app/platform.h"
#include "app/settings.h"
#include "support/test_support.h"
#include "ui/alerts_controller.h"
#include "ui/form_edit_text_value.h"
#include "ui/form_notification_settings.h"
#include "ui/form_proxy.h"
#include "ui/form_settings.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

QColor SwatchOf(TformColorSettings& aPage, QFrame* aSwatch) { return aPage.SwatchColor(aSwatch); }

TColor AsTColor(const QColor& aColor) { return RGBColor(aColor.red(), aColor.green(), aColor.blue()); }

// Opens the preferences on aPage as the window would, shown and active for keys.
TformSettings& OpenPreferences(test::TRun& aRun, int aPage) {
    TformSettings& window = aRun.window->PreferencesWindow();
    window.Prepare(aPage);
    window.activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&window);
    return window;
}

void ShowProxy(TformProxy& aProxy) {
    aProxy.Prepare();
    aProxy.activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&aProxy);
}

}  // namespace

class TestPreferences : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false); }

    void theMenuOpensThePreferencesOnTheGeneralPage() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        QVERIFY(run.window->actPreferences->isEnabled());
        int shownPage = -1;
        QTimer::singleShot(0, run.window.get(), [&] {
            TformSettings& window = run.window->PreferencesWindow();
            shownPage = window.CurrentPage();
            QCOMPARE(window.tvSettings->currentItem()->text(0), QString("General"));
            QTest::mouseClick(window.btnClose, Qt::LeftButton);
        });
        run.window->actPreferences->trigger();
        QCOMPARE(shownPage, int(TformSettings::pgGeneral));
        QStringList nodes;
        TformSettings& window = run.window->PreferencesWindow();
        for (int index = 0; index < window.tvSettings->topLevelItemCount(); ++index)
            nodes << window.tvSettings->topLevelItem(index)->text(0);
        QCOMPARE(nodes, QStringList({"General", "Colors", "Alerts"}));
    }

    void everyPreferenceRoundTripsThroughSaveAndARestart() {
        struct TCase {
            const char* name;
            int page;
            std::function<void(TformSettings&)> change;      // with the mouse, on the page
            std::function<bool(TSettings&)> changedAfterRestart;
        };
        const QColor chosen(12, 34, 56);
        // "Change" answered with the chosen colour.
        auto chooseWith = [&](QPushButton* TformColorSettings::*aChange) {
            return [&, aChange](TformSettings& w) {
                w.Colors->ChooseColor = [&](const QColor&) { return std::optional<QColor>(chosen); };
                QTest::mouseClick(w.Colors->*aChange, Qt::LeftButton);
            };
        };
        const TCase cases[] = {
            {"minimize to tray", TformSettings::pgGeneral,
             [](TformSettings& w) { test::ClickBox(w.General->cbMinimizeToTray); },
             [](TSettings& s) { return s.GetMinimizeToTray(); }},
            {"unreachable URL errors", TformSettings::pgGeneral,
             [](TformSettings& w) { test::ClickBox(w.General->cbShowUnreachableURLErrors); },
             [](TSettings& s) { return s.GetShowUnreachableURLErrors(); }},
            {"search wizzard", TformSettings::pgGeneral,
             [](TformSettings& w) { test::ClickBox(w.General->cbShowSearchWizzard); },
             [](TSettings& s) { return s.GetShowSearchWizzard(); }},  // the test runs start with it off
            {"auto start", TformSettings::pgGeneral,
             [](TformSettings& w) { test::ClickBox(w.General->cbAutoStart); },
             [](TSettings& s) { return s.GetAutoStart(); }},
            {"visited colour", TformSettings::pgColors, chooseWith(&TformColorSettings::btnChangeVisited),
             [&](TSettings& s) { return s.GetColorSettings().GetVisitedBackgroundColor() == AsTColor(chosen); }},
            {"new colour", TformSettings::pgColors, chooseWith(&TformColorSettings::btnChangeNew),
             [&](TSettings& s) { return s.GetColorSettings().GetNewBackgroundColor() == AsTColor(chosen); }},
            {"highlighted colour", TformSettings::pgColors, chooseWith(&TformColorSettings::btnChangeHighlighted),
             [&](TSettings& s) { return s.GetColorSettings().GetHighlightedFontColor() == AsTColor(chosen); }},
            {"new results box (alerts page)", TformSettings::pgAlerts,
             [](TformSettings& w) { test::ClickBox(w.Alerts->cbMsgBoxNewResults); },
             [](TSettings& s) { return !s.GetMsgBoxNewResults(); }},
            {"quiet hours (alerts page)", TformSettings::pgAlerts,
             [](TformSettings& w) { QTest::keyClicks(w.Alerts->edtQuietHours, " 22:00-07:00"); },
             [](TSettings& s) { return s.GetQuietHours() == "22:00-07:00"; }},
        };
        for (const TCase& c : cases) {
            test::TempDir profile;
            qputenv("XDG_CONFIG_HOME", QByteArray(profile.Path().c_str()));
            {
                test::TRun run(profile.Path());
                QVERIFY2(!c.changedAfterRestart(run.session->GetSettings()), c.name);
                TformSettings& window = OpenPreferences(run, c.page);
                QCOMPARE(window.CurrentPage(), c.page);
                c.change(window);
                QTest::mouseClick(window.btnSave, Qt::LeftButton);
                QVERIFY2(!window.isVisible(), c.name);
                QVERIFY2(run.dialogs.warnings.empty(), c.name);
            }
            test::TRun again(profile.Path());
            QVERIFY2(c.changedAfterRestart(again.session->GetSettings()), c.name);
            TformSettings& window = OpenPreferences(again, c.page);  // and the page shows it
            if (c.page == TformSettings::pgAlerts)
                QVERIFY2(window.Alerts->edtQuietHours->text() == QString::fromStdString(
                                                                      again.session->GetSettings().GetQuietHours()),
                         c.name);
            if (c.page == TformSettings::pgColors)
                QVERIFY2(SwatchOf(*window.Colors, window.Colors->pnlVisitedBackgroundColor) == chosen ||
                             SwatchOf(*window.Colors, window.Colors->pnlNewBackgroundColor) == chosen ||
                             SwatchOf(*window.Colors, window.Colors->pnlHighlightedBackgroundColor) == chosen,
                         c.name);
            window.reject();
        }
    }

    // The same rule and message as "trawlix-cli config QuietHours"; a refusal keeps the window
    // open and saves nothing, on any page.
    void quietHoursAreRefusedAsTheCommandLineRefusesThem() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettings& settings = run.session->GetSettings();
        settings.SetQuietHours("23:00-06:30");
        TformSettings& window = OpenPreferences(run, TformSettings::pgAlerts);
        QCOMPARE(window.Alerts->edtQuietHours->text(), QString("23:00-06:30"));
        window.General->cbMinimizeToTray->setChecked(true);  // a change on another page
        for (const char* refused : {"25:00-7", "22:00", "22:60-07:00", "10pm-7am", "22:00-07:00-08:00"}) {
            run.dialogs.Clear();
            window.Alerts->edtQuietHours->clear();
            QTest::keyClicks(window.Alerts->edtQuietHours, refused);
            QTest::mouseClick(window.btnSave, Qt::LeftButton);
            QVERIFY2(window.isVisible(), refused);
            QCOMPARE(run.dialogs.warnings, std::vector<std::string>{
                                               std::string("Quiet hours are written as HH:MM-HH:MM, for example "
                                                           "\"22:00-07:00\", not \"") + refused + "\"."});
            QCOMPARE(settings.GetQuietHours(), std::string("23:00-06:30"));
            QVERIFY(!settings.GetMinimizeToTray());
        }
        // Emptied, there are none.
        window.Alerts->edtQuietHours->clear();
        QTest::mouseClick(window.btnSave, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(settings.GetQuietHours(), std::string());
        QVERIFY(settings.GetMinimizeToTray());
    }

    void closeAndEscapeDiscardTheChanges() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSettings& settings = run.session->GetSettings();
        TformSettings& window = OpenPreferences(run, TformSettings::pgGeneral);
        test::ClickBox(window.General->cbMinimizeToTray);
        QTest::mouseClick(window.btnClose, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!settings.GetMinimizeToTray());
        OpenPreferences(run, TformSettings::pgGeneral);
        QVERIFY(!window.General->cbMinimizeToTray->isChecked());  // the stored value, not the clicked one
        test::ClickBox(window.General->cbMinimizeToTray);
        QTest::keyClick(window.General->cbMinimizeToTray, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(!settings.GetMinimizeToTray());
        // Enter is "Save".
        OpenPreferences(run, TformSettings::pgGeneral);
        test::ClickBox(window.General->cbMinimizeToTray);
        QVERIFY(window.General->cbMinimizeToTray->isChecked());
        QTest::keyClick(window.General->cbMinimizeToTray, Qt::Key_Return);
        QCOMPARE(run.dialogs.warnings, std::vector<std::string>{});
        QVERIFY(!window.isVisible());
        QVERIFY(settings.GetMinimizeToTray());
    }

    void restoreDefaultColorsHoldsEvenAfterClose() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TColorSettings& colors = run.session->GetSettings().GetColorSettings();
        colors.SetVisitedBackgroundColor(RGBColor(1, 2, 3));
        colors.SetHighlightedFontColor(RGBColor(4, 5, 6));
        TformSettings& window = OpenPreferences(run, TformSettings::pgColors);
        QCOMPARE(SwatchOf(*window.Colors, window.Colors->pnlVisitedBackgroundColor), QColor(1, 2, 3));
        int repaints = 0;
        auto repaint = window.OnSettingsChanged;
        window.OnSettingsChanged = [&] {
            ++repaints;
            repaint();
        };
        QTest::mouseClick(window.Colors->btnRestoreDefaults, Qt::LeftButton);
        QCOMPARE(repaints, 1);
        QCOMPARE(SwatchOf(*window.Colors, window.Colors->pnlVisitedBackgroundColor), QColor(153, 180, 209));
        QCOMPARE(SwatchOf(*window.Colors, window.Colors->pnlNewBackgroundColor), QColor(166, 202, 240));
        QCOMPARE(SwatchOf(*window.Colors, window.Colors->pnlHighlightedBackgroundColor), QColor(0, 32, 96));
        QTest::mouseClick(window.btnClose, Qt::LeftButton);
        QCOMPARE(colors.GetVisitedBackgroundColor(), RGBColor(153, 180, 209));
        QCOMPARE(colors.GetHighlightedFontColor(), RGBColor(0, 32, 96));
        window.OnSettingsChanged = repaint;
    }

    void theProxyDialogFollowsItsEnablingRule() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TformProxy proxy(run.session->GetSettings(), run.dialogs);
        ShowProxy(proxy);
        for (QWidget* control : std::initializer_list<QWidget*>{proxy.edtHost, proxy.edtPort, proxy.edtUsername,
                                                                proxy.edtPassword, proxy.cbSOCKSProxy,
                                                                proxy.rbSocksV4, proxy.rbSocksV5})
            QVERIFY(!control->isEnabled());
        test::ClickBox(proxy.cbEnableProxy);
        QVERIFY(proxy.edtHost->isEnabled() && proxy.edtPassword->isEnabled() && proxy.cbSOCKSProxy->isEnabled());
        QVERIFY(!proxy.rbSocksV4->isEnabled() && !proxy.rbSocksV5->isEnabled());
        test::ClickBox(proxy.cbSOCKSProxy);
        QVERIFY(proxy.rbSocksV4->isEnabled() && proxy.rbSocksV5->isEnabled());
        QVERIFY(proxy.rbSocksV4->isChecked());
        QCOMPARE(proxy.edtPassword->echoMode(), QLineEdit::Password);
        QTest::keyClicks(proxy.edtPort, "12ab");  // digits only
        QCOMPARE(proxy.edtPort->text(), QString("012"));
    }

    void theProxyDialogRefusesWhatCannotBeStored_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 0") << "proxy.local" << "0" << "" << "The proxy port must be a number from 1 to 65535.";
        QTest::newRow("port too big") << "proxy.local" << "65536" << "" << "The proxy port must be a number from 1 to 65535.";
        QTest::newRow("no port") << "proxy.local" << "" << "" << "The proxy port must be a number from 1 to 65535.";
        QTest::newRow("no host") << "" << "8080" << "" << "Enter the proxy server.";
        QTest::newRow("host with a line break") << "proxy\nlocal" << "8080" << ""
                                                << "The proxy server must not contain a line break.";
        QTest::newRow("password with a line break") << "proxy.local" << "8080" << "se\ncret"
                                                    << "The proxy password must not contain a line break.";
    }

    void theProxyDialogRefusesWhatCannotBeStored() {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, password);
        QFETCH(QString, message);
        test::TempDir profile;
        test::TRun run(profile.Path());
        TProxySettings& stored = run.session->GetSettings().GetProxySettings();
        TformProxy proxy(run.session->GetSettings(), run.dialogs);
        ShowProxy(proxy);
        test::ClickBox(proxy.cbEnableProxy);
        // Pasted, as a line break would come in.
        auto paste = [](QLineEdit* aEdit, const QString& aText) {
            aEdit->clear();
            if (aText.isEmpty()) return;
            QApplication::clipboard()->setText(aText);
            aEdit->setFocus();
            QTest::keyClick(aEdit, Qt::Key_V, Qt::ControlModifier);
        };
        paste(proxy.edtHost, host);
        paste(proxy.edtPort, port);
        paste(proxy.edtPassword, password);
        QCOMPARE(proxy.edtHost->text(), host);
        QTest::mouseClick(proxy.btnSave, Qt::LeftButton);
        QCOMPARE(run.dialogs.warnings, std::vector<std::string>{message.toStdString()});
        QVERIFY(proxy.isVisible());  // open for correcting
        QVERIFY(!stored.GetEnabled());
        QCOMPARE(stored.GetHost(), std::string());
    }

    void theProxyIsSavedAndReadAfterARestart() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            TformSettings& window = OpenPreferences(run, TformSettings::pgGeneral);
            TformProxy& proxy = *window.General->Proxy();
            window.General->ShowProxy = [&proxy] { ShowProxy(proxy); };
            QTest::mouseClick(window.General->btnProxySettings, Qt::LeftButton);
            QVERIFY(proxy.isVisible());
            test::ClickBox(proxy.cbEnableProxy);
            QTest::keyClicks(proxy.edtHost, "  proxy.local ");
            proxy.edtPort->selectAll();
            QTest::keyClicks(proxy.edtPort, "3128");
            QTest::keyClicks(proxy.edtUsername, "me");
            QTest::keyClicks(proxy.edtPassword, "secret");
            test::ClickBox(proxy.cbSOCKSProxy);
            test::ClickBox(proxy.rbSocksV5);
            QTest::keyClick(proxy.edtPassword, Qt::Key_Return);  // Enter is "Save"
            QVERIFY(!proxy.isVisible());
            QVERIFY(run.dialogs.warnings.empty());
            // In effect at once, for the next download.
            QCOMPARE(run.session->GetSettings().GetProxySettings().GetHost(), std::string("proxy.local"));
            // Saved on its own: the preferences window is closed without saving.
            QTest::mouseClick(window.btnClose, Qt::LeftButton);
        }
        test::TRun again(profile.Path());
        const TProxySettings& proxy = again.session->GetSettings().GetProxySettings();
        QVERIFY(proxy.GetEnabled());
        QCOMPARE(proxy.GetHost(), std::string("proxy.local"));
        QCOMPARE(proxy.GetPort(), 3128);
        QCOMPARE(proxy.GetUsername(), std::string("me"));
        QCOMPARE(proxy.GetPassword(), std::string("secret"));
        QVERIFY(proxy.GetIsSOCKS());
        QCOMPARE(proxy.GetSOCKSVersion(), std::string("v5"));
        // Cancel keeps the stored values.
        TformProxy dialog(again.session->GetSettings(), again.dialogs);
        ShowProxy(dialog);
        QVERIFY(dialog.rbSocksV5->isChecked());
        QCOMPARE(dialog.edtPort->text(), QString("3128"));
        test::ClickBox(dialog.cbEnableProxy);
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
        QVERIFY(proxy.GetEnabled());
    }

    void theAutostartEntryAppearsAndDisappears() {
        test::TempDir profile;
        qputenv("XDG_CONFIG_HOME", QByteArray(profile.Path().c_str()));
        test::TRun run(profile.Path());
        const std::filesystem::path entry = platform::AutostartFile();
        QCOMPARE(entry, profile.Path() / "autostart" / "trawlix.desktop");
        QVERIFY(!std::filesystem::exists(entry));
        TformSettings& window = OpenPreferences(run, TformSettings::pgGeneral);
        test::ClickBox(window.General->cbAutoStart);
        QTest::mouseClick(window.btnSave, Qt::LeftButton);
        QVERIFY(std::filesystem::exists(entry));
        QVERIFY(test::ReadFile(entry).find("[Desktop Entry]") != std::string::npos);
        OpenPreferences(run, TformSettings::pgGeneral);
        QVERIFY(window.General->cbAutoStart->isChecked());
        test::ClickBox(window.General->cbAutoStart);
        QTest::mouseClick(window.btnSave, Qt::LeftButton);
        QVERIFY(!std::filesystem::exists(entry));
    }

    void everyControlIsReachedWithTab() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TformSettings& window = OpenPreferences(run, TformSettings::pgGeneral);
        window.tvSettings->setFocus();
        std::set<QWidget*> reached;
        for (int step = 0; step < 20; ++step) {
            reached.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (QWidget* control : std::initializer_list<QWidget*>{
                 window.tvSettings, window.General->cbAutoStart, window.General->btnProxySettings,
                 window.General->cbMinimizeToTray, window.General->cbShowUnreachableURLErrors,
                 window.General->cbShowSearchWizzard, window.btnSave, window.btnClose})
            QVERIFY2(reached.count(control), qPrintable(control->objectName()));
        window.reject();
    }

    void theEditValueDialogKeepsLineBreaksAndReportsCancel() {
        TformEditTextValue dialog;
        QCOMPARE(dialog.windowTitle(), QString("Edit value"));
        QTimer::singleShot(0, &dialog, [&dialog] {
            QTest::keyClick(dialog.memoValue, Qt::Key_Return);
            QTest::keyClicks(dialog.memoValue, "second");
            QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        });
        QVERIFY(dialog.Execute("first"));
        QCOMPARE(dialog.GetValue(), QString("first\nsecond"));
        QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(dialog.memoValue, Qt::Key_Escape); });
        QVERIFY(!dialog.Execute("x"));
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.close(); });  // the title bar's close
        QVERIFY(!dialog.Execute("x"));
    }
};

TRAWLIX_UI_TEST(TestPreferences)
#include "test_preferences.moc"
