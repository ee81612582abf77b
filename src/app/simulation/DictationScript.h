#pragma once

#include "core/Lifetime.h"
#include "core/Scheduler.h"
#include "log/ConsoleSink.h"

#include <QList>
#include <QString>

namespace velnor {

class AppSetupHelper;
class ConsoleTextInput;
class Logger;
class SettingsStore;

// Plays the user in the simulations: for each step it sets the recognition
// mode, holds the hotkey for a while, and waits (bounded) until the text
// arrives in the focused field. Quits the application with 0 when every
// dictation delivered text, 1 otherwise.
class DictationScript final {
public:
    struct Step {
        QString mode; // "traditional" or "realtime"
        Duration hold;
    };

    DictationScript(AppSetupHelper& controller, SettingsStore& settings, Scheduler& scheduler, Logger& log,
                    const ConsoleTextInput& textInput, ConsoleSink console, QList<Step> steps,
                    Duration deliveryTimeout = seconds(20));

    void start();

private:
    void runStep(int index);
    void waitForDelivery(int index, qsizetype deliveredBefore, Duration waited);
    void finish();

    AppSetupHelper& m_controller;
    SettingsStore& m_settings;
    Scheduler& m_scheduler;
    Logger& m_log;
    const ConsoleTextInput& m_textInput;
    ConsoleSink m_console;
    QList<Step> m_steps;
    Duration m_deliveryTimeout;
    Lifetime m_lifetime;
};

} // namespace velnor
