#include "keyboard/HIDEventMonitor.h"

#include <algorithm>

namespace velnor {

HIDEventMonitor::HIDEventMonitor(KeyboardDevices& devices, ConsoleSink console)
    : m_devices(devices)
    , m_console(std::move(console))
{
    start();
}

HIDEventMonitor::~HIDEventMonitor() { stop(); }

void HIDEventMonitor::start()
{
    if (m_started)
        return;
    if (!m_devices.isAvailable()) {
        m_console(QStringLiteral("Failed to create HID manager"));
        return;
    }
    m_started = true;
    const bool watching = m_devices.start([this](const KeyboardDeviceInfo& device) { onDeviceAdded(device); },
                                          [this](const KeyboardDeviceInfo& device) { onDeviceRemoved(device); });
    if (!watching)
        m_console(QStringLiteral("Failed to open HID manager: ") + QString::number(-1));
}

void HIDEventMonitor::stop()
{
    if (!m_started)
        return;
    m_started = false;
    m_devices.stop();
    m_keyboardDevices.clear();
}

bool HIDEventMonitor::hasInternalKeyboard() const
{
    return std::any_of(m_keyboardDevices.begin(), m_keyboardDevices.end(),
                       [](const KeyboardDeviceInfo& device) { return device.isInternal; });
}

void HIDEventMonitor::reportKeyInput(int sourceDevice)
{
    if (!m_keyEventHandler)
        return;
    std::optional<KeyboardIdentity> identity;
    if (sourceDevice != 0) {
        const auto device = m_devices.deviceForSource(sourceDevice);
        if (device && device->hasIds)
            identity = KeyboardIdentity{device->vendorId, device->productId, device->isInternal};
    }
    m_keyEventHandler(identity);
}

void HIDEventMonitor::onDeviceAdded(const KeyboardDeviceInfo& device)
{
    m_keyboardDevices.append(device);
    m_console(QStringLiteral("Keyboard device added: ") + displayName(device));
    if (m_devicesChanged)
        m_devicesChanged();
}

void HIDEventMonitor::onDeviceRemoved(const KeyboardDeviceInfo& device)
{
    m_keyboardDevices.removeIf(
        [&device](const KeyboardDeviceInfo& known) { return known.deviceId == device.deviceId; });
    m_console(QStringLiteral("Keyboard device removed: ") + displayName(device));
    if (m_devicesChanged)
        m_devicesChanged();
}

QString HIDEventMonitor::displayName(const KeyboardDeviceInfo& device)
{
    return device.name.isEmpty() ? QStringLiteral("Unknown Device") : device.name;
}

} // namespace velnor
