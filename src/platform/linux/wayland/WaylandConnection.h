#pragma once

#include "platform/linux/wayland/WaylandHandles.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_layer_shell_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_data_control_manager_v1;

class QSocketNotifier;

namespace velnor::wayland {

// The globals this client uses; null where the compositor does not offer one.
struct Globals {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* virtualKeyboard = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwlr_foreign_toplevel_manager_v1* foreignToplevels = nullptr;
    zwlr_data_control_manager_v1* dataControl = nullptr;
};

// One connection to the Wayland compositor beside Qt's own (the app's
// windows may stay on XWayland): binds the globals above once and reads
// events from the Qt event loop. Not connected outside a Wayland session.
class WaylandConnection final : public QObject {
    Q_OBJECT
public:
    // An empty name means $WAYLAND_DISPLAY.
    explicit WaylandConnection(const QByteArray& name = {}, QObject* parent = nullptr);
    ~WaylandConnection() override;

    bool isConnected() const { return m_display != nullptr && !m_broken; }
    wl_display* display() const { return m_display.get(); }
    const Globals& globals() const { return m_globals; }
    // Interface names of everything the compositor offers, for the log.
    QStringList offered() const { return m_offered; }

    // Sends queued requests now.
    void flush();
    // Waits for the compositor to handle everything sent so far (and for
    // the events it sent back); false once the connection broke.
    bool roundtrip();

signals:
    // The compositor closed the connection or a protocol error ended it.
    void broken(const QString& why);

public:
    // The registry's listener callbacks.
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);

private:
    struct DisplayDisconnect {
        void operator()(wl_display* display) const;
    };
    void readEvents();
    void dispatchPending();
    void checkError();
    void releaseGlobals();

    std::unique_ptr<wl_display, DisplayDisconnect> m_display;
    wl_registry* m_registry = nullptr;
    Globals m_globals;
    QStringList m_offered;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_broken = false;
};

} // namespace velnor::wayland
