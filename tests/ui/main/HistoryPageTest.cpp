#include "support/EventLoopWait.h"
#include "ui/main/HistoryPage.h"
#include "ui/support/UiHarness.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>

namespace velnor {
namespace {

using test::waitUntil;

class HistoryPageTest : public ::testing::Test, protected test::UiHarness {
protected:
    HistoryPageTest()
    {
        history.open({});
        delivered = started(QStringLiteral("Editor"));
        history.recordDelivered(delivered, QStringLiteral("你好世界"), QStringLiteral("你好，世界。"), QStringLiteral("clipboard"));
        const QString recording = historyDir.writeFile(QStringLiteral("failed.m4a"), "m4a bytes");
        failed = started(QStringLiteral("Terminal"));
        history.recordRecognizing(failed, 2.0, recording,
                                  {QStringLiteral("org.example.Terminal"), QStringLiteral("Terminal"), QStringLiteral("en"), true});
        history.recordFailed(failed, QStringLiteral("网络请求失败: Connection refused"));
    }

    // A dictation a minute after the one before.
    QString started(const QString& app)
    {
        clock.advance(60'000);
        return history.recordStarted(QStringLiteral("traditional"), app, QStringLiteral("org.example.") + app);
    }

    void show()
    {
        page.resize(600, 700);
        page.show();
        ASSERT_TRUE(waitUntil([this] { return page.model().entries().size() == 2; }));
    }

    const HistoryEntry* shown(const QString& id)
    {
        const auto& entries = page.model().entries();
        const auto found = std::find_if(entries.begin(), entries.end(), [&](const HistoryEntry& entry) { return entry.id == id; });
        return found == entries.end() ? nullptr : &*found;
    }

    QList<QPushButton*> buttons(const QString& text)
    {
        QCoreApplication::processEvents(); // rebuilt rows show on a later turn
        QList<QPushButton*> found = page.findChildren<QPushButton*>();
        found.removeIf([&](QPushButton* button) { return button->text() != text || !button->isVisibleTo(&page); });
        return found;
    }

    QStringList storedIds()
    {
        std::optional<QStringList> ids;
        history.fetch({}, 10, [&](const QList<HistoryEntry>& entries) {
            ids = QStringList();
            for (const HistoryEntry& entry : entries)
                ids->append(entry.id);
        });
        EXPECT_TRUE(waitUntil([&] { return ids.has_value(); }));
        return ids.value_or(QStringList{QStringLiteral("no answer")});
    }

    QString delivered;
    QString failed;
    HistoryPage page{services().history, dialogs};
};

TEST_F(HistoryPageTest, ListsNewestFirstSearchesAndHandsTextsOn)
{
    show();
    EXPECT_EQ(page.model().entries()[0].id, failed);
    EXPECT_EQ(page.model().entries()[1].id, delivered);
    // Text actions only where there is text; retry only on the failed one.
    EXPECT_EQ(buttons(QStringLiteral("复制")).size(), 1);
    EXPECT_EQ(buttons(QStringLiteral("重试")).size(), 1);
    EXPECT_EQ(buttons(QStringLiteral("删除")).size(), 2);

    buttons(QStringLiteral("复制")).first()->click();
    buttons(QStringLiteral("重新输入")).first()->click();
    EXPECT_EQ(copiedTexts, QStringList{QStringLiteral("你好，世界。")});
    EXPECT_EQ(reinsertedTexts, QStringList{QStringLiteral("你好，世界。")});

    page.findChild<QLineEdit*>(QStringLiteral("historySearch"))->setText(QStringLiteral("Termi"));
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().size() == 1; }));
    EXPECT_EQ(page.model().entries()[0].id, failed);
    page.findChild<QLineEdit*>(QStringLiteral("historySearch"))->setText(QStringLiteral("100%"));
    ASSERT_TRUE(waitUntil([this] { return page.model().entries().isEmpty(); }));
    EXPECT_TRUE(buttons(QStringLiteral("删除")).isEmpty());
}

