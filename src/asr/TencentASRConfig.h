#pragma once

#include <QString>

namespace velnor {

struct DeploymentConfig;

// Everything the real-time client needs to reach the recognition service.
// A plain value; never changed after a service was made with it.
struct TencentASRConfig {
    QString appId;
    QString secretId;
    QString secretKey;
    QString engineModelType{QStringLiteral("16k_zh")};
    qint64 sampleRate = 16000;
    QString audioFormat{QStringLiteral("pcm")};
    QString baseURL;
    qint64 maxRetryCount = 3;
    double connectionTimeout = 30.0;

    // The default value: credentials and host come from the deployment
    // (file or environment), never from the source.
    static TencentASRConfig makeDefault(const DeploymentConfig& deployment);

    bool operator==(const TencentASRConfig&) const = default;
};

} // namespace velnor
