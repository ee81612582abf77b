#include "RealtimeServerFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>

namespace velnor::test {

QString serverExecutable()
{
    const QString env = qEnvironmentVariable("VELNOR_SERVER_BIN");
    if (!env.isEmpty())
        return env;
    return QStringLiteral(VELNOR_BINARY_DIR "/server/velnor-server");
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QString RealtimeServer::start(const QString& dataDir, const QString& tlsCert, const QString& tlsKey)
{
    if (!QFileInfo::exists(serverExecutable()))
        return QStringLiteral("velnor-server not built at ") + serverExecutable();
    m_tls = !tlsCert.isEmpty();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(dataDir + QStringLiteral("/server.log"));
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"),         QStringLiteral("--test-controls"),
                     QStringLiteral("--data-dir"), dataDir,                 QStringLiteral("--asr-app-id"),
                     QLatin1String(appId),         QStringLiteral("--asr-secret-id"), QLatin1String(secretId),
                     QStringLiteral("--asr-secret-key-file"), dataDir + QStringLiteral("/asr.key")};
    // The key travels in a file, not on the command line (which any local user can read).
    QFile keyFile(dataDir + QStringLiteral("/asr.key"));
    if (!keyFile.open(QIODevice::WriteOnly) || keyFile.write(QByteArray(secretKey) + '\n') < 0)
        return QStringLiteral("cannot write the key file");
    keyFile.close();
    if (m_tls)
        args << QStringLiteral("--tls-cert") << tlsCert << QStringLiteral("--tls-key") << tlsKey;
    m_process->start(serverExecutable(), args);
    if (!m_process->waitForStarted(10000))
        return QStringLiteral("velnor-server did not start: ") + m_process->errorString();
    QByteArray output;
    static const QRegularExpression ready(QStringLiteral("velnor-server listening on https?://127\\.0\\.0\\.1:(\\d+)"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        if (!m_process->waitForReadyRead(500) && m_process->state() != QProcess::Running)
            break;
        output += m_process->readAllStandardOutput();
        const auto match = ready.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = quint16(match.captured(1).toUInt());
            return {};
        }
    }
    QFile log(dataDir + QStringLiteral("/server.log"));
    log.open(QIODevice::ReadOnly);
    return QStringLiteral("velnor-server did not become ready: ") + QString::fromUtf8(output + log.readAll());
}

RealtimeServer::~RealtimeServer()
{
    if (m_process && m_process->state() == QProcess::Running) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000))
            m_process->kill();
        m_process->waitForFinished(2000);
    }
}

QJsonObject RealtimeServer::request(const QString& method, const QString& path, const QByteArray& body)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(m_tls ? "https" : "http").arg(m_port).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (m_tls) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        QFile ca(m_caFile);
        if (ca.open(QIODevice::ReadOnly))
            ssl.addCaCertificates(QSslCertificate::fromData(ca.readAll()));
        request.setSslConfiguration(ssl);
    }
    QNetworkReply* reply = method == QLatin1String("GET") ? manager.get(request) : manager.post(request, body);
    waitFor([reply] { return reply->isFinished(); }, 10000);
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer;
}

QJsonObject RealtimeServer::post(const QString& path, const QJsonObject& body)
{
    return request(QStringLiteral("POST"), path, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

QJsonArray RealtimeServer::connections()
{
    return request(QStringLiteral("GET"), QStringLiteral("/__test/realtime/connections"), {})
        .value(QStringLiteral("data"))
        .toArray();
}

QString makeSelfSignedCertificate(const QString& dir)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"), QStringLiteral("-keyout"),
                   dir + QStringLiteral("/key.pem"), QStringLiteral("-out"), dir + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return QStringLiteral("openssl failed: ") + QString::fromUtf8(openssl.readAllStandardError());
    return {};
}

QString synthesizeSpeech(const QString& text, const QString& wavPath)
{
    QProcess espeak;
    espeak.start(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en-us"), QStringLiteral("-s"),
                                               QStringLiteral("140"), QStringLiteral("-w"), wavPath, text});
    if (!espeak.waitForFinished(60000) || espeak.exitCode() != 0)
        return QStringLiteral("espeak-ng failed: ") + espeak.errorString()
            + QString::fromUtf8(espeak.readAllStandardError());
    return {};
}

} // namespace velnor::test
