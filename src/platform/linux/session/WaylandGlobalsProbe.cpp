#include "platform/linux/session/WaylandGlobalsProbe.h"

#include <wayland-client.h>

#include <poll.h>

#include <cstring>
#include <memory>

namespace velnor::session {
namespace {

struct DisplayDeleter {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
struct RegistryDeleter {
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};
struct CallbackDeleter {
    void operator()(wl_callback* callback) const { wl_callback_destroy(callback); }
};

struct ProbeState {
    WaylandGlobals globals;
    bool synced = false;
};

void onGlobal(void* data, wl_registry*, uint32_t, const char* interfaceName, uint32_t)
{
    noteWaylandGlobal(static_cast<ProbeState*>(data)->globals, interfaceName);
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

void onSyncDone(void* data, wl_callback*, uint32_t) { static_cast<ProbeState*>(data)->synced = true; }

const wl_registry_listener kRegistryListener{onGlobal, onGlobalRemove};
const wl_callback_listener kSyncListener{onSyncDone};

// One round trip that gives up at the deadline instead of blocking on a
// compositor that never answers.
bool roundTrip(wl_display* display, const ProbeState& state, std::chrono::milliseconds deadline)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + deadline;
    while (!state.synced) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || poll(&fd, 1, int(left)) <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        if (wl_display_read_events(display) != 0 || wl_display_dispatch_pending(display) < 0)
            return false;
    }
    return true;
}

} // namespace

void noteWaylandGlobal(WaylandGlobals& globals, const char* interfaceName)
{
    const auto is = [interfaceName](const char* name) { return std::strcmp(interfaceName, name) == 0; };
    if (is("zwp_virtual_keyboard_manager_v1"))
        globals.virtualKeyboard = true;
    else if (is("zwlr_layer_shell_v1"))
        globals.layerShell = true;
    else if (is("zwlr_foreign_toplevel_manager_v1"))
        globals.foreignToplevel = true;
    else if (is("zwlr_data_control_manager_v1"))
        globals.dataControl = true;
}

std::optional<WaylandGlobals> probeWaylandGlobals(const QByteArray& display, std::chrono::milliseconds deadline)
{
    const std::unique_ptr<wl_display, DisplayDeleter> connection(
        wl_display_connect(display.isEmpty() ? nullptr : display.constData()));
    if (!connection)
        return std::nullopt;
    ProbeState state;
    const std::unique_ptr<wl_registry, RegistryDeleter> registry(wl_display_get_registry(connection.get()));
    wl_registry_add_listener(registry.get(), &kRegistryListener, &state);
    const std::unique_ptr<wl_callback, CallbackDeleter> sync(wl_display_sync(connection.get()));
    wl_callback_add_listener(sync.get(), &kSyncListener, &state);
    if (!roundTrip(connection.get(), state, deadline))
        return std::nullopt;
    return state.globals;
}

} // namespace velnor::session
