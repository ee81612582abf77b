#include "platform/linux/wayland/ForeignToplevelWorkspace.h"

#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/x11/EwmhWorkspace.h"

#include "protocols/wlr-foreign-toplevel-management-unstable-v1-client.h"

#include <wayland-client.h>

#include <algorithm>

namespace velnor::wayland {

struct ForeignToplevelWorkspace::Toplevel {
    ForeignToplevelWorkspace* owner = nullptr;
    Owned<zwlr_foreign_toplevel_handle_v1, zwlr_foreign_toplevel_handle_v1_destroy> handle;
    // Events come in batches that a "done" closes.
    QString pendingTitle, pendingAppId;
    bool pendingActivated = false;
    QString title, appId;
    bool activated = false;
};

// The protocol's listener callbacks, friends of the workspace.
struct ToplevelEvents {
    using Toplevel = ForeignToplevelWorkspace::Toplevel;
    static Toplevel& of(void* data) { return *static_cast<Toplevel*>(data); }

    static void title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* text)
    {
        of(data).pendingTitle = QString::fromUtf8(text);
    }
    static void appId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* text)
    {
        of(data).pendingAppId = QString::fromUtf8(text);
    }
    static void outputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void outputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
    {
        const auto* begin = static_cast<const std::uint32_t*>(states->data);
        const auto* end = begin + states->size / sizeof(std::uint32_t);
        of(data).pendingActivated =
            std::find(begin, end, std::uint32_t{ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED}) != end;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        Toplevel& toplevel = of(data);
        const bool wasActive = toplevel.activated;
        toplevel.title = toplevel.pendingTitle;
        toplevel.appId = toplevel.pendingAppId;
        toplevel.activated = toplevel.pendingActivated;
        toplevel.owner->changed(toplevel, wasActive);
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1*)
    {
        Toplevel& toplevel = of(data);
        toplevel.owner->remove(&toplevel);
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
    {
        static_cast<ForeignToplevelWorkspace*>(data)->add(handle);
    }
    static void finished(void*, zwlr_foreign_toplevel_manager_v1*) {}
};

namespace {
const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    &ToplevelEvents::title,       &ToplevelEvents::appId, &ToplevelEvents::outputEnter,
    &ToplevelEvents::outputLeave, &ToplevelEvents::state, &ToplevelEvents::done,
    &ToplevelEvents::closed,      &ToplevelEvents::parent,
};
const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {&ToplevelEvents::toplevel,
                                                                    &ToplevelEvents::finished};
} // namespace

ForeignToplevelWorkspace::ForeignToplevelWorkspace(WaylandConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
{
    if (!isAvailable())
        return;
    zwlr_foreign_toplevel_manager_v1_add_listener(connection.globals().foreignToplevels, &kManagerListener, this);
    // The toplevels that exist already, with their first batch of state.
    connection.roundtrip();
    connection.roundtrip();
}

ForeignToplevelWorkspace::~ForeignToplevelWorkspace() = default;

bool ForeignToplevelWorkspace::isAvailable() const
{
    return m_connection.isConnected() && m_connection.globals().foreignToplevels != nullptr;
}

std::optional<FrontAppInfo> ForeignToplevelWorkspace::frontmostApplication() const
{
    const auto active = std::find_if(m_toplevels.cbegin(), m_toplevels.cend(),
                                     [](const auto& toplevel) { return toplevel->activated; });
    if (active == m_toplevels.cend())
        return std::nullopt;
    const Toplevel& toplevel = **active;
    FrontAppInfo info;
    if (!toplevel.appId.isEmpty())
        info.bundleId = toplevel.appId;
    if (const auto name = x11::desktopEntryName(toplevel.appId); name && !toplevel.appId.isEmpty())
        info.localizedName = name;
    else if (!toplevel.title.isEmpty())
        info.localizedName = toplevel.title;
    else
        info.localizedName = info.bundleId;
    return info;
}

void ForeignToplevelWorkspace::add(zwlr_foreign_toplevel_handle_v1* handle)
{
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->owner = this;
    toplevel->handle.reset(handle);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, toplevel.get());
    m_toplevels.push_back(std::move(toplevel));
}

void ForeignToplevelWorkspace::remove(const Toplevel* toplevel)
{
    const bool wasActive = toplevel->activated;
    std::erase_if(m_toplevels, [toplevel](const auto& candidate) { return candidate.get() == toplevel; });
    if (wasActive)
        emit activeApplicationChanged();
}

void ForeignToplevelWorkspace::changed(const Toplevel& toplevel, bool wasActive)
{
    if (toplevel.activated != wasActive)
        emit activeApplicationChanged();
}

} // namespace velnor::wayland
