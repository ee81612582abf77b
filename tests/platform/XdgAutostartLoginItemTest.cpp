#include "platform/linux/XdgAutostartLoginItem.h"
#include "support/TempDir.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

TEST(XdgAutostartLoginItem, RegisterWritesAnEntryThatLaunchesThisExecutableHiddenOnesAreOffAndBadFoldersFail)
{
    TempDir dir;
    XdgAutostartLoginItem item(dir.filePath(QStringLiteral("autostart")), QStringLiteral("velnor"),
                               QStringLiteral("/opt/My Apps/velnor"));
    EXPECT_FALSE(item.isEnabled());
    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_TRUE(item.isEnabled());

    QSettings entry(item.desktopFilePath(), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    EXPECT_TRUE(dir.readFile(item.desktopFilePath()).contains("Exec=\"/opt/My Apps/velnor\""));
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("autostart"))).entryList(QDir::Files),
              QStringList{QStringLiteral("velnor.desktop")})
        << "written atomically: no temporary file stays behind";

    ASSERT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.unregisterItem(), std::nullopt) << "unregistering twice is fine";

    // A hidden entry counts as disabled; a folder that cannot be made fails.
    XdgAutostartLoginItem hidden(dir.path(), QStringLiteral("velnor"), QStringLiteral("/usr/bin/velnor"));
    dir.writeFile(QStringLiteral("velnor.desktop"), "[Desktop Entry]\nType=Application\nHidden=true\n");
    EXPECT_FALSE(hidden.isEnabled());

    dir.writeFile(QStringLiteral("file"), "x");
    XdgAutostartLoginItem blocked(dir.filePath(QStringLiteral("file/autostart")), QStringLiteral("velnor"),
                                  QStringLiteral("/usr/bin/velnor"));
    EXPECT_TRUE(blocked.registerItem().has_value());
}
