#include "asr/TencentASRFactory.h"

namespace velnor::TencentASRFactory {

ConfigBuilder::ConfigBuilder(const TencentASRConfig& defaults)
    : appId(defaults.appId)
    , secretId(defaults.secretId)
    , secretKey(defaults.secretKey)
    , engineModelType(defaults.engineModelType)
    , sampleRate(defaults.sampleRate)
    , audioFormat(defaults.audioFormat)
    , maxRetryCount(defaults.maxRetryCount)
    , connectionTimeout(defaults.connectionTimeout)
    , m_baseURL(defaults.baseURL)
{
}

TencentASRConfig ConfigBuilder::config() const
{
    TencentASRConfig config;
    config.appId = appId;
    config.secretId = secretId;
    config.secretKey = secretKey;
    config.engineModelType = engineModelType;
    config.sampleRate = sampleRate;
    config.audioFormat = audioFormat;
    config.baseURL = m_baseURL;
    config.maxRetryCount = maxRetryCount;
    config.connectionTimeout = connectionTimeout;
    return config;
}

std::unique_ptr<TencentASRService> ConfigBuilder::build(const TencentASREnvironment& environment) const
{
    return std::make_unique<TencentASRService>(config(), environment);
}

} // namespace velnor::TencentASRFactory
