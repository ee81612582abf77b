#include "app/simulation/SimulatedRealtimeClient.h"

#include "core/Scheduler.h"

namespace velnor {

SimulatedRealtimeClient::SimulatedRealtimeClient(Scheduler& scheduler, QStringList words)
    : m_scheduler(scheduler)
    , m_words(std::move(words))
{
}

void SimulatedRealtimeClient::connectAndStartRecording()
{
    m_recording = true;
    m_connected = true;
    m_scheduler.after(seconds(0.5), [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            hearNextWord();
    });
}

void SimulatedRealtimeClient::hearNextWord()
{
    if (!m_recording || m_words.isEmpty())
        return;
    m_currentText += (m_currentText.isEmpty() ? QString() : QStringLiteral(" ")) + m_words.takeFirst();
    if (m_partialText)
        m_partialText(m_currentText);
    m_scheduler.after(seconds(0.5), [this, guard = m_lifetime.guard()] {
        if (!guard.expired())
            hearNextWord();
    });
}

void SimulatedRealtimeClient::stopRecording()
{
    m_recording = false;
    m_scheduler.after(seconds(0.4), [this, guard = m_lifetime.guard()] {
        if (guard.expired() || !m_connected)
            return;
        m_finalText = m_currentText;
        if (m_handler)
            m_handler(m_finalText);
    });
}

} // namespace velnor
