#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "platform/fake/FakeSystemLog.h"
#include "support/LogCapture.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/IndicatorSurface.h"

#include <QHash>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace velnor {
namespace {

const QRect kScreen(0, 0, 1440, 875);
const QSize kSmall(40, 6);
const QSize kLarge(100, 30);

// Records what the controller asks of its window.
class FakeIndicatorSurface final : public IndicatorSurface {
public:
    QRect frame() const override { return m_frame; }
    void setFrame(const QRect& frame) override { m_frame = frame; }
    void present(const IndicatorScene& scene) override
    {
        lastScene = scene;
        ++presents;
    }
    void bringToFront(bool forced) override { (forced ? forcedRaises : raises) += 1; }
    bool isComposited() const override { return true; }

    QRect m_frame;
    IndicatorScene lastScene;
    int presents = 0;
    int raises = 0;
    int forcedRaises = 0;
};

struct ControllerTest : ::testing::Test {
    ManualScheduler scheduler;
    MemorySettingsStore settings;
    test::LogCapture log;
    FakeSystemLog systemLog;
    FakeIndicatorSurface surface;
    QImage icon = [] {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::red);
        return image;
    }();
    std::unique_ptr<FloatingWindowController> controller;

    void make()
    {
        controller = std::make_unique<FloatingWindowController>(FloatingWindowController::Dependencies{
            scheduler, settings, log.logger(), systemLog, surface, [] { return kScreen; }, [this] { return icon; },
            [this] { return scheduler.now(); }, [] { return 0.5; }});
    }
    void storePosition(const char* value)
    {
        settings.setString(QLatin1String(SettingsKey::FloatingWindowPosition), QLatin1String(value));
    }
    QString storedPosition() const
    {
        return settings.stringOr(QLatin1String(SettingsKey::FloatingWindowPosition), QString());
    }
    void settle() { scheduler.advanceBy(seconds(1)); }
};

TEST_F(ControllerTest, StartsSmallAtTheStoredPosition)
{
    const std::pair<const char*, QPoint> cases[] = {
        {"top_right", {1395, 5}}, {"bottom_left", {5, 864}}, {"nowhere", {700, 864}}, {"TOP_LEFT", {700, 864}},
        {nullptr, {700, 864}}};
    for (const auto& [stored, origin] : cases) {
        settings.remove(QLatin1String(SettingsKey::FloatingWindowPosition));
        if (stored)
            storePosition(stored);
        make();
        EXPECT_EQ(surface.frame(), QRect(origin, kSmall)) << (stored ? stored : "(none)");
        EXPECT_EQ(controller->currentSize(), WindowSize::Small);
        EXPECT_GE(surface.raises, 1);
    }
}

TEST_F(ControllerTest, GrowsAnchoredAndShrinksBackAfterTheText)
{
    storePosition("bottom_center");
    make();
    controller->startRecording();
    scheduler.advanceBy(seconds(0.15));
    const QRect midway = surface.frame();
    EXPECT_GT(midway.width(), kSmall.width());
    EXPECT_LT(midway.width(), kLarge.width());
    EXPECT_EQ(midway.bottom(), QRect(700, 864, 40, 6).bottom());
    scheduler.advanceBy(seconds(0.2));
    EXPECT_EQ(surface.frame(), QRect(670, 840, 100, 30));
    EXPECT_EQ(surface.lastScene.cornerRadius, 15);
    EXPECT_EQ(surface.lastScene.appIcon, icon);
    const int whileLarge = surface.presents;
    scheduler.advanceBy(seconds(1));
    EXPECT_GT(surface.presents - whileLarge, 25); // the waveform moves every frame

    controller->startRecognizing();
    EXPECT_FALSE(controller->contentView()->showingFront());
    controller->finishRecognizing();
    scheduler.advanceBy(seconds(0.29));
    EXPECT_EQ(surface.frame().size(), kLarge);
    settle();
    EXPECT_EQ(surface.frame(), QRect(700, 864, 40, 6));
    EXPECT_FALSE(surface.lastScene.hasContent);
    // Idle, nothing repaints; only the re-raise every 2 s stays armed.
    const int idle = surface.presents;
    scheduler.advanceBy(seconds(30));
    EXPECT_EQ(surface.presents, idle);
    EXPECT_GE(surface.raises, 15);
    EXPECT_EQ(log.messages().mid(0, 3), QStringList({QStringLiteral("开始录音状态"), QStringLiteral("开始识别状态"),
                                             QStringLiteral("完成识别，准备收缩")}));
}

