#include "platform/linux/session/SessionProbe.h"

#include "platform/linux/portal/PortalNames.h"
#include "platform/linux/session/WaylandGlobalsProbe.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <memory>

namespace velnor::session {
namespace {

using portal::kPortalPath;
using portal::kPortalService;

// The replies still outstanding; the last one to arrive hands over the facts.
struct PendingProbe {
    SessionFacts facts;
    int outstanding = 0;
    std::function<void(const SessionFacts&)> done;

    void oneAnswered()
    {
        if (--outstanding == 0 && done)
            done(facts);
    }
};

} // namespace

SessionProbe::Environment SessionProbe::processEnvironment()
{
    return {qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"), qEnvironmentVariable("XDG_CURRENT_DESKTOP")};
}

SessionProbe::SessionProbe(QDBusConnection bus, Environment environment, std::chrono::milliseconds deadline)
    : m_bus(std::move(bus))
    , m_environment(std::move(environment))
    , m_deadline(deadline)
{
}

void SessionProbe::run(std::function<void(const SessionFacts&)> done)
{
    auto pending = std::make_shared<PendingProbe>();
    pending->done = std::move(done);
    SessionFacts& facts = pending->facts;
    const bool wayland = !m_environment.waylandDisplay.isEmpty() || m_environment.sessionType == "wayland";
    facts.server = wayland ? DisplayServer::Wayland : DisplayServer::X11;
    facts.desktopName = m_environment.currentDesktop;
    if (wayland)
        facts.globals = probeWaylandGlobals(m_environment.waylandDisplay, m_deadline).value_or(WaylandGlobals{});

    const auto ask = [this, pending](const QDBusMessage& message, std::function<void(const QDBusMessage&)> onReply) {
        ++pending->outstanding;
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, int(m_deadline.count())));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [pending, watcher, onReply = std::move(onReply)] {
                             watcher->deleteLater();
                             if (!watcher->isError())
                                 onReply(watcher->reply());
                             pending->oneAnswered();
                         });
    };
    const auto askVersion = [&ask](const QString& interface, uint SessionFacts::*field, SessionFacts& into) {
        QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.portal.") + interface << QStringLiteral("version");
        ask(get, [&into, field](const QDBusMessage& reply) {
            into.*field = reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
        });
    };
    // A guard so that no reply finishes the probe before all are asked.
    ++pending->outstanding;
    askVersion(QStringLiteral("GlobalShortcuts"), &SessionFacts::globalShortcutsVersion, facts);
    askVersion(QStringLiteral("RemoteDesktop"), &SessionFacts::remoteDesktopVersion, facts);
    QDBusMessage hasOwner = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("NameHasOwner"));
    hasOwner << QStringLiteral("org.fcitx.Fcitx5");
    ask(hasOwner, [&facts](const QDBusMessage& reply) { facts.fcitx5Running = reply.arguments().value(0).toBool(); });
    pending->oneAnswered();
}

} // namespace velnor::session
