#include "recognition/openai/OpenAiTranscriber.h"

#include "recognition/openai/TranscriptionRequest.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <memory>

namespace velnor::server {

namespace {

// How often a running request looks whether it was cancelled.
constexpr int kCancelPollMs = 100;
constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 24 * 3600 * 1000));
}

} // namespace

QUrl OpenAiSettings::transcriptionsUrl() const
{
    QUrl url = baseUrl;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/audio/transcriptions"));
    return url;
}

OpenAiTranscriber::OpenAiTranscriber(OpenAiSettings settings, int maxConcurrent)
    : m_settings(std::move(settings))
    , m_slots(std::max(1, maxConcurrent))
{
}

FileRecognition OpenAiTranscriber::recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                                             std::chrono::steady_clock::time_point deadline)
{
    const std::atomic<bool> never{false};
    return transcribe(samples, context, deadline, never);
}

FileRecognition OpenAiTranscriber::transcribe(std::span<const std::int16_t> samples, const RecognitionContext& context,
                                              std::chrono::steady_clock::time_point deadline,
                                              const std::atomic<bool>& cancelled)
{
    if (!m_slots.tryAcquire(1, millisecondsUntil(deadline)))
        return FileRecognition::failed(QStringLiteral("no request slot became free before the deadline"));
    const QSemaphoreReleaser slot(m_slots);
    const QByteArray boundary = "velnor-" + QUuid::createUuid().toByteArray(QUuid::Id128);
    const TranscriptionRequest request = TranscriptionRequest::build(samples, m_settings.model, context, boundary);
    return post(request.contentType, request.body, deadline, cancelled);
}

FileRecognition OpenAiTranscriber::post(const QByteArray& contentType, const QByteArray& body,
                                        std::chrono::steady_clock::time_point deadline,
                                        const std::atomic<bool>& cancelled)
{
    const QUrl url = m_settings.transcriptionsUrl();
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    if (!m_settings.apiKey.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + m_settings.apiKey);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(network.post(request, body));

    QEventLoop loop;
    bool timedOut = false;
    QTimer deadlineTimer;
    deadlineTimer.setSingleShot(true);
    QObject::connect(&deadlineTimer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QTimer cancelPoll;
    QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
        if (cancelled.load())
            reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
        if (received > kMaxAnswerBytes)
            reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadlineTimer.start(millisecondsUntil(deadline));
    cancelPoll.start(kCancelPollMs);
    if (!reply->isFinished())
        loop.exec();

    const QString where = url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery);
    if (timedOut)
        return FileRecognition::failed(QStringLiteral("%1 did not answer before the deadline").arg(where));
    if (cancelled.load())
        return FileRecognition::failed(QStringLiteral("cancelled"));
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        return FileRecognition::failed(QStringLiteral("cannot reach %1: %2").arg(where, withoutKey(reply->errorString())));
    FileRecognition answer = parseTranscriptionAnswer(status, reply->read(kMaxAnswerBytes));
    answer.error = withoutKey(answer.error);
    return answer;
}

QString OpenAiTranscriber::withoutKey(QString text) const
{
    if (!m_settings.apiKey.isEmpty())
        text.replace(QString::fromUtf8(m_settings.apiKey), QStringLiteral("***"));
    return text;
}

} // namespace velnor::server
