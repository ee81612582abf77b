#include "recognition/cloud/CloudRelayStream.h"

#include "recognition/cloud/RelayProtocol.h"

#include <QWebSocket>

namespace velnor::server::cloud {

namespace {

constexpr qint64 kMaxUpstreamMessageBytes = 64 * 1024;

} // namespace

CloudRelayStream::CloudRelayStream(const QUrl& upstream, int quietLimitMs, Sink sink)
    : m_socket(std::make_unique<QWebSocket>())
    , m_sink(std::move(sink))
{
    m_socket->setMaxAllowedIncomingMessageSize(kMaxUpstreamMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(kMaxUpstreamMessageBytes);
    QWebSocket* socket = m_socket.get();
    connect(socket, &QWebSocket::textMessageReceived, this, &CloudRelayStream::onText);
    connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this] { fail(QStringLiteral("unexpected binary message from the real-time endpoint")); });
    connect(socket, &QWebSocket::connected, this, [this] { m_connected = true; });
    connect(socket, &QWebSocket::disconnected, this, &CloudRelayStream::onClosed);
    connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            &CloudRelayStream::onSocketError);

    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietLimitMs);
    connect(&m_quiet, &QTimer::timeout, this, [this, quietLimitMs] {
        fail(QStringLiteral("the real-time endpoint said nothing for %1 ms").arg(quietLimitMs));
    });
    m_quiet.start();
    m_socket->open(upstream);
}

CloudRelayStream::~CloudRelayStream()
{
    // The socket may be emitting the signal that led here: it goes later.
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket.release()->deleteLater();
}

void CloudRelayStream::push(QByteArray pcm)
{
    if (m_ended || m_finishing || pcm.isEmpty())
        return;
    if (m_ready)
        m_socket->sendBinaryMessage(pcm);
    else
        m_waiting.append(std::move(pcm));
}

void CloudRelayStream::finish()
{
    if (m_ended || m_finishing)
        return;
    m_finishing = true;
    m_quiet.start();
    if (m_ready)
        sendEnd();
}

void CloudRelayStream::sendEnd()
{
    m_socket->sendTextMessage(QStringLiteral("{\"type\":\"end\"}"));
}

void CloudRelayStream::onText(const QString& message)
{
    if (m_ended)
        return;
    // Quiet only counts while the relay waits for something.
    if (!m_ready || m_finishing)
        m_quiet.start();
    for (const StreamEvent& event : RelayProtocol::read(message, m_ready)) {
        switch (event.kind) {
        case StreamEvent::Kind::Ready:
            m_ready = true;
            if (!m_finishing)
                m_quiet.stop();
            for (const QByteArray& pcm : std::as_const(m_waiting))
                m_socket->sendBinaryMessage(pcm);
            m_waiting.clear();
            if (m_finishing)
                sendEnd();
            m_sink(event);
            break;
        case StreamEvent::Kind::Segment:
            m_sink(event);
            break;
        case StreamEvent::Kind::Finished:
        case StreamEvent::Kind::Failed:
            end(event);
            return; // the stream may be gone now
        }
    }
}

void CloudRelayStream::onClosed()
{
    if (m_ended)
        return;
    // A socket that never connected may say so only by closing.
    if (!m_connected)
        onSocketError();
    else
        fail(QStringLiteral("the real-time endpoint closed the stream before its final result (close code %1)")
                 .arg(int(m_socket->closeCode())));
}

void CloudRelayStream::onSocketError()
{
    if (m_ended)
        return;
    // The error text never carries the signed URL's query.
    QString why = m_socket->errorString();
    if (const qsizetype query = why.indexOf(QLatin1Char('?')); query >= 0)
        why.truncate(query);
    fail(QStringLiteral("cannot reach the real-time endpoint: ") + why);
}

void CloudRelayStream::fail(const QString& why)
{
    StreamEvent event;
    event.kind = StreamEvent::Kind::Failed;
    event.error = QStringLiteral("cloud recogniser: ") + why;
    end(event);
}

void CloudRelayStream::end(const StreamEvent& event)
{
    m_ended = true;
    m_quiet.stop();
    m_waiting.clear();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->close(QWebSocketProtocol::CloseCodeNormal);
    const Sink sink = m_sink; // the sink may destroy this stream
    sink(event);
}

} // namespace velnor::server::cloud
