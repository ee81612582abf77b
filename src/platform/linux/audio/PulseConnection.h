#pragma once

#include "core/Result.h"
#include "platform/AudioDevices.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

struct pa_context;
struct pa_mainloop_api;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace velnor {

// The app's one connection to the PulseAudio server (or PipeWire's
// PulseAudio service), kept for the app's life on its own threaded main
// loop. It never makes its caller wait for the server: it connects in the
// background, reconnects whenever the server goes away and comes back, and
// keeps the source list and the default source up to date from the server's
// change events, so readers get the latest copy at once.
//
// The server comes from the usual client configuration (PULSE_SERVER,
// XDG_RUNTIME_DIR) unless one is given; nothing is spawned.
class PulseConnection final {
public:
    struct Snapshot {
        QList<AudioSourceInfo> sources;
        QString defaultSource; // empty when the server has none
    };

    static constexpr int ReconnectDelayMs = 500;

    explicit PulseConnection(QByteArray clientName, QByteArray server = {});
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // The latest sources and default source, or why there are none (not
    // connected yet, server gone, listing refused).
    Result<Snapshot, QString> snapshot() const;
    // Whether the first connection attempt has been answered either way.
    bool isSettled() const;
    // Whether the latest failure is the server refusing this client (access
    // denied), as opposed to no server or one that is still starting.
    bool isRefused() const;
    // Called on the loop thread after every new snapshot or failure; the
    // observer must not call back into the loop. Empty to stop.
    void setChangeObserver(std::function<void()> observer);
    // Records the default the app just asked the server for, so a recording
    // that starts before the server's change event uses it.
    void noteDefaultSource(const QString& name);
    // Loop thread: asks for a fresh copy of the list (after a request the
    // server refused).
    void refreshLocked();

    // Locks the loop for the scope (never from the loop's own thread).
    class Lock final {
    public:
        explicit Lock(const PulseConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* m_loop;
    };

    // With the loop locked: the ready context, or none while (re)connecting.
    pa_context* readyContext() const;
    // With the loop locked: the last error of the context, as text.
    QString lastError() const;

private:
    class Listing;

    void startAttempt();
    void onContextState();
    void scheduleReconnect();
    void beginListing();
    void listingFinished(Listing* listing);
    void publish(Result<Snapshot, QString> result, bool refused = false);
    static void onReconnectTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* self);

    const QByteArray m_clientName;
    const QByteArray m_server;
    pa_threaded_mainloop* m_loop = nullptr;
    // Loop thread (or locked).
    pa_context* m_context = nullptr;
    pa_time_event* m_reconnectTimer = nullptr;
    Listing* m_listing = nullptr;
    bool m_listAgain = false;

    mutable std::mutex m_mutex;
    Result<Snapshot, QString> m_snapshot = Result<Snapshot, QString>::failure(QStringLiteral("PulseAudio 服务器连接中"));
    bool m_settled = false;
    bool m_refused = false;
    std::function<void()> m_changeObserver;
};

} // namespace velnor
