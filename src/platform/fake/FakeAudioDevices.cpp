#include "platform/fake/FakeAudioDevices.h"

#include <algorithm>

namespace velnor {

Result<QList<AudioSourceInfo>, QString> FakeAudioDevices::sources()
{
    if (failure)
        return Result<QList<AudioSourceInfo>, QString>::failure(*failure);
    return Result<QList<AudioSourceInfo>, QString>::success(sourceList);
}

Result<QString, QString> FakeAudioDevices::defaultSourceName()
{
    if (failure)
        return Result<QString, QString>::failure(*failure);
    return Result<QString, QString>::success(defaultSource);
}

std::optional<QString> FakeAudioDevices::setDefaultSource(const QString& name)
{
    if (failure)
        return failure;
    const bool known = std::any_of(sourceList.cbegin(), sourceList.cend(),
                                   [&](const AudioSourceInfo& source) { return source.name == name; });
    if (!known)
        return QStringLiteral("No such entity");
    defaultSource = name;
    defaultChanges.append(name);
    return std::nullopt;
}

} // namespace velnor
