#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QUrl>

#include <memory>

namespace velnor::test {

// A real velnor-server process on a free loopback port.
class ServerProcess final {
public:
    ServerProcess();
    ~ServerProcess();

    // Starts the binary ($VELNOR_SERVER_BIN when set) with `--port 0 --data-dir dataDir`
    // (and `--test-controls` unless told otherwise) plus `extraArgs`, and waits for its
    // "listening" line. False (see error()) when it does not come up.
    bool start(const QString& dataDir, const QStringList& extraArgs = {}, bool testControls = true);
    // Ends the process (SIGTERM, then kill) and waits for it.
    void stop();
    // Whether the last stop() saw the process exit with status 0 on its own after SIGTERM.
    bool stoppedCleanly() const { return m_stoppedCleanly; }

    QUrl url(const QString& path = {}) const;
    // The running server's process id (0 when none), e.g. to read its /proc entries.
    qint64 processId() const { return m_process ? m_process->processId() : 0; }
    QString error() const { return m_error; }
    // Everything the process wrote to stderr so far (kept in a file, so a busy
    // server never waits on a full pipe).
    QByteArray standardError();

    // A test-control call ("/__test/..."); the answer's JSON object, empty on failure.
    QJsonObject control(const QByteArray& method, const QString& pathAndQuery, const QJsonObject& body = {});
    // The last SMS code the server issued for `phone`.
    QString smsCode(const QString& phone);
    // The next `count` requests to `path` get the fault described by `fault`.
    bool injectFault(const QString& path, QJsonObject fault, int count = 1);
    bool scriptRecognizer(const QStringList& texts);
    // What the server recorded of each real-time connection, oldest first.
    QJsonArray realtimeConnections();

private:
    std::unique_ptr<QProcess> m_process;
    QString m_base;
    QString m_error;
    QTemporaryFile m_stderr;
    bool m_stoppedCleanly = false;
};

// One HTTP exchange, raw: what a client of the server would see.
struct HttpResult {
    int status = 0;                 // 0 when no HTTP answer arrived
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QJsonObject json;               // the body as a JSON object, when it is one

    int code() const { return json.value(QStringLiteral("code")).toInt(-12345); }
    QJsonValue data() const { return json.value(QStringLiteral("data")); }
    QString msg() const { return json.value(QStringLiteral("msg")).toString(); }
};

class RawHttp final {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    HttpResult send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                    const Headers& headers = {}, int timeoutMs = 60000);
    HttpResult json(const QByteArray& method, const QUrl& url, const QJsonObject& body, const QString& token = {});
    HttpResult get(const QUrl& url, const QString& token = {});

private:
    QNetworkAccessManager m_network;
};

// Waits for a reply started elsewhere (several in flight at once) and returns its body.
QByteArray waitForReply(QNetworkReply* reply);

// A multipart/form-data body built by hand, byte for byte.
class MultipartBody final {
public:
    explicit MultipartBody(QByteArray boundary);

    MultipartBody& field(const QByteArray& name, const QByteArray& value);
    MultipartBody& file(const QByteArray& name, const QByteArray& fileName, const QByteArray& type, const QByteArray& data);
    QByteArray finish() const;
    QByteArray contentType() const;

private:
    QByteArray m_boundary;
    QByteArray m_body;
};

// A self-signed certificate for 127.0.0.1 made with the openssl command.
// Empty error = written to dir/cert.pem and dir/key.pem.
QString makeSelfSignedCertificate(const QString& dir);

} // namespace velnor::test
