#include "app/DesktopUi.h"

#include "backend/BackendServices.h"
#include "config/DeploymentConfig.h"
#include "ui/main/MainWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QStandardPaths>

namespace velnor {

namespace {

ProductLinks productLinks(const QUrl& website)
{
    return {website, website.resolved(QUrl(QStringLiteral("recharge"))), website.resolved(QUrl(QStringLiteral("terms"))),
            website.resolved(QUrl(QStringLiteral("privacy")))};
}

QString autostartDir()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : QDir(config).filePath(QStringLiteral("autostart"));
}

} // namespace

DesktopUi::DesktopUi(Dependencies dependencies)
    : m_with(std::move(dependencies))
    , m_permissions(m_with.settings, m_accessibilityBus, m_with.microphone)
    , m_languages(m_with.log, QStringLiteral(":/qasr.json"))
    , m_audioInputs(m_with.audioDevices, m_with.settings, m_with.log, m_with.console)
    , m_loginItem(autostartDir(), QStringLiteral("velnor"), QCoreApplication::applicationFilePath())
    , m_launchAtLogin(m_with.settings, m_loginItem, m_with.mainQueue, m_with.console)
    , m_login(m_with.backend.makeLoginViewModel())
    , m_services{m_with.settings,
                 m_with.mainQueue,
                 m_with.log,
                 m_dialogs,
                 m_with.backend.notifications(),
                 m_with.backend.session(),
                 *m_login,
                 m_with.backend.users(),
                 m_with.backend.hotWordManager(),
                 m_with.backend.updateChecker(),
                 m_audioInputs,
                 m_languages,
                 m_launchAtLogin,
                 m_permissions,
                 m_with.history,
                 m_with.settingsHooks,
                 productLinks(m_with.deployment.websiteUrl),
                 [](const QUrl& url) { QDesktopServices::openUrl(url); },
                 m_with.quitApp,
                 m_with.relaunch}
{
    m_languages.loadLanguages();
}

DesktopUi::~DesktopUi() = default;

std::unique_ptr<QWidget> DesktopUi::makeMainWindow()
{
    return std::make_unique<MainWindow>(m_services);
}

} // namespace velnor
