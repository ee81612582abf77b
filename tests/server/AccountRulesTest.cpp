#include "ManualClock.h"

#include "accounts/AccountStore.h"
#include "accounts/PeerRateLimiter.h"
#include "accounts/PhoneLockout.h"
#include "accounts/SmsCodeIssuer.h"
#include "accounts/SmsSender.h"
#include "routes/AuthRoutes.h"
#include "storage/Database.h"

#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

class SmsCodes : public ::testing::Test {
protected:
    SmsCodes() { issuer.keepLastCodes(); }

    SmsCodeIssuer::CheckStatus check(const QString& code) { return issuer.check(phone, code).status; }
    SmsCodeIssuer::IssueStatus issue() { return issuer.issue(phone).status; }
    // `count` wrong guesses, each code asked for after the resend wait and
    // guessed at until it is void.
    void guessWrong(int count)
    {
        while (count > 0) {
            clock.advanceMs(SmsCodeIssuer::kResendIntervalMs);
            ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
            for (int i = 0; i < SmsCodeIssuer::kMaxFailedAttempts && count > 0; ++i, --count)
                ASSERT_EQ(check(QStringLiteral("9999")), SmsCodeIssuer::CheckStatus::Wrong) << count;
        }
    }

    velnor::test::TempDir dir;
    test::ManualClock clock;
    const std::unique_ptr<Database> database = Database::open(dir.path(), nullptr);
    QString nextCode = QStringLiteral("1234");
    const QString phone = QStringLiteral("13812345678");
    SmsCodeIssuer issuer{*database, clock, QByteArray(32, 'k'), [this] { return nextCode; }};
};

