#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace velnor {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kShowRequest = QByteArrayLiteral("show\n");

} // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultServerName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("velnor-instance"));
    return QStringLiteral("velnor-instance-%1").arg(::getuid());
}

SingleInstance::Role SingleInstance::claim()
{
    // Ask first: listening would silently take the name over from a running
    // instance (Qt replaces the socket file).
    if (askRunningInstanceToShow())
        return Role::Secondary;
    // Nobody answers: no socket, or one a crashed run left behind.
    QLocalServer::removeServer(m_serverName);
    if (!listen())
        qWarning("velnor: cannot listen on %s: a second launch will start another instance", qPrintable(m_serverName));
    return Role::Primary;
}

bool SingleInstance::listen()
{
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_serverName)) {
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
    socket.connectToServer(m_serverName);
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
