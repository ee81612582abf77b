#include "history/HistoryRecorder.h"

#include "history/HistoryStore.h"

#include <utility>

namespace velnor {

HistoryRecorder::HistoryRecorder(HistoryStore& store)
    : m_store(store)
{
}

void HistoryRecorder::dictationStarted(const QString& mode, const std::optional<FrontAppInfo>& frontApp)
{
    if (const QString previous = takeCurrent(); !previous.isEmpty())
        m_store.recordCancelled(previous);
    m_currentId = m_store.recordStarted(mode, frontApp ? frontApp->localizedName.value_or(QString()) : QString(),
                                        frontApp ? frontApp->bundleId.value_or(QString()) : QString());
}

void HistoryRecorder::recognizing(double durationSeconds, const QString& recordingPath, const UploadSettings& upload)
{
    if (!m_currentId.isEmpty())
        m_store.recordRecognizing(m_currentId, durationSeconds, recordingPath, upload);
}

void HistoryRecorder::delivered(const QString& recognizedText, const QString& correctedText, const QString& insertionMethod)
{
    if (const QString id = takeCurrent(); !id.isEmpty())
        m_store.recordDelivered(id, recognizedText, correctedText, insertionMethod);
}

void HistoryRecorder::failed(const QString& errorText)
{
    if (const QString id = takeCurrent(); !id.isEmpty())
        m_store.recordFailed(id, errorText);
}

void HistoryRecorder::cancelled()
{
    if (const QString id = takeCurrent(); !id.isEmpty())
        m_store.recordCancelled(id);
}

QString HistoryRecorder::takeCurrent()
{
    return std::exchange(m_currentId, QString());
}

} // namespace velnor
