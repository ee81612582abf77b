#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class QObject;

namespace velnor {

class LaunchAtLoginSetting;
class SettingsStore;

// A keyboard as the settings screen lists it.
struct KeyboardEntry {
    QString id;
    QString name;
    bool isBuiltIn = false;
    QString status;
};

// What the composition root plugs in for the parts that live elsewhere: the
// indicator, the hotkey registration and the keyboard list.
struct SettingsHooks {
    std::function<void(const QString& position)> moveIndicator;
    std::function<void()> hotkeyChanged;
    std::function<QList<KeyboardEntry>()> keyboards;
    std::function<QString()> selectedKeyboardId;
    std::function<void(const QString& id)> selectKeyboard;
    // Reads the attached keyboards again.
    std::function<void()> refreshKeyboards;
    // Calls `changed` (in `receiver`'s thread, while it lives) whenever the keyboard list changes.
    std::function<void(QObject* receiver, std::function<void()> changed)> observeKeyboards;
    // How the input method's addon stands ("已连接", …); empty: not offered.
    std::function<QString()> inputMethodState;
    // The desktop session and how the hotkey reaches the app there (one
    // line each); empty: nothing to say.
    std::function<QString()> sessionState;
};

// Reads and writes the settings behind the settings screen. Loading only
// reads; every write is a user's choice.
class SettingsModel final {
public:
    struct Values {
        QString position;
        QString voiceType;
        QString hotkey;
        int maxDurationSeconds = 50;
        bool soundEffects = true;
        bool overOver = false;
        QString overOverKeyType;
        bool launchAtLogin = false;
        bool historyEnabled = true;
        int historyRetentionDays = 30;
        bool inputMethod = true;
        bool evdevHotkey = false;
    };

    static constexpr int kMinDuration = 5;
    static constexpr int kMaxDuration = 50;
    static constexpr int kDurationStep = 5;
    static constexpr int kMinRetentionDays = 1;
    static constexpr int kMaxRetentionDays = 3650;

    SettingsModel(SettingsStore& settings, LaunchAtLoginSetting& launchAtLogin, SettingsHooks hooks);

    Values load() const;

    void setPosition(const QString& position);
    void setHotkey(const QString& hotkey);
    void setVoiceType(const QString& voiceType);
    // Stores the duration snapped to the slider's steps; returns it.
    int setMaxDuration(int seconds);
    void setSoundEffects(bool on);
    void setOverOver(bool on);
    void setOverOverKeyType(const QString& keyType);
    void setHistoryEnabled(bool on);
    void setInputMethod(bool on);
    void setEvdevHotkey(bool on);
    QString inputMethodState() const;
    QString sessionState() const { return m_hooks.sessionState ? m_hooks.sessionState() : QString(); }
    // Stores the retention clamped to the allowed days; returns it.
    int setHistoryRetentionDays(int days);
    void setLaunchAtLogin(bool on, bool previous, std::function<void(bool on)> updateSwitch);

    QList<KeyboardEntry> keyboards() const;
    QString selectedKeyboardId() const;
    void selectKeyboard(const QString& id);
    void refreshKeyboards();
    void observeKeyboards(QObject* receiver, std::function<void()> changed);

    static int snapDuration(int seconds);
    // Only web links may be handed to the browser from an update answer.
    static bool isOpenableUpdateUrl(const QUrl& url);

private:
    SettingsStore& m_settings;
    LaunchAtLoginSetting& m_launchAtLogin;
    SettingsHooks m_hooks;
};

} // namespace velnor
