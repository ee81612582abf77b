#include "keyboard/KeyboardManager.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "keyboard/HIDEventMonitor.h"

#include <array>

namespace velnor {
namespace {

constexpr int kAppleVendorId = 1452;
constexpr int kFirstBuiltInProductId = 0x220;
constexpr int kLastBuiltInProductId = 0x22B;

// Virtual, remote-control and remapping devices are not keyboards a user types on.
constexpr std::array<const char*, 12> kExcludedNameFragments{
    "Virtual", "Simulator", "Remote",   "TeamViewer", "VNC",        "RDP",
    "Parallels", "VMware",  "VirtualBox", "Karabiner", "BetterTouchTool", "TouchBar"};

bool hasExcludedName(const QString& name)
{
    for (const char* fragment : kExcludedNameFragments) {
        if (name.contains(QLatin1String(fragment), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

KeyboardManager::KeyboardManager(SettingsStore& settings, HIDEventMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_monitor(monitor)
    , m_selectedKeyboardID(m_settings.stringOr(QLatin1String(SettingsKey::KeyboardSelectedDeviceId),
                                               QLatin1String(KeyboardDevice::BuiltInId)))
{
    refreshKeyboards();
    m_monitor.setDevicesChangedHandler([this] { refreshKeyboards(); });
}

KeyboardManager::~KeyboardManager()
{
    m_monitor.setDevicesChangedHandler({});
}

bool KeyboardManager::isBuiltInAppleKeyboard(int vendorID, int productID)
{
    return vendorID == kAppleVendorId && productID >= kFirstBuiltInProductId && productID <= kLastBuiltInProductId;
}

bool KeyboardManager::isListableExternal(const KeyboardDeviceInfo& device)
{
    if (device.isInternal || isBuiltInAppleKeyboard(device.vendorId, device.productId))
        return false;
    if (hasExcludedName(device.name))
        return false;
    return device.vendorId != 0 && device.vendorId != 0xFFFF;
}

void KeyboardManager::refreshKeyboards()
{
    QList<KeyboardDevice> keyboards{KeyboardDevice::builtIn()};
    const auto appendUsable = [&keyboards](const QList<KeyboardDeviceInfo>& devices, const QString& unnamed) {
        for (const KeyboardDeviceInfo& device : devices) {
            if (isListableExternal(device))
                keyboards.append(KeyboardDevice::external(device.vendorId, device.productId,
                                                          device.name.isEmpty() ? unnamed : device.name));
        }
    };
    appendUsable(m_monitor.keyboardDevices(), QStringLiteral("Unknown Device"));
    if (keyboards.size() == 1)
        appendUsable(m_monitor.registryKeyboards(), QStringLiteral("未知键盘"));
    m_availableKeyboards = keyboards;
    emit availableKeyboardsChanged();
}

void KeyboardManager::selectKeyboard(const QString& keyboardID)
{
    m_selectedKeyboardID = keyboardID;
    m_settings.setString(QLatin1String(SettingsKey::KeyboardSelectedDeviceId), keyboardID);
    emit selectedKeyboardIDChanged();
}

bool KeyboardManager::isSelectedKeyboard(int vendorID, int productID) const
{
    if (m_selectedKeyboardID == QLatin1String(KeyboardDevice::BuiltInId))
        return isBuiltInAppleKeyboard(vendorID, productID);
    return KeyboardDevice::externalId(vendorID, productID) == m_selectedKeyboardID;
}

bool KeyboardManager::isSelectedKeyboard(const KeyboardIdentity& keyboard) const
{
    if (m_selectedKeyboardID == QLatin1String(KeyboardDevice::BuiltInId)) {
        // Without an internal keyboard (a desktop PC) "built-in" cannot name
        // any device, so it must not shut out the keyboard the user has.
        return keyboard.isInternal || isBuiltInAppleKeyboard(keyboard.vendorID, keyboard.productID)
            || !m_monitor.hasInternalKeyboard();
    }
    return isSelectedKeyboard(keyboard.vendorID, keyboard.productID);
}

bool KeyboardManager::isSelectionListed() const
{
    for (const KeyboardDevice& keyboard : m_availableKeyboards) {
        if (keyboard.id == m_selectedKeyboardID)
            return true;
    }
    return false;
}

} // namespace velnor
