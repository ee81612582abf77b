#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>

namespace velnor {

namespace {

// Desktop Entry values: backslash, space and quotes need escaping in Exec.
QString quoteExec(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartDir, QString applicationId, QString executablePath)
    : m_autostartDir(std::move(autostartDir))
    , m_applicationId(std::move(applicationId))
    , m_executablePath(std::move(executablePath))
{
}

QString XdgAutostartLoginItem::desktopFilePath() const
{
    return QDir(m_autostartDir).filePath(m_applicationId + QStringLiteral(".desktop"));
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    if (!QDir().mkpath(m_autostartDir))
        return QStringLiteral("cannot create %1").arg(m_autostartDir);

    // Written to a temporary file and renamed, so a crash never leaves half an entry.
    QSaveFile file(desktopFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Velnor\n"
                                         "Comment=Push-to-talk voice input\n"
                                         "Exec=%1\n"
                                         "Icon=velnor\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoteExec(m_executablePath));
    file.write(entry.toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    QFile file(desktopFilePath());
    if (file.exists() && !file.remove())
        return file.errorString();
    return std::nullopt;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    if (!QFile::exists(desktopFilePath()))
        return false;
    QSettings entry(desktopFilePath(), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    return entry.value(QStringLiteral("Hidden")).toString() != QStringLiteral("true")
        && entry.value(QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true")).toString()
        != QStringLiteral("false");
}

} // namespace velnor
