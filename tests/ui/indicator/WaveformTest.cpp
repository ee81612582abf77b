#include "core/ManualScheduler.h"
#include "ui/indicator/AudioWaveformViewModel.h"
#include "ui/indicator/CustomContentView.h"
#include "ui/indicator/WaveformMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velnor {
namespace {

TEST(WaveformLevels, BatchesBecomeTenSaneBars)
{
    const auto ramp = [](int count) {
        QVector<float> levels;
        for (int i = 0; i < count; ++i)
            levels.append(static_cast<float>(i) / 100.0f);
        return levels;
    };
    constexpr float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        QVector<float> levels;
        BarLevels expected;
    };
    const Case cases[] = {
        {"hundred picks every tenth", ramp(100), BarLevels{0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}},
        {"three pad with the last", {0.2f, 0.5f, 0.9f}, BarLevels{0.2, 0.5, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9}},
        {"empty is silence", {}, BarLevels{}},
        {"out of range and non-finite", {-0.5f, 1.5f, nan, inf, -inf, 0.25f}, BarLevels{0, 1, 0, 0, 0, 0.25, 0.25, 0.25, 0.25, 0.25}},
        {"a trailing NaN pads with zero", {0.6f, nan}, BarLevels{0.6, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"twenty-five step by two", ramp(25), BarLevels{0, 0.02, 0.04, 0.06, 0.08, 0.1, 0.12, 0.14, 0.16, 0.18}},
    };
    for (const Case& c : cases) {
        const BarLevels result = barsFromLevels(c.levels);
        for (std::size_t i = 0; i < result.size(); ++i)
            EXPECT_NEAR(result[i], c.expected[i], 1e-6) << c.name << " bar " << i;
    }
    EXPECT_DOUBLE_EQ(barHeightFraction(1.0), 0.5);
    EXPECT_DOUBLE_EQ(barHeightFraction(0.0), 0.1);
}

TEST(WaveformLevels, HueStaysInsideZeroToOne)
{
    const std::pair<double, double> cases[] = {
        {0.3, 0.3}, {1.05, 0.05}, {1.0, 0.0}, {-0.2, 0.8}, {std::nan(""), 0.0}, {7.25, 0.25}};
    for (const auto& [hue, wrapped] : cases)
        EXPECT_NEAR(wrapHue(hue), wrapped, 1e-9) << hue;
    // The bottom colour of a hue near the end of the cycle is red again.
    EXPECT_NEAR(barBottomColor(0.95).hueF(), 0.05, 0.01);
}

struct WaveformModelTest : ::testing::Test {
    ManualScheduler scheduler;
    int draws = 0;
    std::function<double()> random = [this] { return ++draws * 0.01; };
};

TEST_F(WaveformModelTest, RandomLevelsUntilTheFirstRealBatchThenNeverAgainNorOnceGone)
{
    AudioWaveformViewModel model(scheduler, random);
    model.startAnimating(scheduler.now());
    model.startAnimating(scheduler.now()); // a second start adds no second timer
    scheduler.advanceBy(seconds(0.5));
    EXPECT_EQ(draws, 10);
    EXPECT_DOUBLE_EQ(model.samples()[9], 0.10);
    scheduler.advanceBy(seconds(1.0));
    EXPECT_EQ(draws, 30);

    model.updateWithExternalSamples({});
    EXPECT_TRUE(model.usesExternalSamples());
    scheduler.advanceBy(seconds(5));
    EXPECT_EQ(draws, 30);
    EXPECT_EQ(model.samples(), BarLevels{});
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // A model gone while it animates draws nothing more.
    {
        AudioWaveformViewModel gone(scheduler, random);
        gone.startAnimating(scheduler.now());
    }
    scheduler.advanceBy(seconds(2));
    EXPECT_EQ(draws, 30);
}

TEST_F(WaveformModelTest, FacesFlipOnlyOnAChange)
{
    CustomContentView content(scheduler, random, scheduler.now());
    const auto sceneAt = [&](Duration when) {
        IndicatorScene scene;
        content.fillScene(scene, when);
        return scene;
    };
    content.setState(ViewState::Recording, scheduler.now());
    IndicatorScene scene = sceneAt(scheduler.now());
    EXPECT_EQ(scene.front.offset, 0.0);
    EXPECT_FALSE(scene.back.visible);

    content.setState(ViewState::Recognizing, seconds(1));
    scene = sceneAt(seconds(1.25));
    EXPECT_FALSE(content.showingFront());
    EXPECT_EQ(content.currentState(), ViewState::Recognizing);
    // Half-way through the push the new face rises from below, the old one leaves upwards.
    EXPECT_NEAR(scene.back.offset, 0.5, 1e-6);
    EXPECT_NEAR(scene.front.offset, -0.5, 1e-6);
    scene = sceneAt(seconds(1.5));
    EXPECT_FALSE(scene.front.visible);
    EXPECT_EQ(scene.back.offset, 0.0);

    content.setState(std::nullopt, seconds(2));
    EXPECT_TRUE(content.showingFront());
    EXPECT_EQ(content.currentState(), ViewState::Recognizing); // none flips without a new state
}

} // namespace
} // namespace velnor
