#include "dictation/DictationFixture.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class AutoSubmit : public DictationTest {
protected:
    // Runs simulateEnterKey to completion; returns the result and the virtual time it took.
    std::pair<std::optional<bool>, qint64> press()
    {
        std::optional<bool> result;
        const auto start = scheduler.now();
        controller->autoSubmitter().simulateEnterKey([&result](bool posted) { result = posted; });
        while (!result && scheduler.nextDueIn())
            scheduler.advanceBy(*scheduler.nextDueIn());
        return {result, (scheduler.now() - start).count()};
    }
};

} // namespace

TEST_F(AutoSubmit, EnterAloneOrWithTheModifierOfTheConfiguredType)
{
    using Keys = QList<std::pair<int, bool>>;
    const auto around = [](int modifier) {
        return Keys{{modifier, true}, {VirtualKey::Return, true}, {VirtualKey::Return, false}, {modifier, false}};
    };
    struct Case {
        QString type;
        Keys keys;
        QList<qint64> offsets;
        qint64 elapsed;
    };
    // Return goes down and up in one step: a stalled loop cannot autorepeat it.
    // Virtual time only passes through scheduled steps: nothing blocked the loop.
    const Keys plain{{VirtualKey::Return, true}, {VirtualKey::Return, false}};
    const QList<Case> cases = {{QStringLiteral("enter"), plain, {0, 0}, 300},
                               {QStringLiteral("CTRL_ENTER"), plain, {0, 0}, 300}, // unknown types press plain Enter
                               {QStringLiteral("ctrl_enter"), around(VirtualKey::LeftControl), {0, 20, 20, 90}, 290},
                               {QStringLiteral("shift_enter"), around(VirtualKey::LeftShift), {0, 20, 20, 90}, 290}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        keys.posted.clear();
        settings.setString(SettingsKey::OverOverKeyType, c.type);
        const auto [result, elapsed] = press();
        EXPECT_EQ(result, true);
        Keys posted;
        QList<qint64> offsets;
        for (const auto& p : keys.posted) {
            posted.append({p.event.virtualKey, p.event.keyDown});
            offsets.append(p.atMs - keys.posted.first().atMs);
        }
        EXPECT_EQ(posted, c.keys);
        EXPECT_EQ(offsets, c.offsets);
        EXPECT_EQ(elapsed, c.elapsed);
    }
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 模拟按键成功，尝试次数: 1")));
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ 执行普通Enter键")));
}

TEST_F(AutoSubmit, WithoutAccessibilityTrustNothingIsTriedAgain)
{
    trust.trusted = false;
    const auto [result, elapsed] = press();
    EXPECT_EQ(result, false);
    EXPECT_EQ(elapsed, 0);
    EXPECT_EQ(keys.sourcesCreated, 0);
    EXPECT_EQ(log.levelOf(QStringLiteral("🔑 模拟按键失败：缺少辅助功能权限")), QStringLiteral("ERROR"));
    EXPECT_TRUE(log.startingWith(QStringLiteral("🔁")).isEmpty());
}

TEST_F(AutoSubmit, EventSourceFailuresAreRetriedThreeTimes)
{
    keys.failSourceCreations = 2;
    const auto [result, elapsed] = press();
    EXPECT_EQ(result, true);
    EXPECT_EQ(keys.sourcesCreated, 1);
    EXPECT_EQ(elapsed, 2 * 200 + 100 + 200);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 模拟按键成功，尝试次数: 3")));
    EXPECT_EQ(log.startingWith(QStringLiteral("❌ 第")).size(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("🔁 第1次尝试 - 当前焦点应用: Editor (org.example.editor)")));
}

TEST_F(AutoSubmit, KeyEventsThatCannotBeCreatedPostNothingAndFailAfterThreeAttempts)
{
    struct Case {
        QString type;
        int uncreatable;
        QString failure;
    };
    const QList<Case> cases = {
        {QStringLiteral("enter"), VirtualKey::Return, QStringLiteral("⏎ 模拟回车键失败：无法创建键盘事件 (virtualKey: 0x24)")},
        {QStringLiteral("shift_enter"), VirtualKey::LeftShift, QStringLiteral("模拟Shift+回车键失败：无法创建键盘事件")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        settings.setString(SettingsKey::OverOverKeyType, c.type);
        keys.uncreatableKeys = {c.uncreatable};
        const auto [result, elapsed] = press();
        EXPECT_EQ(result, false);
        EXPECT_TRUE(keys.posted.isEmpty());
        EXPECT_EQ(elapsed, 3 * 200 + 2 * 200);
        EXPECT_EQ(log.startingWith(c.failure).size(), 3);
    }
    EXPECT_EQ(log.levelOf(QStringLiteral("❌ 模拟按键最终失败，已尝试 3 次")), QStringLiteral("ERROR"));
}

TEST_F(AutoSubmit, AModifierIsReleasedEvenIfTheSubmitterGoesAway)
{
    settings.setString(SettingsKey::OverOverKeyType, QStringLiteral("ctrl_enter"));
    controller->autoSubmitter().simulateEnterKey([](bool) {});
    controller.reset();
    scheduler.runUntilIdle();
    ASSERT_EQ(keys.posted.size(), 4);
    EXPECT_EQ(keys.posted.last().event, (SyntheticKeyEvent{VirtualKey::LeftControl, false}));
}
