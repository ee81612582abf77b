#include "recognition/RecognitionScript.h"

namespace velnor::server {

void RecognitionScript::set(const QStringList& texts)
{
    QMutexLocker lock(&m_mutex);
    m_texts.clear();
    for (const QString& text : texts)
        m_texts.enqueue(text);
}

std::optional<QString> RecognitionScript::takeNext()
{
    QMutexLocker lock(&m_mutex);
    if (m_texts.isEmpty())
        return std::nullopt;
    return m_texts.dequeue();
}

void RecognitionScript::clear()
{
    QMutexLocker lock(&m_mutex);
    m_texts.clear();
}

} // namespace velnor::server
