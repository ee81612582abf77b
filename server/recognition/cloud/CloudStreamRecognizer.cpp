#include "recognition/cloud/CloudStreamRecognizer.h"

#include "recognition/cloud/CloudRelayStream.h"
#include "recognition/cloud/RelayProtocol.h"

#include <QRandomGenerator>

namespace velnor::server::cloud {

CloudStreamRecognizer::CloudStreamRecognizer(CloudSettings settings, std::function<qint64()> nowSeconds,
                                             int quietLimitMs)
    : m_settings(std::move(settings))
    , m_nowSeconds(std::move(nowSeconds))
    , m_quietLimitMs(quietLimitMs)
{
}

std::unique_ptr<StreamRecognition> CloudStreamRecognizer::open(const QString& voiceId, const RecognitionContext& context,
                                                               StreamRecognition::Sink sink)
{
    const quint32 nonce = QRandomGenerator::system()->bounded(1u, 1000000000u);
    const QUrl upstream = RelayProtocol::signedUrl(m_settings, voiceId, context, m_nowSeconds(), nonce);
    return std::make_unique<CloudRelayStream>(upstream, m_quietLimitMs, std::move(sink));
}

} // namespace velnor::server::cloud
