#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace velnor {

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kRetryIntervalMs = 50;
const QByteArray kShowRequest = QByteArrayLiteral("show\n");

} // namespace

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent)
    , m_socketPath(QDir(directory).filePath(QStringLiteral("velnor-instance")))
    , m_lock(QDir(directory).filePath(QStringLiteral("velnor-instance.lock")))
{
    // Held for the app's whole life: only a holder that is gone is stale.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    stopListening();
}

std::optional<QString> SingleInstance::defaultDirectory()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty() || !isPrivateDirectory(runtime))
        return std::nullopt;
    return runtime;
}

bool SingleInstance::isPrivateDirectory(const QString& directory)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(directory).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    return info.st_uid == ::getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

SingleInstance::Role SingleInstance::claim()
{
    const QDeadlineTimer deadline(kHandOverWaitMs);
    while (true) {
        if (m_lock.tryLock(0)) {
            // We hold the lock: any socket file is a crashed run's.
            QLocalServer::removeServer(m_socketPath);
            if (!listen())
                qWarning("velnor: cannot listen on %s: a second launch will wait instead of showing this one",
                         qPrintable(m_socketPath));
            return Role::Primary;
        }
        if (askRunningInstanceToShow())
            return Role::Secondary;
        // The holder is starting, or stopped listening to hand over to us.
        if (deadline.hasExpired())
            return Role::Stuck;
        QThread::msleep(kRetryIntervalMs);
    }
}

void SingleInstance::stopListening()
{
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

bool SingleInstance::resumeListening()
{
    return m_server || (m_lock.isLocked() && listen());
}

bool SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    return true;
}

bool SingleInstance::askRunningInstanceToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kShowRequest);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Only a complete request counts; anything else is ignored.
            while (socket->canReadLine()) {
                if (socket->readLine() == kShowRequest)
                    emit activationRequested();
            }
        });
    }
}

} // namespace velnor
