#pragma once

#include "platform/linux/portal/PortalNames.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>

#include <functional>

namespace velnor::portal {

// The portal's answer to a request: 0 success, 1 the user cancelled,
// 2 anything else (also a call the portal refused outright).
enum class PortalResponse : uint { Success = 0, Cancelled = 1, Other = 2 };

// One portal request: the method returns a Request object at once and the
// answer comes later as that object's Response signal. The object's path
// follows from our unique name and the handle token, so the subscription is
// made BEFORE the call and no fast answer can be missed.
class PortalRequest final : public QObject {
    Q_OBJECT
public:
    // `portal` is the unique bus name of the portal that answered.
    using Reply = std::function<void(PortalResponse response, const QVariantMap& results, const QString& portal)>;

    // Calls `interface`.`method`(`arguments`..., options + handle_token) on
    // the portal; `reply` runs once with its answer, unless `owner` is gone
    // by then (the request dies with it). A call that fails gives Other with
    // the error's message under "error".
    static void send(QObject* owner, QDBusConnection bus, const QString& interface, const QString& method,
                     QVariantList arguments, QVariantMap options, Reply reply);

    // A fresh token for handle_token or session_handle_token.
    static QString newToken();
    // Where the portal puts the object for `token`: ".../<kind>/<sender>/<token>".
    static QString objectPathFor(const QDBusConnection& bus, const QString& kind, const QString& token);

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    PortalRequest(QObject* owner, QDBusConnection bus, QString path, Reply reply);
    void finish(PortalResponse response, const QVariantMap& results, const QString& portal = {});

    QDBusConnection m_bus;
    QString m_path;
    Reply m_reply;
};

// The session handle a CreateSession response carries (a string in some
// portal versions, an object path in others).
QString sessionHandleOf(const QVariantMap& results);
// ": <message>" when the call itself failed (the portal is absent, the
// arguments were refused), else empty; for log lines.
QString errorOf(const QVariantMap& results);

} // namespace velnor::portal
