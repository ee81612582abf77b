#include "ManualClock.h"

#include "accounts/TokenSigner.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

TEST(TokenSigner, IssuedTokenVerifiesToItsUserUntilItExpiresAndNoForgedOrDamagedOneDoes)
{
    test::ManualClock clock;
    const TokenSigner signer("0123456789abcdef0123456789abcdef", clock, 3600);
    const TokenSigner otherServer("another secret of thirty-two chars!", clock);
    const QString token = signer.issue(42);
    ASSERT_EQ(signer.verify(token), std::optional<qint64>(42));
    EXPECT_EQ(signer.verify(signer.issue(7)), std::optional<qint64>(7));
    const QStringList parts = token.split(QLatin1Char('.'));
    ASSERT_EQ(parts.size(), 2);

    // A payload claiming another user, re-signed with a different key.
    const QString foreign = otherServer.issue(1);
    const QString swapped = foreign.split(QLatin1Char('.'))[0] + QLatin1Char('.') + parts[1];
    QString flipped = token;
    flipped[flipped.size() - 2] = flipped[flipped.size() - 2] == QLatin1Char('A') ? QLatin1Char('B') : QLatin1Char('A');
    for (const QString& bad : {foreign, swapped, flipped, parts[0], QStringLiteral("."), QString(),
                               token + QStringLiteral(".x"), QStringLiteral("bm90IGpzb24.c2ln")})
        EXPECT_FALSE(signer.verify(bad)) << bad.toStdString();

    clock.advanceMs(3599 * 1000);
    EXPECT_EQ(signer.verify(token), std::optional<qint64>(42));
    clock.advanceMs(1000);
    EXPECT_FALSE(signer.verify(token)) << "expired";
}

} // namespace
} // namespace velnor::server
