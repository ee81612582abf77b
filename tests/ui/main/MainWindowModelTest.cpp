#include "ui/common/SettingChoices.h"
#include "ui/main/DashboardSummary.h"
#include "ui/main/MainWindowModel.h"
#include "ui/main/SettingsModel.h"
#include "ui/support/UiHarness.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

const QString kMe = QStringLiteral("/auth/mev2");
const QByteArray kUser = R"({"code":0,"data":{"id":"u1","phone":"13800138000"}})";

class MainWindowModelTest : public ::testing::Test, protected test::UiHarness {
protected:
    MainWindowModel model{settings, session, login};
};

TEST_F(MainWindowModelTest, CleanSystemShowsOnboardingAndLoginOverTheDashboard)
{
    model.firstAppear();
    EXPECT_TRUE(model.showPermissionOnboarding());
    EXPECT_EQ(model.onboardingStep(), OnboardingStep::Welcome);
    EXPECT_TRUE(model.showLoginView());
    EXPECT_EQ(model.selectedMenuItem(), MenuItem::Dashboard);
    EXPECT_FALSE(model.isLoggedIn());

    // Once per window.
    model.onboardingFinished();
    model.firstAppear();
    EXPECT_FALSE(model.showPermissionOnboarding());
}

TEST_F(MainWindowModelTest, SuccessfulLoginClosesTheSheetWhateverTheUserFetchDoes)
{
    for (const bool fetchSucceeds : {false, true}) {
        settings.remove(key(SettingsKey::UserJwt));
        model.requestLogin();
        model.firstAppear();
        ASSERT_TRUE(model.showLoginView());
        login.setPhoneNumber(QStringLiteral("13800138000"));
        login.setVerificationCode(QStringLiteral("1234"));
        login.login();
        ASSERT_TRUE(answer(QStringLiteral("/auth/login/sms"), R"({"code":0,"data":{"token":"jwt-1","phone":"13800138000"}})"));
        if (fetchSucceeds)
            ASSERT_TRUE(answer(kMe, kUser));
        else
            ASSERT_TRUE(fail(kMe));
        EXPECT_FALSE(model.showLoginView()) << fetchSucceeds;
        EXPECT_TRUE(model.isLoggedIn()) << fetchSucceeds;
        EXPECT_EQ(model.userPhone(), QStringLiteral("13800138000"));
    }
}

TEST_F(MainWindowModelTest, AnsweredAccountFailureSignsOutAndShowsAFreshLoginForm)
{
    settings.setString(key(SettingsKey::UserJwt), QStringLiteral("token-abc"));
    settings.setString(key(SettingsKey::UserPhone), QStringLiteral("13800138000"));
    login.checkLoginStatus(); // as at start-up with a stored session
    model.firstAppear();
    ASSERT_TRUE(answer(kMe, kUser));
    ASSERT_TRUE(login.isLoggedIn());

    session.refreshAccountData(nullptr);
    ASSERT_TRUE(answer(kMe, R"({"code":500,"msg":"oops"})"));
    EXPECT_FALSE(model.isLoggedIn());
    EXPECT_TRUE(model.showLoginView());
    // The sheet shows the form, not a stale "signed in" state that would close it.
    EXPECT_FALSE(login.isLoggedIn());
}

TEST(DashboardSummaryTest, SubscriptionStatusTextAndColour)
{
    struct Case {
        std::optional<QString> status;
        QString text;
        QString colour;
    };
    const QString grey = QStringLiteral("#8e8e93");
    for (const Case& c : {Case{QStringLiteral("Active"), QStringLiteral("已激活"), QStringLiteral("#7ed321")},
                          Case{QStringLiteral("expired"), QStringLiteral("已过期"), QStringLiteral("#d0021b")},
                          Case{QStringLiteral("INACTIVE"), QStringLiteral("未激活"), QStringLiteral("#ff9500")},
                          Case{QStringLiteral("trial"), QStringLiteral("trial"), grey},
                          Case{std::nullopt, QStringLiteral("未知"), grey}}) {
        User user;
        user.vip2 = VIP2{std::nullopt, QStringLiteral("2026-03-01T00:00:00Z"), c.status};
        const DashboardSummary summary = DashboardSummary::from(user, QTimeZone::utc());
        EXPECT_EQ(summary.statusText, c.text);
        EXPECT_EQ(summary.statusColour.name(), c.colour) << c.text.toStdString();
        EXPECT_EQ(summary.expiry, QStringLiteral("2026-03-01"));
    }

    User user;
    user.generatewordsTotal = 25000;
    user.invite = Invite{QStringLiteral("VEL123"), 3};
    const DashboardSummary summary = DashboardSummary::from(user);
    EXPECT_EQ(summary.wordsDictated, QStringLiteral("2.5w"));
    EXPECT_EQ(summary.invites, QStringLiteral("3"));
    EXPECT_EQ(summary.inviteCode, QStringLiteral("VEL123"));
    EXPECT_EQ(DashboardSummary::from(std::nullopt).statusText, QStringLiteral("未知"));
}

