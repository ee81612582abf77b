// GoogleTest entry point with a Qt application object, so code under test can
// use QTimer, QSettings, QStandardPaths and friends.
#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Keep tests away from the developer's real configuration and documents.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
