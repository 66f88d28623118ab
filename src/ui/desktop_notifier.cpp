#include "ui/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "engine/critical_section.h"
#include "model/search.h"
#include "ui/qt_text.h"

namespace trawlix {

namespace {

constexpr int cNoticeTitles = 3;
constexpr const char* cOpenAction = "default";  // the action of a click on the pop-up itself

}  // namespace

std::optional<TDesktopNotice> DesktopNoticeFor(TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    if (aSearch.GetCalledFromUser()) return std::nullopt;
    int count = 0;
    QStringList titles;
    for (const IEntry& entry : aSearch.GetSearchResults()) {
        if (!entry->GetNew()) continue;
        if (++count <= cNoticeTitles) titles << Q(entry->GetName());
    }
    if (count == 0) return std::nullopt;
    TDesktopNotice notice;
    notice.searchID = aSearch.GetID();
    notice.summary = QString("%1 new result%2 for %3").arg(count).arg(count == 1 ? "" : "s").arg(Q(aSearch.GetName()));
    if (count > cNoticeTitles) titles << QString("and %1 more").arg(count - cNoticeTitles);
    notice.body = titles.join('\n').toHtmlEscaped();
    return notice;
}

TDesktopNotifier::TDesktopNotifier(QDBusConnection aBus, QObject* aParent) : QObject(aParent), fBus(std::move(aBus)) {
    fBus.connect(cNotificationsService, cNotificationsPath, cNotificationsInterface,
                                          "ActionInvoked", this, SLOT(OnActionInvoked(uint, QString)));
}

bool TDesktopNotifier::Show(const TDesktopNotice& aNotice) {
    if (!fBus.isConnected() || !fBus.interface() || !fBus.interface()->isServiceRegistered(cNotificationsService))
        return false;
    QDBusMessage notify = QDBusMessage::createMethodCall(cNotificationsService, cNotificationsPath,
                                                         cNotificationsInterface, "Notify");
    notify << QString("Trawlix") << 0u << QString("trawlix") << aNotice.summary << aNotice.body
           << QStringList{cOpenAction, "Open"} << QVariantMap{} << -1;
    // Not waited for: the window goes on while the desktop shows the pop-up.
    auto* watcher = new QDBusPendingCallWatcher(fBus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, searchID = aNotice.searchID] {
        const QDBusPendingReply<uint> reply = *watcher;
        watcher->deleteLater();
        if (reply.isError()) return;
        fSearchOfNotification[reply.value()] = searchID;
        emit Shown(reply.value());
    });
    return true;
}

void TDesktopNotifier::OnActionInvoked(uint aNotificationID, const QString& aAction) {
    const auto found = fSearchOfNotification.find(aNotificationID);
    if (found == fSearchOfNotification.end() || aAction != cOpenAction) return;
    const int searchID = found->second;
    fSearchOfNotification.erase(found);
    emit OpenSearch(searchID);
}

}  // namespace trawlix
