#include "ManualClock.h"

#include "accounts/AccountStore.h"
#include "accounts/SmsCodeIssuer.h"
#include "storage/Database.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

class SmsCodes : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        database = Database::open(dir.path(), &error);
        ASSERT_TRUE(database) << error.toStdString();
        issuer = std::make_unique<SmsCodeIssuer>(*database, clock, [this] { return nextCode; });
    }

    velnor::test::TempDir dir;
    test::ManualClock clock;
    std::unique_ptr<Database> database;
    std::unique_ptr<SmsCodeIssuer> issuer;
    QString nextCode = QStringLiteral("1234");
    const QString phone = QStringLiteral("13812345678");
};

TEST(SmsCodeRules, PhoneShapes)
{
    for (const char* good : {"13812345678", "19900000000", "15000000000"})
        EXPECT_TRUE(SmsCodeIssuer::isValidPhone(QString::fromLatin1(good))) << good;
    for (const char* bad : {"12812345678", "1381234567", "138123456789", "+8613812345678", "1381234567a", ""})
        EXPECT_FALSE(SmsCodeIssuer::isValidPhone(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(SmsCodeIssuer::isWellFormedCode(QStringLiteral("12a4")));
}

TEST(SmsCodeRules, RandomCodesAreFourDigits)
{
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString code = SmsCodeIssuer::secureRandomCode();
        EXPECT_TRUE(SmsCodeIssuer::isWellFormedCode(code)) << code.toStdString();
        seen.insert(code);
    }
    EXPECT_GT(seen.size(), 150) << "codes should not repeat much";
}

TEST_F(SmsCodes, IssuedCodeLogsInOnceOnly)
{
    const auto issued = issuer->issue(phone);
    ASSERT_EQ(issued.status, SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(issued.code, QStringLiteral("1234"));
    EXPECT_EQ(issuer->lastCode(phone), std::optional<QString>(QStringLiteral("1234")));
    EXPECT_EQ(issuer->check(phone, QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::Accepted);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::NoCode) << "single use";
    EXPECT_EQ(issuer->check(QStringLiteral("13900000000"), QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::NoCode);
}

TEST_F(SmsCodes, OneCodePerMinuteAndANewCodeReplacesTheOld)
{
    ASSERT_EQ(issuer->issue(phone).status, SmsCodeIssuer::IssueStatus::Issued);
    clock.advanceMs(59'000);
    nextCode = QStringLiteral("5678");
    const auto tooSoon = issuer->issue(phone);
    EXPECT_EQ(tooSoon.status, SmsCodeIssuer::IssueStatus::TooSoon);
    EXPECT_EQ(tooSoon.retryAfterSeconds, 1);
    EXPECT_EQ(issuer->issue(QStringLiteral("13900000000")).status, SmsCodeIssuer::IssueStatus::Issued)
        << "the wait is per phone";

    clock.advanceMs(1'000);
    ASSERT_EQ(issuer->issue(phone).status, SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::Wrong);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("5678")), SmsCodeIssuer::CheckStatus::Accepted);
}

TEST_F(SmsCodes, CodesExpireAfterFiveMinutes)
{
    ASSERT_EQ(issuer->issue(phone).status, SmsCodeIssuer::IssueStatus::Issued);
    clock.advanceMs(SmsCodeIssuer::kValidityMs);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::Expired);
}

TEST_F(SmsCodes, FiveWrongTriesVoidTheCode)
{
    ASSERT_EQ(issuer->issue(phone).status, SmsCodeIssuer::IssueStatus::Issued);
    for (int i = 0; i < SmsCodeIssuer::kMaxFailedAttempts; ++i)
        EXPECT_EQ(issuer->check(phone, QStringLiteral("9999")), SmsCodeIssuer::CheckStatus::Wrong);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("1234")), SmsCodeIssuer::CheckStatus::TooManyAttempts);
}

TEST_F(SmsCodes, BadInputAndOtherDigitForms)
{
    EXPECT_EQ(issuer->issue(QStringLiteral("12345")).status, SmsCodeIssuer::IssueStatus::InvalidPhone);
    ASSERT_EQ(issuer->issue(phone).status, SmsCodeIssuer::IssueStatus::Issued);
    EXPECT_EQ(issuer->check(phone, QStringLiteral("12")), SmsCodeIssuer::CheckStatus::InvalidInput);
    // Full-width digits typed on a CJK keyboard are the same code.
    EXPECT_EQ(issuer->check(phone, QStringLiteral("１２３４")), SmsCodeIssuer::CheckStatus::Accepted);
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

} // namespace
} // namespace velnor::server
