// The accessibility switch on the desktop's real session bus (the AT-SPI bus
// launcher of the desktop service).
#include "ui/onboarding/DBusAccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace velnor {
namespace {

void setEnabled(bool on)
{
    QDBusMessage set = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled") << QVariant::fromValue(QDBusVariant(on));
    ASSERT_EQ(QDBusConnection::sessionBus().call(set).type(), QDBusMessage::ReplyMessage);
}

TEST(AccessibilityBusDesktop, ReadsAndSwitchesTheDesktopsAccessibility)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under scripts/with-services.sh";
    DBusAccessibilityBus bus;
    setEnabled(false);
    EXPECT_FALSE(bus.isEnabled());
    EXPECT_EQ(bus.enable(), std::nullopt);
    EXPECT_TRUE(bus.isEnabled());
    setEnabled(true); // leave the desktop as the service made it
}

} // namespace
} // namespace velnor
