#pragma once

#include "platform/linux/x11/XcbHandles.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace velnor::x11 {

// The XInput 2 requests the key source and the keyboard list share.

// The XInput extension's major opcode when the server speaks XI 2.2; none otherwise.
std::optional<std::uint8_t> initXInput2(xcb_connection_t* connection);

struct XInputKeyboard {
    int deviceId = 0;
    QString name;
};
// Slave keyboards (attached to a master), in server order.
QList<XInputKeyboard> querySlaveKeyboards(xcb_connection_t* connection);

struct ProductIds {
    int vendorId = 0;
    int productId = 0;
};
// The "Device Product ID" property (set by the evdev and libinput drivers).
std::optional<ProductIds> queryProductIds(xcb_connection_t* connection, int deviceId);
// The "Device Node" property, e.g. "/dev/input/event3".
std::optional<QString> queryDeviceNode(xcb_connection_t* connection, int deviceId);

// Selects XI events of `mask` on the root window for `deviceId`
// (XCB_INPUT_DEVICE_ALL / _ALL_MASTER).
void selectRootEvents(xcb_connection_t* connection, int deviceId, std::uint32_t mask);

// The XTEST slave keyboards: where synthetic key presses come from.
bool isXTestKeyboardName(const QString& name);

} // namespace velnor::x11
