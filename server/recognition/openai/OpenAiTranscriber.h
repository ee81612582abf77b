#pragma once

#include "recognition/Recognizer.h"

#include <QByteArray>
#include <QSemaphore>
#include <QString>
#include <QUrl>

#include <atomic>

namespace velnor::server {

// Where an OpenAI-compatible transcription server is, and how to ask it.
struct OpenAiSettings {
    QUrl baseUrl;       // e.g. http://127.0.0.1:8080/v1; requests go to <base>/audio/transcriptions
    QString model;
    QByteArray apiKey;  // empty: no Authorization header

    QUrl transcriptionsUrl() const;
};

// Whole-file recognition by an OpenAI-compatible server. Blocking: each call
// runs its own network access and event loop on the calling thread, so it
// needs no other thread's loop; never call it on the main thread. At most
// `maxConcurrent` requests are open at once.
class OpenAiTranscriber final : public FileRecognizer {
public:
    OpenAiTranscriber(OpenAiSettings settings, int maxConcurrent);

    QString name() const override { return QStringLiteral("openai"); }
    FileRecognition recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                              std::chrono::steady_clock::time_point deadline) override;
    // As recognize(), and given up as soon as `cancelled` becomes true.
    FileRecognition transcribe(std::span<const std::int16_t> samples, const RecognitionContext& context,
                               std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancelled);

private:
    FileRecognition post(const QByteArray& contentType, const QByteArray& body,
                         std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& cancelled);
    // The server's words with the key, should it echo it, blotted out.
    QString withoutKey(QString text) const;

    const OpenAiSettings m_settings;
    QSemaphore m_slots;
};

} // namespace velnor::server
