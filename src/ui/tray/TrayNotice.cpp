#include "ui/tray/TrayNotice.h"

#include "log/Logger.h"

#include <QSystemTrayIcon>

namespace velnor {

TrayNotice::TrayNotice(IconSource icon, Logger& log)
    : m_icon(std::move(icon))
    , m_log(log)
{
}

void TrayNotice::notifyOnce(const QString& key, const QString& title, const QString& message)
{
    if (m_shown.contains(key))
        return;
    m_shown.insert(key);
    m_log.warning(title + QStringLiteral(": ") + message);
    QSystemTrayIcon* icon = m_icon();
    if (icon && icon->isVisible() && QSystemTrayIcon::supportsMessages())
        icon->showMessage(title, message, QSystemTrayIcon::Warning, 10000);
}

} // namespace velnor
