#pragma once

#include "ui/main/SettingsModel.h"
#include "ui/main/UnfocusedWheelGuard.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace velnor {

struct MainWindowServices;

// The settings cards. Every control shows the stored value when the screen
// is built and writes only when the user changes it.
class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    SettingsPage(MainWindowServices& services, QWidget* parent = nullptr);

signals:
    // A permission row's button: open the onboarding at that permission.
    void permissionRequested(bool accessibility);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* versionCard();
    QWidget* indicatorCard();
    QWidget* hotkeyCard();
    QWidget* recognitionCard();
    QWidget* keyboardCard();
    QWidget* audioInputCard();
    QWidget* permissionsCard();
    void renderUpdate();
    QWidget* historyCard();
    QWidget* inputMethodCard();
    void fillKeyboards();
    void fillAudioInputs();
    void renderPermissions();
    // Shows the stored values (the tray menu may have changed some); writes nothing.
    void loadValues();

    MainWindowServices& m_services;
    SettingsModel m_model;
    UnfocusedWheelGuard m_wheelGuard;
    QComboBox* m_positions = nullptr;
    QComboBox* m_hotkeys = nullptr;
    QComboBox* m_languages = nullptr;
    QSlider* m_duration = nullptr;
    QCheckBox* m_sounds = nullptr;
    QCheckBox* m_overOver = nullptr;
    QComboBox* m_keyTypes = nullptr;
    QPushButton* m_checkUpdate = nullptr;
    QLabel* m_newVersion = nullptr;
    QPushButton* m_updateNow = nullptr;
    QLabel* m_durationLabel = nullptr;
    QComboBox* m_keyboards = nullptr;
    QLabel* m_keyboardDetails = nullptr;
    QComboBox* m_audioInputs = nullptr;
    QLabel* m_audioDetails = nullptr;
    QLabel* m_accessibilityState = nullptr;
    QPushButton* m_accessibilityButton = nullptr;
    QLabel* m_microphoneState = nullptr;
    QPushButton* m_microphoneButton = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QCheckBox* m_history = nullptr;
    QCheckBox* m_inputMethod = nullptr;
    QLabel* m_inputMethodState = nullptr;
    QLabel* m_sessionState = nullptr;
    QCheckBox* m_evdevHotkey = nullptr;
    QSpinBox* m_retentionDays = nullptr;
};

} // namespace velnor