TEST(SmsCodeRules, PhoneShapesAndRandomFourDigitCodes)
{
    for (const char* good : {"13812345678", "19900000000", "15000000000"})
        EXPECT_TRUE(SmsCodeIssuer::isValidPhone(QString::fromLatin1(good))) << good;
    for (const char* bad : {"12812345678", "1381234567", "138123456789", "+8613812345678", "1381234567a", "",
                            "13812345678\n"})
        EXPECT_FALSE(SmsCodeIssuer::isValidPhone(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(SmsCodeIssuer::isWellFormedCode(QStringLiteral("12a4")));

    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString code = SmsCodeIssuer::secureRandomCode();
        EXPECT_TRUE(SmsCodeIssuer::isWellFormedCode(code)) << code.toStdString();
        seen.insert(code);
    }
    EXPECT_GT(seen.size(), 150) << "codes should not repeat much";
}

TEST_F(SmsCodes, ACodeLogsInOnceBeforeItExpiresOrFiveWrongTries)
{
    EXPECT_EQ(issuer.issue(QStringLiteral("12345")).status, SmsCodeIssuer::IssueStatus::InvalidPhone);
    const auto issued = issuer.issue(phone);
    ASSERT_EQ(issued.status, SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(issued.code, QStringLiteral("1234"));
    EXPECT_EQ(issuer.lastCode(phone), std::optional<QString>(QStringLiteral("1234")));
    EXPECT_EQ(check(QStringLiteral("12")), SmsCodeIssuer::CheckStatus::InvalidInput);
    EXPECT_EQ(issuer.check(QStringLiteral("13900000000"), QStringLiteral("1234")).status,
              SmsCodeIssuer::CheckStatus::NoCode);

    // One code a minute, per phone; a new code replaces the old.
    clock.advanceMs(59'000);
    nextCode = QStringLiteral("5678");
    const auto tooSoon = issuer.issue(phone);
    EXPECT_EQ(tooSoon.status, SmsCodeIssuer::IssueStatus::TooSoon);
    EXPECT_EQ(tooSoon.retryAfterSeconds, 1);
    EXPECT_EQ(issuer.issue(QStringLiteral("13900000000")).status, SmsCodeIssuer::IssueStatus::Issued);
    clock.advanceMs(1'000);
    ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(check(QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::Wrong);
    // Full-width digits typed on a CJK keyboard are the same code.
    EXPECT_EQ(check(QStringLiteral("５６７８")), SmsCodeIssuer::CheckStatus::Accepted);
    EXPECT_EQ(check(QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::NoCode) << "single use";

    clock.advanceMs(SmsCodeIssuer::kResendIntervalMs);
    ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
    clock.advanceMs(SmsCodeIssuer::kValidityMs);
    EXPECT_EQ(check(QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::Expired);

    ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
    for (int i = 0; i < SmsCodeIssuer::kMaxFailedAttempts; ++i)
        EXPECT_EQ(check(QStringLiteral("9999")), SmsCodeIssuer::CheckStatus::Wrong);
    EXPECT_EQ(check(QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::TooManyAttempts);
}

// The old rule reset the count with each new code: 5 guesses a minute, 51 %
// success in a day. Now ten wrong codes in an hour lock the phone, whatever code.
TEST_F(SmsCodes, WrongCodesCountAcrossCodesAndLockThePhone)
{
    guessWrong(5);
    guessWrong(4);
    nextCode = QStringLiteral("5678");
    guessWrong(1);
    const SmsCodeIssuer::Checked locked = issuer.check(phone, QStringLiteral("5678"));
    EXPECT_EQ(locked.status, SmsCodeIssuer::CheckStatus::Locked) << "even the right code, while locked";
    EXPECT_EQ(locked.retryAfterSeconds, PhoneLockout::kFirstLockMs / 1000);
    clock.advanceMs(SmsCodeIssuer::kResendIntervalMs);
    EXPECT_EQ(issue(), SmsCodeIssuer::IssueStatus::Locked) << "no new codes either";
    EXPECT_EQ(issuer.issue(QStringLiteral("13900000000")).status, SmsCodeIssuer::IssueStatus::Issued)
        << "other phones go on";

    clock.advanceMs(PhoneLockout::kFirstLockMs);
    EXPECT_EQ(check(QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::Expired);
    guessWrong(10);
    EXPECT_EQ(issuer.check(phone, QStringLiteral("1234")).retryAfterSeconds, 2 * PhoneLockout::kFirstLockMs / 1000)
        << "the second lockout lasts twice as long";

    // A right code after the lock forgets the lockouts.
    clock.advanceMs(2 * PhoneLockout::kFirstLockMs);
    guessWrong(9);
    clock.advanceMs(SmsCodeIssuer::kResendIntervalMs);
    ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(check(QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::Accepted);
    guessWrong(10);
    EXPECT_EQ(issuer.check(phone, QStringLiteral("1234")).retryAfterSeconds, PhoneLockout::kFirstLockMs / 1000);
}

TEST_F(SmsCodes, FailuresOutsideTheHourAndOldLockoutsFade)
{
    guessWrong(5);
    clock.advanceMs(PhoneLockout::kWindowMs);
    guessWrong(5);
    EXPECT_EQ(issue(), SmsCodeIssuer::IssueStatus::TooSoon) << "ten, but not within an hour: not locked";
    guessWrong(5);
    EXPECT_EQ(issuer.issue(phone).retryAfterSeconds, PhoneLockout::kFirstLockMs / 1000);
    clock.advanceMs(PhoneLockout::kFirstLockMs + PhoneLockout::kMemoryMs);
    guessWrong(10);
    EXPECT_EQ(issuer.issue(phone).retryAfterSeconds, PhoneLockout::kFirstLockMs / 1000)
        << "a quiet day forgets the earlier lockout";

    for (const auto& [lockouts, minutes] : std::initializer_list<std::pair<int, qint64>>{
             {1, 15}, {2, 30}, {3, 60}, {7, 960}, {8, 1440}, {40, 1440}})
        EXPECT_EQ(PhoneLockout::lockDurationMs(lockouts), minutes * 60 * 1000) << lockouts;
}

TEST_F(SmsCodes, CodesAreStoredOnlyAsHashesAndPruned)
{
    nextCode = QStringLiteral("4711");
    ASSERT_EQ(issue(), SmsCodeIssuer::IssueStatus::Issued);
    QByteArray files;
    for (const char* suffix : {"", "-wal"}) {
        QFile file(database->filePath() + QLatin1String(suffix));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        files += file.readAll();
    }
    EXPECT_FALSE(files.contains("4711")) << "the code is not in the database files";
    EXPECT_EQ(check(QStringLiteral("4711")), SmsCodeIssuer::CheckStatus::Accepted);

    guessWrong(10);
    ASSERT_TRUE(issuer.prune());
    EXPECT_EQ(issue(), SmsCodeIssuer::IssueStatus::Locked) << "a running lock survives pruning";
    clock.advanceMs(PhoneLockout::kMemoryMs + SmsCodeIssuer::kValidityMs);
    ASSERT_TRUE(issuer.prune());
    QSqlQuery rows(database->connection());
    ASSERT_TRUE(rows.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM login_codes) + (SELECT COUNT(*) FROM login_guard)")));
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(rows.value(0).toInt(), 0);
}

TEST_F(SmsCodes, AccountsAreCreatedOnceAndInvitesCredited)
{
    AccountStore accounts(*database, clock);
    const auto first = accounts.signIn(phone, QString());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->inviteCode.size(), 6);
    clock.advanceMs(5000);
    const auto again = accounts.signIn(phone, QString());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, first->id);
    EXPECT_EQ(again->createdAtMs, first->createdAtMs);
    EXPECT_EQ(again->lastLoginMs, first->lastLoginMs + 5000);

    const auto invited = accounts.signIn(QStringLiteral("13900000000"), first->inviteCode.toLower());
    ASSERT_TRUE(invited);
    EXPECT_NE(invited->id, first->id);
    EXPECT_EQ(accounts.user(first->id)->totalInvites, 1);
    accounts.signIn(QStringLiteral("13900000000"), first->inviteCode);
    EXPECT_EQ(accounts.user(first->id)->totalInvites, 1) << "only a new account counts as an invite";
    EXPECT_FALSE(accounts.user(9999));
}

TEST(PeerRateLimits, AllowanceSlidesAndNetworksCountTogether)
{
    test::ManualClock clock;
    PeerRateLimiter limiter(clock, 3, 60'000);
    const QHostAddress peer(QStringLiteral("192.0.2.7"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.tryAcquire(peer)) << i;
        clock.advanceMs(10'000);
    }
    int retryAfter = 0;
    EXPECT_FALSE(limiter.tryAcquire(peer, &retryAfter));
    EXPECT_EQ(retryAfter, 30);
    EXPECT_FALSE(limiter.tryAcquire(QHostAddress(QStringLiteral("::ffff:192.0.2.7")))) << "the same IPv4 peer";
    EXPECT_TRUE(limiter.tryAcquire(QHostAddress(QStringLiteral("192.0.2.8"))));
    clock.advanceMs(30'000);
    EXPECT_TRUE(limiter.tryAcquire(peer)) << "the oldest event left the window";

    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limiter.tryAcquire(QHostAddress(QStringLiteral("2001:db8:1:2::%1").arg(i + 1))));
    EXPECT_FALSE(limiter.tryAcquire(QHostAddress(QStringLiteral("2001:db8:1:2:ffff::1")))) << "one /64";
    EXPECT_TRUE(limiter.tryAcquire(QHostAddress(QStringLiteral("2001:db8:1:3::1"))));
}

TEST(DevSmsPeers, OnlyLoopbackCallersGetTheCode)
{
    for (const char* loopback : {"127.0.0.1", "127.3.4.5", "::1", "::ffff:127.0.0.1"})
        EXPECT_TRUE(AuthRoutes::mayAnswerCodeTo(QHostAddress(QString::fromLatin1(loopback)))) << loopback;
    for (const char* remote : {"192.0.2.2", "10.0.0.1", "fd00::2", "::ffff:192.0.2.2", "0.0.0.0", ""})
        EXPECT_FALSE(AuthRoutes::mayAnswerCodeTo(QHostAddress(QString::fromLatin1(remote)))) << remote;
}

// What goes right and a failing exit status are checked on a running server.
TEST(SmsDelivery, AHangingOrMissingCommandIsAnError)
{
    velnor::test::TempDir dir;
    const QString hangingPath = dir.writeFile(QStringLiteral("hanging"), "#!/bin/sh\nexec sleep 30\n");
    QFile::setPermissions(hangingPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString error;
    QElapsedTimer timer;
    timer.start();
    CommandSmsSender hanging(hangingPath, 300);
    EXPECT_FALSE(hanging.send(QStringLiteral("13912345678"), QStringLiteral("0420"), &error));
    EXPECT_LT(timer.elapsed(), 5000) << "killed at the timeout";
    EXPECT_FALSE(error.contains(QStringLiteral("0420")));

    CommandSmsSender missing(dir.filePath(QStringLiteral("no-such-program")));
    EXPECT_FALSE(missing.send(QStringLiteral("13912345678"), QStringLiteral("0420"), &error));
}

} // namespace
} // namespace velnor::server
