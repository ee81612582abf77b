#include "platform/linux/evdev/EvdevKeySource.h"

#include "platform/linux/evdev/EvdevKeyReader.h"
#include "platform/linux/x11/XKeycodeTable.h"

#include <QTimer>

namespace velnor::evdev {
namespace {

constexpr int kCapsLockVirtualKey = 57;
// X keycodes are evdev codes moved up by 8.
constexpr std::uint32_t kXKeycodeOffset = 8;

} // namespace

EvdevKeySource::EvdevKeySource() = default;

EvdevKeySource::~EvdevKeySource()
{
    m_keyHandler = {};
    m_readers.clear();
}

void EvdevKeySource::addDevice(int fd, const KeyboardDeviceInfo& info)
{
    removeDevice(info.deviceId);
    const int id = info.deviceId;
    const quint64 serial = ++m_lastSerial;
    const auto gone = [this, id, serial] {
        // Not from inside the reader's own read; and only if the id still
        // names this reader, not a keyboard plugged in since.
        QTimer::singleShot(0, &m_context, [this, id, serial] {
            if (m_readers.value(id).serial == serial)
                removeDevice(id);
        });
    };
    m_readers.insert(id, {std::make_shared<EvdevKeyReader>(
                              fd, EvdevKeyReader::Handlers{[this, id](int code, bool pressed) { onKey(id, code, pressed); },
                                                           [this, id](bool on) { onCapsLock(id, on); }, gone}),
                          serial});
    m_devices.append(info);
    if (m_added)
        m_added(info);
}

void EvdevKeySource::removeDevice(int deviceId)
{
    if (!m_readers.remove(deviceId))
        return;
    releaseKeysOf(deviceId);
    for (qsizetype i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].deviceId != deviceId)
            continue;
        const KeyboardDeviceInfo gone = m_devices.takeAt(i);
        if (m_removed)
            m_removed(gone);
        break;
    }
}

bool EvdevKeySource::start(GlobalKeySource::Handler handler)
{
    m_keyHandler = std::move(handler);
    return true;
}

void EvdevKeySource::stop()
{
    m_keyHandler = {};
    m_added = {};
    m_removed = {};
}

bool EvdevKeySource::start(DeviceHandler added, DeviceHandler removed)
{
    m_added = std::move(added);
    m_removed = std::move(removed);
    for (const KeyboardDeviceInfo& device : std::as_const(m_devices))
        m_added(device);
    return true;
}

std::optional<KeyboardDeviceInfo> EvdevKeySource::deviceForSource(int sourceDevice)
{
    for (const KeyboardDeviceInfo& device : std::as_const(m_devices)) {
        if (device.deviceId == sourceDevice)
            return device;
    }
    return std::nullopt;
}

void EvdevKeySource::onKey(int deviceId, int evdevCode, bool pressed)
{
    const auto meaning = x11::meaningOfXKeycode(std::uint32_t(evdevCode) + kXKeycodeOffset);
    if (meaning && meaning->virtualKey == kCapsLockVirtualKey)
        return; // reported when the light changes
    if (meaning && meaning->modifierFlag != 0) {
        const HeldModifier key{deviceId, evdevCode};
        const auto held = std::find_if(m_held.begin(), m_held.end(), [&key](const auto& entry) { return entry.first == key; });
        if (pressed == (held != m_held.end()))
            return; // a release we never saw pressed
        if (pressed)
            m_held.append({key, meaning->modifierFlag});
        else
            m_held.erase(held);
        emitEvent(GlobalKeyEventType::FlagsChanged, meaning->virtualKey, deviceId);
        return;
    }
    emitEvent(pressed ? GlobalKeyEventType::KeyDown : GlobalKeyEventType::KeyUp, meaning ? meaning->virtualKey : -1,
              deviceId);
}

void EvdevKeySource::onCapsLock(int deviceId, bool on)
{
    if (on == m_capsLocked)
        return;
    m_capsLocked = on;
    emitEvent(GlobalKeyEventType::FlagsChanged, kCapsLockVirtualKey, deviceId);
}

void EvdevKeySource::releaseKeysOf(int deviceId)
{
    // One flag change per key, as if the user had let go of each.
    for (qsizetype i = m_held.size() - 1; i >= 0; --i) {
        if (m_held[i].first.deviceId != deviceId)
            continue;
        const int evdevCode = m_held[i].first.evdevCode;
        m_held.removeAt(i);
        const auto meaning = x11::meaningOfXKeycode(std::uint32_t(evdevCode) + kXKeycodeOffset);
        emitEvent(GlobalKeyEventType::FlagsChanged, meaning ? meaning->virtualKey : -1, deviceId);
    }
}

void EvdevKeySource::emitEvent(GlobalKeyEventType type, int keyCode, int deviceId)
{
    if (m_keyHandler)
        m_keyHandler(GlobalKeyEvent{type, keyCode, currentFlags(), deviceId});
}

quint32 EvdevKeySource::currentFlags() const
{
    quint32 flags = m_capsLocked ? EventModifier::CapsLock : 0;
    for (const auto& [key, flag] : m_held)
        flags |= flag;
    return flags;
}

} // namespace velnor::evdev
