#include "ui/tray/TrayMenuModel.h"

#include "config/LanguageConfigManager.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"

namespace velnor {

namespace {

TrayMenuItem submenu(const QString& title, const QString& symbol, QList<TrayMenuItem> children)
{
    TrayMenuItem item;
    item.title = title;
    item.symbol = symbol;
    item.accessibleDescription = title;
    item.children = std::move(children);
    return item;
}

TrayMenuItem selection(const QString& title, const QString& symbol, TrayAction action, const QString& value,
                       const QString& current)
{
    TrayMenuItem item;
    item.title = title;
    item.symbol = symbol;
    item.accessibleDescription = title;
    item.action = action;
    item.value = value;
    item.checked = value == current;
    return item;
}

QList<TrayMenuItem> choiceItems(const QList<TrayChoice>& choices, TrayAction action, const QString& current)
{
    QList<TrayMenuItem> items;
    for (const TrayChoice& choice : choices)
        items.append(selection(choice.title, choice.symbol, action, choice.value, current));
    return items;
}

QList<TrayMenuItem> languageItems(const QList<LanguageConfig>& languages, const QString& current)
{
    QList<TrayMenuItem> items;
    for (const LanguageConfig& language : languages) {
        items.append(selection(language.title, language.icon, TrayAction::SelectLanguage, language.code, current));
        if (language.separatorAfter)
            items.append(TrayMenuItem::separator());
    }
    return items;
}

} // namespace

TrayMenuItem TrayMenuItem::separator()
{
    TrayMenuItem item;
    item.isSeparator = true;
    return item;
}

const QList<TrayChoice>& hotkeyChoices()
{
    static const QList<TrayChoice> choices{
        {QStringLiteral("fn"), QStringLiteral("Fn"), QStringLiteral("fn")},
        {QStringLiteral("fn_shift"), QStringLiteral("Fn+Shift"), QStringLiteral("fn")},
        {QStringLiteral("ctrl_shift"), QStringLiteral("Ctrl+Shift"), QStringLiteral("control")},
        {QStringLiteral("left_option"), QStringLiteral("Left Option"), QStringLiteral("option")},
        {QStringLiteral("right_command"), QStringLiteral("Right Command"), QStringLiteral("command")},
    };
    return choices;
}

const QList<TrayChoice>& floatingWindowPositionChoices()
{
    static const QList<TrayChoice> choices{
        {QStringLiteral("top_left"), QStringLiteral("左上角"), QStringLiteral("arrow.up.left.square")},
        {QStringLiteral("top_center"), QStringLiteral("顶部中间"), QStringLiteral("arrow.up.square")},
        {QStringLiteral("top_right"), QStringLiteral("右上角"), QStringLiteral("arrow.up.right.square")},
        {QStringLiteral("bottom_left"), QStringLiteral("左下角"), QStringLiteral("arrow.down.left.square")},
        {QStringLiteral("bottom_center"), QStringLiteral("底部中间"), QStringLiteral("arrow.down.square")},
        {QStringLiteral("bottom_right"), QStringLiteral("右下角"), QStringLiteral("arrow.down.right.square")},
    };
    return choices;
}

QList<TrayMenuItem> buildTrayMenu(const SettingsStore& settings, const QList<LanguageConfig>& languages)
{
    TrayMenuItem open;
    open.title = QStringLiteral("打开主界面");
    open.symbol = QStringLiteral("macwindow");
    open.accessibleDescription = open.title;
    open.action = TrayAction::OpenMainWindow;

    TrayMenuItem reinsert;
    reinsert.title = QStringLiteral("重新输入上一条");
    reinsert.symbol = QStringLiteral("clock.arrow.circlepath");
    reinsert.accessibleDescription = QStringLiteral("把上一条听写的文字再输入到当前应用");
    reinsert.action = TrayAction::ReinsertLastText;

    TrayMenuItem quit;
    quit.title = QStringLiteral("退出");
    quit.symbol = QStringLiteral("power");
    quit.accessibleDescription = QStringLiteral("退出应用程序");
    quit.shortcutKey = QStringLiteral("q");
    quit.action = TrayAction::Quit;

    const QString language = settings.stringOr(QString::fromLatin1(SettingsKey::OutputLanguage), QStringLiteral("default"));
    const QString hotkey = settings.stringOr(QString::fromLatin1(SettingsKey::HotkeyStart), QStringLiteral("fn_shift"));
    const QString position =
        settings.stringOr(QString::fromLatin1(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_center"));

    return {
        open,
        reinsert,
        TrayMenuItem::separator(),
        submenu(QStringLiteral("输出语言"), QStringLiteral("globe"), languageItems(languages, language)),
        submenu(QStringLiteral("快捷键设置"), QStringLiteral("keyboard"),
                choiceItems(hotkeyChoices(), TrayAction::SelectHotkey, hotkey)),
        submenu(QStringLiteral("悬浮窗位置"), QStringLiteral("macwindow"),
                choiceItems(floatingWindowPositionChoices(), TrayAction::SelectFloatingWindowPosition, position)),
        TrayMenuItem::separator(),
        quit,
    };
}

} // namespace velnor
