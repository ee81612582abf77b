#include "platform/linux/SyslogSystemLog.h"

#include <syslog.h>

namespace velnor {

SyslogSystemLog::SyslogSystemLog(QString category)
    : m_category(category.toUtf8())
{
}

void SyslogSystemLog::write(Type type, const QString& message)
{
    int priority = LOG_NOTICE;
    switch (type) {
    case Type::Debug:
        priority = LOG_DEBUG;
        break;
    case Type::Info:
        priority = LOG_INFO;
        break;
    case Type::Default:
        priority = LOG_NOTICE;
        break;
    case Type::Error:
        priority = LOG_ERR;
        break;
    }
    syslog(LOG_USER | priority, "[%s] %s", m_category.constData(), message.toUtf8().constData());
}

} // namespace velnor