TEST_F(HistoryPageTest, RetrySendsTheKeptRecordingAndShowsTheText)
{
    show();
    buttons(QStringLiteral("重试")).first()->click();
    EXPECT_EQ(buttons(QStringLiteral("重试中…")).size(), 1);
    ASSERT_TRUE(waitUntil([&] { return transport.count() > 0 && transport.last().url.path() == QStringLiteral("/qasr/recognize"); }));
    const QByteArray upload = transport.last().body.value_or(QByteArray());
    // The same upload as the dictation's, whatever the settings say now.
    EXPECT_TRUE(upload.contains("m4a bytes"));
    EXPECT_TRUE(upload.contains("org.example.Terminal"));
    EXPECT_TRUE(upload.contains("name=\"out_language\"\r\n\r\nen\r\n"));
    EXPECT_TRUE(upload.contains("name=\"over_over\"\r\n\r\ntrue\r\n"));

    // A failed retry leaves the entry as it was, ready for another try.
    ASSERT_TRUE(fail(QStringLiteral("/qasr/recognize")));
    ASSERT_TRUE(waitUntil([this] { return !page.model().isRetrying(failed); }));
    EXPECT_TRUE(page.model().notice().startsWith(QStringLiteral("重新识别失败: ")));
    EXPECT_EQ(shown(failed)->outcome, HistoryOutcome::Failed);

    buttons(QStringLiteral("重试")).first()->click();
    bool answered = false;
    ASSERT_TRUE(waitUntil([&] {
        return answered = answered || answer(QStringLiteral("/qasr/recognize"), R"({"code":0,"data":{"text":"终于识别出来了"}})");
    }));
    ASSERT_TRUE(waitUntil([this] { return shown(failed) && shown(failed)->outcome == HistoryOutcome::Delivered; }));
    EXPECT_EQ(page.model().notice(), QStringLiteral("重新识别成功: 终于识别出来了"));
    EXPECT_EQ(shown(failed)->deliveredText(), QStringLiteral("终于识别出来了"));
    EXPECT_TRUE(buttons(QStringLiteral("重试")).isEmpty());
}

// With history off the kept entries still show, under a notice, and can go.
TEST_F(HistoryPageTest, DeleteAndClearAllReachTheFile)
{
    settings.setString(key(SettingsKey::HistoryEnabled), QStringLiteral("false"));
    show();
    EXPECT_NE(test::shownChild<QLabel>(&page, [](QLabel* label) { return label->text() == QStringLiteral("听写历史已关闭"); }),
              nullptr);
    buttons(QStringLiteral("删除")).first()->click();
    EXPECT_EQ(page.model().entries().size(), 1);
    EXPECT_EQ(storedIds(), QStringList{delivered});

    buttons(QStringLiteral("清空")).first()->click();
    EXPECT_EQ(dialogs.confirmTitles, QStringList{QStringLiteral("清空历史")});
    dialogs.accept();
    EXPECT_TRUE(page.model().entries().isEmpty());
    EXPECT_TRUE(storedIds().isEmpty());
}

TEST(HistoryLabels, TimesReadRelativeToToday)
{
    const QDateTime now(QDate(2026, 12, 6), QTime(18, 30));
    const std::pair<QDateTime, const char*> cases[] = {{QDateTime(QDate(2026, 12, 6), QTime(9, 5)), "今天 09:05"},
                                                       {QDateTime(QDate(2026, 12, 5), QTime(23, 10)), "昨天 23:10"},
                                                       {QDateTime(QDate(2026, 1, 4), QTime(8, 0)), "1月4日 08:00"},
                                                       {QDateTime(QDate(2025, 12, 31), QTime(8, 0)), "2025年12月31日 08:00"}};
    for (const auto& [when, label] : cases)
        EXPECT_EQ(HistoryPageModel::timeLabel(when, now), QString::fromUtf8(label));
}

} // namespace
} // namespace velnor
