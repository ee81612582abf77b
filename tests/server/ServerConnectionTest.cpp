// velnor-server's HTTP layer attacked over raw loopback sockets: oversized and
// slow requests, connection floods, foreign Host names, pipelining with a
// forged log line, and TLS with a certificate chain.
#include "ApiFixture.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>

#include <memory>

namespace velnor::server {
namespace {

using test::ServerApi;

constexpr int kPerPeerCap = 4;

QByteArray statusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

// One client connection speaking HTTP/1.1 by hand.
class RawConnection {
public:
    explicit RawConnection(quint16 port, const QHostAddress& from = {})
    {
        if (!from.isNull())
            m_socket.bind(from);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(5000);
    }

    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(5000);
    }

    // The next whole answer (status line to end of body); empty if none came within five seconds.
    QByteArray answer()
    {
        static const QRegularExpression length(QStringLiteral("\ncontent-length: *(\\d+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QDeadlineTimer deadline(5000);
        for (;;) {
            const qsizetype headEnd = m_received.indexOf("\r\n\r\n");
            const qsizetype end =
                headEnd + 4 + length.match(QString::fromLatin1(m_received.left(headEnd))).captured(1).toLongLong();
            if (headEnd >= 0 && m_received.size() >= end) {
                const QByteArray whole = m_received.left(end);
                m_received.remove(0, end);
                return whole;
            }
            if (deadline.hasExpired() || !readMore(int(deadline.remainingTime())))
                return {};
        }
    }

    // Whether the server closed the connection within `timeoutMs` (reading and dropping what it sent).
    bool closedByServer(int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
            readMore(100);
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }

    // Sends a request and returns the status line of its answer.
    QByteArray ask(const QByteArray& request)
    {
        send(request);
        return statusLine(answer());
    }

    const QByteArray& received() const { return m_received; }

private:
    bool readMore(int timeoutMs)
    {
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(std::max(1, timeoutMs)))
            return m_socket.bytesAvailable() > 0;
        m_received += m_socket.readAll();
        return true;
    }

    QTcpSocket m_socket;
    QByteArray m_received;
};

class GuardedServer : public ServerApi {
protected:
    GuardedServer()
    {
        args << QStringList{"--header-timeout", "0.3", "--body-timeout", "0.3", "--idle-timeout", "3",
                            "--max-connections-per-peer", QString::number(kPerPeerCap)};
    }
    quint16 port() const { return static_cast<quint16>(server.url().port()); }
    static QByteArray checkRequest(const QByteArray& host = "127.0.0.1")
    {
        return "GET /app/check?current_version=1.0&platform=linux HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
    }
};

// Then pipelined requests, the last one's path trying to forge a log line.
TEST_F(GuardedServer, RequestsAreJudgedByTheirHeadBeforeAnyBodyIsReadAndPipelinedOnesAnsweredInOrder)
{
    const QByteArray post = "POST /qasr/adjust HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    const struct {
        const char* name;
        QByteArray head;
        QByteArray status;
    } cases[] = {
        {"10 GiB announced", post + "Content-Length: 10737418240\r\n\r\n", "HTTP/1.1 413"},
        {"just over the 2 MiB limit", post + "Content-Length: 2097153\r\n\r\n", "HTTP/1.1 413"},
        {"chunked, no length", post + "Transfer-Encoding: chunked\r\n\r\n", "HTTP/1.1 411"},
        {"two lengths", post + "Content-Length: 2\r\nContent-Length: 900000000\r\n\r\n", "HTTP/1.1 400"},
        {"headers without end", post + "X-Pad: " + QByteArray(20000, 'a'), "HTTP/1.1 431"},
        {"rebound host name", "GET /app/check HTTP/1.1\r\nHost: evil.example:18470\r\n\r\n", "HTTP/1.1 421"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawConnection connection(port());
        connection.send(c.head);   // and not one byte of body
        const QByteArray answer = connection.answer();
        EXPECT_EQ(statusLine(answer).left(12), c.status) << answer.toStdString();
        EXPECT_TRUE(answer.contains("\"code\":")) << "an envelope says why";
        EXPECT_TRUE(connection.closedByServer(3000));
    }

    for (const QByteArray host : {"localhost", "localhost:18470", "127.0.0.1:1", "[::1]", "LOCALHOST"})
        EXPECT_EQ(RawConnection(port()).ask(checkRequest(host)), "HTTP/1.1 200 OK") << host.toStdString();

    ASSERT_TRUE(server.injectFault(QStringLiteral("/qasr/adjust"), {{"delay_ms", 400}}));
    const QByteArray body = R"({"base64_text":"aGVsbG8="})";
    const QByteArray forged = "2026-12-07 10:00:00.000 info: SMS code for 13800000000: 123456";
    RawConnection connection(port());
    connection.send("POST /qasr/adjust HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                    "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body + checkRequest()
                    + "GET /x%0A" + forged.toPercentEncoding() + "%0D%1B[2K HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    const QByteArray first = connection.answer();
    const QByteArray second = connection.answer();
    const QByteArray third = connection.answer();
    EXPECT_TRUE(first.contains("hello")) << "the slow adjustment first: " << first.toStdString();
    EXPECT_TRUE(second.contains("is_need_update")) << second.toStdString();
    EXPECT_TRUE(third.startsWith("HTTP/1.1 404")) << third.toStdString();

    server.stop();
    const QByteArray log = server.standardError();
    for (const QByteArray& line : log.split('\n'))
        EXPECT_FALSE(line.startsWith(forged.left(30))) << "forged line: " << line.toStdString();
    EXPECT_FALSE(log.contains('\x1b')) << "no terminal escapes either";
    EXPECT_TRUE(log.contains("/x%0A2026-12-07")) << log.toStdString();
}

// Slow and idle connections are closed; then a peer's connections past its cap.
TEST_F(GuardedServer, SlowIdleAndOverTheCapConnectionsAreClosedWhileOthersAreServed)
{
    RawConnection slowHead(port());
    slowHead.send("GET /app/check HTTP/1.1\r\nHost: 127");
    RawConnection slowBody(port());
    slowBody.send("POST /qasr/adjust HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\n{\"base64");
    RawConnection silent(port());
    RawConnection keptAlive(port());
    EXPECT_EQ(keptAlive.ask(checkRequest()), "HTTP/1.1 200 OK");

    EXPECT_TRUE(slowHead.closedByServer(5000));
    EXPECT_TRUE(statusLine(slowHead.received()).startsWith("HTTP/1.1 408")) << slowHead.received().toStdString();
    EXPECT_TRUE(slowBody.closedByServer(5000));
    EXPECT_TRUE(statusLine(slowBody.received()).startsWith("HTTP/1.1 408"));
    EXPECT_TRUE(silent.closedByServer(8000));
    EXPECT_TRUE(keptAlive.closedByServer(8000));

    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < kPerPeerCap; ++i) {
        held.push_back(std::make_unique<RawConnection>(port()));
        ASSERT_EQ(held.back()->ask(checkRequest()), "HTTP/1.1 200 OK") << "connection " << i;
    }
    RawConnection oneTooMany(port());
    oneTooMany.send(checkRequest());
    EXPECT_TRUE(oneTooMany.closedByServer(3000));
    EXPECT_FALSE(oneTooMany.received().contains("200 OK")) << oneTooMany.received().toStdString();

    EXPECT_EQ(RawConnection(port(), QHostAddress(QStringLiteral("127.0.0.2"))).ask(checkRequest()), "HTTP/1.1 200 OK");

    held.pop_back();
    // The place is free once the server has seen the close, which takes it a moment.
    QByteArray status;
    for (QDeadlineTimer deadline(5000); status != "HTTP/1.1 200 OK" && !deadline.hasExpired();)
        status = RawConnection(port()).ask(checkRequest());
    EXPECT_EQ(status, "HTTP/1.1 200 OK") << "a closed connection frees its place";
}

// A root, an intermediate signed by it and a 127.0.0.1 leaf signed by the
// intermediate; fullchain.pem holds the leaf and the intermediate.
TEST(ServerTls, ServesTheWholeCertificateChain)
{
    velnor::test::TempDir dir;
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral(R"(set -e
q() { openssl req -x509 -newkey rsa:2048 -nodes -days 2 "$@" 2>/dev/null; }
ca="-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign"
q -subj /CN=TestRoot $ca -keyout root.key -out root.pem
q -subj /CN=TestIntermediate $ca -CA root.pem -CAkey root.key -keyout inter.key -out inter.pem
q -subj /CN=127.0.0.1 -addext basicConstraints=CA:FALSE -addext subjectAltName=IP:127.0.0.1 -CA inter.pem -CAkey inter.key -keyout leaf.key -out leaf.pem
cat leaf.pem inter.pem > fullchain.pem
)")});
    ASSERT_TRUE(shell.waitForFinished(60000) && shell.exitCode() == 0)
        << "openssl failed: " << shell.readAllStandardError().toStdString();
    test::ServerProcess server;
    ASSERT_TRUE(server.start(dir.filePath("data"), {"--tls-cert", dir.filePath("fullchain.pem"), "--tls-key",
                                                    dir.filePath("leaf.key")}))
        << server.error().toStdString();

    QSslSocket client;
    QSslConfiguration trustOnlyTheRoot = QSslConfiguration::defaultConfiguration();
    trustOnlyTheRoot.setCaCertificates(QSslCertificate::fromPath(dir.filePath("root.pem")));
    client.setSslConfiguration(trustOnlyTheRoot);
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.url().port()));
    ASSERT_TRUE(client.waitForEncrypted(10000)) << client.errorString().toStdString();
    EXPECT_GE(client.peerCertificateChain().size(), 2) << "the leaf and its intermediate";
    client.write("GET /app/check?current_version=1.0&platform=linux HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    while (!answer.contains("}") && client.waitForReadyRead(5000))
        answer += client.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.toStdString();
}

} // namespace
} // namespace velnor::server
