// GoogleTest entry point with a widget application on the X display of the
// test desktop.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

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
