#include "recognition/DecoderStreamRecognizer.h"

#include "recognition/DecoderStream.h"

namespace velnor::server {

DecoderStreamRecognizer::DecoderStreamRecognizer(QString name, SpeechRecognizerFactory factory)
    : m_name(std::move(name))
    , m_factory(std::move(factory))
{
}

DecoderStreamRecognizer::~DecoderStreamRecognizer()
{
    if (m_preloader.joinable())
        m_preloader.join();
}

std::unique_ptr<StreamRecognition> DecoderStreamRecognizer::open(const QString&, const RecognitionContext&,
                                                                 StreamRecognition::Sink sink)
{
    // The loader runs on the stream's thread: the factory only reads its model paths.
    return std::make_unique<DecoderStream>(takeIdle(), m_factory, std::move(sink),
                                           [this](std::unique_ptr<SpeechRecognizer> used) { keep(std::move(used)); });
}

void DecoderStreamRecognizer::preload()
{
    if (m_preloader.joinable() || !m_factory)
        return;
    m_preloader = std::thread([this] {
        QString error;
        std::unique_ptr<SpeechRecognizer> loaded = m_factory(&error);
        if (!loaded) {
            qWarning("realtime: cannot load the %s recogniser: %s", qPrintable(m_name), qPrintable(error));
            return;
        }
        keep(std::move(loaded));
    });
}

void DecoderStreamRecognizer::keep(std::unique_ptr<SpeechRecognizer> recognizer)
{
    QMutexLocker lock(&m_mutex);
    m_idle.push_back(std::move(recognizer));
}

std::unique_ptr<SpeechRecognizer> DecoderStreamRecognizer::takeIdle()
{
    QMutexLocker lock(&m_mutex);
    if (m_idle.empty())
        return nullptr;
    std::unique_ptr<SpeechRecognizer> recognizer = std::move(m_idle.back());
    m_idle.pop_back();
    return recognizer;
}

} // namespace velnor::server
