#include "core/Clock.h"
#include "log/CallSite.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"
#include "platform/fake/FakeSystemLog.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace velnor;
using namespace velnor::test;

namespace {

struct RecognitionLog : ::testing::Test {
    TempDir documents;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(8, 5, 9, 42))};
    LineCollector console;
    FakeSystemLog systemLog;
    SecretRedactor redactor;
    TencentASRLogger logger{documents.path(), clock, console.sink(), systemLog, redactor};

    QString dailyFile(const QString& day = QStringLiteral("2026-12-06")) const
    {
        return documents.filePath(QStringLiteral("TencentASRLogs/tencent_asr_") + day + QStringLiteral(".log"));
    }
};

} // namespace

TEST_F(RecognitionLog, LineFormatCarriesMarkerLevelSiteAndFunction)
{
    logger.info(QStringLiteral("开始连接腾讯云ASR服务"));
    const int line = __LINE__ - 1;
    logger.flush();
    const QString expected =
        QStringLiteral("[2026-12-06 08:05:09.042] ℹ️ INFO [TencentASRLoggerTest.cpp:%1] TestBody() - 开始连接腾讯云ASR服务").arg(line);
    ASSERT_EQ(console.lines(), QStringList{expected});
    EXPECT_EQ(documents.readFile(dailyFile()), expected.toUtf8() + '\n');
}

TEST_F(RecognitionLog, LevelFilterDropsAndDoesNotCountLowerLevels)
{
    logger.setLogLevel(TencentASRLogLevel::Warning);
    logger.debug(QStringLiteral("d"));
    logger.info(QStringLiteral("i"));
    logger.warning(QStringLiteral("w"));
    logger.error(QStringLiteral("e"));
    logger.flush();
    EXPECT_EQ(logger.logCount(TencentASRLogLevel::Debug), 0U);
    EXPECT_EQ(logger.logCount(TencentASRLogLevel::Info), 0U);
    EXPECT_EQ(logger.logCount(TencentASRLogLevel::Warning), 1U);
    EXPECT_EQ(logger.logCount(TencentASRLogLevel::Error), 1U);
    const QStringList lines = console.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.at(0).contains(QStringLiteral("⚠️ WARNING")));
    EXPECT_TRUE(lines.at(1).contains(QStringLiteral("❌ ERROR")));

    logger.setLogLevel(TencentASRLogLevel::None);
    logger.error(QStringLiteral("dropped"));
    logger.flush();
    EXPECT_EQ(logger.logCount(TencentASRLogLevel::Error), 1U);
    EXPECT_EQ(console.lines().size(), 2);
}

TEST_F(RecognitionLog, SystemLogGetsTheBareMessageWithItsSeverity)
{
    logger.setLogLevel(TencentASRLogLevel::Debug);
    logger.debug(QStringLiteral("a"));
    logger.warning(QStringLiteral("b"));
    logger.error(QStringLiteral("c"));
    logger.flush();
    const auto entries = systemLog.entries();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries.at(0), std::make_pair(SystemLog::Type::Debug, QStringLiteral("a")));
    EXPECT_EQ(entries.at(1), std::make_pair(SystemLog::Type::Default, QStringLiteral("b")));
    EXPECT_EQ(entries.at(2), std::make_pair(SystemLog::Type::Error, QStringLiteral("c")));

    logger.setEnableOSLog(false);
    logger.setEnableConsoleOutput(false);
    logger.info(QStringLiteral("file only"));
    logger.flush();
    EXPECT_EQ(systemLog.entries().size(), 3);
    EXPECT_EQ(console.lines().size(), 3);
    EXPECT_TRUE(documents.readFile(dailyFile()).endsWith("file only\n"));
}

TEST_F(RecognitionLog, FileIsCreatedOnFirstWriteAndDoesNotRollOverUntilSetup)
{
    EXPECT_FALSE(QFile::exists(dailyFile()));
    logger.info(QStringLiteral("one"));
    clock.advance(24LL * 3600 * 1000);
    logger.info(QStringLiteral("two"));
    logger.flush();
    EXPECT_EQ(documents.readFile(dailyFile()).count('\n'), 2);

    logger.setupLogFile();
    logger.info(QStringLiteral("three"));
    logger.flush();
    EXPECT_TRUE(documents.readFile(dailyFile(QStringLiteral("2026-12-07"))).endsWith("three\n"));
}

TEST_F(RecognitionLog, WriteFailureIsReportedOnTheConsoleOnly)
{
    // A folder where the file should be makes the append fail.
    logger.flush();
    QDir().mkpath(dailyFile());
    logger.setEnableConsoleOutput(false);
    logger.info(QStringLiteral("lost"));
    logger.flush();
    ASSERT_EQ(console.lines().size(), 1);
    EXPECT_TRUE(console.lines().first().startsWith(QStringLiteral("写入日志文件失败: ")));
}

TEST_F(RecognitionLog, CleanupRemovesOnlyFilesOlderThanTheCutoff)
{
    logger.info(QStringLiteral("today"));
    logger.flush();
    const QString folder = documents.filePath(QStringLiteral("TencentASRLogs"));
    const QString old = documents.writeFile(QStringLiteral("TencentASRLogs/tencent_asr_2026-11-20.log"), "old\n");
    const QString recent = documents.writeFile(QStringLiteral("TencentASRLogs/tencent_asr_2026-12-01.log"), "recent\n");
    auto setAge = [](const QString& path, const QDateTime& when) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    };
    setAge(old, clock.now().addDays(-8));
    setAge(recent, clock.now().addDays(-6));
    setAge(dailyFile(), clock.now());

    logger.cleanupOldLogs(7);
    logger.flush();
    logger.flush(); // the deletion's own log line is queued behind the cleanup
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(dailyFile()));
    EXPECT_TRUE(console.lines().last().endsWith(QStringLiteral(" - 删除旧日志文件: tencent_asr_2026-11-20.log")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(RecognitionLogWithoutFiles, NoDocumentsFolderMeansNoFileAndNoFailure)
{
    ManualClock clock;
    LineCollector console;
    FakeSystemLog systemLog;
    SecretRedactor redactor;
    TencentASRLogger logger(QString(), clock, console.sink(), systemLog, redactor);
    logger.info(QStringLiteral("console only"));
    logger.flush();
    EXPECT_FALSE(logger.logFilePath().has_value());
    ASSERT_EQ(console.lines().size(), 1);
    EXPECT_TRUE(console.lines().first().endsWith(QStringLiteral(" - console only")));
}
