#include "log/SecretRedactor.h"

#include <gtest/gtest.h>

using namespace velnor;

TEST(SecretRedactor, HidesBearerTokensInHeadersAndJson)
{
    SecretRedactor redactor;
    EXPECT_EQ(redactor.redact(QStringLiteral("Authorization: Bearer abc.def-ghi_jk")),
              QStringLiteral("Authorization: Bearer <redacted>"));
    EXPECT_EQ(redactor.redact(QStringLiteral("{\"Authorization\":\"Bearer abc123\"}")),
              QStringLiteral("{\"Authorization\":\"Bearer <redacted>\"}"));
    EXPECT_EQ(redactor.redact(QStringLiteral("Bearer <redacted>")), QStringLiteral("Bearer <redacted>"));
}

TEST(SecretRedactor, HidesRegisteredSecretsUntilRemoved)
{
    SecretRedactor redactor;
    redactor.addSecret(QStringLiteral("token-123456"));
    redactor.addSecret(QStringLiteral("abc")); // too short to register safely
    EXPECT_EQ(redactor.redact(QStringLiteral("jwt=token-123456; abc")), QStringLiteral("jwt=<redacted>; abc"));
    redactor.removeSecret(QStringLiteral("token-123456"));
    EXPECT_EQ(redactor.redact(QStringLiteral("jwt=token-123456")), QStringLiteral("jwt=token-123456"));
}
