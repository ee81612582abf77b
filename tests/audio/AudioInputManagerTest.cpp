#include "AudioTestSupport.h"

#include "audio/AudioInputManager.h"
#include "config/MemorySettingsStore.h"
#include "config/SettingsKeys.h"
#include "platform/fake/FakeAudioDevices.h"

#include <gtest/gtest.h>

namespace velnor {
namespace {

using test::source;

// Only healthy real microphones are listed. Nothing stored selects the
// default; a selection persists, becomes the system default and is restored
// from the store by the next run, without changing the default again; a
// stored device that is not attached is no selection, and its id stays stored.
TEST(AudioInputManagerTest, SelectingPersistsMakesItTheSystemDefaultAndTheNextRunRestoresIt)
{
    FakeAudioDevices devices;
    devices.sourceList = {
        source("alsa_output.pci.analog-stereo.monitor", "Monitor of Built-in Audio", "pci", 48000,
               [](AudioSourceInfo& s) { s.isMonitor = true; }),
        source("null_in", "Null Input", "", 48000, [](AudioSourceInfo& s) { s.isVirtual = true; }),
        source("blackhole_in", "BlackHole 2ch", ""),
        source("alsa_input.pci.analog-stereo", "Built-in Audio Analog Stereo", "pci", 48000,
               [](AudioSourceInfo& s) { s.formFactor = QStringLiteral("internal"); }),
        source("alsa_input.usb-mic", "USB Microphone"),
        source("alsa_input.usb-old", "Old USB Mic", "usb", 48000, [](AudioSourceInfo& s) { s.isAlive = false; }),
        source("alsa_input.usb-broken", "Broken Mic", "usb", 48000, [](AudioSourceInfo& s) { s.channelCount = 0; }),
        source("bluez_source.BB.hsp", "Headset B", "bluetooth", 7999),
        source("bluez_source.CC.hsp", "Headset C", "bluetooth", 8000),
        source("bluez_source.DD.hfp", "Headset D", "bluetooth", 16000),
        source("bluez_source.EE.hfp", "", "bluetooth", 16000)};
    devices.defaultSource = QStringLiteral("alsa_input.usb-mic");
    MemorySettingsStore settings;
    test::LogCapture log;
    const QString key = QString::fromLatin1(SettingsKey::AudioSelectedInputDeviceId);
    AudioInputManager manager(devices, settings, log.logger(), log.printSink());
    EXPECT_EQ(manager.selectedDevice()->id, QStringLiteral("alsa_input.usb-mic"));
    EXPECT_EQ(manager.availableDevices().size(), 4) << "no monitor, virtual, dead, broken or badly rated source";
    const AudioInputDevice internal = manager.availableDevices()[0];
    EXPECT_TRUE(internal.isBuiltIn);
    manager.selectDevice(internal);
    EXPECT_EQ(manager.selectedDevice(), internal);
    EXPECT_EQ(settings.string(key), internal.id);
    EXPECT_EQ(devices.defaultSource, internal.id);
    EXPECT_TRUE(log.printed().contains(QStringLiteral("成功设置默认输入设备: Built-in Audio Analog Stereo")));

    // Refreshing now marks the new default.
    manager.refreshDevices();
    EXPECT_TRUE(manager.availableDevices()[0].isDefault);
    EXPECT_FALSE(manager.availableDevices()[1].isDefault);
    EXPECT_FALSE(manager.availableDevices()[1].isBuiltIn);

    // A failing server gives no list and no selection.
    devices.failure = QStringLiteral("Connection refused");
    const AudioInputManager down(devices, settings, log.logger(), log.printSink());
    EXPECT_TRUE(down.availableDevices().isEmpty());
    EXPECT_FALSE(down.selectedDevice());
    EXPECT_TRUE(log.printed().contains(QStringLiteral("获取音频设备列表失败: Connection refused")));
    EXPECT_FALSE(manager.setDefaultInputDevice(internal));
    EXPECT_TRUE(log.printed().contains(QStringLiteral("设置默认输入设备失败: Connection refused")));
    EXPECT_FALSE(manager.setDefaultInputDevice(AudioInputDevice{}));
    EXPECT_TRUE(log.printed().contains(QStringLiteral("无效的设备ID: ")));

    devices.failure.reset();
    devices.defaultSource = QStringLiteral("alsa_input.usb-mic");
    const QStringList changes = devices.defaultChanges;
    EXPECT_EQ(AudioInputManager(devices, settings, log.logger(), log.printSink()).selectedDevice(), internal);
    settings.setString(key, QStringLiteral("gone"));
    EXPECT_FALSE(AudioInputManager(devices, settings, log.logger(), log.printSink()).selectedDevice());
    EXPECT_EQ(settings.string(key), QStringLiteral("gone"));
    EXPECT_EQ(devices.defaultChanges, changes);
}

} // namespace
} // namespace velnor
