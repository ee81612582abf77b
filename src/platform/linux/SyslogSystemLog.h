#pragma once

#include "platform/SystemLog.h"

#include <QByteArray>

namespace velnor {

// syslog(3); journald collects it on systemd desktops.
class SyslogSystemLog final : public SystemLog {
public:
    // The category is put before each message, as the unified log shows it.
    explicit SyslogSystemLog(QString category);

    bool isAvailable() const override { return true; }
    void write(Type type, const QString& message) override;

private:
    QByteArray m_category;
};

} // namespace velnor
