#include "platform/linux/x11/XInputKeyboardDevices.h"

#include "platform/linux/x11/UdevKeyboards.h"
#include "platform/linux/x11/XInputQuery.h"

#include <xcb/xinput.h>

#include <algorithm>

namespace velnor::x11 {

XInputKeyboardDevices::XInputKeyboardDevices(QByteArray display)
    : m_display(std::move(display))
{
}

XInputKeyboardDevices::~XInputKeyboardDevices() { stop(); }

bool XInputKeyboardDevices::isAvailable() const
{
    return (m_connection && m_connection->isOpen()) || XInputConnection::isAvailable(m_display);
}

bool XInputKeyboardDevices::start(DeviceHandler added, DeviceHandler removed)
{
    stop();
    auto connection = std::make_unique<XInputConnection>(m_display);
    if (!connection->isOpen())
        return false;
    selectRootEvents(connection->get(), XCB_INPUT_DEVICE_ALL, XCB_INPUT_XI_EVENT_MASK_HIERARCHY);
    xcb_flush(connection->get());
    m_connection = std::move(connection);
    m_added = std::move(added);
    m_removed = std::move(removed);
    synchronize();
    m_connection->watch([this](const xcb_generic_event_t& event) {
        if (m_connection->isXInputEvent(event, XCB_INPUT_HIERARCHY))
            synchronize();
    });
    return true;
}

void XInputKeyboardDevices::stop()
{
    m_connection.reset();
    m_devices.clear();
    m_added = {};
    m_removed = {};
}

std::optional<KeyboardDeviceInfo> XInputKeyboardDevices::deviceForSource(int sourceDevice)
{
    if (!find(sourceDevice) && m_connection)
        synchronize(); // the key may have come before its hierarchy event
    if (const KeyboardDeviceInfo* device = find(sourceDevice))
        return *device;
    return std::nullopt;
}

QList<KeyboardDeviceInfo> XInputKeyboardDevices::scanRegistry() const { return udevKeyboards(); }

void XInputKeyboardDevices::synchronize()
{
    const QList<XInputKeyboard> present = querySlaveKeyboards(m_connection->get());
    const auto departed = m_devices;
    for (const KeyboardDeviceInfo& known : departed) {
        const bool stillThere = std::any_of(present.begin(), present.end(), [&known](const XInputKeyboard& keyboard) {
            return keyboard.deviceId == known.deviceId && keyboard.name == known.name;
        });
        if (stillThere)
            continue;
        m_devices.removeIf([&known](const KeyboardDeviceInfo& device) { return device.deviceId == known.deviceId; });
        if (m_removed)
            m_removed(known);
    }
    for (const XInputKeyboard& keyboard : present) {
        if (find(keyboard.deviceId))
            continue;
        m_devices.append(describe(keyboard.deviceId, keyboard.name));
        if (m_added)
            m_added(m_devices.back());
    }
}

KeyboardDeviceInfo XInputKeyboardDevices::describe(int deviceId, const QString& name) const
{
    KeyboardDeviceInfo info;
    info.deviceId = deviceId;
    info.name = name;
    const auto node = queryDeviceNode(m_connection->get(), deviceId);
    const auto facts = node ? udevFactsForNode(*node) : std::nullopt;
    if (const auto ids = queryProductIds(m_connection->get(), deviceId)) {
        info.vendorId = ids->vendorId;
        info.productId = ids->productId;
        info.hasIds = true;
    } else if (facts && facts->vendorId != 0) {
        info.vendorId = facts->vendorId;
        info.productId = facts->productId;
        info.hasIds = true;
    }
    info.isInternal = facts && facts->isInternal;
    return info;
}

const KeyboardDeviceInfo* XInputKeyboardDevices::find(int deviceId) const
{
    for (const KeyboardDeviceInfo& device : m_devices) {
        if (device.deviceId == deviceId)
            return &device;
    }
    return nullptr;
}

} // namespace velnor::x11
