// The accessibility switch on the desktop's real session bus (the AT-SPI bus
// launcher of the desktop service), and against a launcher that hangs.
#include "support/EventLoopWait.h"
#include "ui/onboarding/DBusAccessibilityBus.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>

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

std::optional<bool> checkEnabled(DBusAccessibilityBus& bus)
{
    std::optional<bool> answer;
    bus.checkEnabled([&answer](bool enabled) { answer = enabled; });
    test::waitUntil([&answer] { return answer.has_value(); }, 5000);
    return answer;
}

// A launcher that takes every question and never answers.
class HungLauncher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
public slots:
    QDBusVariant Get(const QString&, const QString&)
    {
        setDelayedReply(true);
        return {};
    }
    void Set(const QString&, const QString&, const QDBusVariant&) { setDelayedReply(true); }
};

TEST(AccessibilityBusDesktop, ReadsAndSwitchesTheDesktopsAccessibilityAndAHungDesktopNeverHoldsUpTheEventLoop)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under scripts/with-services.sh";
    DBusAccessibilityBus bus;
    setEnabled(false);
    EXPECT_EQ(checkEnabled(bus), false);
    bool switched = false;
    bus.enable([&switched](const std::optional<QString>& error) { switched = !error; });
    EXPECT_TRUE(test::waitUntil([&switched] { return switched; }, 5000));
    EXPECT_EQ(checkEnabled(bus), true);
    setEnabled(true); // leave the desktop as the service made it

    QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("hung-a11y"));
    HungLauncher launcher;
    ASSERT_TRUE(serviceBus.registerObject(QStringLiteral("/org/a11y/bus"), &launcher, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(serviceBus.registerService(QStringLiteral("org.velnor.test.HungA11y")));

    DBusAccessibilityBus hungBus(QDBusConnection::sessionBus(), QStringLiteral("org.velnor.test.HungA11y"));
    std::optional<bool> answer;
    std::optional<std::optional<QString>> enabled;
    QElapsedTimer stall;
    stall.start();
    hungBus.checkEnabled([&answer](bool on) { answer = on; });
    hungBus.enable([&enabled](const std::optional<QString>& error) { enabled = error; });
    // Blocking calls would take the whole timeout each, here on the GUI thread.
    EXPECT_LT(stall.elapsed(), 100);
    EXPECT_FALSE(answer.has_value());

    ASSERT_TRUE(test::waitUntil([&] { return answer && enabled; }, 3 * DBusAccessibilityBus::kTimeoutMs));
    EXPECT_EQ(answer, false) << "no answer counts as not enabled";
    EXPECT_TRUE(enabled->has_value()) << "no answer is a failure to enable";
    serviceBus.unregisterService(QStringLiteral("org.velnor.test.HungA11y"));
    QDBusConnection::disconnectFromBus(QStringLiteral("hung-a11y"));
}

} // namespace
} // namespace velnor

#include "AccessibilityBusDesktopTest.moc"
