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
    settings.setString(QString::fromLatin1(SettingsKey::OutputLanguage), QStringLiteral("en"));
    settings.setString(QString::fromLatin1(SettingsKey::FloatingWindowPosition), QStringLiteral("top_left"));
    view.setupMenuBar();
    QPointer<QMenu> first = view.menu();
    ASSERT_TRUE(first);
    QStringList shown;
    for (const QAction* action : first->actions())
        shown.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(shown, (QStringList{QStringLiteral("打开主界面"), QStringLiteral("重新输入上一条"), QStringLiteral("-"), QStringLiteral("输出语言"),
                                  QStringLiteral("快捷键设置"), QStringLiteral("悬浮窗位置"), QStringLiteral("-"), QStringLiteral("退出")}));
    const QList<TrayMenuItem> items = buildTrayMenu(settings, kLanguages);
    EXPECT_EQ(items.front().action, TrayAction::OpenMainWindow);
    EXPECT_EQ(items.at(1).action, TrayAction::ReinsertLastText);
    EXPECT_EQ(items.back().action, TrayAction::Quit);
    EXPECT_EQ(items.value(5).children.value(0).action, TrayAction::SelectFloatingWindowPosition);
    // Check marks follow the stored settings.
    EXPECT_TRUE(actionTitled(first, QStringLiteral("English"))->isChecked());
    EXPECT_TRUE(actionTitled(first, QStringLiteral("左上角"))->isChecked());
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
