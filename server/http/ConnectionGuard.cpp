#include "http/ConnectionGuard.h"

#include "http/Envelope.h"

#include <QAbstractHttpServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace velnor::server {

namespace {

// How long a refused client may go on sending before its connection is cut.
constexpr HttpLimits::Duration kLinger{2000};

const char* reasonPhrase(int httpStatus)
{
    switch (httpStatus) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 421: return "Misdirected Request";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    default: return "Service Unavailable";
    }
}

QHostAddress peerOf(qintptr descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(static_cast<int>(descriptor), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr*>(&address));
}

} // namespace

QByteArray closingAnswer(int httpStatus, const QByteArray& message)
{
    const QByteArray body = Envelope::failure(httpStatus, QString::fromUtf8(message)).body;
    return "HTTP/1.1 " + QByteArray::number(httpStatus) + ' ' + reasonPhrase(httpStatus)
        + "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
}

ConnectionCount::Admission ConnectionCount::check(const HttpLimits& limits, const QHostAddress& peer) const
{
    if (m_total >= limits.maxConnections)
        return Admission::ServerFull;
    if (m_perPeer.value(peer) >= limits.maxConnectionsPerPeer)
        return Admission::PeerFull;
    return Admission::Admitted;
}

void ConnectionCount::add(const QHostAddress& peer)
{
    ++m_total;
    ++m_perPeer[peer];
}

void ConnectionCount::remove(const QHostAddress& peer)
{
    --m_total;
    const auto it = m_perPeer.find(peer);
    if (it != m_perPeer.end() && --it.value() <= 0)
        m_perPeer.erase(it);
}

ConnectionGuard::ConnectionGuard(QTcpSocket& socket, std::shared_ptr<GuardedConnections> shared)
    : QObject(&socket)
    , m_socket(socket)
    , m_shared(std::move(shared))
    , m_peer(socket.peerAddress())
    , m_framing(m_shared->limits)
{
    m_shared->count.add(m_peer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ConnectionGuard::onTimeout);
    connect(&m_socket, &QIODevice::readyRead, this, &ConnectionGuard::onReadyRead);
    connect(&m_socket, &QIODevice::bytesWritten, this, &ConnectionGuard::onBytesWritten);
    arm(m_shared->limits.idleTimeout);
}

ConnectionGuard::~ConnectionGuard()
{
    m_shared->count.remove(m_peer);
}

void ConnectionGuard::onReadyRead()
{
    using State = RequestFraming::State;
    const State before = m_framing.state();
    if (before == State::Upgraded || before == State::Refused)
        return;
    if (m_answering) {
        holdNextRequest();
        return;
    }
    m_framing.feed(m_socket.peek(m_socket.bytesAvailable()));
    const State after = m_framing.state();
    switch (after) {
    case State::Idle:
        break;
    case State::Head:
        if (before != State::Head)
            arm(m_shared->limits.headerTimeout);
        break;
    case State::Body:
        if (before != State::Body)
            arm(m_shared->limits.bodyTimeout);
        break;
    case State::Complete:
        m_timer.stop();
        m_answering = true;   // the parser takes this request in the same signal
        break;
    case State::Upgraded:
        m_timer.stop();       // the WebSocket endpoint owns the connection from here
        break;
    case State::Refused:
        refuse(m_framing.refusal().httpStatus, m_framing.refusal().message);
        break;
    }
}

void ConnectionGuard::holdNextRequest()
{
    // The parser reads inside a transaction of its own only while it parses a
    // request; between requests this transaction hides the unread bytes from it.
    if (!m_holding) {
        m_socket.startTransaction();
        m_socket.setReadBufferSize(m_shared->limits.maxHeadBytes);   // no unbounded pipelined backlog
        m_holding = true;
    }
    (void)m_socket.read(m_socket.bytesAvailable());   // read() keeps to the transaction
}

