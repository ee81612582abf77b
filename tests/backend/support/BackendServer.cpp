#include "backend/support/BackendServer.h"

#include "backend/support/EventLoopWait.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace velnor::test {

BackendServer::~BackendServer()
{
    stop();
}

QString BackendServer::binaryPath()
{
    return QStringLiteral(VELNOR_BINARY_DIR "/server/velnor-server");
}

bool BackendServer::start(const QString& dataDir, const QStringList& extraArgs)
{
    stop();
    m_process = std::make_unique<QProcess>();
    QStringList args{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data-dir"), dataDir,
                     QStringLiteral("--test-controls")};
    args += extraArgs;
    m_process->start(binaryPath(), args);
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("velnor-server did not start: ") + m_process->errorString();
        return false;
    }
    static const QRegularExpression ready(QStringLiteral("^velnor-server listening on (https?://\\S+)\\s*$"),
                                          QRegularExpression::MultilineOption);
    QByteArray output;
    const bool up = waitUntil(
        [&] {
            output += m_process->readAllStandardOutput();
            return ready.match(QString::fromUtf8(output)).hasMatch() || m_process->state() == QProcess::NotRunning;
        },
        30000);
    const auto match = ready.match(QString::fromUtf8(output));
    if (!up || !match.hasMatch()) {
        m_error = QStringLiteral("velnor-server did not report its port; stderr: ") + QString::fromUtf8(standardError());
        return false;
    }
    m_baseUrl = QUrl(match.captured(1));
    return true;
}

void BackendServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

QByteArray BackendServer::standardError() const
{
    return m_process ? m_process->readAllStandardError() : QByteArray();
}

QJsonObject BackendServer::control(const QByteArray& method, const QString& pathAndQuery, const QJsonObject& body) const
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_baseUrl.toString() + pathAndQuery));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = method == "GET"
        ? manager.get(request)
        : manager.sendCustomRequest(request, method, QJsonDocument(body).toJson(QJsonDocument::Compact));
    waitUntil([reply] { return reply->isFinished(); }, 15000);
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer;
}

QString BackendServer::smsCode(const QString& phone) const
{
    const QJsonObject answer = control("GET", QStringLiteral("/__test/sms-code?phone=") + phone);
    return answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("code")).toString();
}

bool BackendServer::injectFault(const QString& path, QJsonObject fault, int count) const
{
    fault.insert(QStringLiteral("path"), path);
    fault.insert(QStringLiteral("count"), count);
    return control("POST", QStringLiteral("/__test/fault"), fault).value(QStringLiteral("code")).toInt(-1) == 0;
}

bool BackendServer::scriptRecognizer(const QStringList& texts) const
{
    const QJsonObject body{{QStringLiteral("texts"), QJsonArray::fromStringList(texts)}};
    return control("POST", QStringLiteral("/__test/recognizer-script"), body).value(QStringLiteral("code")).toInt(-1)
        == 0;
}

} // namespace velnor::test
