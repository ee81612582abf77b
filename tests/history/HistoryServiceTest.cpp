#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/Clock.h"
#include "core/ManualScheduler.h"
#include "history/HistoryService.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"


#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace velnor;
using namespace velnor::test;

namespace {

class HistoryServiceTest : public ::testing::Test {
protected:
    QStringList entryTexts()
    {
        std::promise<QStringList> answer;
        service.store().fetch({}, 100, [&](QList<HistoryEntry> entries) {
            QStringList texts;
            for (const HistoryEntry& entry : entries)
                texts << entry.deliveredText() + QLatin1Char('/') + historyOutcomeName(entry.outcome);
            answer.set_value(texts);
        });
        return answer.get_future().get();
    }

    void dictate(const QString& text, bool deliver)
    {
        const QString recording = temp.writeFile(text + QStringLiteral(".m4a"), "m4a");
        DictationObserver& recorder = service.recorder();
        const DictationId dictation = ++m_dictations;
        recorder.dictationStarted(dictation, QStringLiteral("traditional"), std::nullopt);
        recorder.recognizing(dictation, 1.0, recording, {});
        if (deliver)
            recorder.delivered(dictation, text, text, QStringLiteral("clipboard"));
        else
            recorder.failed(dictation, QStringLiteral("网络请求失败"));
    }

    void passDays(int days)
    {
        clock.advance(qint64(days) * 24 * 3600 * 1000);
        scheduler.advanceBy(std::chrono::hours(24 * days));
    }

    TempDir temp;
    ManualClock clock;
    ManualScheduler scheduler;
    LogCapture log{clock};
    MemorySettingsStore settings;
    DictationId m_dictations = 0;
    HistoryService service{HistoryService::Dependencies{temp.filePath(QStringLiteral("history.db")), settings, clock,
                                                        scheduler, log.logger(), [](std::function<void()> work) { work(); }}};
};

} // namespace

TEST_F(HistoryServiceTest, RetentionAppliesAtStartAndEveryDayWithTheCurrentSetting)
{
    settings.setString(SettingsKey::HistoryRetentionDays, QStringLiteral("7"));
    // Which entries and recordings a prune keeps is HistoryStoreTest's; here, when it runs.
    dictate(QStringLiteral("old"), true);
    dictate(QStringLiteral("failed"), false);
    clock.advance(qint64(10) * 24 * 3600 * 1000); // the scheduler is not running yet
    dictate(QStringLiteral("recent"), true);

    service.start();
    EXPECT_EQ(entryTexts(), (QStringList{QStringLiteral("recent/delivered"), QStringLiteral("/failed")}));

    passDays(5);
    EXPECT_EQ(entryTexts().size(), 2);
    passDays(3);
    EXPECT_EQ(entryTexts(), QStringList{QStringLiteral("/failed")}) << "the daily prune removes what aged past the retention";

    settings.setString(SettingsKey::HistoryRetentionDays, QStringLiteral("2"));
    dictate(QStringLiteral("kept"), true);
    passDays(1);
    EXPECT_EQ(entryTexts().first(), QStringLiteral("kept/delivered"));
    passDays(2);
    EXPECT_EQ(entryTexts(), QStringList{QStringLiteral("/failed")}) << "a changed retention applies from the next prune";
}
