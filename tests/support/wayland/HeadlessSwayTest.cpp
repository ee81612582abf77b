// The headless Sway fixture: clients run as the session user, get the
// keyboard focus from the fixture's virtual keyboard, and grim sees them.
#include "support/desktop/FieldApp.h"
#include "support/TempDir.h"
#include "support/wayland/HeadlessSway.h"

#include <QImage>

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

TEST(HeadlessSwayTest, ANativeClientGetsTheFocusAndShowsOnTheScreenshot)
{
    HeadlessSway sway({.xwayland = true});
    ASSERT_TRUE(sway.isRunning()) << sway.error().toStdString();
    EXPECT_TRUE(sway.xDisplay().startsWith(QLatin1Char(':'))) << sway.xDisplay().toStdString();

    QStringList line = HeadlessSway::command(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-gtk-entry"),
                                             {QStringLiteral("sway-gtk")});
    FieldApp gtk(line.takeFirst(), line, sway.clientEnvironment());
    ASSERT_TRUE(gtk.isReady());
    EXPECT_TRUE(waitUntil([&] { return sway.focusedTitle() == QLatin1String("sway-gtk"); }, 10000))
        << "focused: " << sway.focusedTitle().toStdString();
    EXPECT_EQ(gtk.setText(QStringLiteral("typed")), QStringLiteral("typed"));

    const TempDir dir;
    const QString png = dir.filePath(QStringLiteral("screen.png"));
    ASSERT_TRUE(sway.screenshot(png));
    const QImage screen(png);
    EXPECT_EQ(screen.size(), QSize(1280, 720));
    // The window covers the output: the background colour is gone from its middle.
    EXPECT_NE(screen.pixelColor(640, 360), QColor(0x30, 0x50, 0x70));
}

} // namespace
} // namespace velnor::test
