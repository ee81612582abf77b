#pragma once

#include "platform/AudioDevices.h"

#include <QStringList>

namespace velnor {

// An in-memory sound server: a source list, a default source, and a record
// of every default change asked for.
class FakeAudioDevices final : public AudioDevices {
public:
    bool isAvailable() const override { return true; }
    Result<QList<AudioSourceInfo>, QString> sources() override;
    Result<QString, QString> defaultSourceName() override;
    std::optional<QString> setDefaultSource(const QString& name) override;

    QList<AudioSourceInfo> sourceList;
    QString defaultSource;
    // When set, every call fails with this text.
    std::optional<QString> failure;
    QStringList defaultChanges;
};

} // namespace velnor
