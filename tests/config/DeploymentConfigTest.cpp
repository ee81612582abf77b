#include "config/DeploymentConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

TEST(DeploymentConfig, DefaultsPointAtALocalServerAndCarryNoCredentials)
{
    const DeploymentConfig config = DeploymentConfig::load(QString(), QProcessEnvironment());
    EXPECT_EQ(config.backendBaseUrl.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(config.realtimeHost, QStringLiteral("127.0.0.1:18470"));
    EXPECT_TRUE(config.asrSecretKey.isEmpty());
    EXPECT_TRUE(config.asrSecretId.isEmpty());
}

TEST(DeploymentConfig, EnvironmentOverridesTheFileWhichOverridesDefaults)
{
    TempDir dir;
    const QString ini = dir.writeFile(QStringLiteral("deployment.conf"),
                                      "[backend]\nbase_url=https://api.example.test/v1\n"
                                      "[realtime]\nscheme=wss\nhost=asr.example.test\napp_id=100\nsecret_key=from-file\n");
    QProcessEnvironment env;
    env.insert(QStringLiteral("VELNOR_ASR_SECRET_KEY"), QStringLiteral("from-env"));
    const DeploymentConfig config = DeploymentConfig::load(ini, env);
    EXPECT_EQ(config.backendBaseUrl, QUrl(QStringLiteral("https://api.example.test/v1")));
    EXPECT_EQ(config.realtimeScheme, QStringLiteral("wss"));
    EXPECT_EQ(config.realtimeHost, QStringLiteral("asr.example.test"));
    EXPECT_EQ(config.asrAppId, QStringLiteral("100"));
    EXPECT_EQ(config.asrSecretKey, QStringLiteral("from-env"));
}
