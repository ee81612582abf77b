#include "ui/onboarding/OnboardingModel.h"
#include "ui/support/UiHarness.h"

#include <gtest/gtest.h>

#include <tuple>

namespace velnor {
namespace {

using Step = OnboardingStep;
using MicStatus = MicrophonePermission::Status;

// The harness's permissions: a microphone already authorised, accessibility off.
class OnboardingTest : public ::testing::Test, protected test::UiHarness {
protected:
    std::unique_ptr<OnboardingModel> makeModel(Step initial = Step::Welcome)
    {
        auto model = std::make_unique<OnboardingModel>(settings, scheduler, permissions, services().relaunch, initial);
        model->appear();
        return model;
    }
};

TEST_F(OnboardingTest, ASlowDesktopNeverHasTwoChecksOnTheirWay)
{
    auto model = makeModel(Step::Accessibility);
    accessibility.checksUntilEnabled = 2;
    accessibility.holdAnswers = true;
    model->openAccessibilitySettings();
    const int checksBefore = accessibility.checks;
    scheduler.advanceBy(seconds(5));
    EXPECT_EQ(accessibility.checks, checksBefore + 1) << "the next tick waits for the answer";

    accessibility.releaseAnswers(); // "not yet"
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(accessibility.checks, checksBefore + 2);
    accessibility.releaseAnswers();
    EXPECT_TRUE(model->hasAccessibilityPermission());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Microphone);

    // An answer that arrives after the model is gone touches nothing.
    model->openAccessibilitySettings();
    scheduler.advanceBy(seconds(0.5));
    model.reset();
    accessibility.releaseAnswers();
}

TEST_F(OnboardingTest, GrantDuringOnboardingGoesThroughRestartAndResumesAfterIt)
{
    accessibility.checksUntilEnabled = 3;
    auto model = makeModel();
    model->beginSetup();
    model->openAccessibilitySettings();
    model->openAccessibilitySettings(); // a second press starts no second poll
    EXPECT_TRUE(model->isWaitingForAccessibility());

    const int checksBefore = accessibility.checks;
    scheduler.advanceBy(seconds(1.0));
    EXPECT_EQ(accessibility.checks, checksBefore + 2); // one check per 0.5 s
    EXPECT_FALSE(model->hasAccessibilityPermission());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_TRUE(model->hasAccessibilityPermission());
    EXPECT_TRUE(model->wasAccessibilityJustSet());
    EXPECT_TRUE(settings.boolean(key(SettingsKey::WasAccessibilityJustSet)));
    EXPECT_FALSE(model->isWaitingForAccessibility());
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Microphone);
    scheduler.advanceBy(seconds(5));
    EXPECT_EQ(accessibility.checks, checksBefore + 3); // the poll stopped

    model->grantMicrophone();
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(model->step(), Step::Restart);
    model->restartNow();
    EXPECT_EQ(relaunches, 1);
    EXPECT_TRUE(settings.boolean(key(SettingsKey::NeedsRestartAfterPermissions)));

    // The relaunched app: the onboarding shows again, once, even over an
    // earlier completion, and knows the grant.
    model.reset();
    settings.setBool(key(SettingsKey::OnboardingCompleted), true);
    EXPECT_TRUE(OnboardingModel::shouldShowAtFirstAppearance(settings));
    EXPECT_FALSE(OnboardingModel::shouldShowAtFirstAppearance(settings));
    auto relaunched = makeModel();
    EXPECT_TRUE(relaunched->wasAccessibilityJustSet());
    EXPECT_TRUE(relaunched->hasAccessibilityPermission());
    EXPECT_FALSE(settings.contains(key(SettingsKey::WasAccessibilityJustSet)));
}

TEST_F(OnboardingTest, AFinishedOnboardingPollsNoMoreAndAFailedRelaunchKeepsTheAppRunningAndLetsTheUserGoOn)
{
    auto finished = makeModel();
    finished->beginSetup();
    finished->openAccessibilitySettings();
    finished->finish();
    const int checks = accessibility.checks;
    scheduler.advanceBy(seconds(3));
    EXPECT_EQ(accessibility.checks, checks);

    relaunchError = QStringLiteral("No such file");
    auto model = makeModel(Step::Restart);
    model->restartNow();
    EXPECT_EQ(model->step(), Step::Restart);
    EXPECT_TRUE(model->errorText().contains(QStringLiteral("No such file")));
    // No restart is pending, so the next start does not reopen the onboarding for it.
    EXPECT_FALSE(settings.contains(key(SettingsKey::NeedsRestartAfterPermissions)));
    model->continueWithoutRestart();
    EXPECT_EQ(model->step(), Step::Complete);
}

TEST_F(OnboardingTest, MicrophoneStepAsksTheLiveStatusNotTheStoredAnswer)
{
    // The live status, the user's answer if asked, then the outcome and the questions asked.
    const std::tuple<MicStatus, bool, bool, int> cases[] = {
        {MicStatus::Denied, true, false, 0},        {MicStatus::Restricted, true, false, 0},
        {MicStatus::NotDetermined, false, false, 1}, {MicStatus::NotDetermined, true, true, 1},
        {MicStatus::Authorized, false, true, 0}};
    for (const auto& [status, answer, granted, requests] : cases) {
        SCOPED_TRACE(int(status));
        FakeMicrophonePermission mic(status, answer);
        PermissionManager manager(settings, accessibility, mic);
        OnboardingModel model(settings, scheduler, manager, services().relaunch, Step::Microphone);
        // A grant stored earlier (the microphone has been unplugged since) proves nothing.
        settings.setBool(key(SettingsKey::MicrophonePermission), true);
        model.grantMicrophone();
        scheduler.advanceBy(seconds(0.5));
        EXPECT_EQ(model.hasMicrophonePermission(), granted);
        EXPECT_EQ(mic.requestCount(), requests);
        EXPECT_EQ(settings.boolean(key(SettingsKey::MicrophonePermission)), granted);
        EXPECT_EQ(model.step(), granted ? Step::Complete : Step::Microphone);
        EXPECT_EQ(model.errorText().isEmpty(), granted);
    }
}

} // namespace
} // namespace velnor
