#pragma once

#include "platform/KeyboardDevices.h"

namespace velnor {

// Keyboards a test plugs in and out; the registry is a separate list.
class FakeKeyboardDevices final : public KeyboardDevices {
public:
    bool isAvailable() const override { return available; }
    bool start(DeviceHandler added, DeviceHandler removed) override;
    void stop() override;
    QList<KeyboardDeviceInfo> devices() const override { return m_devices; }
    std::optional<KeyboardDeviceInfo> deviceForSource(int sourceDevice) override;
    QList<KeyboardDeviceInfo> scanRegistry() const override { return registry; }

    void attach(const KeyboardDeviceInfo& device);
    void detach(int deviceId);

    bool available = true;
    bool failStart = false;
    QList<KeyboardDeviceInfo> registry;

private:
    QList<KeyboardDeviceInfo> m_devices;
    DeviceHandler m_added;
    DeviceHandler m_removed;
};

} // namespace velnor
