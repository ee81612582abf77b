#include "http/LowLatencyTcpServer.h"

#include <QAbstractHttpServer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace velnor::server {

namespace {

// Linux forgets a quick acknowledgement after use: ask again on every read.
void acknowledgeAtOnce([[maybe_unused]] QTcpSocket& socket)
{
#ifdef TCP_QUICKACK
    const int on = 1;
    (void)::setsockopt(static_cast<int>(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

} // namespace

LowLatencyTcpServer::LowLatencyTcpServer(const HttpLimits& limits, QObject* parent)
    : QTcpServer(parent)
    , m_gate(limits)
{
}

QTcpSocket* LowLatencyTcpServer::nextPendingConnection()
{
    return m_gate.guarded(QTcpServer::nextPendingConnection());
}

void LowLatencyTcpServer::incomingConnection(qintptr descriptor)
{
    if (!m_gate.admit(descriptor, true))
        return;
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket; // closes the descriptor
        return;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Connected before the HTTP server's own handler, so the acknowledgement
    // leaves before the request is parsed.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { acknowledgeAtOnce(*socket); });
    addPendingConnection(socket);
}

quint16 listenWithLowLatency(QAbstractHttpServer& http, const QHostAddress& address, quint16 port,
                             const HttpLimits& limits)
{
    return listenGuarded(http, new LowLatencyTcpServer(limits), address, port);
}

} // namespace velnor::server
