#pragma once

#include "keyboard/ModifierKey.h"
#include "platform/GlobalKeySource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace velnor {
class Logger;
}

namespace velnor::portal {

// The dictation chord as a global shortcut of the desktop portal: one
// session, one shortcut bound per chord (the portal's dialog lets the user
// confirm or change the keys), and hold-to-talk from its Activated /
// Deactivated signals, reported as the chord's modifier change so the
// hotkey's own rules decide as for any key source.
class PortalShortcutKeySource final : public QObject, public GlobalKeySource {
    Q_OBJECT
public:
    static constexpr const char* ShortcutId = "dictation";

    PortalShortcutKeySource(QDBusConnection bus, Logger& log, QObject* parent = nullptr);
    ~PortalShortcutKeySource() override;

    // False once the portal refused a session or a binding.
    bool isAvailable() const override { return !m_refused; }
    // Opens the session; events follow once the chord is bound.
    bool start(Handler handler) override;
    void stop() override;
    bool isKeyboardGrabbedElsewhere() override { return false; }

    // Binds `chord` (again, in a new session, when it changes).
    void setChord(ModifierKey chord);
    // The keys the user confirmed in the portal's dialog, as the portal
    // describes them; empty until bound.
    QString triggerDescription() const { return m_trigger; }

    // The portal's notation of the keys we propose for `chord`; empty when
    // the chord has none (the user picks the keys in the dialog).
    static QString preferredTrigger(ModifierKey chord);

signals:
    void triggerDescriptionChanged(const QString& description);
    // The user pressed the bound keys (before the key-down event goes out).
    void activated();

private slots:
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp, const QVariantMap& options);
    void onDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                       const QVariantMap& options);
    void onShortcutsChanged(const QDBusMessage& message);

private:
    void subscribe(const QString& portal);
    void openSession();
    void closeSession();
    void bind();
    void takeBoundShortcuts(const QVariantMap& results);
    void release();
    bool isOurs(const QDBusObjectPath& session, const QString& id) const;

    QDBusConnection m_bus;
    Logger& m_log;
    Handler m_handler;
    ModifierKey m_chord;
    QString m_session;
    // Each session opened gets a new generation; answers for an older one are dropped.
    int m_generation = 0;
    QString m_subscribedPortal;
    bool m_active = false;
    bool m_refused = false;
    QString m_trigger;
    // A portal that ends (crash, restart) takes its session along, and a
    // held chord would never see its Deactivated. A portal that comes back
    // gets the chord bound again.
    QDBusServiceWatcher m_portalWatcher;
};

} // namespace velnor::portal
