#include "recognition/RecognizerPool.h"

#include <algorithm>

namespace velnor::server {

namespace {

// Decoded between two looks at the deadline: half a second of audio.
constexpr std::size_t kSamplesPerStep = 8000;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 24 * 3600 * 1000));
}

} // namespace

RecognizerPool::RecognizerPool(QString name, SpeechRecognizerFactory factory, int maxConcurrent)
    : m_name(std::move(name))
    , m_factory(std::move(factory))
    , m_slots(std::max(1, maxConcurrent))
{
}

RecognizerPool::~RecognizerPool() = default;

std::unique_ptr<SpeechRecognizer> RecognizerPool::takeDecoder(QString* error)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_idle.empty()) {
            std::unique_ptr<SpeechRecognizer> recognizer = std::move(m_idle.back());
            m_idle.pop_back();
            return recognizer;
        }
    }
    if (!m_factory) {
        *error = QStringLiteral("no model configured");
        return nullptr;
    }
    return m_factory(error);
}

FileRecognition RecognizerPool::recognize(std::span<const std::int16_t> samples, const RecognitionContext&,
                                          std::chrono::steady_clock::time_point deadline)
{
    if (!m_slots.tryAcquire(1, millisecondsUntil(deadline)))
        return FileRecognition::failed(QStringLiteral("no decoder became free before the deadline"));
    const QSemaphoreReleaser slot(m_slots);

    QString error;
    std::unique_ptr<SpeechRecognizer> recognizer = takeDecoder(&error);
    if (!recognizer)
        return FileRecognition::failed(error);

    recognizer->startStream();
    recognizer->startUtterance();
    bool late = false;
    for (std::size_t at = 0; at < samples.size() && !late; at += kSamplesPerStep) {
        recognizer->process(samples.subspan(at, std::min(kSamplesPerStep, samples.size() - at)));
        late = std::chrono::steady_clock::now() > deadline;
    }
    const QString text = recognizer->endUtterance();
    {
        QMutexLocker lock(&m_mutex);
        m_idle.push_back(std::move(recognizer));
    }
    if (late)
        return FileRecognition::failed(QStringLiteral("decoding ran past the deadline"));
    return FileRecognition::heard(text);
}

} // namespace velnor::server