TEST_F(ControllerTest, StateSequences)
{
    // Words name the controller's calls; numbers are seconds that pass between them.
    struct Case {
        QString steps;
        WindowSize size;
        bool recording;
        bool recognizing;
    };
    const Case cases[] = {
        {QStringLiteral("record 1 record"), WindowSize::Large, true, false}, // a second start does not resize
        {QStringLiteral("record 1 finish 0.2 finish"), WindowSize::Small, false, false},
        {QStringLiteral("record 0.1 reset"), WindowSize::Small, false, false},
        {QStringLiteral("record 1 finish 0.1 record"), WindowSize::Large, true, false}, // keeps the pill
        {QStringLiteral("recognize"), WindowSize::Small, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps.toStdString());
        make();
        const QHash<QString, std::function<void()>> calls{
            {QStringLiteral("record"), [this] { controller->startRecording(); }},
            {QStringLiteral("recognize"), [this] { controller->startRecognizing(); }},
            {QStringLiteral("finish"), [this] { controller->finishRecognizing(); }},
            {QStringLiteral("reset"), [this] { controller->resetToInitialState(); }}};
        for (const QString& step : c.steps.split(QLatin1Char(' '))) {
            bool isWait = false;
            const double wait = step.toDouble(&isWait);
            isWait ? scheduler.advanceBy(seconds(wait)) : calls.value(step)();
        }
        scheduler.advanceBy(seconds(2));
        EXPECT_EQ(controller->currentSize(), c.size);
        EXPECT_EQ(controller->isRecording(), c.recording);
        EXPECT_EQ(controller->isRecognizing(), c.recognizing);
        EXPECT_EQ(surface.frame().size(), c.size == WindowSize::Large ? kLarge : kSmall);
        EXPECT_EQ(surface.frame().center().x(), 719); // bottom centre throughout
        EXPECT_FALSE(controller->isAnimating());
    }
}

TEST_F(ControllerTest, WaveformLevelsReachTheBarsOnlyWhileLarge)
{
    make();
    controller->showWaveformLevels({1, 1, 1}); // small: nowhere to show them
    controller->startRecording();
    EXPECT_FALSE(controller->contentView()->waveformViewModel().usesExternalSamples());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    controller->showWaveformLevels({1, nan, 0.5f});
    scheduler.advanceBy(seconds(2));
    const BarLevels& heights = surface.lastScene.barHeights;
    EXPECT_NEAR(heights[0], 0.5, 1e-3);
    EXPECT_NEAR(heights[1], 0.1, 1e-3);
    EXPECT_NEAR(heights[9], 0.3, 1e-3);
    // Falling to silence, the springs overshoot below zero; the drawn bars do not.
    controller->showWaveformLevels(QVector<float>(10, 0.0f));
    double lowest = 1;
    for (int frame = 0; frame < 30; ++frame) {
        scheduler.advanceBy(Duration(33));
        lowest = std::min(lowest, *std::min_element(heights.begin(), heights.end()));
    }
    EXPECT_EQ(lowest, 0.0);
    // A fresh pill starts silent and random again.
    controller->resetToInitialState();
    controller->startRecording();
    EXPECT_FALSE(controller->contentView()->waveformViewModel().usesExternalSamples());
}

TEST_F(ControllerTest, PositionChangesMoveStoreAndLog)
{
    make();
    controller->setPosition(2);
    EXPECT_EQ(surface.frame(), QRect(1395, 5, 40, 6));
    EXPECT_EQ(storedPosition(), QStringLiteral("top_right"));
    ASSERT_FALSE(systemLog.entries().isEmpty());
    EXPECT_EQ(systemLog.entries().last().second, QStringLiteral("New window position: x: 1395.000000, y: 5.000000"));

    controller->setPosition(7); // out of range: nothing happens
    controller->setPosition(-1);
    EXPECT_EQ(storedPosition(), QStringLiteral("top_right"));
    controller->setPosition(QStringLiteral("bottom_left"));
    EXPECT_EQ(surface.frame(), QRect(5, 864, 40, 6));

    // A top pill grows downwards from its top edge; moving while it grows keeps it whole.
    controller->setPosition(QStringLiteral("top_left"));
    controller->startRecording();
    scheduler.advanceBy(seconds(0.1));
    controller->setPosition(QStringLiteral("top_right"));
    settle();
    EXPECT_EQ(surface.frame(), QRect(1335, 5, 100, 30));

    // After a desktop switch it returns to the stored place.
    storePosition("bottom_right");
    controller->handleSpaceChange();
    EXPECT_EQ(surface.frame(), QRect(1335, 840, 100, 30));
}

TEST_F(ControllerTest, AWrongSizedIdleBarIsCorrected)
{
    make();
    surface.m_frame = QRect(690, 850, 60, 20);
    controller->forceCorrectSmallWindowSize();
    EXPECT_EQ(surface.frame(), QRect(700, 864, 40, 6));
    EXPECT_TRUE(log.contains(QStringLiteral("检测到small窗口尺寸异常，强制修正: 当前(60×20) -> 正确(40×6)")));
}

TEST_F(ControllerTest, ActivatedEditorsRaiseItWithoutFocus)
{
    make();
    controller->handleApplicationActivation(FrontAppInfo{QStringLiteral("google-chrome"), QStringLiteral("Google Chrome"), 1});
    EXPECT_EQ(surface.forcedRaises, 1);
    EXPECT_TRUE(log.contains(QStringLiteral("应用激活: Google Chrome")));
    controller->handleApplicationActivation(FrontAppInfo{std::nullopt, std::nullopt, 2});
    EXPECT_TRUE(log.contains(QStringLiteral("应用激活: Unknown")));
    log.clear();
    controller->handleApplicationActivation(std::nullopt);
    scheduler.advanceBy(seconds(0.6));
    EXPECT_EQ(surface.forcedRaises, 1);
    EXPECT_TRUE(log.messages().isEmpty());
}

} // namespace
} // namespace velnor
