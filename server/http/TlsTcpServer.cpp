#include "http/TlsTcpServer.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

namespace velnor::server {

TlsTcpServer::TlsTcpServer(const QSslConfiguration& configuration, const HttpLimits& limits, QObject* parent)
    : QSslServer(parent)
    , m_gate(limits)
{
    setSslConfiguration(configuration);
}

QTcpSocket* TlsTcpServer::nextPendingConnection()
{
    return m_gate.guarded(QSslServer::nextPendingConnection());
}

void TlsTcpServer::incomingConnection(qintptr descriptor)
{
    if (m_gate.admit(descriptor, false))
        QSslServer::incomingConnection(descriptor);
}

std::optional<QSslConfiguration> loadTlsConfiguration(const QString& certificateFile, const QString& keyFile,
                                                      QString* error)
{
    QFile keyPem(keyFile);
    if (!keyPem.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the TLS key %1").arg(keyFile);
        return std::nullopt;
    }
    const QByteArray keyBytes = keyPem.readAll();
    QSslKey key(keyBytes, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyBytes, QSsl::Ec, QSsl::Pem);
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificateFile, QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull() || key.isNull()) {
        *error = QStringLiteral("the TLS certificate or key is not readable PEM");
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    return configuration;
}

quint16 listenWithTls(QAbstractHttpServer& http, const QHostAddress& address, quint16 port,
                      const QSslConfiguration& configuration, const HttpLimits& limits)
{
    return listenGuarded(http, new TlsTcpServer(configuration, limits), address, port);
}

} // namespace velnor::server
