#include "platform/linux/evdev/EvdevDeviceWatcher.h"

#include "platform/linux/evdev/EvdevKeySource.h"
#include "platform/linux/x11/UdevKeyboards.h"

#include <libevdev/libevdev.h>
#include <libudev.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velnor::evdev {
namespace {

struct EvdevFree {
    void operator()(libevdev* device) const { libevdev_free(device); }
};

// A keyboard has letters and a Shift key; power buttons and mice do not.
bool isKeyboard(const libevdev* device)
{
    return libevdev_has_event_code(device, EV_KEY, KEY_A) && libevdev_has_event_code(device, EV_KEY, KEY_LEFTSHIFT);
}

} // namespace

EvdevDeviceWatcher::EvdevDeviceWatcher(EvdevKeySource& keys) : m_keys(keys) {}

EvdevDeviceWatcher::~EvdevDeviceWatcher()
{
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

std::optional<int> EvdevDeviceWatcher::deviceIdForNode(const QString& node)
{
    static const QString prefix = QStringLiteral("/dev/input/event");
    if (!node.startsWith(prefix))
        return std::nullopt;
    bool ok = false;
    const int number = node.mid(prefix.size()).toInt(&ok);
    return ok && number >= 0 ? std::optional<int>(number + 1) : std::nullopt;
}

void EvdevDeviceWatcher::start()
{
    m_udev = udev_new();
    if (!m_udev)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "input", nullptr) == 0
        && udev_monitor_enable_receiving(m_monitor) == 0) {
        m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onMonitor(); });
    }
    udev_enumerate* enumerate = udev_enumerate_new(m_udev);
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_add_match_property(enumerate, "ID_INPUT_KEYBOARD", "1");
    udev_enumerate_add_match_sysname(enumerate, "event*");
    udev_enumerate_scan_devices(enumerate);
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumerate); entry; entry = udev_list_entry_get_next(entry)) {
        udev_device* device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        if (const char* node = udev_device_get_devnode(device))
            openNode(QString::fromUtf8(node));
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
}

void EvdevDeviceWatcher::onMonitor()
{
    udev_device* device = udev_monitor_receive_device(m_monitor);
    if (!device)
        return;
    const char* node = udev_device_get_devnode(device);
    const char* action = udev_device_get_action(device);
    if (node && action) {
        const QString path = QString::fromUtf8(node);
        // Removal needs nothing here: the reader sees its node go.
        if (qstrcmp(action, "add") == 0)
            openNode(path);
    }
    udev_device_unref(device);
}

void EvdevDeviceWatcher::openNode(const QString& node)
{
    const auto id = deviceIdForNode(node);
    if (!id)
        return;
    const int fd = open(node.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM)
            ++m_denied;
        return;
    }
    libevdev* raw = nullptr;
    if (libevdev_new_from_fd(fd, &raw) != 0) {
        close(fd);
        return;
    }
    const std::unique_ptr<libevdev, EvdevFree> device(raw);
    if (!isKeyboard(device.get())) {
        close(fd);
        return;
    }
    const auto facts = x11::udevFactsForNode(node);
    KeyboardDeviceInfo info{*id,
                            QString::fromUtf8(libevdev_get_name(device.get())),
                            libevdev_get_id_vendor(device.get()),
                            libevdev_get_id_product(device.get()),
                            libevdev_get_id_vendor(device.get()) != 0,
                            facts && facts->isInternal};
    ++m_opened;
    m_keys.addDevice(fd, info);
}

QString evdevPermissionHint(bool openedAny, int denied)
{
    if (openedAny)
        return {};
    if (denied > 0)
        return QStringLiteral("无法读取键盘设备：请把当前用户加入 input 组（sudo usermod -aG input $USER），然后重新登录。");
    return QStringLiteral("没有找到可读取的键盘设备（/dev/input）。");
}

} // namespace velnor::evdev
