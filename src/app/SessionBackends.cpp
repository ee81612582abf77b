#include "app/SessionBackends.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"

namespace velnor {
namespace {

const QString kEvdevHotkeyKey = QString::fromLatin1(SettingsKey::EvdevHotkey);
const QString kRemoteDesktopTokenKey = QString::fromLatin1(SettingsKey::RemoteDesktopRestoreToken);

bool isWayland(const session::SessionProbe::Environment& environment)
{
    return !environment.waylandDisplay.isEmpty() || environment.sessionType == "wayland";
}

} // namespace

SessionBackends::SessionBackends(GlobalKeySource& x11Keys, KeySynthesizer& x11Synthesizer,
                                 KeySynthesizer& virtualKeyboard, SettingsStore& settings, Scheduler& scheduler,
                                 Logger& log)
    : m_virtualKeyboard(virtualKeyboard)
    , m_settings(settings)
    , m_log(log)
    , m_environment(session::SessionProbe::processEnvironment())
    , m_evdevOptIn(isWayland(m_environment) && settings.stringOr(kEvdevHotkeyKey, QStringLiteral("false")) == "true")
    , m_portalKeys(QDBusConnection::sessionBus(), log)
    , m_portalPaste(QDBusConnection::sessionBus(), scheduler, log,
                    {[&settings] { return settings.stringOr(kRemoteDesktopTokenKey, QString()); },
                     [&settings](const QString& token) { settings.setString(kRemoteDesktopTokenKey, token); }},
                    {})
    , m_keys(m_evdevOptIn ? static_cast<GlobalKeySource&>(m_evdevKeys) : x11Keys)
    , m_synthesizer(&x11Synthesizer)
    , m_probe(QDBusConnection::sessionBus(), m_environment, std::chrono::milliseconds(1500))
{
    if (m_evdevOptIn)
        m_evdevWatcher.start();
    // The portal's session opens while the user still speaks, so that its
    // keys are ready (or its dialog answered) by the time of the paste.
    QObject::connect(&m_portalKeys, &portal::PortalShortcutKeySource::activated, &m_portalPaste, [this] {
        if (m_choice && m_choice->paste == session::PasteSource::RemoteDesktopPortal)
            m_portalPaste.openSession();
    });
}

KeyboardDevices& SessionBackends::keyboardDevices(KeyboardDevices& x11Devices)
{
    return m_evdevOptIn ? static_cast<KeyboardDevices&>(m_evdevKeys) : x11Devices;
}

void SessionBackends::probe()
{
    m_probe.run([this](const session::SessionFacts& facts) { apply(facts); });
}

void SessionBackends::apply(const session::SessionFacts& facts)
{
    const session::BackendChoice choice = session::chooseBackends(facts, m_evdevOptIn);
    m_choice = choice;
    m_description = session::describeSession(facts, choice);
    m_log.info(m_description + QStringLiteral(" (") + session::describeFacts(facts) + QLatin1Char(')'));
    if (choice.hotkey == session::HotkeySource::GlobalShortcutsPortal)
        m_keys.select(m_portalKeys);
    switch (choice.paste) {
    case session::PasteSource::RemoteDesktopPortal: m_synthesizer.select(&m_portalPaste); break;
    // XTest reaches only XWayland windows there: better the clipboard alone.
    case session::PasteSource::ClipboardOnly: m_synthesizer.select(nullptr); break;
    case session::PasteSource::VirtualKeyboard: m_synthesizer.select(&m_virtualKeyboard); break;
    case session::PasteSource::XTest: break;
    }
}

QString SessionBackends::summary() const
{
    QStringList lines{m_description};
    if (m_choice && m_choice->hotkey == session::HotkeySource::GlobalShortcutsPortal
        && !m_portalKeys.triggerDescription().isEmpty())
        lines << QStringLiteral("门户热键: ") + m_portalKeys.triggerDescription();
    if (m_evdevOptIn)
        lines << evdev::evdevPermissionHint(m_evdevWatcher.openedAny(), m_evdevWatcher.deniedCount());
    lines.removeAll(QString());
    return lines.join(QLatin1Char('\n'));
}

} // namespace velnor
