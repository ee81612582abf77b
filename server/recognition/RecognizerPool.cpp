#include "recognition/RecognizerPool.h"

namespace velnor::server {

RecognizerPool::RecognizerPool(SpeechRecognizerFactory factory, int maxConcurrent)
    : m_factory(std::move(factory))
    , m_slots(std::max(1, maxConcurrent))
{
}

RecognizerPool::~RecognizerPool() = default;

std::optional<QString> RecognizerPool::recognize(std::span<const std::int16_t> samples, QString* error)
{
    m_slots.acquire();
    const QSemaphoreReleaser slot(m_slots);

    std::unique_ptr<SpeechRecognizer> recognizer;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_idle.empty()) {
            recognizer = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!recognizer)
        recognizer = m_factory(error);
    if (!recognizer)
        return std::nullopt;

    const QString text = recognizer->recognize(samples);
    QMutexLocker lock(&m_mutex);
    m_idle.push_back(std::move(recognizer));
    return text;
}

} // namespace velnor::server
