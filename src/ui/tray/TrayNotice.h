#pragma once

#include "ui/UserNotice.h"

#include <QSet>

#include <functional>

class QSystemTrayIcon;

namespace velnor {

class Logger;

// Notices as tray balloons: they never take the keyboard focus. Without a
// tray they go to the log only.
class TrayNotice final : public UserNotice {
public:
    using IconSource = std::function<QSystemTrayIcon*()>;

    TrayNotice(IconSource icon, Logger& log);

    void notifyOnce(const QString& key, const QString& title, const QString& message) override;

private:
    IconSource m_icon;
    Logger& m_log;
    QSet<QString> m_shown;
};

} // namespace velnor
