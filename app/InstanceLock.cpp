#include "app/InstanceLock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace oculet {
namespace {

const QByteArray kShowRequest = "show\n";
const QByteArray kShown = "shown\n";

} // namespace

InstanceLock::InstanceLock(const QString& runtimeFolder)
    : socketPath_(runtimeFolder + QStringLiteral("/oculet.socket")) {
    QDir().mkpath(runtimeFolder);
    lock_ = std::make_unique<QLockFile>(runtimeFolder + QStringLiteral("/oculet.lock"));
    // Stale only when its process is gone, never by age: Oculet runs for days.
    lock_->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::tryLock() { return lock_->tryLock(0); }

void InstanceLock::listenForShowRequests(std::function<void()> show) {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that died: this copy holds the lock, so no other copy listens there.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        // A later start then says that Oculet is already open, as it did before it could ask.
        return;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this, show = std::move(show)] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [client, show] {
                if (!client->canReadLine()) {
                    return;
                }
                if (client->readLine(64) == kShowRequest) {
                    show();
                    client->write(kShown);
                    client->flush();
                }
                client->disconnectFromServer();
            });
        }
    });
}

bool InstanceLock::askRunningCopyToShow(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    // The running copy takes the lock a moment before it listens: try again until it does.
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(100);
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readLine(64) == kShown;
}

} // namespace oculet
