#include "config/LanguageConfigManager.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "core/ManualScheduler.h"
#include "support/LogCapture.h"
#include "ui/tray/TrayMenuModel.h"
#include "ui/tray/TrayMenuView.h"
#include "ui/tray/TrayNotice.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>

#include <gtest/gtest.h>

namespace velnor {
namespace {

const QList<LanguageConfig> kLanguages{
    {QStringLiteral("default"), QStringLiteral("默认"), QStringLiteral("globe"), {}, {}, true},
    {QStringLiteral("zh"), QStringLiteral("中文"), QStringLiteral("character"), {}, {}, false},
    {QStringLiteral("en"), QStringLiteral("English"), QStringLiteral("textformat"), {}, {}, false},
};

// Titles of `items` in order, separators as "-"; only the checked ones if asked.
QStringList titles(const QList<TrayMenuItem>& items, bool onlyChecked = false)
{
    QStringList result;
    for (const TrayMenuItem& item : items) {
        if (!onlyChecked || item.checked)
            result.append(item.isSeparator ? QStringLiteral("-") : item.title);
    }
    return result;
}

TEST(TrayMenuModel, ListsEveryItemInOrderAndChecksTheStoredSettings)
{
    const QList<TrayMenuItem> menu = buildTrayMenu(MemorySettingsStore(), kLanguages);
    EXPECT_EQ(titles(menu), (QStringList{QStringLiteral("打开主界面"), QStringLiteral("重新输入上一条"), QStringLiteral("-"), QStringLiteral("输出语言"),
                                         QStringLiteral("快捷键设置"), QStringLiteral("悬浮窗位置"),
                                         QStringLiteral("-"), QStringLiteral("退出")}));
    EXPECT_EQ(menu.front().action, TrayAction::OpenMainWindow);
    EXPECT_EQ(menu.at(1).action, TrayAction::ReinsertLastText);
    EXPECT_EQ(menu.back().action, TrayAction::Quit);

    // The submenus sit at 3, 4 and 5 (the order is checked above).
    const auto submenu = [](const QList<TrayMenuItem>& items, int index) { return items.value(index).children; };
    // A separator follows each language marked for one.
    EXPECT_EQ(titles(submenu(menu, 3)),
              (QStringList{QStringLiteral("默认"), QStringLiteral("-"), QStringLiteral("中文"), QStringLiteral("English")}));
    for (const TrayMenuItem& item : submenu(menu, 5))
        EXPECT_EQ(item.action, TrayAction::SelectFloatingWindowPosition);

    // Check marks follow the stored settings.
    struct Case {
        const char* name;
        QList<std::pair<const char*, QString>> stored;
        QStringList language, hotkey, position;
    };
    const QList<Case> cases{
        {"clean start: the defaults", {}, {QStringLiteral("默认")}, {QStringLiteral("Fn+Shift")},
         {QStringLiteral("底部中间")}},
        {"stored choices",
         {{SettingsKey::OutputLanguage, QStringLiteral("en")},
          {SettingsKey::HotkeyStart, QStringLiteral("right_command")},
          {SettingsKey::FloatingWindowPosition, QStringLiteral("top_left")}},
         {QStringLiteral("English")}, {QStringLiteral("Right Command")}, {QStringLiteral("左上角")}},
        {"values another version wrote: nothing checked",
         {{SettingsKey::OutputLanguage, QStringLiteral("klingon")},
          {SettingsKey::HotkeyStart, QStringLiteral("caps_lock")},
          {SettingsKey::FloatingWindowPosition, QStringLiteral("middle")}},
         {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore settings;
        for (const auto& [key, value] : c.stored)
            settings.setString(QString::fromLatin1(key), value);
        const QList<TrayMenuItem> stored = buildTrayMenu(settings, kLanguages);
        EXPECT_EQ(titles(submenu(stored, 3), true), c.language);
        EXPECT_EQ(titles(submenu(stored, 4), true), c.hotkey);
        EXPECT_EQ(titles(submenu(stored, 5), true), c.position);
    }
}

// Submenus are children of their menu, their actions children of them.
QAction* actionTitled(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->findChildren<QAction*>()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}

class TrayMenuViewTest : public ::testing::Test {
protected:
    MemorySettingsStore settings;
    ManualScheduler scheduler;
    test::LogCapture log;
    QList<TrayMenuItem> chosen;
    QPointer<QMenu> menuSeenByHandler;
    TrayMenuView view{scheduler, log.logger(), [this] { return buildTrayMenu(settings, kLanguages); },
                      [this](const TrayMenuItem& item) {
                          chosen.append(item);
                          // What a real selection does: change a setting, ask for a rebuild.
                          settings.setString(QString::fromLatin1(SettingsKey::HotkeyStart), *item.value);
                          view.scheduleMenuRebuild();
                          menuSeenByHandler = view.menu();
                      }};
};

TEST_F(TrayMenuViewTest, ASelectionReachesTheHandlerAndTheMenuIsRebuiltOnALaterTurn)
{
    view.setupMenuBar();
    QPointer<QMenu> first = view.menu();
    ASSERT_TRUE(first);
    QAction* rightCommand = actionTitled(first, QStringLiteral("Right Command"));
    ASSERT_NE(rightCommand, nullptr);
    EXPECT_TRUE(actionTitled(first, QStringLiteral("Fn+Shift"))->isChecked());

    rightCommand->trigger();

    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().value, QStringLiteral("right_command"));
    // The menu that runs the action is left alone until the action is over.
    EXPECT_EQ(menuSeenByHandler, first);
    EXPECT_EQ(view.menu(), first);

    // A second request before the rebuild runs does not build twice.
    view.scheduleMenuRebuild();
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    scheduler.runDue();
    ASSERT_TRUE(view.menu());
    EXPECT_NE(view.menu(), first.data());
    EXPECT_TRUE(actionTitled(view.menu(), QStringLiteral("Right Command"))->isChecked());
    EXPECT_FALSE(actionTitled(view.menu(), QStringLiteral("Fn+Shift"))->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "the replaced menu is released";
}

TEST(TrayNotice, EachNoticeIsGivenOncePerRunWithoutAnyWindow)
{
    test::LogCapture log;
    TrayNotice notice([] { return nullptr; }, log.logger());
    notice.notifyOnce(QStringLiteral("accessibility"), QStringLiteral("需要辅助功能权限"), QStringLiteral("a"));
    notice.notifyOnce(QStringLiteral("accessibility"), QStringLiteral("需要辅助功能权限"), QStringLiteral("a"));
    notice.notifyOnce(QStringLiteral("microphone"), QStringLiteral("麦克风"), QStringLiteral("b"));
    EXPECT_EQ(log.messages(), (QStringList{QStringLiteral("需要辅助功能权限: a"), QStringLiteral("麦克风: b")}));
    EXPECT_EQ(log.levelOf(QStringLiteral("需要辅助功能权限: a")), QStringLiteral("WARNING"));
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "no dialog that could take the focus";
}

} // namespace
} // namespace velnor
