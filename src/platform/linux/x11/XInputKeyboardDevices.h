#pragma once

#include "platform/KeyboardDevices.h"
#include "platform/linux/x11/XInputConnection.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

namespace velnor::x11 {

// The X server's slave keyboards, kept current by XI2 hierarchy events on a
// connection of its own. Vendor and product come from the device's
// "Device Product ID" property, else from udev; devices with neither (the
// XTEST keyboards, Xvfb's) have no ids.
class XInputKeyboardDevices final : public KeyboardDevices {
public:
    explicit XInputKeyboardDevices(QByteArray display = {});
    ~XInputKeyboardDevices() override;

    bool isAvailable() const override;
    bool start(DeviceHandler added, DeviceHandler removed) override;
    void stop() override;
    QList<KeyboardDeviceInfo> devices() const override { return m_devices; }
    std::optional<KeyboardDeviceInfo> deviceForSource(int sourceDevice) override;
    QList<KeyboardDeviceInfo> scanRegistry() const override;

private:
    // Re-reads the server's list and reports arrivals and departures.
    void synchronize();
    KeyboardDeviceInfo describe(int deviceId, const QString& name) const;
    const KeyboardDeviceInfo* find(int deviceId) const;

    QByteArray m_display;
    std::unique_ptr<XInputConnection> m_connection;
    QList<KeyboardDeviceInfo> m_devices;
    DeviceHandler m_added;
    DeviceHandler m_removed;
};

} // namespace velnor::x11
