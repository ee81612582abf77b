#pragma once

#include "recognition/Recognizer.h"
#include "recognition/SpeechRecognizer.h"

#include <QMutex>

#include <memory>
#include <thread>
#include <vector>

namespace velnor::server {

// Streams decoded by local decoders (pocketsphinx), one per stream on its own
// thread. Decoders are loaded once and passed from stream to stream: a stream
// that ends gives its decoder back, so at most as many stay loaded as streams
// ran at once (which the endpoint caps), plus the one loaded in advance.
class DecoderStreamRecognizer final : public StreamRecognizer {
public:
    DecoderStreamRecognizer(QString name, SpeechRecognizerFactory factory);
    ~DecoderStreamRecognizer() override;

    QString name() const override { return m_name; }
    // The language and hot words do not change what a local decoder hears.
    std::unique_ptr<StreamRecognition> open(const QString& voiceId, const RecognitionContext& context,
                                            StreamRecognition::Sink sink) override;

    // Loads one decoder in the background, so the first stream does not wait for it.
    void preload();

private:
    void keep(std::unique_ptr<SpeechRecognizer> recognizer);
    std::unique_ptr<SpeechRecognizer> takeIdle();

    const QString m_name;
    const SpeechRecognizerFactory m_factory;
    QMutex m_mutex;
    std::vector<std::unique_ptr<SpeechRecognizer>> m_idle;
    std::thread m_preloader;
};

} // namespace velnor::server
