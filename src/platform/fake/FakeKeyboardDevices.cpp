#include "platform/fake/FakeKeyboardDevices.h"

namespace velnor {

bool FakeKeyboardDevices::start(DeviceHandler added, DeviceHandler removed)
{
    if (failStart)
        return false;
    m_added = std::move(added);
    m_removed = std::move(removed);
    for (const KeyboardDeviceInfo& device : m_devices)
        m_added(device);
    return true;
}

void FakeKeyboardDevices::stop()
{
    m_added = {};
    m_removed = {};
}

std::optional<KeyboardDeviceInfo> FakeKeyboardDevices::deviceForSource(int sourceDevice)
{
    for (const KeyboardDeviceInfo& device : m_devices) {
        if (device.deviceId == sourceDevice)
            return device;
    }
    return std::nullopt;
}

void FakeKeyboardDevices::attach(const KeyboardDeviceInfo& device)
{
    m_devices.append(device);
    if (m_added)
        m_added(device);
}

void FakeKeyboardDevices::detach(int deviceId)
{
    const auto device = deviceForSource(deviceId);
    if (!device)
        return;
    m_devices.removeIf([deviceId](const KeyboardDeviceInfo& known) { return known.deviceId == deviceId; });
    if (m_removed)
        m_removed(*device);
}

} // namespace velnor
