#pragma once

#include "platform/KeyboardDevices.h"

#include <QList>
#include <QString>

#include <optional>

namespace velnor::x11 {

// What udev knows about an input event node.
struct UdevKeyboardFacts {
    QString name;
    int vendorId = 0;
    int productId = 0;
    bool isInternal = false;
};

// Facts about the device behind "/dev/input/eventN"; none when udev does not know it.
std::optional<UdevKeyboardFacts> udevFactsForNode(const QString& devNode);
// Every keyboard udev lists (ID_INPUT_KEYBOARD), device id 0.
QList<KeyboardDeviceInfo> udevKeyboards();

// The machine's own keyboard: on the i8042 controller (serio), or a platform
// device that calls itself a keyboard (ARM laptops). ACPI buttons are not.
bool isInternalKeyboardBus(const QString& parentSubsystem, const QString& name);

} // namespace velnor::x11
