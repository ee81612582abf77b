#pragma once

#include "keyboard/KeyboardDevice.h"
#include "log/ConsoleSink.h"
#include "platform/KeyboardDevices.h"

#include <QList>

#include <functional>
#include <optional>

namespace velnor {

// Knows the attached keyboards and tells its listener which keyboard produced
// each key input (none for a source without ids, such as a virtual keyboard).
class HIDEventMonitor final {
public:
    using KeyEventHandler = std::function<void(const std::optional<KeyboardIdentity>&)>;

    // Starts watching at once.
    HIDEventMonitor(KeyboardDevices& devices, ConsoleSink console);
    ~HIDEventMonitor();
    HIDEventMonitor(const HIDEventMonitor&) = delete;
    HIDEventMonitor& operator=(const HIDEventMonitor&) = delete;

    // Starts again after stop(); does nothing while started.
    void start();
    void stop();
    bool isStarted() const { return m_started; }

    // Attached keyboards, in order of arrival.
    const QList<KeyboardDeviceInfo>& keyboardDevices() const { return m_keyboardDevices; }
    bool hasInternalKeyboard() const;
    // The system registry's keyboards (the list's fallback).
    QList<KeyboardDeviceInfo> registryKeyboards() const { return m_devices.scanRegistry(); }

    void setKeyEventHandler(KeyEventHandler handler) { m_keyEventHandler = std::move(handler); }
    // Called after a keyboard arrived or left.
    void setDevicesChangedHandler(std::function<void()> handler) { m_devicesChanged = std::move(handler); }
    // A key input arrived from `sourceDevice`: tell the handler who made it.
    void reportKeyInput(int sourceDevice);

private:
    void onDeviceAdded(const KeyboardDeviceInfo& device);
    void onDeviceRemoved(const KeyboardDeviceInfo& device);
    static QString displayName(const KeyboardDeviceInfo& device);

    KeyboardDevices& m_devices;
    ConsoleSink m_console;
    QList<KeyboardDeviceInfo> m_keyboardDevices;
    KeyEventHandler m_keyEventHandler;
    std::function<void()> m_devicesChanged;
    bool m_started = false;
};

} // namespace velnor
