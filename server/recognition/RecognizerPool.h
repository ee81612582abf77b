#pragma once

#include "recognition/SpeechRecognizer.h"

#include <QMutex>
#include <QSemaphore>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace velnor::server {

// Decoders for whole-file recognition, shared by the request threads: at most
// `maxConcurrent` run at once, and a loaded decoder is kept for the next
// request (loading the model costs far more than a short recognition).
class RecognizerPool final {
public:
    RecognizerPool(SpeechRecognizerFactory factory, int maxConcurrent);
    ~RecognizerPool();
    RecognizerPool(const RecognizerPool&) = delete;
    RecognizerPool& operator=(const RecognizerPool&) = delete;

    // Blocks until a decoder is free. None (with *error) when the model cannot be loaded.
    std::optional<QString> recognize(std::span<const std::int16_t> samples, QString* error);

private:
    SpeechRecognizerFactory m_factory;
    QSemaphore m_slots;
    QMutex m_mutex;
    std::vector<std::unique_ptr<SpeechRecognizer>> m_idle;
};

} // namespace velnor::server
