#include "ui/common/SettingChoices.h"

namespace velnor::SettingChoices {

const QList<Choice>& indicatorPositions()
{
    static const QList<Choice> positions{
        {QStringLiteral("top_left"), QStringLiteral("左上角")},
        {QStringLiteral("top_center"), QStringLiteral("顶部中间")},
        {QStringLiteral("top_right"), QStringLiteral("右上角")},
        {QStringLiteral("bottom_left"), QStringLiteral("左下角")},
        {QStringLiteral("bottom_center"), QStringLiteral("底部中间")},
        {QStringLiteral("bottom_right"), QStringLiteral("右下角")},
    };
    return positions;
}

QString indicatorPositionTitle(const QString& value)
{
    for (const Choice& choice : indicatorPositions()) {
        if (choice.value == value)
            return choice.title;
    }
    return QStringLiteral("底部中间");
}

QList<Choice> hotkeyOptions(const QString& stored)
{
    QList<Choice> options{
        {QStringLiteral("fn_shift"), QStringLiteral("Fn+Shift")},
        {QStringLiteral("ctrl_shift"), QStringLiteral("Ctrl+Shift")},
        {QStringLiteral("left_option"), QStringLiteral("Left Option")},
        {QStringLiteral("right_command"), QStringLiteral("Right Command")},
    };
    if (stored == QStringLiteral("fn"))
        options.append({stored, QStringLiteral("Fn")});
    return options;
}

QString hotkeyDisplayName(const QString& stored)
{
    if (stored == QStringLiteral("ctrl_shift"))
        return QStringLiteral("Ctrl + Shift");
    if (stored == QStringLiteral("fn"))
        return QStringLiteral("Fn");
    if (stored == QStringLiteral("left_option"))
        return QStringLiteral("左 Option");
    if (stored == QStringLiteral("right_command"))
        return QStringLiteral("Right Command");
    return QStringLiteral("Fn + Shift");
}

QString hotkeyLinuxNote()
{
    return QStringLiteral("Linux 提示：PC 键盘没有可识别的 Fn 键，Fn 由右 Ctrl 代替（Fn+Shift = 右 Ctrl+Shift）；"
                          "Option 为 Alt 键，Command 为 Super 键。");
}

const QList<Choice>& overOverKeyTypes()
{
    static const QList<Choice> types{
        {QStringLiteral("enter"), QStringLiteral("回车")},
        {QStringLiteral("shift_enter"), QStringLiteral("Shift+回车")},
        {QStringLiteral("ctrl_enter"), QStringLiteral("Ctrl+回车")},
    };
    return types;
}

} // namespace velnor::SettingChoices
