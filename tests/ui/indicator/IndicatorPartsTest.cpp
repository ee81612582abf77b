#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "platform/fake/FakeSystemLog.h"
#include "support/LogCapture.h"
#include "ui/indicator/AudioWaveformViewModel.h"
#include "ui/indicator/CustomContentView.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/IndicatorGeometry.h"
#include "ui/indicator/IndicatorPainter.h"
#include "ui/indicator/IndicatorSurface.h"
#include "ui/indicator/LayerShellIndicatorView.h"
#include "ui/indicator/WaveformMath.h"

#include "platform/OverlayLayer.h"

#include <QHash>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <tuple>

namespace velnor {
namespace {

const QSize kSmall(40, 6);
const QSize kLarge(100, 30);
const QRectF kLaptop(0, 0, 1440, 875);
const QRectF kSecondScreen(1920, 0, 1920, 1080);
const QRectF kBesideLeftPanel(100, 0, 1820, 1080);

// Renders a frozen frame at one pixel per point.
QImage render(const IndicatorScene& scene)
{
    QImage image(scene.size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintIndicator(painter, scene);
    painter.end();
    return image;
}

IndicatorScene sceneFor(WindowSize size)
{
    const WindowStyle& style = windowStyle(size);
    IndicatorScene scene;
    scene.size = style.size;
    scene.cornerRadius = style.cornerRadius;
    scene.background = style.backgroundColor;
    scene.alpha = style.alphaValue;
    return scene;
}

// Rows of column x whose pixel is saturated colour (a bar, not the grey pill).
int colouredRows(const QImage& image, int x)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QColor pixel = image.pixelColor(x, y);
        rows += pixel.hsvSaturation() > 128 && pixel.value() > 80 ? 1 : 0;
    }
    return rows;
}

TEST(IndicatorPainter, BarsFollowTheLevels)
{
    IndicatorScene scene = sceneFor(WindowSize::Large);
    scene.hasContent = true;
    scene.front = {true, 0};
    const BarLevels levels{1.0, 0.0, 0.5};
    std::transform(levels.begin(), levels.end(), scene.barHeights.begin(), barHeightFraction);
    const QImage image = render(scene);
    // Half the 30-point height, a tenth, three tenths.
    const double firstBar = faceLayout(QSizeF(100, 30)).waveformHost.center().x() - 29;
    const auto barColumn = [&](int bar) { return static_cast<int>(firstBar + bar * 6 + 2); };
    EXPECT_NEAR(colouredRows(image, barColumn(0)), 15, 1);
    EXPECT_NEAR(colouredRows(image, barColumn(1)), 3, 1);
    EXPECT_NEAR(colouredRows(image, barColumn(2)), 9, 1);
    EXPECT_EQ(colouredRows(image, barColumn(0) + 3), 0); // the gap between bars
    EXPECT_EQ(image.pixelColor(99, 29).alpha(), 0);        // a clear corner
}

// Each frame sits five points inside the available area. A compositor
// overlay cannot be placed by coordinates: it clings to its position's own
// edges, at the frame's distance from them.
TEST(IndicatorGeometry, FramesSitFivePointsInsideTheAreaAndOverlaysClingToTheSameEdges)
{
    using namespace OverlayAnchor;
    // Position, frame size, available area; the frame's origin; the overlay's anchors and margins.
    const std::tuple<IndicatorPosition, QSizeF, QRectF, QPointF, std::uint32_t, QMargins> cases[] = {
        // The idle bar at top_right of a 1440×875 area (y counted downwards).
        {IndicatorPosition::TopRight, kSmall, kLaptop, {1395, 5}, Top | Right, {0, 5, 5, 0}},
        {IndicatorPosition::TopLeft, kSmall, kLaptop, {5, 5}, Top | Left, {5, 5, 0, 0}},
        {IndicatorPosition::TopCenter, kLarge, kLaptop, {670, 5}, Top, {0, 5, 0, 0}},
        {IndicatorPosition::BottomCenter, kSmall, kLaptop, {700, 864}, Bottom, {0, 0, 0, 5}},
        {IndicatorPosition::BottomRight, kLarge, kLaptop, {1335, 840}, Bottom | Right, {0, 0, 5, 5}},
        {IndicatorPosition::BottomLeft, kSmall, kSecondScreen, {1925, 1069}, Bottom | Left, {5, 0, 0, 5}},
        {IndicatorPosition::BottomRight, kLarge, kBesideLeftPanel, {1815, 1045}, Bottom | Right, {0, 0, 5, 5}},
    };
    for (const auto& [position, size, available, origin, anchors, margins] : cases) {
        SCOPED_TRACE(positionSettingValue(position).toStdString());
        EXPECT_EQ(originFor(position, size, available), origin);
        EXPECT_EQ(positionOfFrame(QRectF(origin, size), available), position);
        const OverlayPlacement placement = overlayPlacementFor(QRect(origin.toPoint(), size.toSize()), available.toRect());
        EXPECT_EQ(placement.anchors, anchors);
        EXPECT_EQ(placement.margins, margins);
    }
    // Nothing to measure against, or a value this version does not write: bottom centre.
    EXPECT_EQ(positionOfFrame(QRectF(), kLaptop), IndicatorPosition::BottomCenter);
    EXPECT_EQ(positionFromSetting(QStringLiteral("TOP_LEFT")), IndicatorPosition::BottomCenter);
    EXPECT_EQ(positionFromSetting(std::nullopt), IndicatorPosition::BottomCenter);
    EXPECT_EQ(positionOfFrame(QRectF(0, 0, 40, 6), QRectF()), IndicatorPosition::BottomCenter);
}

TEST(IndicatorGeometry, RoundedRegionLeavesTheCornersOut)
{
    const QRegion pill = roundedRegion(QSize(100, 30), 15);
    EXPECT_FALSE(pill.contains(QPoint(0, 0)));
    EXPECT_FALSE(pill.contains(QPoint(99, 29)));
    EXPECT_TRUE(pill.contains(QPoint(50, 15)));
    // A radius larger than the bar allows is capped, and zero is a plain rectangle.
    EXPECT_TRUE(roundedRegion(QSize(40, 6), 15).contains(QPoint(20, 0)));
    EXPECT_TRUE(roundedRegion(QSize(40, 6), 0).contains(QPoint(0, 0)));
}

class RecordingOverlay final : public OverlayLayer {
public:
    bool isAvailable() const override { return true; }
    void show(const QImage& image, std::uint32_t anchors, const QMargins& margins) override
    {
        shown.append({image, {anchors, margins}});
    }
    QList<QPair<QImage, OverlayPlacement>> shown;
};

TEST(IndicatorGeometry, TheOverlayViewShowsThePaintersPictureOnceBroughtToFront)
{
    RecordingOverlay overlay;
    LayerShellIndicatorView view(overlay, [] { return kLaptop.toRect(); });
    // Halfway through the flip to the recognising face: every element drawn.
    IndicatorScene scene = sceneFor(WindowSize::Large);
    scene.hasContent = true;
    scene.front = {true, -0.5};
    scene.back = {true, 0.5};
    scene.barHeights.fill(0.3);
    scene.ripple = {0, 0.1, 0.3, 0.5, 0.7, 0.9, 1, 1, 1};
    scene.appIcon = QImage(64, 32, QImage::Format_ARGB32);
    scene.appIcon.fill(Qt::white);
    view.setFrame(QRect(QPoint(1335, 5), scene.size.toSize())); // top right
    view.present(scene);
    EXPECT_TRUE(overlay.shown.isEmpty()) << "nothing shows before the controller brings it up";

    view.bringToFront(false);
    view.present(scene);
    ASSERT_EQ(overlay.shown.size(), 2);
    EXPECT_EQ(overlay.shown.last().first, render(scene));
    EXPECT_EQ(overlay.shown.last().second, (OverlayPlacement{OverlayAnchor::Top | OverlayAnchor::Right, {0, 5, 5, 0}}));
}

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
    const std::tuple<const char*, QVector<float>, BarLevels> cases[] = {
        {"hundred picks every tenth", ramp(100), BarLevels{0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}},
        {"three pad with the last", {0.2f, 0.5f, 0.9f}, BarLevels{0.2, 0.5, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9, 0.9}},
        {"empty is silence", {}, BarLevels{}},
        {"out of range and non-finite", {-0.5f, 1.5f, nan, inf, -inf, 0.25f}, BarLevels{0, 1, 0, 0, 0, 0.25, 0.25, 0.25, 0.25, 0.25}},
        {"a trailing NaN pads with zero", {0.6f, nan}, BarLevels{0.6, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [name, levels, expected] : cases) {
        const BarLevels result = barsFromLevels(levels);
        for (std::size_t i = 0; i < result.size(); ++i)
            EXPECT_NEAR(result[i], expected[i], 1e-6) << name << " bar " << i;
    }
}

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
    int randomDraws = 0;

    void make()
    {
        controller = std::make_unique<FloatingWindowController>(FloatingWindowController::Dependencies{
            scheduler, settings, log.logger(), systemLog, surface, [] { return kLaptop.toRect(); }, [this] { return icon; },
            [this] { return scheduler.now(); },
            [this] {
                ++randomDraws;
                return 0.5;
            }});
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
    // The steps, then the size and whether it is recording and recognising.
    const std::tuple<const char*, WindowSize, bool, bool> cases[] = {
        {"record 1 record", WindowSize::Large, true, false}, // a second start does not resize
        {"record 1 finish 0.2 finish", WindowSize::Small, false, false},
        {"record 0.1 reset", WindowSize::Small, false, false},
        {"record 1 finish 0.1 record", WindowSize::Large, true, false}, // keeps the pill
        {"recognize", WindowSize::Small, false, true},
    };
    for (const auto& [steps, size, recording, recognizing] : cases) {
        SCOPED_TRACE(steps);
        make();
        const QHash<QString, std::function<void()>> calls{
            {QStringLiteral("record"), [this] { controller->startRecording(); }},
            {QStringLiteral("recognize"), [this] { controller->startRecognizing(); }},
            {QStringLiteral("finish"), [this] { controller->finishRecognizing(); }},
            {QStringLiteral("reset"), [this] { controller->resetToInitialState(); }}};
        for (const QString& step : QString::fromLatin1(steps).split(QLatin1Char(' '))) {
            bool isWait = false;
            const double wait = step.toDouble(&isWait);
            isWait ? scheduler.advanceBy(seconds(wait)) : calls.value(step)();
        }
        scheduler.advanceBy(seconds(2));
        EXPECT_EQ(controller->currentSize(), size);
        EXPECT_EQ(controller->isRecording(), recording);
        EXPECT_EQ(controller->isRecognizing(), recognizing);
        EXPECT_EQ(surface.frame().size(), size == WindowSize::Large ? kLarge : kSmall);
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
    scheduler.advanceBy(seconds(1));
    EXPECT_GT(randomDraws, 0) << "random levels until the recorder speaks";
    const float nan = std::numeric_limits<float>::quiet_NaN();
    controller->showWaveformLevels({1, nan, 0.5f});
    const int drawsBeforeTheBatch = randomDraws;
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
    EXPECT_EQ(randomDraws, drawsBeforeTheBatch) << "a real batch ends the random levels for good";
    // A fresh pill starts silent and random again.
    controller->resetToInitialState();
    settle();
    controller->startRecording();
    EXPECT_FALSE(controller->contentView()->waveformViewModel().usesExternalSamples());
    // A pill gone while its random levels tick draws nothing more.
    controller->resetToInitialState();
    const int drawsWhenGone = randomDraws;
    scheduler.advanceBy(seconds(2));
    EXPECT_EQ(randomDraws, drawsWhenGone);
}

TEST_F(ControllerTest, PositionChangesMoveStoreAndLog)
{
    storePosition("bottom_left");
    make();
    EXPECT_EQ(surface.frame(), QRect(5, 864, 40, 6)); // starts small where it was left
    EXPECT_GE(surface.raises, 1);
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

    // A pill grows from the corner it sits in; moving while it grows keeps it whole.
    controller->startRecording();
    scheduler.advanceBy(seconds(0.1));
    EXPECT_EQ(surface.frame().bottomLeft(), QPoint(5, 869));
    controller->setPosition(QStringLiteral("top_right"));
    settle();
    EXPECT_EQ(surface.frame(), QRect(1335, 5, 100, 30));
    controller->resetToInitialState();
    settle();
    controller->startRecording();
    scheduler.advanceBy(seconds(0.1));
    EXPECT_EQ(surface.frame().topRight(), QPoint(1434, 5));
    settle();

    // After a desktop switch it returns to the stored place.
    storePosition("bottom_right");
    controller->handleSpaceChange();
    EXPECT_EQ(surface.frame(), QRect(1335, 840, 100, 30));
}

TEST_F(ControllerTest, AWrongSizedIdleBarIsCorrectedAndActivatedEditorsRaiseItWithoutFocus)
{
    make();
    surface.m_frame = QRect(690, 850, 60, 20);
    controller->forceCorrectSmallWindowSize();
    EXPECT_EQ(surface.frame(), QRect(700, 864, 40, 6));
    EXPECT_TRUE(log.contains(QStringLiteral("检测到small窗口尺寸异常，强制修正: 当前(60×20) -> 正确(40×6)")));
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
