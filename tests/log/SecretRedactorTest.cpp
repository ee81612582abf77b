#include "log/SecretRedactor.h"

#include <gtest/gtest.h>

using namespace velnor;

TEST(SecretRedactor, HidesBearerTokensAndRegisteredSecretsUntilRemoved)
{
    SecretRedactor redactor;
    redactor.addSecret(QStringLiteral("token-123456"));
    redactor.addSecret(QStringLiteral("abc")); // too short to register safely
    const std::pair<const char*, const char*> cases[] = {
        {"Authorization: Bearer abc.def-ghi_jk", "Authorization: Bearer <redacted>"},
        {R"({"Authorization":"Bearer abc123"})", R"({"Authorization":"Bearer <redacted>"})"},
        {"Bearer <redacted>", "Bearer <redacted>"},
        {"jwt=token-123456; abc", "jwt=<redacted>; abc"},
    };
    for (const auto& [line, redacted] : cases)
        EXPECT_EQ(redactor.redact(QString::fromUtf8(line)), QString::fromUtf8(redacted)) << line;
    redactor.removeSecret(QStringLiteral("token-123456"));
    EXPECT_EQ(redactor.redact(QStringLiteral("jwt=token-123456")), QStringLiteral("jwt=token-123456"));
}
