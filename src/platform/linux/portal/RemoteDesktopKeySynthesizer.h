#pragma once

#include "core/Scheduler.h"
#include "platform/KeySynthesizer.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace velnor {
class Logger;
}

namespace velnor::portal {

// Synthetic keys through the desktop portal's RemoteDesktop interface, as
// keysyms (so any layout types the right characters). A session is opened
// ahead of need (on the hotkey's key-down), keys posted meanwhile wait for
// it, and it is closed once the keys are all up again. The portal's restore
// token is stored so that the user confirms once; a user who refuses turns
// the synthesizer unavailable, which leaves the text on the clipboard.
class RemoteDesktopKeySynthesizer final : public QObject, public KeySynthesizer {
    Q_OBJECT
public:
    struct TokenStore {
        std::function<QString()> load;
        std::function<void(const QString&)> save;
    };

    RemoteDesktopKeySynthesizer(QDBusConnection bus, Scheduler& scheduler, Logger& log, TokenStore tokens,
                                std::function<void()> refused, QObject* parent = nullptr);
    ~RemoteDesktopKeySynthesizer() override;

    bool isAvailable() const override { return !m_refused; }
    // The portal does not say which keys the user holds.
    bool isModifierHeld() const override { return false; }
    std::shared_ptr<KeyEventSource> createEventSource() override;

    // Starts a session now so that a later paste need not wait for it.
    void openSession();
    void post(const SyntheticKeyEvent& event);

    // The X keysym of one of the app's virtual keys; none when unknown.
    static std::optional<quint32> keysymFor(int virtualKey);

    // A session that nothing used is closed after this long.
    static constexpr Duration IdleClose{std::chrono::seconds(120)};

private:
    enum class State { Closed, Opening, Started };

    void selectDevices(int generation);
    void startSession(int generation);
    void onStarted(const QVariantMap& results);
    void fail(const QString& why, bool userRefused);
    void flush();
    void closeSession();
    void armIdleClose();
    bool isCurrent(int generation) const { return generation == m_generation && m_state == State::Opening; }

    QDBusConnection m_bus;
    Scheduler& m_scheduler;
    Logger& m_log;
    TokenStore m_tokens;
    std::function<void()> m_refusedHook;
    State m_state = State::Closed;
    QString m_session;
    int m_generation = 0;
    bool m_refused = false;
    QList<SyntheticKeyEvent> m_queue;
    QSet<int> m_held;
    Cancellable m_idleClose;
};

} // namespace velnor::portal
