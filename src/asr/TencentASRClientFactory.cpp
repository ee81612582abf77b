#include "asr/TencentASRClientFactory.h"

#include "asr/QtWebSocketTransport.h"
#include "asr/TencentASRExample.h"
#include "config/DeploymentConfig.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"

namespace velnor {

TencentASRClientFactory::TencentASRClientFactory(const DeploymentConfig& deployment, const Clock& clock,
                                                 const HotWordSource* hotWords, TencentASRLogger& log,
                                                 Scheduler& scheduler, SecretRedactor& redactor)
    : m_defaultConfig(TencentASRConfig::makeDefault(deployment))
    , m_log(log)
    , m_scheduler(scheduler)
    , m_redactor(redactor)
    , m_signature(deployment.realtimeHost, clock, hotWords, log)
{
    if (!m_defaultConfig.secretKey.isEmpty())
        m_redactor.addSecret(m_defaultConfig.secretKey);
    m_caError = QtWebSocketTransport::loadCaCertificates(deployment.realtimeCaCertificateFile, &m_extraCa);
    if (m_caError)
        m_log.error(QStringLiteral("❌ ") + *m_caError);
}

RealtimeRecognitionClientFactory TencentASRClientFactory::makeFactory(MicrophonePermission& permission,
                                                                      AudioCaptureFactory captures,
                                                                      ResamplerFactory resamplers)
{
    return [this, &permission, captures = std::move(captures),
            resamplers = std::move(resamplers)]() -> std::unique_ptr<RealtimeRecognitionClient> {
        TencentASREnvironment environment{m_scheduler, m_mainQueue, m_pacer, m_log, m_signature,
                                          QtWebSocketTransport::factory(m_extraCa)};
        return std::make_unique<TencentASRExample>(
            TencentASRExampleDependencies{environment, m_defaultConfig, permission, captures, resamplers, &m_redactor});
    };
}

} // namespace velnor
