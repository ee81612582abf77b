#include "app/AppStartup.h"

#include "config/DefaultSettings.h"
#include "core/Scheduler.h"
#include "log/Logger.h"

namespace velnor {

AppStartup::AppStartup(Logger& log, Scheduler& mainQueue, DefaultSettingsRegistrar& defaults, QString documentsDir,
                       QString settingsFile, DelayedSteps steps)
    : m_log(log)
    , m_mainQueue(mainQueue)
    , m_defaults(defaults)
    , m_documentsDir(std::move(documentsDir))
    , m_settingsFile(std::move(settingsFile))
    , m_steps(std::move(steps))
{
}

void AppStartup::setup()
{
    m_log.info(QStringLiteral("init app..."));
    m_log.info(QStringLiteral("Documents directory: ") +
               (m_documentsDir.isEmpty() ? QStringLiteral("Not found") : m_documentsDir));
    m_log.info(QStringLiteral("UserDefaults file: ") + m_settingsFile);
    m_defaults.registerDefaults();
    // The steps live in this object, which lives for the process.
    m_mainQueue.after(seconds(1.0), [this] {
        m_steps.requestPermissions();
        m_steps.registerShortcuts();
        m_steps.setupMenuBar();
    });
}

} // namespace velnor
