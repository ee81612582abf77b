// GoogleTest entry point with a widget application. Unit tests draw on the
// offscreen platform; desktop tests use the X display of the test desktop.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests must work without any display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
#ifdef VELNOR_TEST_QPA
    qputenv("QT_QPA_PLATFORM", VELNOR_TEST_QPA);
#endif
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
