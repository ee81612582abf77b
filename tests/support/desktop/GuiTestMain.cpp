// GoogleTest entry point for tests on the test desktop: a QGuiApplication on
// its X display is a real X11 client, so the test can own the user's clipboard.
#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Without a display Qt still starts (offscreen), so tests can be listed
    // and can say why they do not run.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
