#include "ui/onboarding/DBusAccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace velnor {

namespace {

const QString kService = QStringLiteral("org.a11y.Bus");
const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kStatus = QStringLiteral("org.a11y.Status");
const QString kIsEnabled = QStringLiteral("IsEnabled");
// The bus answers at once; a hung desktop must not freeze the window for long.
constexpr int kTimeoutMs = 2000;

} // namespace

bool DBusAccessibilityBus::isEnabled() const
{
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    get << kStatus << kIsEnabled;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

std::optional<QString> DBusAccessibilityBus::enable()
{
    QDBusMessage set = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Set"));
    set << kStatus << kIsEnabled << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    return std::nullopt;
}

} // namespace velnor
