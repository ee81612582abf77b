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
    MemorySettingsStore settings;
    settings.setString(QString::fromLatin1(SettingsKey::OutputLanguage), QStringLiteral("en"));
    settings.setString(QString::fromLatin1(SettingsKey::FloatingWindowPosition), QStringLiteral("top_left"));
    const QList<TrayMenuItem> menu = buildTrayMenu(settings, kLanguages);
    EXPECT_EQ(titles(menu), (QStringList{QStringLiteral("打开主界面"), QStringLiteral("重新输入上一条"), QStringLiteral("-"), QStringLiteral("输出语言"),
                                         QStringLiteral("快捷键设置"), QStringLiteral("悬浮窗位置"),
                                         QStringLiteral("-"), QStringLiteral("退出")}));
    EXPECT_EQ(menu.front().action, TrayAction::OpenMainWindow);
    EXPECT_EQ(menu.at(1).action, TrayAction::ReinsertLastText);
    EXPECT_EQ(menu.back().action, TrayAction::Quit);

    // A separator follows each language marked for one.
    const QList<TrayMenuItem> languages = menu.value(3).children;
    EXPECT_EQ(titles(languages),
              (QStringList{QStringLiteral("默认"), QStringLiteral("-"), QStringLiteral("中文"), QStringLiteral("English")}));
    // Check marks follow the stored settings (the hotkey's: TrayMenuViewTest).
    EXPECT_EQ(titles(languages, true), QStringList{QStringLiteral("English")});
    EXPECT_EQ(titles(menu.value(5).children, true), QStringList{QStringLiteral("左上角")});
    EXPECT_EQ(menu.value(5).children.value(0).action, TrayAction::SelectFloatingWindowPosition);
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
