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

    QList<std::pair<int, bool>> postedKeys() const
    {
        QList<std::pair<int, bool>> keysPosted;
        for (const auto& p : keys.posted)
            keysPosted.append({p.event.virtualKey, p.event.keyDown});
        return keysPosted;
    }
};

} // namespace

TEST_F(AutoSubmit, PlainEnterIsOnePressThenATenthOfASecond)
{
    const auto [result, elapsed] = press();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(*result);
    EXPECT_EQ(postedKeys(), (QList<std::pair<int, bool>>{{VirtualKey::Return, true}, {VirtualKey::Return, false}}));
    // Released in the same step: a stalled loop cannot autorepeat Return.
    EXPECT_EQ(keys.posted.at(1).atMs, keys.posted.at(0).atMs);
    // Virtual time only passes through scheduled steps: nothing blocked the loop.
    EXPECT_EQ(elapsed, 300) << "0.1 s after the press, then the 0.2 s pause before the result";
    EXPECT_TRUE(log.contains(QStringLiteral("✅ 模拟按键成功，尝试次数: 1")));
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 simulateEnterKey最终结果: true")));
}

TEST_F(AutoSubmit, CombinationsPressTheModifierAroundReturn)
{
    struct Case {
        QString type;
        int modifier;
    };
    for (const Case& c : {Case{QStringLiteral("ctrl_enter"), VirtualKey::LeftControl},
                          Case{QStringLiteral("shift_enter"), VirtualKey::LeftShift}}) {
        keys.posted.clear();
        settings.setString(SettingsKey::OverOverKeyType, c.type);
        const auto [result, elapsed] = press();
        EXPECT_EQ(result, true);
        EXPECT_EQ(postedKeys(), (QList<std::pair<int, bool>>{
                                    {c.modifier, true}, {VirtualKey::Return, true}, {VirtualKey::Return, false}, {c.modifier, false}}));
        QList<qint64> offsets;
        for (const auto& p : keys.posted)
            offsets.append(p.atMs - keys.posted.first().atMs);
        // Only the modifier is held; Return goes down and up in one step.
        EXPECT_EQ(offsets, (QList<qint64>{0, 20, 20, 90}));
        EXPECT_EQ(elapsed, 290);
    }
}

TEST_F(AutoSubmit, UnknownOrMiscasedTypesPressPlainEnter)
{
    settings.setString(SettingsKey::OverOverKeyType, QStringLiteral("CTRL_ENTER"));
    press();
    EXPECT_EQ(keys.posted.size(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ 执行普通Enter键")));
}

TEST_F(AutoSubmit, WithoutAccessibilityTrustNothingIsTriedAgain)
{
    trust.trusted = false;
    const auto [result, elapsed] = press();
    EXPECT_EQ(result, false);
    EXPECT_EQ(elapsed, 0);
    EXPECT_EQ(keys.sourcesCreated, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("🔑 辅助功能权限状态: false")));
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
        settings.setString(SettingsKey::OverOverKeyType, c.type);
        keys.uncreatableKeys = {c.uncreatable};
        const auto [result, elapsed] = press();
        EXPECT_EQ(result, false) << c.type.toStdString();
        EXPECT_TRUE(keys.posted.isEmpty()) << c.type.toStdString();
        EXPECT_EQ(elapsed, 3 * 200 + 2 * 200) << c.type.toStdString();
        EXPECT_EQ(log.startingWith(c.failure).size(), 3) << c.type.toStdString();
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
