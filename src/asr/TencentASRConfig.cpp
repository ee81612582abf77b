#include "asr/TencentASRConfig.h"

#include "config/DeploymentConfig.h"

namespace velnor {

TencentASRConfig TencentASRConfig::makeDefault(const DeploymentConfig& deployment)
{
    TencentASRConfig config;
    config.appId = deployment.asrAppId;
    config.secretId = deployment.asrSecretId;
    config.secretKey = deployment.asrSecretKey;
    const QString scheme = deployment.realtimeScheme.isEmpty() ? QStringLiteral("wss") : deployment.realtimeScheme;
    config.baseURL = scheme + QStringLiteral("://") + deployment.realtimeHost + QStringLiteral("/asr/v2");
    return config;
}

} // namespace velnor
