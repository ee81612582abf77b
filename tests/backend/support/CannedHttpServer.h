#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

namespace velnor::test {

// A tiny HTTP peer on 127.0.0.1 that reads one request per connection and
// then answers canned bytes, or stays silent while it has none.
class CannedHttpServer final : public QObject {
public:
    CannedHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
            }
        });
    }

    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

    // Announcing `announcedLength` body bytes (when more than sent) cuts the
    // connection mid-body.
    void setAnswer(int status, const QByteArray& body, qsizetype announcedLength = -1)
    {
        m_answer = "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\nContent-Length: "
            + QByteArray::number(std::max(announcedLength, body.size())) + "\r\nConnection: close\r\n\r\n" + body;
    }

    void setRedirect(const QString& location)
    {
        m_answer = "HTTP/1.1 302 Found\r\nLocation: " + location.toUtf8() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    // Whole requests received so far (head and body).
    const QList<QByteArray>& requests() const { return m_requests; }

private:
    void onData(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : buffer.left(headEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < headEnd + 4 + length)
            return;
        m_requests.append(buffer);
        buffer.clear();
        if (!m_answer.isEmpty()) {
            socket->write(m_answer);
            socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QByteArray m_answer;
    QList<QByteArray> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace velnor::test
