#pragma once

#include "recognition/Recognizer.h"
#include "recognition/cloud/CloudSettings.h"

#include <functional>

namespace velnor::server::cloud {

// Real-time recognition relayed to the vendor's real-time endpoint: each
// stream opens its own upstream WebSocket with a URL signed by the server's
// cloud credentials. Streams live on the thread that opens them (the server's
// event loop) and report there.
class CloudStreamRecognizer final : public StreamRecognizer {
public:
    static constexpr int kDefaultQuietLimitMs = 15000;

    // `nowSeconds`: the wall clock the URL's timestamp is read from.
    // `quietLimitMs`: how long the upstream may stay silent while the relay
    // waits for its handshake or its final result.
    CloudStreamRecognizer(CloudSettings settings, std::function<qint64()> nowSeconds,
                          int quietLimitMs = kDefaultQuietLimitMs);

    QString name() const override { return QStringLiteral("cloud"); }
    std::unique_ptr<StreamRecognition> open(const QString& voiceId, const RecognitionContext& context,
                                            StreamRecognition::Sink sink) override;

private:
    const CloudSettings m_settings;
    const std::function<qint64()> m_nowSeconds;
    const int m_quietLimitMs;
};

} // namespace velnor::server::cloud
