#include "app/simulation/DictationScript.h"

#include "app/simulation/ConsoleTextInput.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "dictation/AppSetupHelper.h"
#include "log/Logger.h"

#include <QCoreApplication>

namespace velnor {

namespace {
constexpr Duration kPoll = seconds(0.1);
constexpr Duration kPauseBetweenDictations = seconds(1.0);
} // namespace

DictationScript::DictationScript(AppSetupHelper& controller, SettingsStore& settings, Scheduler& scheduler, Logger& log,
                                 const ConsoleTextInput& textInput, ConsoleSink console, QList<Step> steps,
                                 Duration deliveryTimeout)
    : m_controller(controller)
    , m_settings(settings)
    , m_scheduler(scheduler)
    , m_log(log)
    , m_textInput(textInput)
    , m_console(std::move(console))
    , m_steps(std::move(steps))
    , m_deliveryTimeout(deliveryTimeout)
{
}

void DictationScript::start()
{
    m_scheduler.after(seconds(0.5), [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            runStep(0);
    });
}

void DictationScript::runStep(int index)
{
    if (index >= m_steps.size()) {
        finish();
        return;
    }
    const Step& step = m_steps.at(index);
    m_settings.setString(SettingsKey::RecognitionMode, step.mode);
    m_log.flush();
    m_console(QStringLiteral(">>> %1 dictation: holding the hotkey for %2 s")
                  .arg(step.mode)
                  .arg(double(step.hold.count()) / 1000.0, 0, 'f', 1));
    const qsizetype before = m_textInput.delivered().size();
    m_controller.handleKeyDown();
    m_scheduler.after(step.hold, [this, guard = m_lifetime.guard(), index, before] {
        if (guard.expired())
            return;
        m_controller.handleKeyUp();
        waitForDelivery(index, before, Duration::zero());
    });
}

void DictationScript::waitForDelivery(int index, qsizetype deliveredBefore, Duration waited)
{
    const bool delivered = m_textInput.delivered().size() > deliveredBefore;
    if (!delivered && waited < m_deliveryTimeout) {
        m_scheduler.after(kPoll, [this, guard = m_lifetime.guard(), index, deliveredBefore, waited] {
            if (!guard.expired())
                waitForDelivery(index, deliveredBefore, waited + kPoll);
        });
        return;
    }
    if (!delivered) {
        m_log.flush();
        m_console(QStringLiteral(">>> no text arrived within %1 s").arg(m_deliveryTimeout.count() / 1000));
    }
    m_scheduler.after(kPauseBetweenDictations, [this, guard = m_lifetime.guard(), index] {
        if (!guard.expired())
            runStep(index + 1);
    });
}

void DictationScript::finish()
{
    m_log.flush();
    const QStringList& texts = m_textInput.delivered();
    m_console(QStringLiteral(">>> delivered %1 text(s):").arg(texts.size()));
    for (const QString& text : texts)
        m_console(QStringLiteral("    \"%1\"").arg(text));
    const bool complete = texts.size() == m_steps.size()
        && std::none_of(texts.begin(), texts.end(), [](const QString& t) { return t.trimmed().isEmpty(); });
    QCoreApplication::exit(complete ? 0 : 1);
}

} // namespace velnor
