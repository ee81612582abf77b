#include "support/ServerProcess.h"

#include "support/ChildProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace velnor::test {
namespace {

// Runs the event loop until `reply` finished; it is aborted after `timeoutMs`.
void awaitReply(QNetworkReply* reply, int timeoutMs)
{
    if (reply->isFinished())
        return;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, [reply] { reply->abort(); });
    loop.exec();
}

bool answeredOk(const QJsonObject& answer)
{
    return answer.value(QStringLiteral("code")).toInt(-1) == 0;
}

RawHttp::Headers jsonHeaders(const QString& token)
{
    RawHttp::Headers headers{{"Content-Type", "application/json"}};
    if (!token.isEmpty())
        headers.append({"Authorization", "Bearer " + token.toUtf8()});
    return headers;
}

} // namespace

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(const QString& dataDir, const QStringList& extraArgs, bool testControls)
{
    stop();
    m_process = std::make_unique<QProcess>();
    const QString binary = qEnvironmentVariable("VELNOR_SERVER_BIN");
    m_process->setProgram(binary.isEmpty() ? QStringLiteral(VELNOR_BINARY_DIR "/server/velnor-server") : binary);
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data-dir"), dataDir};
    if (testControls)
        arguments << QStringLiteral("--test-controls");
    m_process->setArguments(arguments + extraArgs);
    if (!m_stderr.isOpen())
        m_stderr.open();
    m_process->setStandardErrorFile(m_stderr.fileName(), QIODevice::Append);
    m_process->start();
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start velnor-server: ") + m_process->errorString();
        return false;
    }
    QByteArray output;
    QElapsedTimer timer;
    timer.start();
    while (!output.contains('\n') && timer.elapsed() < 30000) {
        if (!m_process->waitForReadyRead(1000) && m_process->state() != QProcess::Running)
            break;
        output += m_process->readAllStandardOutput();
    }
    const QByteArray prefix = "velnor-server listening on ";
    const QByteArray line = output.left(output.indexOf('\n'));
    if (!line.startsWith(prefix)) {
        m_error = QStringLiteral("no listening line; stdout: %1; stderr: %2")
                      .arg(QString::fromUtf8(output), QString::fromUtf8(standardError()));
        return false;
    }
    m_base = QString::fromUtf8(line.mid(prefix.size()).trimmed());
    return true;
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    m_stoppedCleanly = endAsLogoutWould(*m_process);
    m_process.reset();
}

QUrl ServerProcess::url(const QString& path) const
{
    return QUrl(m_base + path);
}

QByteArray ServerProcess::standardError()
{
    QFile file(m_stderr.fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject ServerProcess::control(const QByteArray& method, const QString& pathAndQuery, const QJsonObject& body)
{
    RawHttp http;
    const QUrl target = url(pathAndQuery);
    return (method == "GET" ? http.get(target) : http.json(method, target, body)).json;
}

QString ServerProcess::smsCode(const QString& phone)
{
    const QJsonObject answer = control("GET", QStringLiteral("/__test/sms-code?phone=") + phone);
    return answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("code")).toString();
}

bool ServerProcess::injectFault(const QString& path, QJsonObject fault, int count)
{
    fault.insert(QStringLiteral("path"), path);
    fault.insert(QStringLiteral("count"), count);
    return answeredOk(control("POST", QStringLiteral("/__test/fault"), fault));
}

bool ServerProcess::scriptRecognizer(const QStringList& texts)
{
    const QJsonObject body{{QStringLiteral("texts"), QJsonArray::fromStringList(texts)}};
    return answeredOk(control("POST", QStringLiteral("/__test/recognizer-script"), body));
}

QJsonArray ServerProcess::realtimeConnections()
{
    return control("GET", QStringLiteral("/__test/realtime/connections")).value(QStringLiteral("data")).toArray();
}

HttpResult RawHttp::send(const QByteArray& method, const QUrl& url, const QByteArray& body, const Headers& headers,
                         int timeoutMs)
{
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply* reply = m_network.sendCustomRequest(request, method, body);
    // Test servers use a self-signed certificate made on the spot.
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
    awaitReply(reply, timeoutMs);
    HttpResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    result.body = reply->readAll();
    result.json = QJsonDocument::fromJson(result.body).object();
    reply->deleteLater();
    return result;
}

HttpResult RawHttp::json(const QByteArray& method, const QUrl& url, const QJsonObject& body, const QString& token)
{
    return send(method, url, QJsonDocument(body).toJson(QJsonDocument::Compact), jsonHeaders(token));
}

HttpResult RawHttp::get(const QUrl& url, const QString& token)
{
    return send("GET", url, {}, jsonHeaders(token));
}

QByteArray waitForReply(QNetworkReply* reply)
{
    awaitReply(reply, 60000);
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

MultipartBody::MultipartBody(QByteArray boundary)
    : m_boundary(std::move(boundary))
{
}

MultipartBody& MultipartBody::field(const QByteArray& name, const QByteArray& value)
{
    m_body += "--" + m_boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    return *this;
}

MultipartBody& MultipartBody::file(const QByteArray& name, const QByteArray& fileName, const QByteArray& type,
                                   const QByteArray& data)
{
    m_body += "--" + m_boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName
        + "\"\r\nContent-Type: " + type + "\r\n\r\n" + data + "\r\n";
    return *this;
}

QByteArray MultipartBody::finish() const
{
    return m_body + "--" + m_boundary + "--\r\n";
}

QByteArray MultipartBody::contentType() const
{
    return "multipart/form-data; boundary=" + m_boundary;
}

QString makeSelfSignedCertificate(const QString& dir)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                              "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                                              "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAllStandardError());
    return {};
}

} // namespace velnor::test
