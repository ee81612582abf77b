#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velnor {

class IndicatorPositioner;
class Logger;
class SettingsStore;
class ShortcutRegistration;
struct TrayMenuItem;

// The handlers of the tray menu's items.
class AppDelegate final {
public:
    struct Hooks {
        // Shows (creating on first use) and raises the main window.
        std::function<void()> openMainWindow;
        // Ends the application.
        std::function<void()> quit;
        // Rebuilds the tray menu later, never from inside the menu's own action.
        std::function<void()> scheduleMenuRebuild;
        // Types the last delivered dictation into the front application again.
        std::function<void()> reinsertLastText;
    };

    AppDelegate(SettingsStore& settings, Logger& log, ShortcutRegistration& shortcuts, IndicatorPositioner& indicator,
                Hooks hooks);

    // Runs the action of a chosen menu item with the item's value.
    void handle(const TrayMenuItem& item);

    void openMainWindow();
    void quitApp();
    void selectLanguage(const std::optional<QString>& code);
    void selectHotkey(const std::optional<QString>& code);
    void selectFloatingWindowPosition(const std::optional<QString>& code);

private:
    // Stores a chosen item's value under `key` and logs it; without a value,
    // logs the error and stores nothing.
    bool storeChoice(const std::optional<QString>& code, const char* key, const QString& missingText,
                     const QString& chosenText);

    SettingsStore& m_settings;
    Logger& m_log;
    ShortcutRegistration& m_shortcuts;
    IndicatorPositioner& m_indicator;
    Hooks m_hooks;
};

} // namespace velnor
