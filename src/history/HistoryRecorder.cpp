#include "history/HistoryRecorder.h"

#include "history/HistoryStore.h"

namespace velnor {

HistoryRecorder::HistoryRecorder(HistoryStore& store)
    : m_store(store)
{
}

void HistoryRecorder::dictationStarted(DictationId dictation, const QString& mode,
                                       const std::optional<FrontAppInfo>& frontApp)
{
    // Only one recording runs at a time: one that never reached recognition
    // was abandoned by this key-down.
    for (auto open = m_open.begin(); open != m_open.end();) {
        if (open->recognizing) {
            ++open;
            continue;
        }
        m_store.recordCancelled(open->id);
        open = m_open.erase(open);
    }
    const QString id = m_store.recordStarted(mode, frontApp ? frontApp->localizedName.value_or(QString()) : QString(),
                                             frontApp ? frontApp->bundleId.value_or(QString()) : QString());
    if (!id.isEmpty())
        m_open.insert(dictation, OpenEntry{id});
}

void HistoryRecorder::recognizing(DictationId dictation, double durationSeconds, const QString& recordingPath,
                                  const UploadSettings& upload)
{
    const auto open = m_open.find(dictation);
    if (open == m_open.end())
        return;
    open->recognizing = true;
    m_store.recordRecognizing(open->id, durationSeconds, recordingPath, upload);
}

void HistoryRecorder::delivered(DictationId dictation, const QString& recognizedText, const QString& correctedText,
                                const QString& insertionMethod)
{
    if (const QString id = take(dictation); !id.isEmpty())
        m_store.recordDelivered(id, recognizedText, correctedText, insertionMethod);
}

void HistoryRecorder::failed(DictationId dictation, const QString& errorText)
{
    if (const QString id = take(dictation); !id.isEmpty())
        m_store.recordFailed(id, errorText);
}

void HistoryRecorder::cancelled(DictationId dictation)
{
    if (const QString id = take(dictation); !id.isEmpty())
        m_store.recordCancelled(id);
}

QString HistoryRecorder::take(DictationId dictation)
{
    return m_open.take(dictation).id;
}

} // namespace velnor
