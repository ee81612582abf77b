#include "ServerProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace velnor::server::test {

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(const QString& dataDir, const QStringList& extraArgs, bool testControls)
{
    stop();
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(QStringLiteral(VELNOR_BINARY_DIR "/server/velnor-server"));
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data-dir"), dataDir};
    if (testControls)
        arguments << QStringLiteral("--test-controls");
    m_process->setArguments(arguments + extraArgs);
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
    m_stoppedCleanly = false;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (m_process->waitForFinished(10000)) {
            m_stoppedCleanly = m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
        } else {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_stderr += m_process->readAllStandardError();
    m_process.reset();
}

QUrl ServerProcess::url(const QString& path) const
{
    return QUrl(m_base + path);
}

QByteArray ServerProcess::standardError()
{
    if (m_process)
        m_stderr += m_process->readAllStandardError();
    return m_stderr;
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
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, [reply] { reply->abort(); });
    if (!reply->isFinished())
        loop.exec();
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
    Headers headers{{"Content-Type", "application/json"}};
    if (!token.isEmpty())
        headers.append({"Authorization", "Bearer " + token.toUtf8()});
    return send(method, url, QJsonDocument(body).toJson(QJsonDocument::Compact), headers);
}

HttpResult RawHttp::get(const QUrl& url, const QString& token)
{
    Headers headers{{"Content-Type", "application/json"}};
    if (!token.isEmpty())
        headers.append({"Authorization", "Bearer " + token.toUtf8()});
    return send("GET", url, {}, headers);
}

QByteArray waitForReply(QNetworkReply* reply)
{
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, [reply] { reply->abort(); });
        loop.exec();
    }
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

} // namespace velnor::server::test
