#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace velnor {

class SettingsStore;
struct LanguageConfig;

enum class TrayAction { None, OpenMainWindow, ReinsertLastText, SelectLanguage, SelectHotkey, SelectFloatingWindowPosition, Quit };

// One entry of the tray menu, independent of the toolkit that shows it.
struct TrayMenuItem {
    QString title;
    // Name of the symbol drawn beside the title (empty: none).
    QString symbol;
    QString accessibleDescription;
    // Key shown beside the title ("q" for quit).
    QString shortcutKey;
    TrayAction action = TrayAction::None;
    // What a selection item stores; none when the item carries no value.
    std::optional<QString> value;
    bool checked = false;
    bool isSeparator = false;
    QList<TrayMenuItem> children;

    static TrayMenuItem separator();
    bool operator==(const TrayMenuItem&) const = default;
};

// One fixed choice of a selection submenu: the stored value, its title and symbol.
struct TrayChoice {
    QString value;
    QString title;
    QString symbol;
};

// The hotkey and indicator position choices, in menu order.
const QList<TrayChoice>& hotkeyChoices();
const QList<TrayChoice>& floatingWindowPositionChoices();

// The whole menu for the current settings: the check marks follow the stored
// output language, hotkey and indicator position (with their defaults).
QList<TrayMenuItem> buildTrayMenu(const SettingsStore& settings, const QList<LanguageConfig>& languages);

} // namespace velnor
