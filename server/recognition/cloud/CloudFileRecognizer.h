#pragma once

#include "recognition/Recognizer.h"
#include "recognition/cloud/CloudSettings.h"

#include <QSemaphore>

#include <functional>

namespace velnor::server::cloud {

// Whole-file recognition through the vendor's one-sentence API, signed with
// the server's cloud credentials. Request threads call it at once; at most
// `settings.maxRequests` calls are in flight, the others wait (within their
// deadline) for a turn.
class CloudFileRecognizer final : public FileRecognizer {
public:
    static constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

    // `nowSeconds`: the wall clock the signature's timestamp is read from.
    CloudFileRecognizer(CloudSettings settings, std::function<qint64()> nowSeconds);

    QString name() const override { return QStringLiteral("cloud"); }
    FileRecognition recognize(std::span<const std::int16_t> samples, const RecognitionContext& context,
                              std::chrono::steady_clock::time_point deadline) override;

private:
    FileRecognition call(std::span<const std::int16_t> samples, const RecognitionContext& context,
                         std::chrono::steady_clock::time_point deadline);

    const CloudSettings m_settings;
    const std::function<qint64()> m_nowSeconds;
    QSemaphore m_turns;
};

} // namespace velnor::server::cloud
