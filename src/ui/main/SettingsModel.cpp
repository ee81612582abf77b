#include "ui/main/SettingsModel.h"

#include "config/LaunchAtLoginSetting.h"
#include "config/SettingsKeys.h"
#include "config/SettingsReaders.h"
#include "config/SettingsStore.h"

#include <algorithm>

namespace velnor {

namespace {
QString key(const char* name)
{
    return QString::fromLatin1(name);
}
QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

SettingsModel::SettingsModel(SettingsStore& settings, LaunchAtLoginSetting& launchAtLogin, SettingsHooks hooks)
    : m_settings(settings)
    , m_launchAtLogin(launchAtLogin)
    , m_hooks(std::move(hooks))
{
}

SettingsModel::Values SettingsModel::load() const
{
    Values values;
    values.position = m_settings.stringOr(key(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_center"));
    values.voiceType = m_settings.stringOr(key(SettingsKey::CurrentQasrType), QStringLiteral("16k_zh"));
    values.hotkey = m_settings.stringOr(key(SettingsKey::HotkeyStart), QStringLiteral("fn_shift"));
    values.maxDurationSeconds = snapDuration(settings::maxRecordingDurationSeconds(m_settings));
    values.soundEffects = settings::soundEffectsEnabled(m_settings);
    values.overOver = m_settings.stringOr(key(SettingsKey::OverOverEnable), QStringLiteral("false")) == flag(true);
    values.overOverKeyType = m_settings.stringOr(key(SettingsKey::OverOverKeyType), QStringLiteral("enter"));
    values.historyEnabled = settings::historyEnabled(m_settings);
    values.historyRetentionDays = settings::historyRetentionDays(m_settings);
    values.launchAtLogin = m_settings.stringOr(key(SettingsKey::LaunchAtLogin), QStringLiteral("false")) == flag(true);
    values.inputMethod = m_settings.stringOr(key(SettingsKey::InputMethodEnabled), flag(true)) != flag(false);
    values.evdevHotkey = m_settings.stringOr(key(SettingsKey::EvdevHotkey), flag(false)) == flag(true);
    return values;
}

void SettingsModel::setPosition(const QString& position)
{
    m_settings.setString(key(SettingsKey::FloatingWindowPosition), position);
    if (m_hooks.moveIndicator)
        m_hooks.moveIndicator(position);
}

void SettingsModel::setHotkey(const QString& hotkey)
{
    m_settings.setString(key(SettingsKey::HotkeyStart), hotkey);
    if (m_hooks.hotkeyChanged)
        m_hooks.hotkeyChanged();
}

void SettingsModel::setVoiceType(const QString& voiceType)
{
    m_settings.setString(key(SettingsKey::CurrentQasrType), voiceType);
}

int SettingsModel::setMaxDuration(int seconds)
{
    const int snapped = snapDuration(seconds);
    m_settings.setString(key(SettingsKey::MaxRecordingDuration), QString::number(snapped));
    return snapped;
}

void SettingsModel::setSoundEffects(bool on)
{
    m_settings.setString(key(SettingsKey::EnableSoundEffects), flag(on));
}

void SettingsModel::setInputMethod(bool on)
{
    m_settings.setString(key(SettingsKey::InputMethodEnabled), flag(on));
}

void SettingsModel::setEvdevHotkey(bool on) { m_settings.setString(key(SettingsKey::EvdevHotkey), flag(on)); }

QString SettingsModel::inputMethodState() const
{
    return m_hooks.inputMethodState ? m_hooks.inputMethodState() : QString();
}

void SettingsModel::setHistoryEnabled(bool on)
{
    m_settings.setString(key(SettingsKey::HistoryEnabled), flag(on));
}

int SettingsModel::setHistoryRetentionDays(int days)
{
    const int stored = std::clamp(days, kMinRetentionDays, kMaxRetentionDays);
    m_settings.setString(key(SettingsKey::HistoryRetentionDays), QString::number(stored));
    return stored;
}

void SettingsModel::setOverOver(bool on)
{
    m_settings.setString(key(SettingsKey::OverOverEnable), flag(on));
}

void SettingsModel::setOverOverKeyType(const QString& keyType)
{
    m_settings.setString(key(SettingsKey::OverOverKeyType), keyType);
}

void SettingsModel::setLaunchAtLogin(bool on, bool previous, std::function<void(bool on)> updateSwitch)
{
    m_launchAtLogin.setEnabled(on, previous, std::move(updateSwitch));
}

QList<KeyboardEntry> SettingsModel::keyboards() const
{
    return m_hooks.keyboards ? m_hooks.keyboards() : QList<KeyboardEntry>();
}

QString SettingsModel::selectedKeyboardId() const
{
    return m_hooks.selectedKeyboardId ? m_hooks.selectedKeyboardId() : QString();
}

void SettingsModel::selectKeyboard(const QString& id)
{
    if (m_hooks.selectKeyboard)
        m_hooks.selectKeyboard(id);
}

void SettingsModel::refreshKeyboards()
{
    if (m_hooks.refreshKeyboards)
        m_hooks.refreshKeyboards();
}

void SettingsModel::observeKeyboards(QObject* receiver, std::function<void()> changed)
{
    if (m_hooks.observeKeyboards)
        m_hooks.observeKeyboards(receiver, std::move(changed));
}

int SettingsModel::snapDuration(int seconds)
{
    const int rounded = (seconds + kDurationStep / 2) / kDurationStep * kDurationStep;
    return std::clamp(rounded, kMinDuration, kMaxDuration);
}

bool SettingsModel::isOpenableUpdateUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QStringLiteral("https") || scheme == QStringLiteral("http")) &&
           !url.host().isEmpty();
}

} // namespace velnor
