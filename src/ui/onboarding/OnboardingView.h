#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace velnor {

class OnboardingModel;
class SettingsStore;

// The five onboarding pages over one model; shows what the model says and
// forwards the buttons to it.
class OnboardingView final : public QFrame {
    Q_OBJECT
public:
    OnboardingView(OnboardingModel& model, SettingsStore& settings, QWidget* parent = nullptr);

private:
    QWidget* welcomePage();
    QWidget* accessibilityPage();
    QWidget* microphonePage();
    QWidget* restartPage();
    QWidget* completePage();
    void render();
    void fadeIn();

    OnboardingModel& m_model;
    SettingsStore& m_settings;
    QProgressBar* m_progress;
    QStackedWidget* m_pages;
    QLabel* m_error;
    QWidget* m_accessibilitySteps = nullptr;
    QWidget* m_accessibilityGranted = nullptr;
    QLabel* m_waiting = nullptr;
    QPushButton* m_microphoneButton = nullptr;
    QPushButton* m_laterButton = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_usage = nullptr;
    int m_shownStep = -1;
};

} // namespace velnor
