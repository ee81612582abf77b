#include "AudioTestSupport.h"
#include "support/TempDir.h"

#include "audio/FileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace velnor {
namespace {

class FileUtilsTest : public ::testing::Test {
protected:

    // A file whose modification time is `minutesAgo` before a fixed moment.
    QString make(const QString& name, int minutesAgo)
    {
        const QString path = dir.writeFile(name, QByteArray(64, 'a'));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(QDateTime(QDate(2026, 3, 1), QTime(12, 0)).addSecs(-60 * minutesAgo),
                                     QFileDevice::FileModificationTime));
        return path;
    }

    test::TempDir dir;
    ManualClock clock;
    test::LogCapture log{clock};
    QStringList pinned; // recordings whose words were never delivered
    FileUtils files{dir.path(), clock, log.logger(), log.printSink(),
                    [this](const QString& path) { return pinned.contains(QFileInfo(path).fileName()); }};
};

// Names are the shortest round trip of the seconds, with a fraction (".0"
// for whole seconds: the pruning test's names); only the app's own names are
// recordings.
TEST_F(FileUtilsTest, NamesAreShortestRoundTripSecondsWithAFraction)
{
    EXPECT_TRUE(FileUtils::isRecordingFileName(QStringLiteral("1765012345.123456.m4a")));
    for (const char* foreign : {"song.m4a", "1765012345.678.M4A", "1765012345.678.m4a.part", "2023.01.m4a",
                                "1765012345.m4a", "x1765012345.678.m4a"})
        EXPECT_FALSE(FileUtils::isRecordingFileName(QString::fromLatin1(foreign))) << foreign;

    clock.set(QDateTime::fromMSecsSinceEpoch(1765012345678));
    EXPECT_EQ(files.newAudioFileURL(), QDir(dir.path()).filePath(QStringLiteral("1765012345.678.m4a")));
    EXPECT_FALSE(QFile::exists(files.newAudioFileURL()));
}

// Age is the modification time, whatever the names say.
TEST_F(FileUtilsTest, PruningKeepsTheNewestAndNeverTouchesForeignOrPinnedFiles)
{
    for (int i = 0; i < 13; ++i)
        make(FileUtils::fileNameFor(1765000000.0 + i), i); // i = 0 is the newest
    for (const char* foreign : {"song.m4a", "1700000000.5.M4A", "notes.txt"})
        make(QString::fromLatin1(foreign), -5); // newer than every recording
    pinned << QStringLiteral("1765000012.0.m4a"); // the only copy of a failed dictation's words
    EXPECT_EQ(files.getLatestAudioFile(), QFileInfo(dir.filePath(QStringLiteral("1765000000.0.m4a"))).absoluteFilePath());
    files.cleanupOldAudioFiles(10);
    files.cleanupOldAudioFiles(10);

    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_EQ(left.size(), 14);
    for (const char* kept : {"1765000012.0.m4a", "1765000009.0.m4a", "song.m4a", "1700000000.5.M4A", "notes.txt"})
        EXPECT_TRUE(left.contains(QString::fromLatin1(kept))) << kept;
    // Newest of the old ones first.
    const QStringList deleted = log.linesWith(QStringLiteral("删除旧录音文件: "));
    ASSERT_EQ(deleted.size(), 2);
    EXPECT_TRUE(deleted[0].endsWith(QStringLiteral("删除旧录音文件: 1765000010.0.m4a")));
    EXPECT_TRUE(deleted[1].endsWith(QStringLiteral("删除旧录音文件: 1765000011.0.m4a")));
}

TEST_F(FileUtilsTest, NoRecordingsOrNoFolderYieldNothingAndAMissingFolderIsCreated)
{
    make(QStringLiteral("song.m4a"), 0);
    EXPECT_EQ(files.getLatestAudioFile(), std::nullopt);
    EXPECT_TRUE(log.printed().isEmpty());

    FileUtils missing(dir.filePath(QStringLiteral("home/Documents")), clock, log.logger(), log.printSink());
    EXPECT_EQ(missing.getLatestAudioFile(), std::nullopt);
    missing.cleanupOldAudioFiles(10);
    ASSERT_EQ(log.printed().size(), 2);
    EXPECT_TRUE(log.printed()[0].startsWith(QStringLiteral("获取录音文件失败: ")));
    EXPECT_TRUE(log.printed()[1].startsWith(QStringLiteral("清理旧录音文件失败: ")));
    EXPECT_EQ(log.linesWith(QStringLiteral("[ERROR]")).size(), 2);

    // A missing folder is created, quietly, for the next recording.
    const QString path = missing.newAudioFileURL();
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("home/Documents"))).isDir());
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(dir.filePath(QStringLiteral("home/Documents"))).absoluteFilePath());
    EXPECT_EQ(log.printed().size(), 2);
}

} // namespace
} // namespace velnor
