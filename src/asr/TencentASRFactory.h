#pragma once

#include "asr/TencentASRConfig.h"
#include "asr/TencentASREnvironment.h"
#include "asr/TencentASRService.h"

#include <memory>

namespace velnor::TencentASRFactory {

// Starts from the default configuration; the caller sets fields directly.
// The base URL is not a field: build() always uses the default one.
class ConfigBuilder final {
public:
    explicit ConfigBuilder(const TencentASRConfig& defaults);

    QString appId;
    QString secretId;
    QString secretKey;
    QString engineModelType;
    qint64 sampleRate;
    QString audioFormat;
    qint64 maxRetryCount;
    double connectionTimeout;

    TencentASRConfig config() const;
    std::unique_ptr<TencentASRService> build(const TencentASREnvironment& environment) const;

private:
    QString m_baseURL;
};

} // namespace velnor::TencentASRFactory
