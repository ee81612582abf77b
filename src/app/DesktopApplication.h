#pragma once

#include "app/AppDelegate.h"
#include "app/AppStartup.h"
#include "app/DesktopPlatform.h"
#include "app/DesktopUi.h"
#include "app/MainWindowPresenter.h"
#include "app/PermissionCheck.h"
#include "app/ShortcutRegistration.h"
#include "asr/TencentASRClientFactory.h"
#include "audio/AudioPlayer.h"
#include "audio/AudioRecorder.h"
#include "audio/FileUtils.h"
#include "backend/BackendServices.h"
#include "config/DefaultSettings.h"
#include "config/DeploymentConfig.h"
#include "config/LanguageConfigManager.h"
#include "config/QSettingsStore.h"
#include "core/Clock.h"
#include "core/QtScheduler.h"
#include "dictation/AppSetupHelper.h"
#include "history/DictationRetry.h"
#include "history/HistoryService.h"
#include "history/LastTextReinserter.h"
#include "log/Logger.h"
#include "log/SecretRedactor.h"
#include "log/TencentASRLogger.h"
#include "platform/linux/SyslogSystemLog.h"
#include "platform/linux/audio/PulseAudioDevices.h"
#include "platform/linux/audio/PulseConnection.h"
#include "platform/linux/audio/PulseMicrophonePermission.h"
#include "platform/linux/audio/PulseSoundOutput.h"
#include "platform/linux/wayland/LayerShellSurface.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/x11/X11OverlayWindows.h"
#include "textinput/PreviousAppInserter.h"
#include "ui/indicator/FloatingWindowController.h"
#include "ui/indicator/FloatingWindowView.h"
#include "ui/indicator/LayerShellIndicatorView.h"
#include "ui/tray/TrayMenuView.h"
#include "ui/tray/TrayNotice.h"

#include <QElapsedTimer>

namespace velnor {

// Ends the event loop whatever the windows say (tray "退出", session logout).
void quitApplication();
// The accessibility helper program the app starts.
QString atspiHelperPath();

// Where the app keeps its files.
struct AppPaths {
    QString documentsDir;   // empty when there is none
    QString settingsFile;
    QString deploymentFile;
    QString historyDatabase;

    static AppPaths standard();
};

// The composition root of the desktop app: creates the long-lived objects
// once, in dependency order, and hands each its collaborators.
class DesktopApplication final {
public:
    // `relaunch` starts a new copy of the app and ends this one (after the
    // onboarding's permission grant).
    DesktopApplication(const AppPaths& paths, OnboardingModel::Relaunch relaunch);
    ~DesktopApplication();
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    // The start-up sequence; the tray menu and the hotkey follow a second
    // later. A first run opens the main window with the onboarding.
    void start();
    void openMainWindow() { m_mainWindow.openMainWindow(); }

private:
    FloatingWindowController::Dependencies indicatorDependencies();
    // The compositor's overlay layer where it offers one, else the window.
    IndicatorSurface& indicatorSurface();
    void hotkeyChanged();
    static QString inputMethodStateText(fcitx5::AddonState state);

    AppPaths m_paths;
    ConsoleSink m_console = standardOutputSink();
    SystemClock m_clock;
    QtScheduler m_scheduler;
    SecretRedactor m_redactor;
    Logger m_log{m_paths.documentsDir, m_clock, m_console, m_redactor};
    SyslogSystemLog m_systemLog{QStringLiteral("TencentASR")};
    TencentASRLogger m_asrLog{m_paths.documentsDir, m_clock, m_console, m_systemLog, m_redactor};
    QSettingsStore m_settings{m_paths.settingsFile};
    DeploymentConfig m_deployment;

    HistoryService m_history;

    QElapsedTimer m_uptime;
    X11OverlayWindows m_overlay;
    FloatingWindowView m_indicatorView{&m_overlay};
    // Not connected outside a Wayland session.
    wayland::WaylandConnection m_wayland;
    wayland::LayerShellSurface m_indicatorLayer{m_wayland, QByteArrayLiteral("velnor-indicator")};
    LayerShellIndicatorView m_layerIndicatorView;
    FloatingWindowController m_indicator;
    DefaultSettingsRegistrar m_defaults{m_settings, m_scheduler, m_indicator};
    BackendServices m_backend;

    // One sound-server connection for the app's life: nothing on the hotkey
    // path waits for the server.
    PulseConnection m_pulse{"Velnor"};
    PulseAudioDevices m_audioDevices{m_pulse};
    PulseMicrophonePermission m_microphone{m_pulse, m_scheduler};
    AudioRecorder m_recorder;
    // Recordings of dictations not delivered yet are the only copy of the
    // user's words: the keep-the-newest prune leaves them alone.
    FileUtils m_recordingFiles{m_paths.documentsDir, m_clock, m_log, m_console,
                               [this](const QString& path) { return m_history.store().isRecordingPinned(path); }};
    PulseSoundOutput m_soundOutput{m_pulse};
    AudioPlayer m_sounds{m_log, m_soundOutput};
    TencentASRClientFactory m_realtimeClients;

    DesktopPlatform m_desktop;
    AppSetupHelper m_controller;
    DictationRetry m_retry;
    // Texts typed again from the history screen or the tray: never into our
    // own window, which steps aside first when it is in front.
    PreviousAppInserter m_previousApp;
    LastTextReinserter m_reinserter{m_history.store(), [this](const QString& text) { m_previousApp.insert(text); },
                                    m_log};

    ShortcutRegistration m_shortcuts;
    PermissionCheck m_permissions{m_desktop.accessibilityTrust(), m_microphone, m_settings, m_log};
    LanguageConfigManager m_languages{m_log, QStringLiteral(":/LanguageConfig.plist")};
    DesktopUi m_ui;
    MainWindowPresenter m_mainWindow;
    TrayMenuView m_tray;
    TrayNotice m_notice;
    AppDelegate m_delegate;
    AppStartup m_startup;
};

} // namespace velnor
