#include "platform/linux/x11/X11PasteChord.h"

#include "platform/KeySynthesizer.h"

#include <QStringList>

namespace velnor::x11 {

PasteChord pasteChordForWindowClass(const QString& windowClass)
{
    static const QStringList selectionTerminals = {
        QStringLiteral("xterm"), QStringLiteral("uxterm"), QStringLiteral("urxvt"), QStringLiteral("rxvt"),
    };
    static const QStringList terminals = {
        QStringLiteral("gnome-terminal"),      QStringLiteral("gnome-terminal-server"),
        QStringLiteral("org.gnome.terminal"),  QStringLiteral("org.gnome.console"),
        QStringLiteral("konsole"),             QStringLiteral("xfce4-terminal"),
        QStringLiteral("mate-terminal"),       QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),           QStringLiteral("terminator"),
        QStringLiteral("tilix"),               QStringLiteral("alacritty"),
        QStringLiteral("kitty"),               QStringLiteral("st-256color"),
        QStringLiteral("sakura"),              QStringLiteral("guake"),
        QStringLiteral("tilda"),               QStringLiteral("terminology"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("foot"),
        QStringLiteral("x-terminal-emulator"), QStringLiteral("deepin-terminal"),
    };
    const QString name = windowClass.toLower();
    if (selectionTerminals.contains(name))
        return {{VirtualKey::LeftShift}, VirtualKey::Insert, true};
    if (terminals.contains(name))
        return {{VirtualKey::LeftControl, VirtualKey::LeftShift}, VirtualKey::V};
    return {{VirtualKey::LeftControl}, VirtualKey::V};
}

} // namespace velnor::x11
