#pragma once

#include "platform/GlobalKeySource.h"
#include "platform/KeyboardDevices.h"

#include <QHash>
#include <QObject>
#include <QList>

#include <memory>

namespace velnor::evdev {

class EvdevKeyReader;

// System-wide keys read from the kernel's input devices (for a Wayland
// session whose compositor offers no global shortcut for a modifier-only
// chord). Each attached keyboard has its own reader; key events name their
// device, so this is also the keyboard list the hotkey's keyboard filter
// asks. Modifier flags come from the modifier keys held on any keyboard,
// Caps Lock from the keyboards' Caps Lock light. A keyboard that goes away
// releases the keys it held.
class EvdevKeySource final : public GlobalKeySource, public KeyboardDevices {
public:
    EvdevKeySource();
    ~EvdevKeySource() override;

    // Reads keys from `fd` (taken over) as the keyboard `info`; its
    // `deviceId` names it in key events and in removeDevice().
    void addDevice(int fd, const KeyboardDeviceInfo& info);
    void removeDevice(int deviceId);

    // Both roles: devices can always be watched, even while none is readable.
    bool isAvailable() const override { return true; }
    bool hasKeyboards() const { return !m_readers.isEmpty(); }

    // GlobalKeySource
    bool start(GlobalKeySource::Handler handler) override;
    // Ends both roles: no more key events, no more device reports.
    void stop() override;
    // Without a grab of our own nobody's grab can be seen from here.
    bool isKeyboardGrabbedElsewhere() override { return false; }

    // KeyboardDevices (one list, started by whoever comes first)
    bool start(DeviceHandler added, DeviceHandler removed) override;
    QList<KeyboardDeviceInfo> devices() const override { return m_devices; }
    std::optional<KeyboardDeviceInfo> deviceForSource(int sourceDevice) override;
    QList<KeyboardDeviceInfo> scanRegistry() const override { return m_devices; }

private:
    void onKey(int deviceId, int evdevCode, bool pressed);
    void onCapsLock(int deviceId, bool on);
    void releaseKeysOf(int deviceId);
    void emitEvent(GlobalKeyEventType type, int keyCode, int deviceId);
    quint32 currentFlags() const;

    struct HeldModifier {
        int deviceId;
        int evdevCode;
        bool operator==(const HeldModifier&) const = default;
    };

    struct Reader {
        std::shared_ptr<EvdevKeyReader> reader;
        quint64 serial = 0;
    };
    QHash<int, Reader> m_readers;
    quint64 m_lastSerial = 0;
    QList<KeyboardDeviceInfo> m_devices;
    GlobalKeySource::Handler m_keyHandler;
    DeviceHandler m_added;
    DeviceHandler m_removed;
    QList<std::pair<HeldModifier, quint32>> m_held;
    bool m_capsLocked = false;
    // Ends the removals still queued when this source goes.
    QObject m_context;
};

} // namespace velnor::evdev
