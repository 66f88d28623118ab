#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trawlix {

class TSearch;

// The freedesktop notification service on the session bus.
inline constexpr const char* cNotificationsService = "org.freedesktop.Notifications";
inline constexpr const char* cNotificationsPath = "/org/freedesktop/Notifications";
inline constexpr const char* cNotificationsInterface = "org.freedesktop.Notifications";

// What a desktop notification says about a run's new results.
struct TDesktopNotice {
    int searchID = 0;
    QString summary;  // "3 new results for Bikes"
    QString body;     // the first titles, one a line
};

// The notice for the new results an automatic run of aSearch left (none for a run the user
// started, or one that found nothing new). Takes the search's lock.
std::optional<TDesktopNotice> DesktopNoticeFor(TSearch& aSearch);

// Desktop pop-ups through the freedesktop notification service, while the window runs.
// Clicking one asks for its search (OpenSearch).
class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    // aBus: the session bus, or a bus of a test's own.
    explicit TDesktopNotifier(QDBusConnection aBus = QDBusConnection::sessionBus(), QObject* aParent = nullptr);
    // Asks the service to show aNotice without waiting for it; false when there is no
    // notification service (no session bus, no desktop).
    bool Show(const TDesktopNotice& aNotice);

signals:
    // The service showed a pop-up under this number.
    void Shown(uint aNotificationID);
    void OpenSearch(int aSearchID);

private slots:
    void OnActionInvoked(uint aNotificationID, const QString& aAction);

private:
    QDBusConnection fBus;
    std::map<uint, int> fSearchOfNotification;
};

}  // namespace trawlix
