#include "platform/linux/x11/UdevKeyboards.h"

#include <libudev.h>

#include <memory>

namespace velnor::x11 {
namespace {

struct UdevUnref {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_device* handle) const { udev_device_unref(handle); }
    void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

QString text(const char* value) { return value ? QString::fromUtf8(value) : QString(); }

int hexValue(const char* value) { return value ? text(value).toInt(nullptr, 16) : 0; }

// `eventNode` is the event device; its parent is the input device, whose
// parent is the bus device the keyboard hangs on.
UdevKeyboardFacts factsOf(udev_device* eventNode)
{
    UdevKeyboardFacts facts;
    udev_device* input = udev_device_get_parent_with_subsystem_devtype(eventNode, "input", nullptr);
    if (!input)
        return facts;
    facts.name = text(udev_device_get_sysattr_value(input, "name"));
    facts.vendorId = hexValue(udev_device_get_sysattr_value(input, "id/vendor"));
    facts.productId = hexValue(udev_device_get_sysattr_value(input, "id/product"));
    udev_device* bus = udev_device_get_parent(input);
    facts.isInternal = bus && isInternalKeyboardBus(text(udev_device_get_subsystem(bus)), facts.name);
    return facts;
}

} // namespace

bool isInternalKeyboardBus(const QString& parentSubsystem, const QString& name)
{
    if (parentSubsystem == QLatin1String("serio"))
        return true;
    return parentSubsystem == QLatin1String("platform") && name.contains(QLatin1String("keyboard"), Qt::CaseInsensitive);
}

std::optional<UdevKeyboardFacts> udevFactsForNode(const QString& devNode)
{
    const UdevPtr<udev> context(udev_new());
    if (!context || !devNode.startsWith(QLatin1String("/dev/input/")))
        return std::nullopt;
    const QByteArray sysname = devNode.mid(int(qstrlen("/dev/input/"))).toUtf8();
    const UdevPtr<udev_device> device(udev_device_new_from_subsystem_sysname(context.get(), "input", sysname.constData()));
    if (!device)
        return std::nullopt;
    return factsOf(device.get());
}

QList<KeyboardDeviceInfo> udevKeyboards()
{
    QList<KeyboardDeviceInfo> keyboards;
    const UdevPtr<udev> context(udev_new());
    if (!context)
        return keyboards;
    const UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
    udev_enumerate_add_match_subsystem(enumerate.get(), "input");
    udev_enumerate_add_match_property(enumerate.get(), "ID_INPUT_KEYBOARD", "1");
    udev_enumerate_add_match_sysname(enumerate.get(), "event*");
    udev_enumerate_scan_devices(enumerate.get());
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(enumerate.get()); entry;
         entry = udev_list_entry_get_next(entry)) {
        const UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device)
            continue;
        const UdevKeyboardFacts facts = factsOf(device.get());
        keyboards.append({0, facts.name, facts.vendorId, facts.productId, facts.vendorId != 0, facts.isInternal});
    }
    return keyboards;
}

} // namespace velnor::x11