TEST(SettingsRules, OnlyWebLinksOpenFromAnUpdateAnswer)
{
    const std::pair<const char*, bool> cases[] = {
        {"https://velnor.example/download", true}, {"HTTP://mirror.example/v.tar.gz", true},
        {"file:///etc/passwd", false},             {"javascript:alert(1)", false},
        {"ftp://mirror.example/v", false},          {"https://", false},
        {"", false},                                {"/relative/path", false},
        {"x-scheme-handler://run", false},
    };
    for (const auto& [url, openable] : cases)
        EXPECT_EQ(SettingsModel::isOpenableUpdateUrl(QUrl(QString::fromLatin1(url))), openable) << url;
}

TEST(SettingsRules, PickersKeepAStoredValueTheyDoNotOffer)
{
    EXPECT_EQ(SettingChoices::hotkeyOptions(QStringLiteral("fn_shift")).size(), 4);
    const QList<Choice> withFn = SettingChoices::hotkeyOptions(QStringLiteral("fn"));
    ASSERT_EQ(withFn.size(), 5);
    EXPECT_EQ(withFn.last(), (Choice{QStringLiteral("fn"), QStringLiteral("Fn")}));
    EXPECT_EQ(SettingChoices::hotkeyDisplayName(QStringLiteral("bogus")), QStringLiteral("Fn + Shift"));
}

class SettingsModelTest : public ::testing::Test, protected test::UiHarness {
protected:
    SettingsModel model{settings, launchAtLogin, services().settingsHooks};
};

TEST_F(SettingsModelTest, ChoicesAreStoredAsTheReadersExpectAndReachTheirListeners)
{
    // The indicator's position: ScreensTest.SettingsScreenWritesOnlyWhatTheUserChooses.
    // The duration snaps to the slider's steps of five, from 5 to 50.
    for (const auto& [given, snapped] : {std::pair{-3, 5}, {7, 5}, {8, 10}, {600, 50}, {23, 25}})
        EXPECT_EQ(model.setMaxDuration(given), snapped) << given;
    model.setOverOver(true);
    model.setSoundEffects(false);
    EXPECT_FALSE(model.load().evdevHotkey);
    model.setEvdevHotkey(true);
    model.setHistoryEnabled(false);
    const SettingsModel::Values values = model.load();
    EXPECT_TRUE(values.evdevHotkey);
    EXPECT_EQ(values.maxDurationSeconds, 25);
    EXPECT_TRUE(values.overOver);
    EXPECT_FALSE(values.soundEffects);
    EXPECT_FALSE(values.historyEnabled);
    // The keys the start-up and the history read.
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::EvdevHotkey)), QStringLiteral("true"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::MaxRecordingDuration)), QStringLiteral("25"));
    EXPECT_EQ(settings.string(QString::fromLatin1(SettingsKey::HistoryEnabled)), QStringLiteral("false"));

    const std::pair<int, int> retention[] = {{7, 7}, {0, 1}, {-4, 1}, {99999, SettingsModel::kMaxRetentionDays}};
    for (const auto& [given, stored] : retention) {
        EXPECT_EQ(model.setHistoryRetentionDays(given), stored) << given;
        EXPECT_EQ(model.load().historyRetentionDays, stored) << given;
    }
}

} // namespace
} // namespace velnor
