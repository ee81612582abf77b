#include "app/DesktopPlatform.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <QGuiApplication>

namespace velnor {

DesktopPlatform::DesktopPlatform(SettingsStore& settings, Scheduler& scheduler, Logger& log, ConsoleSink console,
                                 const QString& atspiHelper, wayland::WaylandConnection& wayland,
                                 std::function<void(TextInputNotice)> notice)
    : m_sessionBackends(m_keySource, m_keys, m_waylandKeys, settings, scheduler, log)
    , m_pasteboard(*QGuiApplication::clipboard())
    , m_waylandClipboard(wayland)
    , m_waylandKeys(wayland)
    , m_waylandToplevels(wayland)
    , m_textInput(chosenFrontApp(), m_trust,
                  std::make_unique<atspi::AtspiHelperBridge>(atspiHelper,
                                                             [&log](const QString& why) { log.warning(why); }),
                  chosenPasteboard(), m_sessionBackends.synthesizer(), scheduler, log,
                  TextInputStack::Options{seconds(5.0), seconds(1.5), std::move(notice)})
    , m_hidMonitor(m_sessionBackends.keyboardDevices(m_keyboardDevices), console)
    , m_keyboards(settings, m_hidMonitor)
    , m_inputMethod(QDBusConnection::sessionBus())
    , m_inputMethodEnabled([&settings] {
        return settings.stringOr(QString::fromLatin1(SettingsKey::InputMethodEnabled), QStringLiteral("true"))
            != QLatin1String("false");
    })
    , m_inputMethodText(m_inputMethod, m_textInput.textInputMgr(), log, m_inputMethodEnabled)
    , m_inputMethodKeySynthesizer(m_inputMethod, log)
    , m_shortcut(m_shortcutManager, console)
{
    m_uptime.start();
    log.info(QStringLiteral("AT-SPI helper: ") + atspiHelper);
    // Our own pastes come back through XI2 like anyone's XTest input; they
    // must not reach the hotkey.
    m_keys.setPostObserver([this](std::uint8_t keycode, bool keyDown) { m_echoes.expect(keycode, keyDown); });
    if (!m_shortcutManager.start() || !m_keySource.isAvailable())
        log.error(QStringLiteral("The X server reports no global key events (XInput 2 missing): the hotkey cannot work"));
    if (wayland.isConnected())
        log.info(QStringLiteral("Wayland session: clipboard by %1, front application from %2")
                     .arg(m_waylandClipboard.isAvailable() ? QStringLiteral("data control") : QStringLiteral("XWayland"),
                          m_waylandToplevels.isAvailable() ? QStringLiteral("foreign toplevels")
                                                           : QStringLiteral("EWMH")));
    if (!m_keys.isAvailable() && !m_waylandKeys.isAvailable())
        log.warning(QStringLiteral("XTest is missing: text can be put on the clipboard but not pasted"));
    m_sessionBackends.probe();
}

void DesktopPlatform::setHotkeyChord(ModifierKey chord)
{
    m_inputMethod.setHotkey(chord.rawValue);
    m_sessionBackends.setChord(chord);
}

// A Wayland compositor's own ways reach every window; the X clipboard and
// EWMH only the XWayland ones.
Pasteboard& DesktopPlatform::chosenPasteboard()
{
    return m_waylandClipboard.isAvailable() ? static_cast<Pasteboard&>(m_waylandClipboard) : m_pasteboard;
}

Workspace& DesktopPlatform::chosenFrontApp()
{
    return m_waylandToplevels.isAvailable() ? static_cast<Workspace&>(m_waylandToplevels) : m_workspace;
}

DesktopPlatform::~DesktopPlatform()
{
    m_shortcut.unregisterAll();
    m_shortcutManager.stop();
    m_hidMonitor.stop();
}

} // namespace velnor
