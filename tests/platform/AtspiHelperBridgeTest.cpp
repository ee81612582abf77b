// The app's side of the AT-SPI helper: answers matched to questions, where
// the helper is looked for, what happens when it cannot start.
#include "platform/linux/atspi/AtspiHelperBridge.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace velnor::test {
namespace {

QString executable(const TempDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.writeFile(name, content);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

// A helper that answers each question correctly, but only after a line a
// library printed and the late answer of an earlier question; `onWrite` is
// what it does when asked to write.
QByteArray helperScript(const QByteArray& onWrite)
{
    return R"(#!/bin/sh
while IFS= read -r line; do
  seq=$(printf '%s' "$line" | sed -n 's/.*"seq":\([0-9]*\).*/\1/p')
  echo "(helper:42): atspi-DEBUG: a stray line"
  echo '{"seq":'$((seq - 1))',"ok":false}'
  case "$line" in
    *'"op":"application"'*) echo '{"seq":'$seq',"ok":true,"id":7}' ;;
    *'"op":"role"'*) echo '{"seq":'$seq',"ok":true,"value":"AXTextField"}' ;;
    *'"op":"setSelectedText"'*) )"
        + onWrite + R"( ;;
    *) echo '{"seq":'$seq',"ok":true}' ;;
  esac
done
)";
}

TEST(AtspiHelperBridge, StrayAndLateLinesNeverShiftTheAnswersAndAWriteWithoutOneIsUnknown)
{
    TempDir dir;
    atspi::AtspiHelperBridge bridge(
        executable(dir, QStringLiteral("helper"), helperScript(R"(echo '{"seq":'$seq',"ok":true,"result":"written"}')")));
    EXPECT_TRUE(bridge.isAvailable());
    const auto application = bridge.applicationElement(42, seconds(1.0), seconds(1.0));
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(application->role(), QStringLiteral("AXTextField"));
    EXPECT_EQ(application->setSelectedText(QStringLiteral("你好")), WriteResult::Written);

    // A write without an answer is unknown; a helper that cannot start is reported once.
    QStringList reports;
    const auto collect = [&reports](const QString& why) { reports << why; };
    // Stuck on its target when it writes.
    atspi::AtspiHelperBridge slow(executable(dir, QStringLiteral("stuck"), helperScript("exec sleep 30")), collect);
    const auto stuck = slow.applicationElement(42, Duration(100), Duration(100));
    ASSERT_NE(stuck, nullptr);
    EXPECT_EQ(stuck->setSelectedText(QStringLiteral("x")), WriteResult::Unknown);
    EXPECT_EQ(reports.size(), 1);

    reports.clear();
    atspi::AtspiHelperBridge missing(dir.filePath(QStringLiteral("absent")), collect);
    EXPECT_FALSE(missing.isAvailable());
    EXPECT_FALSE(missing.isAvailable());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(dir.filePath(QStringLiteral("absent"))));
}

TEST(AtspiHelperBridge, TheHelperIsFoundBesideTheAppOrWhereThePackagePutsIt)
{
    TempDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("usr/bin"));
    const QString bin = dir.filePath(QStringLiteral("usr/bin"));
    const QString build = QStringLiteral("/build/velnor-atspi-helper");
    EXPECT_EQ(atspi::AtspiHelperBridge::findHelper(bin, build), build);

    executable(dir, QStringLiteral("usr/libexec/velnor/velnor-atspi-helper"), "#!/bin/sh\n");
    EXPECT_EQ(atspi::AtspiHelperBridge::findHelper(bin, build),
              dir.filePath(QStringLiteral("usr/libexec/velnor/velnor-atspi-helper")));

    executable(dir, QStringLiteral("build/velnor-atspi-helper"), "#!/bin/sh\n");
    EXPECT_EQ(atspi::AtspiHelperBridge::findHelper(dir.filePath(QStringLiteral("build")), build),
              dir.filePath(QStringLiteral("build/velnor-atspi-helper")));
}

} // namespace
} // namespace velnor::test
