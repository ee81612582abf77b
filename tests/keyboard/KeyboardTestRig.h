#pragma once

#include "config/MemorySettingsStore.h"
#include "keyboard/HIDEventMonitor.h"
#include "keyboard/KeyboardManager.h"
#include "keyboard/Shortcut.h"
#include "keyboard/ShortcutManager.h"
#include "platform/fake/FakeGlobalKeySource.h"
#include "platform/fake/FakeKeyboardDevices.h"

#include <QHash>
#include <QStringList>

#include <memory>

namespace velnor::test {

// The keyboard subsystem as the app wires it, on the given platform keys and
// keyboards; hotkey edges are written to `fired`, printed lines to `console`.
struct KeyboardStack {
    KeyboardStack(GlobalKeySource& keys, KeyboardDevices& devices, const QString& selected = {},
                  const SessionLock* lock = nullptr)
        : monitor(devices, [this](const QString& line) { console << line; })
    {
        if (!selected.isEmpty())
            settings.setString(QStringLiteral("/velnor/keyboard/selected_device_id"), selected);
        keyboards = std::make_unique<KeyboardManager>(settings, monitor);
        manager = std::make_unique<ShortcutManager>(keys, monitor, *keyboards, lock);
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

    MemorySettingsStore settings;
    QStringList console;
    HIDEventMonitor monitor;
    std::unique_ptr<KeyboardManager> keyboards;
    std::unique_ptr<ShortcutManager> manager;
    std::unique_ptr<Shortcut> registrar;
    QStringList fired;
};

struct FakeKeyboardPlatform {
    explicit FakeKeyboardPlatform(const QList<KeyboardDeviceInfo>& attached)
    {
        for (const KeyboardDeviceInfo& device : attached)
            devices.attach(device);
    }
    FakeGlobalKeySource keys;
    FakeKeyboardDevices devices;
};

// The keyboard subsystem on fake keys and keyboards.
struct KeyboardTestRig : FakeKeyboardPlatform, KeyboardStack {
    explicit KeyboardTestRig(const QList<KeyboardDeviceInfo>& attached = {}, const QString& selected = {})
        : FakeKeyboardPlatform(attached)
        , KeyboardStack(keys, devices, selected)
    {
    }

    void flagsChanged(KeyCode key, quint32 flags, int source = 0)
    {
        keys.emitEvent({GlobalKeyEventType::FlagsChanged, static_cast<int>(key), flags, source});
    }

    // Plays modifier changes written as "fn shift -shift -fn": a name presses
    // that key, "-name" releases it; the flags held follow.
    void play(const QString& steps)
    {
        namespace M = EventModifier;
        static const QHash<QString, std::pair<KeyCode, quint32>> keyNames{
            {"fn", {KeyCode::function, M::Function}},    {"shift", {KeyCode::shift, M::Shift}},
            {"rshift", {KeyCode::rightShift, M::Shift}}, {"ctrl", {KeyCode::control, M::Control}},
            {"opt", {KeyCode::option, M::Option}},       {"ropt", {KeyCode::rightOption, M::Option}},
            {"cmd", {KeyCode::command, M::Command}},     {"rcmd", {KeyCode::rightCommand, M::Command}},
            {"caps", {KeyCode::capsLock, M::CapsLock}},  {"rctrl", {KeyCode::rightControl, M::Control}},
        };
        quint32 flags = 0;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            const bool up = step.startsWith(QLatin1Char('-'));
            const auto [key, flag] = keyNames.value(up ? step.mid(1) : step);
            flags = up ? flags & ~flag : flags | flag;
            flagsChanged(key, flags);
        }
    }
};

inline KeyboardDeviceInfo keyboard(int deviceId, int vendor, int product, const QString& name = QStringLiteral("Keyboard"),
                                   bool internal = false)
{
    return {deviceId, name, vendor, product, vendor != 0, internal};
}

} // namespace velnor::test
