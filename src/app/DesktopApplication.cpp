#include "app/DesktopApplication.h"

#include "app/placeholders/PlaceholderMainWindow.h"
#include "backend/OsType.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/audio/SwrResampler.h"
#include "ui/tray/TrayMenuModel.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

namespace velnor {

AppPaths AppPaths::standard()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    AppPaths paths;
    paths.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    paths.settingsFile = QDir(config).filePath(QStringLiteral("velnor/velnor.conf"));
    paths.deploymentFile = QDir(config).filePath(QStringLiteral("velnor/deployment.conf"));
    return paths;
}

DesktopApplication::DesktopApplication(const AppPaths& paths)
    : m_paths(paths)
    , m_deployment(DeploymentConfig::load(paths.deploymentFile, QProcessEnvironment::systemEnvironment()))
    , m_backend(BackendDependencies{m_settings, m_scheduler, m_log, m_redactor, m_console, m_deployment.backendBaseUrl,
                                    QCoreApplication::applicationVersion(), currentOsType()})
    , m_recorder(AudioRecorder::Dependencies{PulseAudioCapture::factory(), FfmpegAacFileWriter::factory(), m_microphone,
                                             m_audioDevices, nullptr, m_settings, m_log, m_console})
    , m_realtimeClients(m_deployment, m_clock, &m_backend.hotWordSource(), m_asrLog, m_scheduler, m_redactor)
    , m_desktop(m_settings, m_scheduler, m_log, m_console,
                [this] {
                    m_notice.notifyOnce(QStringLiteral("accessibility"), QStringLiteral("需要辅助功能权限"),
                                        QStringLiteral("无法向当前应用模拟按键（X 服务器需要 XTest 扩展），"
                                                       "听写的文字未能输入。"));
                })
    , m_controller(AppSetupHelper::Collaborators{
          m_settings, m_scheduler, m_clock, m_log, m_console, m_indicator, m_recorder, m_recordingFiles, m_sounds,
          m_backend.fileRecognition(), m_backend.textAdjustment(), m_desktop.textInput(), m_desktop.workspace(),
          m_desktop.keySynthesizer(), m_desktop.accessibilityTrust(),
          m_realtimeClients.makeFactory(m_microphone, PulseAudioCapture::factory(), SwrResampler::factory()),
          currentOsType()})
    , m_shortcuts(m_settings, m_log, m_desktop.shortcuts(), [this] { m_controller.handleKeyDown(); },
                  [this] { m_controller.handleKeyUp(); })
    , m_mainWindow(makePlaceholderMainWindow)
    , m_tray(m_scheduler, m_log, [this] { return buildTrayMenu(m_settings, m_languages.languages()); },
             [this](const TrayMenuItem& item) { m_delegate.handle(item); })
    , m_notice([this] { return m_tray.trayIcon(); }, m_log)
    , m_delegate(m_settings, m_log, m_shortcuts, m_indicator,
                 AppDelegate::Hooks{[this] { m_mainWindow.openMainWindow(); }, [] { QCoreApplication::quit(); },
                                    [this] { m_tray.scheduleMenuRebuild(); }})
    , m_startup(m_log, m_scheduler, m_defaults, m_paths.documentsDir, m_paths.settingsFile,
                AppStartup::DelayedSteps{[this] { m_permissions.requestPermissions(); },
                                         [this] { m_shortcuts.registerShortcuts(); },
                                         [this] { m_tray.setupMenuBar(); }})
{
}

DesktopApplication::~DesktopApplication()
{
    m_log.flush();
}

void DesktopApplication::start()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_languages.loadLanguageConfig();
    m_startup.setup();
}

} // namespace velnor
