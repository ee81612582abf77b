#pragma once

#include <QString>

#include <functional>
#include <optional>

struct pa_context;
struct pa_operation;
struct pa_threaded_mainloop;

namespace velnor {

// One connection to the PulseAudio server (or PipeWire's PulseAudio
// service) on its own threaded main loop. The server comes from the usual
// client configuration (PULSE_SERVER, XDG_RUNTIME_DIR); nothing is spawned.
class PulseConnection final {
public:
    explicit PulseConnection(const char* clientName);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects within the timeout; the error text otherwise.
    std::optional<QString> connect(int timeoutMs = 3000);

    // Starts an operation through `begin` (called with the loop locked; it
    // gets a completion to call from the PulseAudio callback) and waits for
    // it. False when the server failed or did not answer in time; the
    // operation is then cancelled, so its callback never runs late.
    bool run(const std::function<pa_operation*(std::function<void()> done)>& begin, int timeoutMs = 3000);

    // The last error of the context, as text.
    QString lastError() const;

    pa_threaded_mainloop* loop() const { return m_loop; }
    pa_context* context() const { return m_context; }

    // Locks the loop for the scope.
    class Lock final {
    public:
        explicit Lock(const PulseConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* m_loop;
    };

    // With the loop locked: waits until `ready` holds, the context fails or
    // the timeout passes. Returns `ready()`.
    bool waitUntil(const std::function<bool()>& ready, int timeoutMs);

private:
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    bool m_started = false;
};

} // namespace velnor
