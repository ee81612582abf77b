#include "recognition/cloud/CloudFileRecognizer.h"

#include "recognition/cloud/BlockingHttp.h"
#include "recognition/cloud/SentenceRecognition.h"
#include "recognition/cloud/Tc3Signer.h"

namespace velnor::server::cloud {

CloudFileRecognizer::CloudFileRecognizer(CloudSettings settings, std::function<qint64()> nowSeconds)
    : m_settings(std::move(settings))
    , m_nowSeconds(std::move(nowSeconds))
    , m_turns(m_settings.maxRequests)
{
}

FileRecognition CloudFileRecognizer::recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                                               std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    if (samples.empty())
        return FileRecognition::heard(QString()); // nothing was said; nothing is sent
    if (samples.size() > SentenceRecognition::kMaxSamples)
        return FileRecognition::failed(QStringLiteral("cloud recogniser: the recording is longer than 60 s"));
    const auto wait = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    if (wait <= 0 || !m_turns.tryAcquire(1, int(wait)))
        return FileRecognition::failed(QStringLiteral("cloud recogniser: no free connection before the deadline"));
    FileRecognition result = call(samples, context, deadline);
    m_turns.release();
    return result;
}

FileRecognition CloudFileRecognizer::call(std::span<const std::int16_t> samples, const RecognitionContext& context,
                                          std::chrono::steady_clock::time_point deadline)
{
    Tc3Call request;
    request.host = hostHeaderOf(m_settings.apiUrl);
    request.service = QLatin1String(SentenceRecognition::kService);
    request.action = QLatin1String(SentenceRecognition::kAction);
    request.version = QLatin1String(SentenceRecognition::kVersion);
    request.region = m_settings.region;
    request.timestamp = m_nowSeconds();
    request.payload = SentenceRecognition::requestBody(samples, context);

    const HttpAnswer answer =
        postAndWait(m_settings.apiUrl, Tc3Signer::headers(m_settings.secretId, m_settings.secretKey, request),
                    request.payload, deadline, kMaxAnswerBytes);
    if (answer.status == 0)
        return FileRecognition::failed(QStringLiteral("cloud recogniser: ") + answer.error);
    return SentenceRecognition::readAnswer(answer.status, answer.body);
}

} // namespace velnor::server::cloud
