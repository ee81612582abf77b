#pragma once

#include "http/HttpLimits.h"
#include "http/RequestFraming.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <memory>

class QAbstractHttpServer;
class QTcpServer;
class QTcpSocket;

namespace velnor::server {

// Open connections, in all and per peer address (all on the server's thread).
class ConnectionCount final {
public:
    enum class Admission { Admitted, PeerFull, ServerFull };

    Admission check(const HttpLimits& limits, const QHostAddress& peer) const;
    void add(const QHostAddress& peer);
    void remove(const QHostAddress& peer);

private:
    QHash<QHostAddress, int> m_perPeer;
    int m_total = 0;
};

// What the guards of one listening server share; outlives the server while sockets remain.
struct GuardedConnections {
    HttpLimits limits;
    ConnectionCount count;
};

// Watches one HTTP connection ahead of the HTTP server's parser (it is
// connected first, and lives as the socket's child): refuses a request by its
// head (too large, chunked, foreign Host) before the body is read, closes
// connections whose request head or body comes too slowly or that sit idle, and
// keeps the parser off the next pipelined request until the current answer is
// sent, so answers leave in request order.
class ConnectionGuard final : public QObject {
public:
    ConnectionGuard(QTcpSocket& socket, std::shared_ptr<GuardedConnections> shared);
    ~ConnectionGuard() override;

private:
    void onReadyRead();
    void onBytesWritten();
    void onTimeout();
    void holdNextRequest();
    void releaseNextRequest();
    void refuse(int httpStatus, const QByteArray& message);
    void finishLingeringAnswer();
    void arm(HttpLimits::Duration timeout);

    QTcpSocket& m_socket;
    std::shared_ptr<GuardedConnections> m_shared;
    QHostAddress m_peer;
    RequestFraming m_framing;
    QTimer m_timer;
    bool m_answering = false;   // a whole request went to the parser; its answer is not sent yet
    bool m_holding = false;     // the next request's bytes are hidden from the parser
    bool m_lingering = false;   // refused: the answer is out, what still arrives is dropped
};

// Admits and guards the connections of one listening server.
class ConnectionGate final {
public:
    explicit ConnectionGate(const HttpLimits& limits);

    // Whether a just-accepted descriptor may be served; if not it is answered
    // (plain HTTP only) and closed.
    bool admit(qintptr descriptor, bool plainHttp);
    // Guards `socket` (none passes through) before the HTTP server connects to it.
    QTcpSocket* guarded(QTcpSocket* socket);

private:
    std::shared_ptr<GuardedConnections> m_shared;
};

// Makes `server` (a new, unparented, guarded server) listen and serve `http`;
// 0 (and `server` deleted) when the address cannot be bound.
quint16 listenGuarded(QAbstractHttpServer& http, QTcpServer* server, const QHostAddress& address, quint16 port);

// A complete HTTP answer with an envelope body that closes the connection.
QByteArray closingAnswer(int httpStatus, const QByteArray& message);

} // namespace velnor::server
