#pragma once

#include "platform/Workspace.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;

namespace velnor::wayland {

class WaylandConnection;

// The front application from the compositor's foreign-toplevel list
// (wlroots compositors): the activated toplevel's app id is the app id, the
// name comes from its desktop entry, else its title. Wayland gives no
// process id: it stays 0.
class ForeignToplevelWorkspace final : public QObject, public Workspace {
    Q_OBJECT
public:
    explicit ForeignToplevelWorkspace(WaylandConnection& connection, QObject* parent = nullptr);
    ~ForeignToplevelWorkspace() override;

    bool isAvailable() const override;
    std::optional<FrontAppInfo> frontmostApplication() const override;

    // One toplevel as the compositor last described it (after its "done").
    struct Toplevel;

signals:
    void activeApplicationChanged();

private:
    friend struct ToplevelEvents;
    void add(zwlr_foreign_toplevel_handle_v1* handle);
    void remove(const Toplevel* toplevel);
    void changed(const Toplevel& toplevel, bool wasActive);

    WaylandConnection& m_connection;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
};

} // namespace velnor::wayland
