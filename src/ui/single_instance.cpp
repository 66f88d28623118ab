#include "ui/single_instance.h"

#include <QLocalSocket>

namespace trawlix {

TBringToFrontServer::TBringToFrontServer(const std::filesystem::path& aSocketPath,
                                         std::function<void()> aOnBringToFront, QObject* aParent)
    : QObject(aParent), fOnBringToFront(std::move(aOnBringToFront)) {
    const QString name = QString::fromStdString(aSocketPath.string());
    // We hold the instance lock, so a socket file left there belongs to a crashed run.
    QLocalServer::removeServer(name);
    fServer.setSocketOptions(QLocalServer::UserAccessOption);
    fServer.listen(name);
    connect(&fServer, &QLocalServer::newConnection, this, &TBringToFrontServer::OnNewConnection);
}

void TBringToFrontServer::OnNewConnection() {
    while (QLocalSocket* socket = fServer.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine().trimmed() == cBringToFrontMessage && fOnBringToFront) fOnBringToFront();
            }
        });
    }
}

}  // namespace trawlix
