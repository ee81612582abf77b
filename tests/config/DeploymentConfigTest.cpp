#include "config/DeploymentConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

TEST(DeploymentConfig, TheEnvironmentOverridesTheFileWhichOverridesLocalDefaultsWithoutCredentials)
{
    const DeploymentConfig defaults = DeploymentConfig::load(QString(), QProcessEnvironment());
    EXPECT_EQ(defaults.backendBaseUrl.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(defaults.realtimeHost, QStringLiteral("127.0.0.1:18470"));
    EXPECT_TRUE(defaults.asrSecretKey.isEmpty() && defaults.asrSecretId.isEmpty());
    EXPECT_FALSE(defaults.allowInsecureTransport);

    TempDir dir;
    const QString ini = dir.writeFile(QStringLiteral("deployment.conf"),
                                      "allow_insecure = true\n[backend]\nbase_url=https://api.example.test/v1\n"
                                      "[realtime]\nscheme=wss\nhost=asr.example.test\napp_id=100\nsecret_key=from-file\n");
    EXPECT_TRUE(DeploymentConfig::load(ini, QProcessEnvironment()).allowInsecureTransport);
    QProcessEnvironment env;
    env.insert(QStringLiteral("VELNOR_ASR_SECRET_KEY"), QStringLiteral("from-env"));
    env.insert(QStringLiteral("VELNOR_ALLOW_INSECURE"), QStringLiteral("0"));
    const DeploymentConfig config = DeploymentConfig::load(ini, env);
    EXPECT_EQ(config.backendBaseUrl, QUrl(QStringLiteral("https://api.example.test/v1")));
    EXPECT_EQ(config.realtimeScheme, QStringLiteral("wss"));
    EXPECT_EQ(config.realtimeHost, QStringLiteral("asr.example.test"));
    EXPECT_EQ(config.asrAppId, QStringLiteral("100"));
    EXPECT_EQ(config.asrSecretKey, QStringLiteral("from-env"));
    EXPECT_FALSE(config.allowInsecureTransport);
    env.insert(QStringLiteral("VELNOR_ALLOW_INSECURE"), QStringLiteral("1"));
    EXPECT_TRUE(DeploymentConfig::load(QString(), env).allowInsecureTransport);
}

TEST(DeploymentConfig, CleartextToAnotherHostIsRefusedUnlessAllowed)
{
    struct Case {
        const char* backend;
        const char* scheme;
        const char* host;
        bool allowInsecure;
        const char* refusedHost; // nullptr: accepted
    };
    const Case cases[] = {
        {"http://127.0.0.1:18470", "ws", "127.0.0.1:18470", false, nullptr},
        {"http://localhost:8080/api", "ws", "[::1]:18470", false, nullptr},
        {"http://127.9.8.7", "", "asr.example.test", false, nullptr}, // no scheme means wss
        {"https://api.example.test", "wss", "asr.example.test", false, nullptr},
        {"http://api.example.test", "ws", "asr.example.test", true, nullptr},
        {"http://api.example.test/v1", "ws", "127.0.0.1:18470", false, "api.example.test"},
        {"https://api.example.test", "ws", "asr.example.test:80", false, "asr.example.test"},
        {"http://127.0.0.1.example.test", "wss", "asr.example.test", false, "127.0.0.1.example.test"},
        {"https://api.example.test", "ws", "127.0.0.1@asr.example.test", false, "asr.example.test"},
        {"http://[::ffff:192.0.2.1]", "wss", "asr.example.test", false, "::ffff:192.0.2.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.backend) + " " + c.scheme + "://" + c.host);
        DeploymentConfig config;
        config.backendBaseUrl = QUrl(QString::fromLatin1(c.backend));
        config.realtimeScheme = QString::fromLatin1(c.scheme);
        config.realtimeHost = QString::fromLatin1(c.host);
        config.allowInsecureTransport = c.allowInsecure;
        const std::optional<QString> refusal = insecureTransportError(config);
        if (!c.refusedHost) {
            EXPECT_FALSE(refusal.has_value()) << refusal->toStdString();
            continue;
        }
        ASSERT_TRUE(refusal.has_value());
        EXPECT_TRUE(refusal->contains(QString::fromLatin1(c.refusedHost))) << refusal->toStdString();
        EXPECT_TRUE(refusal->contains(QStringLiteral("VELNOR_ALLOW_INSECURE=1")));
    }

    DeploymentConfig unknownScheme;
    unknownScheme.backendBaseUrl = QUrl(QStringLiteral("ftp://127.0.0.1/"));
    EXPECT_TRUE(insecureTransportError(unknownScheme).has_value());
}
