// The indicator on a real X11 desktop (Xvfb + openbox): it never becomes the
// active window, clicks fall through it and it stays on every desktop. Where
// it sits in the screen's free area, IndicatorGeometry proves. The desktop is
// read and driven with the X tools a user would have (xdotool, xprop, xwininfo).
#include "config/MemorySettingsStore.h"
#include "core/QtScheduler.h"
#include "platform/fake/FakeSystemLog.h"
#include "platform/linux/x11/X11OverlayWindows.h"
#include "support/LogCapture.h"
#include "support/desktop/TrayHost.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/FloatingWindowView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::waitUntil;

QString idOf(const QWidget& window)
{
    return QString::number(window.winId());
}

// Where the X server has the window, in root coordinates.
QRect geometryOf(const QWidget& window)
{
    const QString info = test::runTool(QStringLiteral("xwininfo"), {"-id", idOf(window)});
    const auto field = [&info](const char* name) {
        return QRegularExpression(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)")).match(info).captured(1).toInt();
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")};
}

QString activeWindow()
{
    return test::runTool(QStringLiteral("xdotool"), {"getactivewindow"}).trimmed();
}

// An ordinary application window that counts the clicks it gets.
class ClickTarget final : public QWidget {
public:
    using QWidget::QWidget;
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses.append(event->globalPosition().toPoint()); }
};

TEST(IndicatorDesktopTest, NeverActiveClickedThroughOnEveryDesktopAndShownOverAFullScreenWindow)
{
    X11OverlayWindows overlay;
    ASSERT_TRUE(overlay.isAvailable()) << "needs the X desktop of scripts/with-services.sh";
    ClickTarget below(nullptr, Qt::FramelessWindowHint);
    below.setGeometry(660, 680, 600, 400);
    below.show();
    below.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == idOf(below); }));

    QtScheduler scheduler;
    MemorySettingsStore settings;
    test::LogCapture log;
    FakeSystemLog systemLog;
    FloatingWindowView view(&overlay);
    FloatingWindowController controller(FloatingWindowController::Dependencies{
        scheduler, settings, log.logger(), systemLog, view,
        [] { return QGuiApplication::primaryScreen()->availableGeometry(); }, [] { return QImage(); },
        [] { return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch()); },
        [] { return QRandomGenerator::global()->generateDouble(); }});
    const auto indicatorAt = [&view](const QRect& frame) { return geometryOf(view) == frame; };
    controller.startRecording();
    const QRect pill(910, 1045, 100, 30);
    ASSERT_TRUE(waitUntil([&] { return indicatorAt(pill); }));
    test::runEventLoopFor(200); // let the window manager act on the new window, if it would
    EXPECT_EQ(activeWindow(), idOf(below));

    // The first synthetic click on a fresh desktop can be lost on its way in
    // (openbox), so a click beside the pill proves the path first.
    const QPoint beside(700, 720);
    test::clickAt(beside, 1);
    ASSERT_TRUE(waitUntil([&] { return below.presses.contains(beside); }, 3000));
    test::clickAt(pill.center(), 1);
    EXPECT_TRUE(waitUntil([&] { return below.presses.contains(pill.center()); }, 3000))
        << "the click stayed in the indicator";
    EXPECT_EQ(activeWindow(), idOf(below));

    // The idle bar stays put on a desktop switch.
    controller.resetToInitialState();
    const QRect idleBar(940, 1069, 40, 6);
    ASSERT_TRUE(waitUntil([&] { return indicatorAt(idleBar); }));
    EXPECT_TRUE(test::runTool(QStringLiteral("xprop"), {"-id", idOf(view), "_NET_WM_DESKTOP"})
                    .trimmed()
                    .endsWith(QStringLiteral("= 4294967295")));
    const auto switchTo = [](int desktop) {
        test::runTool(QStringLiteral("xdotool"), {"set_desktop", QString::number(desktop)});
        return test::runTool(QStringLiteral("xdotool"), {"get_desktop"}).trimmed() == QString::number(desktop);
    };
    ASSERT_TRUE(switchTo(1)) << "the desktop has one workspace";
    controller.handleSpaceChange();
    test::runEventLoopFor(200);
    EXPECT_TRUE(test::isViewable({idOf(view), {}}));
    EXPECT_TRUE(indicatorAt(idleBar));
    ASSERT_TRUE(switchTo(0));

    QWidget editor;
    editor.setStyleSheet(QStringLiteral("background: white"));
    editor.showFullScreen();
    editor.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == idOf(editor) && geometryOf(editor).height() == 1080; }));
    const auto pixelAt = [](const QPoint& at) {
        return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
    };
    ASSERT_TRUE(waitUntil([&] { return pixelAt(idleBar.topLeft() - QPoint(20, 20)) == Qt::white; }));
    // Without a compositor the idle bar is black at 0.3 over mid-grey.
    const auto barShows = [&] { return qAbs(pixelAt(idleBar.center()).red() - 90) <= 3; };
    controller.bringToFront(true); // what a hotkey press does
    EXPECT_TRUE(waitUntil(barShows, 3000)) << "the full-screen window covers the bar";
    EXPECT_EQ(activeWindow(), idOf(editor));
}

} // namespace
} // namespace velnor

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests must work without any display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
