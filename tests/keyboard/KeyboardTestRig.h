#pragma once

#include "config/MemorySettingsStore.h"
#include "keyboard/HIDEventMonitor.h"
#include "keyboard/KeyboardManager.h"
#include "keyboard/Shortcut.h"
#include "keyboard/ShortcutManager.h"
#include "platform/fake/FakeGlobalKeySource.h"
#include "platform/fake/FakeKeyboardDevices.h"

#include <QStringList>

#include <memory>

namespace velnor::test {

// The keyboard subsystem wired to fake platform keys and devices.
struct KeyboardTestRig {
    explicit KeyboardTestRig(const QList<KeyboardDeviceInfo>& attached = {}, const QString& selected = {})
    {
        for (const KeyboardDeviceInfo& device : attached)
            devices.attach(device);
        if (!selected.isEmpty())
            settings.setString(QStringLiteral("/velnor/keyboard/selected_device_id"), selected);
        monitor.start();
        keyboards = std::make_unique<KeyboardManager>(settings, monitor);
        manager = std::make_unique<ShortcutManager>(keys, monitor, *keyboards);
        manager->start();
        registrar = std::make_unique<Shortcut>(*manager, [this](const QString& line) { console << line; });
    }

    // Registers a hotkey whose edges are written to `fired` as "<tag>down" / "<tag>up".
    std::shared_ptr<ShortcutManager::Shortcut> hotkey(HotkeyType type, const QString& tag = {})
    {
        return registrar->registerHotkey(
            type, [this, tag] { fired << tag + QStringLiteral("down"); },
            [this, tag] { fired << tag + QStringLiteral("up"); });
    }

    void flagsChanged(KeyCode key, quint32 flags, int source = 0)
    {
        keys.emitEvent({GlobalKeyEventType::FlagsChanged, static_cast<int>(key), flags, source});
    }
    void key(GlobalKeyEventType type, int keyCode, quint32 flags, int source = 0)
    {
        keys.emitEvent({type, keyCode, flags, source});
    }

    MemorySettingsStore settings;
    FakeGlobalKeySource keys;
    FakeKeyboardDevices devices;
    QStringList console;
    HIDEventMonitor monitor{devices, [this](const QString& line) { console << line; }};
    std::unique_ptr<KeyboardManager> keyboards;
    std::unique_ptr<ShortcutManager> manager;
    std::unique_ptr<Shortcut> registrar;
    QStringList fired;
};

inline KeyboardDeviceInfo keyboard(int deviceId, int vendor, int product, const QString& name = QStringLiteral("Keyboard"),
                                   bool internal = false)
{
    return {deviceId, name, vendor, product, vendor != 0, internal};
}

} // namespace velnor::test
