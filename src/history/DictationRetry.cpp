#include "history/DictationRetry.h"

#include "backend/FileRecognitionService.h"
#include "dictation/RecordingUpload.h"
#include "history/HistoryStore.h"
#include "log/Logger.h"

#include <QFile>

#include <utility>

namespace velnor {

DictationRetry::DictationRetry(Dependencies dependencies)
    : m_with(std::move(dependencies))
{
}

void DictationRetry::retry(const QString& entryId, Completion done)
{
    m_with.store.find(entryId, [this, guard = m_lifetime.guard(), done = std::move(done)](std::optional<HistoryEntry> entry) {
        if (guard.expired())
            return;
        if (!entry || !entry->isRetryable()) {
            done(Result<QString, QString>::failure(QStringLiteral("这条听写没有可重试的录音")));
            return;
        }
        send(*entry, done);
    });
}

void DictationRetry::send(const HistoryEntry& entry, Completion done)
{
    QFile file(entry.recordingPath);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString error = QStringLiteral("读取录音失败: ") + file.errorString();
        m_with.log.error(error);
        done(Result<QString, QString>::failure(error));
        return;
    }
    // The upload the dictation made, as it was sent.
    const RecognizeAudioFileParams params = recordingUpload(
        UploadSettings{entry.bundleId, entry.appName, entry.outLanguage, entry.overOver}, m_with.osType, file.readAll());
    m_with.log.info(QStringLiteral("重试识别录音: ") + entry.recordingPath);
    m_with.recognition.recognizeAudioFile(
        params, [this, guard = m_lifetime.guard(), entry, done](Result<RecognizeAudioFileResponse, ServiceError> result) {
            if (guard.expired())
                return;
            if (!result) {
                m_with.log.error(QStringLiteral("重试识别失败: ") + result.error().toString());
                done(Result<QString, QString>::failure(result.error().description));
                return;
            }
            const QString text = result.value().text.value_or(QString());
            if (text.isEmpty()) {
                done(Result<QString, QString>::failure(QStringLiteral("识别文本为空")));
                return;
            }
            m_with.store.recordRetryDelivered(entry, text);
            done(Result<QString, QString>::success(text));
        });
}

} // namespace velnor
