#include "core/Clock.h"
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

TEST(RecognitionLog, LineFormatCarriesMarkerLevelSiteAndFunctionInADailyFileThatRollsOverOnlyAtSetupAndOldFilesAreCleanedUp)
{
    TempDir documents;
    ManualClock clock{QDateTime(QDate(2026, 12, 6), QTime(8, 5, 9, 42))};
    LineCollector console;
    FakeSystemLog systemLog;
    SecretRedactor redactor;
    TencentASRLogger logger{documents.path(), clock, console.sink(), systemLog, redactor};
    const auto dailyFile = [&](const char* day = "2026-12-06") {
        return documents.filePath(QStringLiteral("TencentASRLogs/tencent_asr_%1.log").arg(QLatin1String(day)));
    };
    EXPECT_FALSE(QFile::exists(dailyFile()));
    logger.info(QStringLiteral("开始连接腾讯云ASR服务"));
    const int line = __LINE__ - 1;
    logger.flush();
    const QString expected =
        QStringLiteral("[2026-12-06 08:05:09.042] ℹ️ INFO [TencentASRLoggerTest.cpp:%1] TestBody() - 开始连接腾讯云ASR服务").arg(line);
    ASSERT_EQ(console.lines(), QStringList{expected});
    EXPECT_EQ(documents.readFile(dailyFile()), expected.toUtf8() + '\n');
    // The system log gets the bare message with its severity.
    logger.warning(QStringLiteral("w"));
    logger.error(QStringLiteral("e"));
    logger.flush();
    using Type = SystemLog::Type;
    EXPECT_EQ(systemLog.entries(), (QList<std::pair<Type, QString>>{{Type::Info, QStringLiteral("开始连接腾讯云ASR服务")},
                                                                   {Type::Default, QStringLiteral("w")},
                                                                   {Type::Error, QStringLiteral("e")}}));

    // Cleanup removes only files older than the cutoff.
    const QString old = documents.writeFile(QStringLiteral("TencentASRLogs/tencent_asr_2026-11-20.log"), "old\n");
    const QString recent = documents.writeFile(QStringLiteral("TencentASRLogs/tencent_asr_2026-12-01.log"), "recent\n");
    for (const auto& [path, ageDays] : {std::pair{old, 8}, {recent, 6}, {dailyFile(), 0}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(clock.now().addDays(-ageDays), QFileDevice::FileModificationTime));
    }

    logger.cleanupOldLogs(7);
    logger.flush();
    logger.flush(); // the deletion's own log line is queued behind the cleanup
    EXPECT_EQ(QDir(documents.filePath(QStringLiteral("TencentASRLogs"))).entryList(QDir::Files),
              (QStringList{QStringLiteral("tencent_asr_2026-12-01.log"), QStringLiteral("tencent_asr_2026-12-06.log")}));
    EXPECT_TRUE(console.lines().last().endsWith(QStringLiteral(" - 删除旧日志文件: tencent_asr_2026-11-20.log")));

    clock.advance(24LL * 3600 * 1000);
    logger.info(QStringLiteral("two"));
    logger.flush();
    EXPECT_TRUE(documents.readFile(dailyFile()).endsWith("two\n"));
    logger.setupLogFile();
    logger.info(QStringLiteral("three"));
    logger.flush();
    EXPECT_TRUE(documents.readFile(dailyFile("2026-12-07")).endsWith("three\n"));
}
