#include "asr/QtWebSocketTransport.h"

#include <QFile>
#include <QSslConfiguration>
#include <QWebSocket>

namespace velnor {

QtWebSocketTransport::QtWebSocketTransport(QList<QSslCertificate> extraCaCertificates)
    : m_extraCa(std::move(extraCaCertificates))
{
}

QtWebSocketTransport::~QtWebSocketTransport()
{
    release();
}

void QtWebSocketTransport::open(const QUrl& url, Events events)
{
    release();
    m_socket = new QWebSocket();
    if (url.scheme() == QLatin1String("wss")) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        for (const QSslCertificate& certificate : std::as_const(m_extraCa))
            ssl.addCaCertificate(certificate);
        ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
        m_socket->setSslConfiguration(ssl);
    }
    QWebSocket* socket = m_socket;
    QObject::connect(socket, &QWebSocket::connected, socket, [events] {
        if (events.opened)
            events.opened();
    });
    QObject::connect(socket, &QWebSocket::disconnected, socket, [socket, events] {
        if (events.closed)
            events.closed(static_cast<int>(socket->closeCode()));
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [events](const QString& text) {
        if (events.textReceived)
            events.textReceived(text);
    });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket, [events](const QByteArray& data) {
        if (events.binaryReceived)
            events.binaryReceived(data);
    });
    // Certificate problems end the connection (they are never ignored); the
    // failure that follows carries their text.
    auto sslProblems = std::make_shared<QString>();
    QObject::connect(socket, &QWebSocket::sslErrors, socket, [sslProblems](const QList<QSslError>& errors) {
        QStringList texts;
        for (const QSslError& e : errors)
            texts.append(e.errorString());
        *sslProblems = texts.join(QStringLiteral("; "));
    });
    // Qt 6.4 names the signal error(); errorOccurred() came later.
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), socket,
                     [socket, events, sslProblems](QAbstractSocket::SocketError) {
                         if (!events.failed)
                             return;
                         const QString text = socket->errorString();
                         events.failed(sslProblems->isEmpty() ? text : text + QStringLiteral(" (") + *sslProblems + QLatin1Char(')'));
                     });
    socket->open(url);
}

std::optional<TencentASRSocket::SendFailure> QtWebSocketTransport::checkConnected() const
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return SendFailure{QStringLiteral("WebSocket is not connected"), true};
    return std::nullopt;
}

std::optional<TencentASRSocket::SendFailure> QtWebSocketTransport::checkWritten(qint64 written, qint64 expected) const
{
    if (written >= expected)
        return std::nullopt;
    const QString text = m_socket->errorString();
    return SendFailure{text.isEmpty() ? QStringLiteral("WebSocket send failed") : text, false};
}

std::optional<TencentASRSocket::SendFailure> QtWebSocketTransport::sendBinary(const QByteArray& data)
{
    if (auto failure = checkConnected())
        return failure;
    return checkWritten(m_socket->sendBinaryMessage(data), data.size());
}

std::optional<TencentASRSocket::SendFailure> QtWebSocketTransport::sendText(const QString& text)
{
    if (auto failure = checkConnected())
        return failure;
    // QWebSocket counts the UTF-8 bytes it framed.
    return checkWritten(m_socket->sendTextMessage(text), text.toUtf8().size());
}

void QtWebSocketTransport::close(int closeCode)
{
    if (!m_socket)
        return;
    QWebSocket* socket = m_socket;
    socket->disconnect();
    socket->close(static_cast<QWebSocketProtocol::CloseCode>(closeCode));
    release();
}

void QtWebSocketTransport::release()
{
    if (!m_socket)
        return;
    m_socket->disconnect();
    // The socket may be inside one of its own signals; delete it later.
    m_socket->deleteLater();
    m_socket = nullptr;
}

std::optional<QString> QtWebSocketTransport::loadCaCertificates(const QString& pemFile, QList<QSslCertificate>* out)
{
    if (pemFile.isEmpty())
        return std::nullopt;
    QFile file(pemFile);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read CA certificate file %1: %2").arg(pemFile, file.errorString());
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (certificates.isEmpty())
        return QStringLiteral("no PEM certificate in %1").arg(pemFile);
    out->append(certificates);
    return std::nullopt;
}

TencentASRSocketFactory QtWebSocketTransport::factory(QList<QSslCertificate> extraCaCertificates)
{
    return [extraCaCertificates]() -> std::unique_ptr<TencentASRSocket> {
        return std::make_unique<QtWebSocketTransport>(extraCaCertificates);
    };
}

} // namespace velnor
