#include "platform/linux/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <atomic>

namespace velnor::portal {
namespace {
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
} // namespace

QString PortalRequest::newToken()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("velnor%1").arg(++counter);
}

QString PortalRequest::objectPathFor(const QDBusConnection& bus, const QString& kind, const QString& token)
{
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/%2/%3/%4").arg(kPortalPath, kind, sender, token);
}

PortalRequest::PortalRequest(QObject* owner, QDBusConnection bus, QString path, Reply reply)
    : QObject(owner)
    , m_bus(std::move(bus))
    , m_path(std::move(path))
    , m_reply(std::move(reply))
{
}

void PortalRequest::send(QObject* owner, QDBusConnection bus, const QString& interface, const QString& method,
                         QVariantList arguments, QVariantMap options, Reply reply)
{
    const QString token = newToken();
    options.insert(QStringLiteral("handle_token"), token);
    auto* request = new PortalRequest(owner, bus, objectPathFor(bus, QStringLiteral("request"), token), std::move(reply));
    bus.connect(kPortalService, request->m_path, kRequestInterface, QStringLiteral("Response"), request,
                SLOT(onResponse(uint, QVariantMap, QDBusMessage)));

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                       QStringLiteral("org.freedesktop.portal.") + interface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), request);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, request, [request, watcher] {
        watcher->deleteLater();
        if (watcher->isError())
            request->finish(PortalResponse::Other, {{QStringLiteral("error"), watcher->error().message()}});
    });
}

void PortalRequest::onResponse(uint response, const QVariantMap& results, const QDBusMessage& message)
{
    finish(response <= uint(PortalResponse::Other) ? PortalResponse(response) : PortalResponse::Other, results,
           message.service());
}

void PortalRequest::finish(PortalResponse response, const QVariantMap& results, const QString& portal)
{
    if (!m_reply)
        return;
    m_bus.disconnect(kPortalService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
    const Reply reply = std::exchange(m_reply, {});
    deleteLater();
    reply(response, results, portal);
}

QString sessionHandleOf(const QVariantMap& results)
{
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.canConvert<QDBusObjectPath>() && handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return handle.value<QDBusObjectPath>().path();
    return handle.toString();
}

} // namespace velnor::portal

namespace velnor::portal {

QString errorOf(const QVariantMap& results)
{
    const QString error = results.value(QStringLiteral("error")).toString();
    return error.isEmpty() ? QString() : QStringLiteral(": ") + error;
}

} // namespace velnor::portal
