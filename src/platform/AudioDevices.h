#pragma once

#include "core/Result.h"

#include <QList>
#include <QString>

#include <optional>

namespace velnor {

// One capture source as the sound server describes it, before any filtering.
struct AudioSourceInfo {
    QString name;        // stable identifier (the sound server's source name)
    QString description; // human-readable name; may be empty
    bool isMonitor = false; // loop-back of an output device
    bool isVirtual = false; // not backed by hardware (null/abstract source)
    QString bus;         // "pci", "usb", "bluetooth", … or empty
    QString formFactor;  // "internal", "headset", "webcam", … or empty
    bool isAlive = true; // false when unplugged or in an invalid state
    int channelCount = 0; // input channels; 0 means no input stream
    int sampleRate = 0;  // nominal rate in Hz; 0 when unknown

    bool operator==(const AudioSourceInfo&) const = default;
};

// The system's capture sources and its default source.
class AudioDevices {
public:
    AudioDevices() = default;
    virtual ~AudioDevices() = default;
    AudioDevices(const AudioDevices&) = delete;
    AudioDevices& operator=(const AudioDevices&) = delete;

    virtual bool isAvailable() const = 0;
    // Every capture source in the server's order, or the error text.
    virtual Result<QList<AudioSourceInfo>, QString> sources() = 0;
    // The name of the default source (empty when there is none), or the error text.
    virtual Result<QString, QString> defaultSourceName() = 0;
    // Makes the named source the system default; the error text on failure.
    virtual std::optional<QString> setDefaultSource(const QString& name) = 0;
};

} // namespace velnor
