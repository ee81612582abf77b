#pragma once

#include "ui/main/MainWindowModel.h"

#include <QWidget>

#include <memory>

class QStackedWidget;

namespace velnor {

class LoginSheet;
class OnboardingView;
struct MainWindowServices;

// The app's one main window (800×600, "Velnor"): sidebar, the screens
// and the login and onboarding sheets. Closing only hides it.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowModel& model() { return m_model; }
    // The sheet currently covering the screens, if any (tests, screenshots).
    QWidget* loginSheet() const;
    QWidget* onboardingSheet() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void render();
    void openOnboarding();
    void closeOnboarding();

    MainWindowServices& m_services;
    MainWindowModel m_model;
    QStackedWidget* m_pages;
    QWidget* m_loginScrim;
    QWidget* m_onboardingScrim = nullptr;
    std::unique_ptr<OnboardingModel> m_onboarding;
};

} // namespace velnor
