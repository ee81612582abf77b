#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace velnor {

class LoginViewModel;
struct MainWindowServices;

// Sign-in by phone and SMS code over LoginViewModel. The user cannot dismiss
// it (Esc does nothing); it offers quitting the app instead.
class LoginSheet final : public QFrame {
    Q_OBJECT
public:
    LoginSheet(MainWindowServices& services, QWidget* parent = nullptr);

private:
    QWidget* signInForm();
    QWidget* signedInView();
    void render();
    void askToQuit();

    MainWindowServices& m_services;
    LoginViewModel& m_model;
    QStackedWidget* m_views;
    QLineEdit* m_phone = nullptr;
    QLineEdit* m_code = nullptr;
    QPushButton* m_sendCode = nullptr;
    QLabel* m_localCodeNotice = nullptr;
    QPushButton* m_login = nullptr;
    QLabel* m_error = nullptr;
    QWidget* m_errorRow = nullptr;
    QLabel* m_signedInPhone = nullptr;
};

} // namespace velnor
