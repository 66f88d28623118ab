// Desktop pop-ups through a notification service of the test's own on a private D-Bus
// daemon: what Notify gets for an automatic run's new results, and a click opening the
// search. Skipped where no dbus-daemon is installed.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "model/search.h"
#include "ui/desktop_notifier.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

// Stands for the desktop's notification daemon: keeps each Notify call.
class TFakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct TCall {
        QString appName, summary, body;
        QStringList actions;
    };
    std::vector<TCall> calls;

public slots:
    uint Notify(const QString& aAppName, uint, const QString&, const QString& aSummary, const QString& aBody,
                const QStringList& aActions, const QVariantMap&, int) {
        calls.push_back({aAppName, aSummary, aBody, aActions});
        return static_cast<uint>(calls.size()) + 40;
    }
};

IEntry NewEntry(const std::string& aTitle, int aNumber) {
    auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 10", aTitle,
                                          "http://sfbay.craigslist.org/" + std::to_string(aNumber) + ".html", 100, "sf",
                                          "bik", false, 0, 46000, "", "", "");
    entry->SetNew(true);
    return entry;
}

}  // namespace

class TestDesktopNotifier : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        fDaemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!fDaemon.waitForStarted(5000)) QSKIP("no dbus-daemon here: desktop notifications cannot be tested");
        QVERIFY(fDaemon.waitForReadyRead(5000));
        fAddress = QString::fromUtf8(fDaemon.readLine()).trimmed();
        QVERIFY(!fAddress.isEmpty());
    }
    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        if (fDaemon.state() != QProcess::NotRunning) {
            fDaemon.terminate();
            fDaemon.waitForFinished(5000);
        }
    }

    void anAutomaticRunsNewResultsPopUpAndAClickOpensTheSearch() {
        QDBusConnection service = QDBusConnection::connectToBus(fAddress, "service");
        QVERIFY(service.isConnected());
        TFakeNotificationService daemon;
        QVERIFY(service.registerObject(cNotificationsPath, &daemon, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(cNotificationsService));
        TDesktopNotifier notifier(QDBusConnection::connectToBus(fAddress, "client"));

        TSearch search;
        search.SetName("Bikes & <more>");
        for (int i = 1; i <= 5; ++i) search.AddSearchResult(NewEntry("Bike " + std::to_string(i), i));
        const auto notice = DesktopNoticeFor(search);
        QVERIFY(notice.has_value());
        QCOMPARE(notice->summary, QString("5 new results for Bikes & <more>"));
        QCOMPARE(notice->body, QString("Bike 1\nBike 2\nBike 3\nand 2 more"));

        QSignalSpy shown(&notifier, &TDesktopNotifier::Shown);
        QVERIFY(notifier.Show(*notice));
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).toUInt(), 41u);
        QCOMPARE(daemon.calls.size(), size_t(1));
        QCOMPARE(daemon.calls[0].appName, QString("Trawlix"));
        QCOMPARE(daemon.calls[0].summary, notice->summary);
        QCOMPARE(daemon.calls[0].actions, (QStringList{"default", "Open"}));

        QSignalSpy opened(&notifier, &TDesktopNotifier::OpenSearch);
        QDBusMessage click = QDBusMessage::createSignal(cNotificationsPath, cNotificationsInterface, "ActionInvoked");
        click << 41u << QString("default");
        QVERIFY(service.send(click));
        QTRY_COMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toInt(), search.GetID());
        service.unregisterObject(cNotificationsPath);
        QVERIFY(service.unregisterService(cNotificationsService));
    }

    void aRunTheUserStartedOrOneWithNothingNewSaysNothing() {
        TSearch quiet;
        const IEntry old = NewEntry("Old bike", 1);
        old->SetNew(false);
        quiet.AddSearchResult(old);
        QVERIFY(!DesktopNoticeFor(quiet).has_value());
        TSearch byHand;
        byHand.AddSearchResult(NewEntry("Bike", 2));
        byHand.SetCalledFromUser(true);
        QVERIFY(!DesktopNoticeFor(byHand).has_value());
    }

    void withoutANotificationServiceNothingIsShown() {
        TDesktopNotifier notifier(QDBusConnection::connectToBus(fAddress, "empty"));
        TSearch search;
        search.AddSearchResult(NewEntry("Bike", 1));
        QVERIFY(!notifier.Show(*DesktopNoticeFor(search)));
        QDBusConnection::disconnectFromBus("empty");
    }

private:
    QProcess fDaemon;
    QString fAddress;
};

TRAWLIX_UI_TEST(TestDesktopNotifier)
#include "test_desktop_notifier.moc"
