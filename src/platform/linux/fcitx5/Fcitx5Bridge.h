#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QDBusServiceWatcher;

namespace velnor::fcitx5 {

// Where the addon stands, as the settings page shows it.
enum class AddonState { Connected, NotInstalled, FcitxNotRunning };

// The input context that has the keyboard focus, as the addon reports it.
struct FocusedField {
    bool focused = false;
    QString program;
    quint64 capabilities = 0;

    // Password and sensitive fields: nothing of ours goes into them through
    // the input method, not even as preedit.
    bool isPrivate() const;
};

// The app's end of Velnor's Fcitx5 addon on the session bus: follows whether
// Fcitx5 and the addon run, which field has the focus and the modifier keys
// the addon sees, and passes commits, preedit and keys to it. Calls never
// block; a call the addon cannot take answers false.
class Fcitx5Bridge final : public QObject {
    Q_OBJECT
public:
    static constexpr char ServiceName[] = "org.velnor.Fcitx5";
    static constexpr char ObjectPath[] = "/org/velnor/Fcitx5";
    static constexpr char InterfaceName[] = "org.velnor.Fcitx5";
    static constexpr char FcitxServiceName[] = "org.fcitx.Fcitx5";

    explicit Fcitx5Bridge(QDBusConnection bus, QObject* parent = nullptr);
    ~Fcitx5Bridge() override;

    AddonState state() const { return m_state; }
    const FocusedField& focusedField() const { return m_focus; }
    // The addon answers and a field other than a private one has the focus.
    bool canWriteToFocusedField() const;

    // The dictation chord (the app's ModifierKey bits; 0: none). Kept and
    // sent again whenever the addon (re)appears.
    void setHotkey(quint32 chord);
    void commitString(const QString& text, std::function<void(bool committed)> done);
    void setPreedit(const QString& text);
    void clearPreedit();
    void forwardKey(quint32 keysym, quint32 states, std::function<void(bool forwarded)> done);

signals:
    void stateChanged(velnor::fcitx5::AddonState state);
    void focusChanged();
    // The modifier set (ModifierKey bits) after a modifier key went down or
    // up in the focused field.
    void modifiersChanged(quint32 modifiers);

private slots:
    void onModifiersChanged(uint modifiers);
    void onFocusChanged(bool focused, const QString& program, qulonglong capabilities);

private:
    void nameOwnerKnown(const QString& name, bool owned);
    void refreshState();
    void addonAppeared();
    void setState(AddonState state);
    void callAddon(const QString& method, const QList<QVariant>& arguments, std::function<void(bool)> done);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher;
    AddonState m_state = AddonState::FcitxNotRunning;
    FocusedField m_focus;
    quint32 m_chord = 0;
    bool m_addonOwned = false;
    // Names whose owner change the bus already told us of.
    QSet<QString> m_ownerChangeSeen;
    bool m_fcitxOwned = false;
};

} // namespace velnor::fcitx5
