#include "app/DesktopApplication.h"

#include "backend/OsType.h"
#include "config/SettingsKeys.h"
#include "keyboard/KeyboardManager.h"
#include "platform/linux/audio/FfmpegAacFileWriter.h"
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/audio/SwrResampler.h"
#include "ui/tray/TrayMenuModel.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScreen>
#include <QStandardPaths>

namespace velnor {

namespace {
// The screen area the indicator is placed in, outside panels and docks.
QRect availableScreenArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

void quitApplication()
{
    // exit(), not quit(): in Qt 6 a window that refuses to close (the main
    // window only hides) cancels quit(), and the app would keep running.
    QCoreApplication::exit(0);
}

QString atspiHelperPath()
{
    // Where the package installs it (../libexec/velnor), else the build's.
    return atspi::AtspiHelperBridge::findHelper(QCoreApplication::applicationDirPath(),
                                                QStringLiteral(VELNOR_ATSPI_HELPER));
}

AppPaths AppPaths::standard()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    AppPaths paths;
    paths.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    paths.settingsFile = QDir(config).filePath(QStringLiteral("velnor/velnor.conf"));
    paths.deploymentFile = QDir(config).filePath(QStringLiteral("velnor/deployment.conf"));
    // $XDG_DATA_HOME/velnor/history.db. Not AppDataLocation: with the
    // organization name set too, that would be ".../velnor/velnor".
    paths.historyDatabase = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(QStringLiteral("velnor/history.db"));
    return paths;
}

DesktopApplication::DesktopApplication(const AppPaths& paths, OnboardingModel::Relaunch relaunch)
    : m_paths(paths)
    , m_deployment(DeploymentConfig::load(paths.deploymentFile, QProcessEnvironment::systemEnvironment()))
    , m_history(HistoryService::Dependencies{
          paths.historyDatabase, m_settings, m_clock, m_scheduler, m_log,
          [](std::function<void()> work) { QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection); }})
    , m_layerIndicatorView(m_indicatorLayer, availableScreenArea)
    , m_indicator(indicatorDependencies())
    , m_backend(BackendDependencies{m_settings, m_scheduler, m_log, m_redactor, m_console, m_deployment.backendBaseUrl,
                                    QCoreApplication::applicationVersion(), currentOsType()})
    , m_recorder(AudioRecorder::Dependencies{PulseAudioCapture::factory(m_pulse), FfmpegAacFileWriter::factory(), m_microphone,
                                             m_audioDevices, nullptr, m_settings, m_log, m_console})
    , m_realtimeClients(m_deployment, m_clock, &m_backend.hotWordSource(), m_asrLog, m_scheduler, m_redactor)
    , m_desktop(m_settings, m_scheduler, m_log, m_console, atspiHelperPath(), m_wayland,
                [this](TextInputNotice notice) {
                    if (notice == TextInputNotice::ProtectedField)
                        m_notice.notifyOnce(QStringLiteral("password-field"), QStringLiteral("没有输入到密码框"),
                                            QStringLiteral("听写的文字不会输入到密码框中，已放在剪贴板上。"));
                    else
                        m_notice.notifyOnce(QStringLiteral("accessibility"), QStringLiteral("需要辅助功能权限"),
                                            QStringLiteral("无法向当前应用模拟按键（X 服务器需要 XTest 扩展），"
                                                           "听写的文字已放在剪贴板上，请手动粘贴。"));
                })
    , m_controller(AppSetupHelper::Collaborators{
          m_settings, m_scheduler, m_clock, m_log, m_console, m_indicator, m_recorder, m_recordingFiles, m_sounds,
          m_backend.fileRecognition(), m_backend.textAdjustment(), m_desktop.textInput(), m_desktop.frontApp(),
          m_desktop.keySynthesizer(), m_desktop.accessibilityTrust(),
          m_realtimeClients.makeFactory(m_microphone, PulseAudioCapture::factory(m_pulse), SwrResampler::factory()),
          currentOsType()},
                   &m_history.recorder(), &m_desktop.preedit(), &m_desktop.inputMethodKeySynthesizer())
    , m_retry({m_history.store(), m_backend.fileRecognition(), m_log, currentOsType()})
    , m_previousApp({m_desktop.frontApp(), m_desktop.textInput(), m_scheduler, m_log,
                     static_cast<qint32>(QCoreApplication::applicationPid()), [this] { m_mainWindow.hideMainWindow(); },
                     [this] {
                         m_notice.notifyOnce(QStringLiteral("reinsert-own-window"), QStringLiteral("未重新输入"),
                                             QStringLiteral("焦点仍在 Velnor 窗口，文字没有输入。请先点击要输入的应用。"));
                     }})
    , m_shortcuts(m_settings, m_log, m_desktop.shortcuts(), [this] { m_controller.handleKeyDown(); },
                  [this] { m_controller.handleKeyUp(); },
                  [this](ModifierKey chord) { m_desktop.setHotkeyChord(chord); })
    , m_ui(DesktopUi::Dependencies{
          m_settings, m_scheduler, m_log, m_console, m_backend, m_audioDevices, m_microphone, m_deployment,
          HistoryPageModel::Dependencies{m_history.store(), m_retry, m_settings, m_clock, m_log,
                                         {[](const QString& text) { QGuiApplication::clipboard()->setText(text); },
                                          [this](const QString& text) { m_previousApp.insert(text); }}},
          SettingsHooks{[this](const QString& position) { m_indicator.setPosition(position); },
                        [this] { hotkeyChanged(); },
                        [this] {
                            QList<KeyboardEntry> entries;
                            for (const KeyboardDevice& device : m_desktop.keyboards().availableKeyboards())
                                entries.append({device.id, device.name, device.isBuiltIn, {}});
                            return entries;
                        },
                        [this] { return m_desktop.keyboards().selectedKeyboardID(); },
                        [this](const QString& id) { m_desktop.keyboards().selectKeyboard(id); },
                        [this] { m_desktop.keyboards().refreshKeyboards(); },
                        [this](QObject* receiver, std::function<void()> changed) {
                            QObject::connect(&m_desktop.keyboards(), &KeyboardManager::availableKeyboardsChanged,
                                             receiver, std::move(changed));
                        },
                        [this] { return inputMethodStateText(m_desktop.inputMethod().state()); },
                        [this] { return m_desktop.sessionSummary(); }},
          quitApplication, std::move(relaunch)})
    , m_mainWindow([this] { return m_ui.makeMainWindow(); })
    , m_tray(m_scheduler, m_log, [this] { return buildTrayMenu(m_settings, m_languages.languages()); },
             [this](const TrayMenuItem& item) { m_delegate.handle(item); })
    , m_notice([this] { return m_tray.trayIcon(); }, m_log)
    , m_delegate(m_settings, m_log, m_shortcuts, m_indicator,
                 AppDelegate::Hooks{[this] { m_mainWindow.openMainWindow(); }, quitApplication,
                                    [this] { m_tray.scheduleMenuRebuild(); },
                                    [this] { m_reinserter.reinsertLastText(); }})
    , m_startup(m_log, m_scheduler, m_defaults, m_paths.documentsDir, m_paths.settingsFile,
                AppStartup::DelayedSteps{[this] { m_permissions.requestPermissions(); },
                                         [this] { m_shortcuts.registerShortcuts(); },
                                         [this] { m_tray.setupMenuBar(); }})
{
    QObject::connect(&m_desktop.workspace(), &x11::EwmhWorkspace::activeApplicationChanged, [this] {
        m_indicator.handleApplicationActivation(m_desktop.workspace().frontmostApplication());
    });
    if (m_indicatorLayer.isAvailable())
        m_log.info(QStringLiteral("Indicator on the compositor's overlay layer"));
    // Said once; from then on the Wayland ways report themselves unavailable.
    QObject::connect(&m_wayland, &wayland::WaylandConnection::broken, [this](const QString& why) { m_log.error(why); });
    QObject::connect(&m_desktop.waylandToplevels(), &wayland::ForeignToplevelWorkspace::activeApplicationChanged, [this] {
        m_indicator.handleApplicationActivation(m_desktop.frontApp().frontmostApplication());
    });
    QObject::connect(&m_desktop.workspace(), &x11::EwmhWorkspace::currentDesktopChanged,
                     [this] { m_indicator.handleSpaceChange(); });
    QObject::connect(&m_desktop.inputMethod(), &fcitx5::Fcitx5Bridge::stateChanged, [this](fcitx5::AddonState state) {
        if (state == fcitx5::AddonState::NotInstalled)
            m_notice.notifyOnce(QStringLiteral("fcitx5-addon"), QStringLiteral("可以通过输入法输入"),
                                QStringLiteral("Fcitx5 正在运行，但没有加载 Velnor 插件。安装 velnor 软件包后"
                                               "重新启动 Fcitx5（fcitx5 -r），听写的文字就经由输入法输入。"));
    });
}

