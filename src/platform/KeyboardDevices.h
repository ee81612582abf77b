#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace velnor {

// One attached keyboard as the system reports it.
struct KeyboardDeviceInfo {
    // The system's handle of the device (the `sourceDevice` of key events).
    int deviceId = 0;
    QString name;
    // 0 when the system does not know them.
    int vendorId = 0;
    int productId = 0;
    // True when vendor and product come from the device itself; devices
    // without ids (virtual keyboards) are an unknown source of key input.
    bool hasIds = false;
    // The machine's own keyboard (a laptop's, on its internal bus).
    bool isInternal = false;

    bool operator==(const KeyboardDeviceInfo&) const = default;
};

// The keyboards attached to the machine, and which one a key event came from.
class KeyboardDevices {
public:
    using DeviceHandler = std::function<void(const KeyboardDeviceInfo&)>;

    KeyboardDevices() = default;
    virtual ~KeyboardDevices() = default;
    KeyboardDevices(const KeyboardDevices&) = delete;
    KeyboardDevices& operator=(const KeyboardDevices&) = delete;

    virtual bool isAvailable() const = 0;
    // Starts watching; `added` is called for every keyboard present now and
    // arriving later, `removed` when one goes. False when watching failed.
    virtual bool start(DeviceHandler added, DeviceHandler removed) = 0;
    virtual void stop() = 0;
    // The attached keyboards in order of arrival.
    virtual QList<KeyboardDeviceInfo> devices() const = 0;
    // The device behind a key event's `sourceDevice`; none when unknown.
    virtual std::optional<KeyboardDeviceInfo> deviceForSource(int sourceDevice) = 0;
    // A second opinion from the system's device registry, for when the
    // watched list yields no usable keyboard.
    virtual QList<KeyboardDeviceInfo> scanRegistry() const = 0;
};

} // namespace velnor
