#include "recognition/cloud/BlockingHttp.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace velnor::server::cloud {

QString hostHeaderOf(const QUrl& url)
{
    const int defaultPort = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("wss") ? 443 : 80;
    const int port = url.port(defaultPort);
    return port == defaultPort ? url.host() : url.host() + QLatin1Char(':') + QString::number(port);
}

HttpAnswer postAndWait(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& body,
                       std::chrono::steady_clock::time_point deadline, qint64 maxAnswerBytes)
{
    using namespace std::chrono;
    HttpAnswer answer;
    const auto remaining = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (remaining <= 0) {
        answer.error = QStringLiteral("deadline passed before the call");
        return answer;
    }

    QNetworkAccessManager network;
    network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    QNetworkRequest request(url);
    for (const auto& [name, value] : headers) {
        // Qt writes Host from the URL itself (the same text the call was signed with).
        if (name.compare("Host", Qt::CaseInsensitive) != 0)
            request.setRawHeader(name, value);
    }
    request.setTransferTimeout(int(remaining));
    const std::unique_ptr<QNetworkReply> reply(network.post(request, body));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    bool tooLong = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        if (reply->bytesAvailable() + answer.body.size() > maxAnswerBytes) {
            tooLong = true;
            reply->abort();
            return;
        }
        answer.body += reply->readAll();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(int(remaining));
    if (!reply->isFinished())
        loop.exec();
    timer.stop();

    if (timedOut) {
        answer.error = QStringLiteral("no answer before the deadline");
        answer.body.clear();
        return answer;
    }
    if (tooLong) {
        answer.error = QStringLiteral("answer longer than %1 bytes").arg(maxAnswerBytes);
        answer.body.clear();
        return answer;
    }
    answer.body += reply->readAll();
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.status == 0)
        answer.error = reply->errorString();
    return answer;
}

} // namespace velnor::server::cloud