DesktopApplication::~DesktopApplication()
{
    m_log.flush();
}

IndicatorSurface& DesktopApplication::indicatorSurface()
{
    if (m_indicatorLayer.isAvailable())
        return m_layerIndicatorView;
    return m_indicatorView;
}

FloatingWindowController::Dependencies DesktopApplication::indicatorDependencies()
{
    m_uptime.start();
    return {m_scheduler,
            m_settings,
            m_log,
            m_systemLog,
            indicatorSurface(),
            availableScreenArea,
            [this] { return m_desktop.workspace().frontmostApplicationIcon(); },
            [this] { return Duration(m_uptime.elapsed()); },
            [] { return QRandomGenerator::global()->generateDouble(); }};
}

QString DesktopApplication::inputMethodStateText(fcitx5::AddonState state)
{
    switch (state) {
    case fcitx5::AddonState::Connected:
        return QStringLiteral("已连接");
    case fcitx5::AddonState::NotInstalled:
        return QStringLiteral("未安装");
    case fcitx5::AddonState::FcitxNotRunning:
        break;
    }
    return QStringLiteral("Fcitx5 未运行");
}

void DesktopApplication::hotkeyChanged()
{
    // The settings screen stored a new hotkey: register it and show it in the tray.
    m_shortcuts.unregisterAll();
    m_shortcuts.registerShortcuts();
    m_tray.scheduleMenuRebuild();
}

void DesktopApplication::start()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_languages.loadLanguageConfig();
    m_startup.setup();
    m_history.start();
    if (!m_settings.boolean(QString::fromLatin1(SettingsKey::OnboardingCompleted)))
        m_mainWindow.openMainWindow();
}

} // namespace velnor
