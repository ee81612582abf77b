#pragma once

#include "asr/MainQueue.h"
#include "asr/Pacer.h"
#include "asr/RealtimeRecognitionClient.h"
#include "asr/TencentASRConfig.h"
#include "asr/TencentASRSignature.h"
#include "platform/AudioCapture.h"
#include "platform/MicrophonePermission.h"
#include "platform/Resampler.h"

#include <QList>
#include <QSslCertificate>

#include <optional>

namespace velnor {

class Clock;
class HotWordSource;
class Scheduler;
class SecretRedactor;
class TencentASRLogger;
struct DeploymentConfig;

// The shared parts of the real-time client, made once by the composition
// root on the main thread: configuration and host from the deployment, the
// extra CA for wss://, the signer reading the hot word cache. makeFactory()
// gives the dictation controller a fresh cached client per dictation.
class TencentASRClientFactory final {
public:
    TencentASRClientFactory(const DeploymentConfig& deployment, const Clock& clock, const HotWordSource* hotWords,
                            TencentASRLogger& log, Scheduler& scheduler, SecretRedactor& redactor);

    // Why the configured CA file could not be used (wss:// then trusts the system CAs only).
    const std::optional<QString>& caCertificateError() const { return m_caError; }
    const TencentASRConfig& defaultConfig() const { return m_defaultConfig; }

    // Every referenced object must outlive the factory and the clients it makes.
    RealtimeRecognitionClientFactory makeFactory(MicrophonePermission& permission, AudioCaptureFactory captures,
                                                 ResamplerFactory resamplers);

private:
    TencentASRConfig m_defaultConfig;
    TencentASRLogger& m_log;
    Scheduler& m_scheduler;
    SecretRedactor& m_redactor;
    QtMainQueue m_mainQueue;
    SteadyPacer m_pacer;
    TencentASRSignature m_signature;
    QList<QSslCertificate> m_extraCa;
    std::optional<QString> m_caError;
};

} // namespace velnor