void ConnectionGuard::releaseNextRequest()
{
    m_answering = false;
    if (m_holding) {
        m_socket.rollbackTransaction();
        m_socket.setReadBufferSize(0);
        m_holding = false;
    }
    arm(m_shared->limits.idleTimeout);
    if (m_socket.bytesAvailable() > 0)
        QMetaObject::invokeMethod(&m_socket, &QIODevice::readyRead, Qt::QueuedConnection);
}

void ConnectionGuard::onBytesWritten()
{
    if (m_lingering) {
        finishLingeringAnswer();
        return;
    }
    if (!m_answering)
        return;
    if (m_socket.bytesToWrite() == 0)
        releaseNextRequest();
    else
        arm(m_shared->limits.idleTimeout);   // a client that stops reading its answer is let go
}

void ConnectionGuard::onTimeout()
{
    const RequestFraming::State state = m_framing.state();
    const bool midRequest = state == RequestFraming::State::Head || state == RequestFraming::State::Body;
    if (midRequest && !m_lingering)
        refuse(408, "the request did not arrive in time");
    else
        m_socket.abort();   // idle, not reading its answer, or refused and still sending
}

void ConnectionGuard::refuse(int httpStatus, const QByteArray& message)
{
    // The HTTP server's parser sees nothing more of this connection.
    QObject::disconnect(&m_socket, &QIODevice::readyRead, nullptr, nullptr);
    if (m_socket.isTransactionStarted())
        m_socket.commitTransaction();
    qInfo("connection from %s refused: HTTP %d, %s", qPrintable(m_peer.toString()), httpStatus, message.constData());
    m_socket.write(closingAnswer(httpStatus, message));
    m_socket.flush();
    // Closing while the client still sends would reset the connection and lose
    // the answer: stop sending, then drop what still arrives for a while.
    m_lingering = true;
    connect(&m_socket, &QIODevice::readyRead, this, [this] { m_socket.skip(m_socket.bytesAvailable()); });
    m_socket.skip(m_socket.bytesAvailable());
    finishLingeringAnswer();
    arm(kLinger);
}

void ConnectionGuard::finishLingeringAnswer()
{
    if (m_socket.bytesToWrite() > 0)
        return;
    if (qobject_cast<QSslSocket*>(&m_socket))
        m_socket.disconnectFromHost();
    else
        ::shutdown(static_cast<int>(m_socket.socketDescriptor()), SHUT_WR);
}

void ConnectionGuard::arm(HttpLimits::Duration timeout)
{
    m_timer.start(timeout);
}

ConnectionGate::ConnectionGate(const HttpLimits& limits)
    : m_shared(std::make_shared<GuardedConnections>(GuardedConnections{limits, {}}))
{
}

bool ConnectionGate::admit(qintptr descriptor, bool plainHttp)
{
    const QHostAddress peer = peerOf(descriptor);
    const ConnectionCount::Admission admission = m_shared->count.check(m_shared->limits, peer);
    if (admission == ConnectionCount::Admission::Admitted)
        return true;
    const bool peerFull = admission == ConnectionCount::Admission::PeerFull;
    qWarning("connection from %s refused: %s", qPrintable(peer.toString()),
             peerFull ? "too many connections from this address" : "too many open connections");
    if (plainHttp) {
        const QByteArray answer = peerFull ? closingAnswer(429, "too many connections from your address")
                                           : closingAnswer(503, "the server has too many open connections");
        (void)::send(static_cast<int>(descriptor), answer.constData(), static_cast<size_t>(answer.size()),
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    ::close(static_cast<int>(descriptor));
    return false;
}

QTcpSocket* ConnectionGate::guarded(QTcpSocket* socket)
{
    if (socket)
        new ConnectionGuard(*socket, m_shared);
    return socket;
}

quint16 listenGuarded(QAbstractHttpServer& http, QTcpServer* server, const QHostAddress& address, quint16 port)
{
    if (!server->listen(address, port)) {
        delete server;
        return 0;
    }
    http.bind(server);   // takes ownership
    return server->serverPort();
}

} // namespace velnor::server
