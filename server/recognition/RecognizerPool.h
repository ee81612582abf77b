#pragma once

#include "recognition/Recognizer.h"
#include "recognition/SpeechRecognizer.h"

#include <QMutex>
#include <QSemaphore>
#include <QString>

#include <memory>
#include <vector>

namespace velnor::server {

// Whole-file recognition by local decoders, shared by the request threads: at
// most `maxConcurrent` run at once, and a loaded decoder is kept for the next
// request (loading the model costs far more than a short recognition). A
// request that cannot get a decoder, or whose decoding runs, past its deadline
// fails instead of holding its thread.
class RecognizerPool final : public FileRecognizer {
public:
    RecognizerPool(QString name, SpeechRecognizerFactory factory, int maxConcurrent);
    ~RecognizerPool() override;

    QString name() const override { return m_name; }
    // The language and hot words do not change what a local decoder hears.
    FileRecognition recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                              std::chrono::steady_clock::time_point deadline) override;

private:
    std::unique_ptr<SpeechRecognizer> takeDecoder(QString* error);

    const QString m_name;
    SpeechRecognizerFactory m_factory;
    QSemaphore m_slots;
    QMutex m_mutex;
    std::vector<std::unique_ptr<SpeechRecognizer>> m_idle;
};

} // namespace velnor::server
