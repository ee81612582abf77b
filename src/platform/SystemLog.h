#pragma once

#include <QString>

namespace velnor {

// The platform's own log (unified log on macOS, syslog/journald on Linux).
class SystemLog {
public:
    enum class Type { Debug, Info, Default, Error };

    SystemLog() = default;
    virtual ~SystemLog() = default;
    SystemLog(const SystemLog&) = delete;
    SystemLog& operator=(const SystemLog&) = delete;

    virtual bool isAvailable() const = 0;
    virtual void write(Type type, const QString& message) = 0;
};

} // namespace velnor
