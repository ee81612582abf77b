#pragma once

#include "http/ConnectionGuard.h"
#include "http/HttpLimits.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslServer>

#include <optional>

class QAbstractHttpServer;

namespace velnor::server {

// HTTPS connections, admitted and guarded like plain ones once their handshake is done.
class TlsTcpServer final : public QSslServer {
public:
    TlsTcpServer(const QSslConfiguration& configuration, const HttpLimits& limits, QObject* parent = nullptr);

    QTcpSocket* nextPendingConnection() override;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    ConnectionGate m_gate;
};

// The server side of TLS from PEM files: the certificate file may hold a whole
// chain (leaf first, then intermediates, as in a fullchain.pem); every
// certificate in it is sent, so clients that only know the root can verify.
// None (with *error) when a file is unreadable or holds no usable PEM.
std::optional<QSslConfiguration> loadTlsConfiguration(const QString& certificateFile, const QString& keyFile,
                                                      QString* error);

// Listens for HTTPS on a TlsTcpServer owned by `http`; 0 when the address cannot be bound.
quint16 listenWithTls(QAbstractHttpServer& http, const QHostAddress& address, quint16 port,
                      const QSslConfiguration& configuration, const HttpLimits& limits);

} // namespace velnor::server
