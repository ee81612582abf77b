#pragma once

#include "platform/LoginItem.h"

namespace velnor {

// An XDG autostart entry ($XDG_CONFIG_HOME/autostart/<id>.desktop).
class XdgAutostartLoginItem final : public LoginItem {
public:
    XdgAutostartLoginItem(QString autostartDir, QString applicationId, QString executablePath);

    bool isAvailable() const override { return !m_autostartDir.isEmpty(); }
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    bool isEnabled() const override;

    QString desktopFilePath() const;

private:
    QString m_autostartDir;
    QString m_applicationId;
    QString m_executablePath;
};

} // namespace velnor
