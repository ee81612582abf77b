#include "ui/onboarding/DBusAccessibilityBus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace velnor {

namespace {

const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kStatus = QStringLiteral("org.a11y.Status");
const QString kIsEnabled = QStringLiteral("IsEnabled");

// Calls `onReply` with the finished call on this thread's event loop.
void whenAnswered(const QDBusPendingCall& call, std::function<void(const QDBusPendingCall&)> onReply)
{
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [onReply = std::move(onReply)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         onReply(*finished);
                     });
}

} // namespace

DBusAccessibilityBus::DBusAccessibilityBus(QDBusConnection bus, QString service)
    : m_bus(std::move(bus))
    , m_service(std::move(service))
{
}

void DBusAccessibilityBus::checkEnabled(Answer answer)
{
    QDBusMessage get = QDBusMessage::createMethodCall(m_service, kPath, kProperties, QStringLiteral("Get"));
    get << kStatus << kIsEnabled;
    whenAnswered(m_bus.asyncCall(get, kTimeoutMs), [answer = std::move(answer)](const QDBusPendingCall& call) {
        const QDBusMessage reply = call.reply();
        const bool enabled = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
        answer(enabled);
    });
}

void DBusAccessibilityBus::enable(Done done)
{
    QDBusMessage set = QDBusMessage::createMethodCall(m_service, kPath, kProperties, QStringLiteral("Set"));
    set << kStatus << kIsEnabled << QVariant::fromValue(QDBusVariant(true));
    whenAnswered(m_bus.asyncCall(set, kTimeoutMs), [done = std::move(done)](const QDBusPendingCall& call) {
        const QDBusMessage reply = call.reply();
        if (reply.type() == QDBusMessage::ErrorMessage)
            done(reply.errorName() + QStringLiteral(": ") + reply.errorMessage());
        else
            done(std::nullopt);
    });
}

} // namespace velnor
