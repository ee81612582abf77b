#pragma once

#include "http/ConnectionGuard.h"
#include "http/HttpLimits.h"

#include <QHostAddress>
#include <QTcpServer>

class QAbstractHttpServer;

namespace velnor::server {

// Plain-HTTP connections without TCP's small-packet waits. Qt's HTTP client
// sends an upload in 16 KiB writes with Nagle's algorithm on, so each write
// after the first waits until the previous one is acknowledged; a receiver
// that delays its acknowledgements (40 ms on Linux) stalls every upload of
// more than 16 KiB. Each connection acknowledges at once what it read and
// sends its answers without delay. Connections are admitted and guarded
// within `limits`.
class LowLatencyTcpServer final : public QTcpServer {
public:
    explicit LowLatencyTcpServer(const HttpLimits& limits = {}, QObject* parent = nullptr);

    QTcpSocket* nextPendingConnection() override;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConnectionGate m_gate;
};

// Listens like QAbstractHttpServer::listen() on a LowLatencyTcpServer owned
// by `http`; 0 when the address cannot be bound.
quint16 listenWithLowLatency(QAbstractHttpServer& http, const QHostAddress& address, quint16 port,
                             const HttpLimits& limits = {});

} // namespace velnor::server
