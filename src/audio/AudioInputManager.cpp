#include "audio/AudioInputManager.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "log/Logger.h"

#include <algorithm>

namespace velnor {

namespace {

constexpr int MinBluetoothRate = 8000;
constexpr int MaxBluetoothRate = 192000;
const QString UnknownDeviceName = QStringLiteral("未知设备");

} // namespace

AudioInputManager::AudioInputManager(AudioDevices& devices, SettingsStore& settings, Logger& log, ConsoleSink print,
                                     QObject* parent)
    : QObject(parent)
    , m_devices(devices)
    , m_settings(settings)
    , m_log(log)
    , m_print(std::move(print))
{
    refreshDevices();
    loadSelectedDevice();
}

const QStringList& AudioInputManager::excludedNameFragments()
{
    static const QStringList fragments{
        QStringLiteral("ZoomAudioDevice"),    QStringLiteral("Soundflower"),
        QStringLiteral("BlackHole"),          QStringLiteral("Loopback Audio"),
        QStringLiteral("VB-Audio"),           QStringLiteral("Virtual Audio Cable"),
        QStringLiteral("OBS Virtual Camera"), QStringLiteral("Aggregate Device"),
        QStringLiteral("Multi-Output Device"),
    };
    return fragments;
}

QString AudioInputManager::displayName(const AudioSourceInfo& source)
{
    return source.description.isEmpty() ? UnknownDeviceName : source.description;
}

bool AudioInputManager::isBuiltIn(const AudioSourceInfo& source)
{
    if (!source.formFactor.isEmpty())
        return source.formFactor == QLatin1String("internal");
    // Without a form factor, a card on the machine's own buses is internal.
    return source.bus == QLatin1String("pci") || source.bus == QLatin1String("platform");
}

QList<AudioInputDevice> AudioInputManager::refreshDevices()
{
    const auto sources = m_devices.sources();
    if (!sources) {
        if (m_print)
            m_print(QStringLiteral("获取音频设备列表失败: ") + sources.error());
        m_availableDevices.clear();
        emit availableDevicesChanged();
        return {};
    }
    const auto defaultName = m_devices.defaultSourceName();
    const QString defaultSource = defaultName ? defaultName.value() : QString();

    QList<AudioInputDevice> devices;
    for (const AudioSourceInfo& source : sources.value()) {
        // Loop-backs of outputs and abstract sources are the virtual
        // transports of this platform.
        if (source.isMonitor || source.isVirtual || source.channelCount <= 0)
            continue;
        const QString name = displayName(source);
        const bool excluded = std::any_of(excludedNameFragments().cbegin(), excludedNameFragments().cend(),
                                          [&](const QString& fragment) {
                                              return name.contains(fragment) || source.name.contains(fragment);
                                          });
        if (excluded || !isUsable(source))
            continue;
        devices.append(AudioInputDevice{source.name, name, isBuiltIn(source), source.name == defaultSource, true});
    }
    m_availableDevices = devices;
    emit availableDevicesChanged();
    return devices;
}

bool AudioInputManager::isUsable(const AudioSourceInfo& source)
{
    if (!source.isAlive)
        return false;
    if (source.bus == QLatin1String("bluetooth"))
        return isBluetoothDeviceConnected(source);
    return true;
}

bool AudioInputManager::isBluetoothDeviceConnected(const AudioSourceInfo& source)
{
    m_log.debug(QStringLiteral("[AudioInputManager] 检查蓝牙设备连接状态: ") + source.name);
    if (!source.isAlive) {
        m_log.debug(QStringLiteral("[AudioInputManager] 蓝牙设备未存活: ") + source.name);
        return false;
    }
    const QString name = displayName(source);
    if (name.isEmpty() || name == UnknownDeviceName) {
        m_log.warning(QStringLiteral("[AudioInputManager] 蓝牙设备名称无效: ") + name);
        return false;
    }
    if (source.channelCount <= 0) {
        m_log.warning(QStringLiteral("[AudioInputManager] 蓝牙设备没有可用的输入流: ") + name);
        return false;
    }
    if (source.sampleRate >= MinBluetoothRate && source.sampleRate <= MaxBluetoothRate) {
        m_log.info(QStringLiteral("[AudioInputManager] 蓝牙设备连接正常: %1, 采样率: %2 Hz").arg(name).arg(source.sampleRate));
        return true;
    }
    m_log.warning(QStringLiteral("[AudioInputManager] 蓝牙设备采样率异常: %1 Hz").arg(source.sampleRate));
    return false;
}

void AudioInputManager::loadSelectedDevice()
{
    const auto storedId = m_settings.string(QString::fromLatin1(SettingsKey::AudioSelectedInputDeviceId));
    std::optional<AudioInputDevice> selected;
    for (const AudioInputDevice& device : m_availableDevices) {
        if (storedId ? device.id == *storedId : device.isDefault) {
            selected = device;
            break;
        }
    }
    m_selectedDevice = selected;
    emit selectedDeviceChanged();
}

void AudioInputManager::selectDevice(const AudioInputDevice& device)
{
    m_selectedDevice = device;
    m_settings.setString(QString::fromLatin1(SettingsKey::AudioSelectedInputDeviceId), device.id);
    emit selectedDeviceChanged();
    setDefaultInputDevice(device);
}

bool AudioInputManager::setDefaultInputDevice(const AudioInputDevice& device)
{
    if (device.id.isEmpty()) {
        if (m_print)
            m_print(QStringLiteral("无效的设备ID: ") + device.id);
        return false;
    }
    const auto error = m_devices.setDefaultSource(device.id);
    if (m_print)
        m_print(error ? QStringLiteral("设置默认输入设备失败: ") + *error
                      : QStringLiteral("成功设置默认输入设备: ") + device.name);
    return !error;
}

} // namespace velnor
