#pragma once

#include "ui/onboarding/AccessibilityBus.h"

#include <QDBusConnection>

namespace velnor {

// org.a11y.Status.IsEnabled of the accessibility bus launcher ("org.a11y.Bus"
// on the session bus), read and written by asynchronous calls.
class DBusAccessibilityBus final : public AccessibilityBus {
public:
    explicit DBusAccessibilityBus(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QString service = QStringLiteral("org.a11y.Bus"));

    void checkEnabled(Answer answer) override;
    void enable(Done done) override;

    // The bus answers at once; after this a hung desktop counts as "no".
    static constexpr int kTimeoutMs = 2000;

private:
    QDBusConnection m_bus;
    QString m_service;
};

} // namespace velnor
