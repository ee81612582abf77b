#pragma once

#include <QString>

#include <functional>

namespace velnor {

class DefaultSettingsRegistrar;
class Logger;
class Scheduler;

// The start-up sequence: where the app keeps its files, the default
// settings, and one second later the permission check, the hotkey and the
// tray menu (by then the event loop runs and the tray host has seen us).
class AppStartup final {
public:
    struct DelayedSteps {
        std::function<void()> requestPermissions;
        std::function<void()> registerShortcuts;
        std::function<void()> setupMenuBar;
    };

    // An empty documentsDir means there is none.
    AppStartup(Logger& log, Scheduler& mainQueue, DefaultSettingsRegistrar& defaults, QString documentsDir,
               QString settingsFile, DelayedSteps steps);

    void setup();

private:
    Logger& m_log;
    Scheduler& m_mainQueue;
    DefaultSettingsRegistrar& m_defaults;
    QString m_documentsDir;
    QString m_settingsFile;
    DelayedSteps m_steps;
};

} // namespace velnor
