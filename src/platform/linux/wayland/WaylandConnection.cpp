#include "platform/linux/wayland/WaylandConnection.h"

#include "protocols/virtual-keyboard-unstable-v1-client.h"
#include "protocols/wlr-data-control-unstable-v1-client.h"
#include "protocols/wlr-foreign-toplevel-management-unstable-v1-client.h"
#include "protocols/wlr-layer-shell-unstable-v1-client.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velnor::wayland {

namespace {

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
        std::uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

const wl_registry_listener kRegistryListener = {&WaylandConnection::onGlobal, &WaylandConnection::onGlobalRemove};

} // namespace

void WaylandConnection::DisplayDisconnect::operator()(wl_display* display) const
{
    wl_display_disconnect(display);
}

WaylandConnection::WaylandConnection(const QByteArray& name, QObject* parent)
    : QObject(parent)
{
    if (name.isEmpty() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    m_display.reset(wl_display_connect(name.isEmpty() ? nullptr : name.constData()));
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display.get());
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    // Globals first, then whatever binding them sent back.
    if (wl_display_roundtrip(m_display.get()) < 0 || wl_display_roundtrip(m_display.get()) < 0) {
        releaseGlobals();
        m_display.reset();
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display.get()), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::readEvents);
    // Requests queued by event handlers go out before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &WaylandConnection::dispatchPending);
}

WaylandConnection::~WaylandConnection()
{
    m_notifier.reset();
    releaseGlobals();
}

void WaylandConnection::releaseGlobals()
{
    if (m_globals.dataControl)
        zwlr_data_control_manager_v1_destroy(m_globals.dataControl);
    if (m_globals.foreignToplevels)
        zwlr_foreign_toplevel_manager_v1_destroy(m_globals.foreignToplevels);
    if (m_globals.layerShell)
        zwlr_layer_shell_v1_destroy(m_globals.layerShell);
    if (m_globals.virtualKeyboard)
        zwp_virtual_keyboard_manager_v1_destroy(m_globals.virtualKeyboard);
    if (m_globals.seat)
        wl_seat_destroy(m_globals.seat);
    if (m_globals.shm)
        wl_shm_destroy(m_globals.shm);
    if (m_globals.compositor)
        wl_compositor_destroy(m_globals.compositor);
    if (m_registry)
        wl_registry_destroy(m_registry);
    m_globals = {};
    m_registry = nullptr;
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    Globals& globals = self->m_globals;
    self->m_offered.append(QString::fromLatin1(interface));
    const auto is = [interface](const wl_interface& candidate) { return std::strcmp(interface, candidate.name) == 0; };
    if (is(wl_compositor_interface) && !globals.compositor)
        globals.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    else if (is(wl_shm_interface) && !globals.shm)
        globals.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    else if (is(wl_seat_interface) && !globals.seat)
        globals.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
    else if (is(zwp_virtual_keyboard_manager_v1_interface) && !globals.virtualKeyboard)
        globals.virtualKeyboard = bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    else if (is(zwlr_layer_shell_v1_interface) && !globals.layerShell)
        globals.layerShell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 1);
    else if (is(zwlr_foreign_toplevel_manager_v1_interface) && !globals.foreignToplevels)
        globals.foreignToplevels = bind<zwlr_foreign_toplevel_manager_v1>(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, version, 3);
    else if (is(zwlr_data_control_manager_v1_interface) && !globals.dataControl)
        globals.dataControl =
            bind<zwlr_data_control_manager_v1>(registry, name, &zwlr_data_control_manager_v1_interface, version, 1);
}

void WaylandConnection::onGlobalRemove(void*, wl_registry*, std::uint32_t)
{
    // The globals bound here (compositor, seat, protocol managers) live as
    // long as the compositor; an output going away does not concern them.
}

void WaylandConnection::flush()
{
    if (m_display && !m_broken) {
        wl_display_flush(m_display.get());
        checkError();
    }
}

bool WaylandConnection::roundtrip()
{
    if (!m_display || m_broken)
        return false;
    wl_display_roundtrip(m_display.get());
    checkError();
    return !m_broken;
}

void WaylandConnection::readEvents()
{
    if (!m_display || m_broken)
        return;
    wl_display* display = m_display.get();
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    // The notifier said the socket is readable: this does not block.
    wl_display_read_events(display);
    wl_display_dispatch_pending(display);
    checkError();
}

void WaylandConnection::dispatchPending()
{
    if (!m_display || m_broken)
        return;
    wl_display_dispatch_pending(m_display.get());
    wl_display_flush(m_display.get());
    checkError();
}

void WaylandConnection::checkError()
{
    const int error = m_display ? wl_display_get_error(m_display.get()) : 0;
    if (error == 0 || m_broken)
        return;
    m_broken = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    emit broken(QStringLiteral("the Wayland connection ended: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace velnor::wayland
