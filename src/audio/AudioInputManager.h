#pragma once

#include "audio/AudioInputDevice.h"
#include "log/ConsoleSink.h"
#include "platform/AudioDevices.h"

#include <QList>
#include <QObject>

#include <optional>

namespace velnor {

class Logger;
class SettingsStore;

// The microphones the user may choose from, the remembered choice, and making
// it the system's default capture source. Main thread only.
class AudioInputManager final : public QObject {
    Q_OBJECT
public:
    // Refreshes the list and restores the stored selection at once.
    AudioInputManager(AudioDevices& devices, SettingsStore& settings, Logger& log, ConsoleSink print,
                      QObject* parent = nullptr);

    QList<AudioInputDevice> refreshDevices();
    void selectDevice(const AudioInputDevice& device);
    void loadSelectedDevice();
    // Health of a Bluetooth source: a name, an input, and a rate in 8000…192000 Hz.
    bool isBluetoothDeviceConnected(const AudioSourceInfo& source);
    // Returns whether the system default now is the device.
    bool setDefaultInputDevice(const AudioInputDevice& device);

    const QList<AudioInputDevice>& availableDevices() const { return m_availableDevices; }
    const std::optional<AudioInputDevice>& selectedDevice() const { return m_selectedDevice; }

    // Names containing one of these are loop-back or virtual devices.
    static const QStringList& excludedNameFragments();
    static QString displayName(const AudioSourceInfo& source);
    static bool isBuiltIn(const AudioSourceInfo& source);

signals:
    void availableDevicesChanged();
    void selectedDeviceChanged();

private:
    bool isUsable(const AudioSourceInfo& source);

    AudioDevices& m_devices;
    SettingsStore& m_settings;
    Logger& m_log;
    const ConsoleSink m_print;
    QList<AudioInputDevice> m_availableDevices;
    std::optional<AudioInputDevice> m_selectedDevice;
};

} // namespace velnor
