#include "app/qt/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tavo {

QString InstanceKeyFileName(const QString& title) {
    QString name;
    for (QChar c : title)
        name += (c.isLetterOrNumber() && c.unicode() < 128) ? c : QChar('-');
    return name;
}

SingleInstanceGuard::SingleInstanceGuard(const QString& key, const QString& directory,
                                         QObject* parent)
    : QObject(parent) {
    QString dir = directory;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    const QString base = QDir(dir).filePath("tavo-" + InstanceKeyFileName(key));
    lockPath_ = base + ".lock";
    serverName_ = base + ".socket";
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Only a dead owner makes a lock stale: a copy that has run for hours still holds it.
    lock_->setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstanceGuard::OnNewConnection);
}

SingleInstanceGuard::~SingleInstanceGuard() {
    server_.close();
    if (first_) lock_->unlock();
}

bool SingleInstanceGuard::TryAcquire() {
    if (first_) return true;
    // tryLock removes a lock whose owner process no longer exists.
    if (!lock_->tryLock(0)) {
        NotifyRunningCopy();
        return false;
    }
    first_ = true;
    // We own the lock, so a socket file still present is a leftover of a copy that died.
    QLocalServer::removeServer(serverName_);
    server_.listen(serverName_);
    return true;
}

bool SingleInstanceGuard::NotifyRunningCopy() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(1000)) return false;
    socket.write(kRaiseMessage);
    const bool written = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return written;
}

void SingleInstanceGuard::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto readLines = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kRaiseMessage) emit raiseRequested();
            }
        };
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, readLines);
        readLines(); // the message may have arrived with the connection
    }
}

} // namespace tavo
