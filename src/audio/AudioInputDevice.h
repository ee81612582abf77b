#pragma once

#include <QString>

namespace velnor {

// A microphone the user may choose. `id` is the sound server's source name.
struct AudioInputDevice {
    QString id;
    QString name;
    bool isBuiltIn = false;
    bool isDefault = false;
    bool isActive = true;

    bool operator==(const AudioInputDevice&) const = default;
};

} // namespace velnor
