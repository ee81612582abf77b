#pragma once

#include "platform/KeyboardDevices.h"

#include <QSocketNotifier>
#include <QString>

#include <memory>
#include <optional>

struct udev;
struct udev_monitor;

namespace velnor::evdev {

class EvdevKeySource;

// Finds the keyboards among the input event nodes, opens them read-only for
// the key source and follows hot-plug through a udev monitor. A node it may
// not open (the user is not in group `input`) is counted, not fatal.
class EvdevDeviceWatcher final {
public:
    explicit EvdevDeviceWatcher(EvdevKeySource& keys);
    ~EvdevDeviceWatcher();
    EvdevDeviceWatcher(const EvdevDeviceWatcher&) = delete;
    EvdevDeviceWatcher& operator=(const EvdevDeviceWatcher&) = delete;

    // Opens every keyboard present and starts following hot-plug.
    void start();
    // Keyboards found that could not be opened for want of permission.
    int deniedCount() const { return m_denied; }
    bool openedAny() const { return m_opened > 0; }

    // The device id for "/dev/input/eventN": N + 1 (0 means unknown).
    static std::optional<int> deviceIdForNode(const QString& node);

private:
    void openNode(const QString& node);
    void onMonitor();

    EvdevKeySource& m_keys;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_denied = 0;
    int m_opened = 0;
};

// What the settings page says about the evdev hotkey when it is on: empty
// while keyboards are read, else how to get permission.
QString evdevPermissionHint(bool openedAny, int denied);

} // namespace velnor::evdev
