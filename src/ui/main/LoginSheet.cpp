#include "ui/main/LoginSheet.h"

#include "backend/LoginViewModel.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Icons.h"
#include "ui/main/MainWindowServices.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace velnor {

namespace {

QPushButton* linkButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QStringLiteral("link"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

LoginSheet::LoginSheet(MainWindowServices& services, QWidget* parent)
    : QFrame(parent)
    , m_services(services)
    , m_model(services.login)
    , m_views(new QStackedWidget)
{
    setObjectName(QStringLiteral("sheet"));
    setFixedWidth(380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 16, 28, 24);
    auto* quitRow = new QHBoxLayout;
    quitRow->addStretch(1);
    QPushButton* quit = linkButton(QStringLiteral("退出 APP"));
    connect(quit, &QPushButton::clicked, this, &LoginSheet::askToQuit);
    quitRow->addWidget(quit);
    layout->addLayout(quitRow);
    auto* logo = new QLabel;
    logo->setPixmap(Icons::logo(64));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    m_views->addWidget(signInForm());
    m_views->addWidget(signedInView());
    layout->addWidget(m_views);
    connect(&m_model, &LoginViewModel::changed, this, &LoginSheet::render);
    render();
}

QWidget* LoginSheet::signInForm()
{
    auto* form = new QWidget;
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* title = new QLabel(QStringLiteral("手机号登录"));
    title->setObjectName(QStringLiteral("pageTitle"));
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    layout->addWidget(new QLabel(QStringLiteral("手机号")));
    m_phone = new QLineEdit;
    m_phone->setObjectName(QStringLiteral("phone"));
    m_phone->setPlaceholderText(QStringLiteral("请输入手机号"));
    m_phone->setMaxLength(11);
    m_phone->setInputMethodHints(Qt::ImhDialableCharactersOnly);
    connect(m_phone, &QLineEdit::textEdited, &m_model, &LoginViewModel::setPhoneNumber);
    layout->addWidget(m_phone);

    auto* codeRow = new QHBoxLayout;
    m_code = new QLineEdit;
    m_code->setObjectName(QStringLiteral("code"));
    m_code->setPlaceholderText(QStringLiteral("请输入验证码"));
    m_code->setMaxLength(4);
    connect(m_code, &QLineEdit::textEdited, &m_model, &LoginViewModel::setVerificationCode);
    connect(m_code, &QLineEdit::returnPressed, &m_model, &LoginViewModel::login);
    m_sendCode = new QPushButton;
    m_sendCode->setObjectName(QStringLiteral("sendCode"));
    m_sendCode->setMinimumWidth(110);
    connect(m_sendCode, &QPushButton::clicked, &m_model, &LoginViewModel::sendVerificationCode);
    codeRow->addWidget(m_code, 1);
    codeRow->addWidget(m_sendCode);
    layout->addLayout(codeRow);
    m_localCodeNotice = new QLabel(QStringLiteral("验证码来自本机的 velnor-server，已自动填入"));
    m_localCodeNotice->setObjectName(QStringLiteral("localCodeNotice"));
    m_localCodeNotice->setStyleSheet(QStringLiteral("color: #2e7d32; font-size: 12px;"));
    layout->addWidget(m_localCodeNotice);

    m_errorRow = new QWidget;
    auto* errorLayout = new QHBoxLayout(m_errorRow);
    errorLayout->setContentsMargins(0, 0, 0, 0);
    auto* warning = new QLabel;
    warning->setPixmap(Icons::glyph(Icons::Glyph::Warning, 16, QColor(0xd0, 0x02, 0x1b)));
    m_error = new QLabel;
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    errorLayout->addWidget(warning, 0, Qt::AlignTop);
    errorLayout->addWidget(m_error, 1);
    layout->addWidget(m_errorRow);

    m_login = new QPushButton(Icons::icon(Icons::Glyph::Person, QColor(Qt::white)), QStringLiteral("登录"));
    m_login->setObjectName(QStringLiteral("primary"));
    connect(m_login, &QPushButton::clicked, &m_model, &LoginViewModel::login);
    layout->addWidget(m_login);

    auto* agreement = new QHBoxLayout;
    agreement->addStretch(1);
    auto* consent = new QLabel(QStringLiteral("登录即表示同意"));
    consent->setObjectName(QStringLiteral("caption"));
    agreement->addWidget(consent);
    for (const auto& [text, url] : {std::pair{QStringLiteral("《用户协议》"), m_services.links.userAgreement},
                                    std::pair{QStringLiteral("《隐私政策》"), m_services.links.privacyPolicy}}) {
        QPushButton* link = linkButton(text);
        connect(link, &QPushButton::clicked, this, [this, url] { m_services.openUrl(url); });
        agreement->addWidget(link);
    }
    agreement->addStretch(1);
    layout->addLayout(agreement);
    return form;
}

QWidget* LoginSheet::signedInView()
{
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    auto* title = new QLabel(QStringLiteral("已登录"));
    title->setObjectName(QStringLiteral("pageTitle"));
    title->setAlignment(Qt::AlignCenter);
    m_signedInPhone = new QLabel;
    m_signedInPhone->setAlignment(Qt::AlignCenter);
    auto* logout = new QPushButton(QStringLiteral("退出登录"));
    logout->setObjectName(QStringLiteral("danger"));
    connect(logout, &QPushButton::clicked, &m_model, &LoginViewModel::logout);
    layout->addWidget(title);
    layout->addWidget(m_signedInPhone);
    layout->addWidget(logout);
    return view;
}

void LoginSheet::render()
{
    m_views->setCurrentIndex(m_model.isLoggedIn() ? 1 : 0);
    m_signedInPhone->setText(QStringLiteral("手机号:") + m_model.userPhone());
    if (m_phone->text() != m_model.phoneNumber())
        m_phone->setText(m_model.phoneNumber());
    if (m_code->text() != m_model.verificationCode())
        m_code->setText(m_model.verificationCode());
    m_localCodeNotice->setVisible(m_model.codeFromLocalServer());
    const int countdown = m_model.countdownSeconds();
    m_sendCode->setEnabled(!m_model.isSendingCode() && countdown <= 0);
    m_sendCode->setText(m_model.isSendingCode() ? QStringLiteral("发送中...")
                        : countdown > 0        ? QStringLiteral("%1秒后重发").arg(countdown)
                                               : QStringLiteral("获取验证码"));
    m_login->setEnabled(!m_model.isLoading());
    m_login->setText(m_model.isLoading() ? QStringLiteral("登录中...") : QStringLiteral("登录"));
    const QString error = m_model.errorMessage().value_or(QString());
    m_error->setText(error);
    m_errorRow->setVisible(!error.isEmpty());
}

void LoginSheet::askToQuit()
{
    m_services.dialogs.confirm(this, QStringLiteral("退出 APP？"), QStringLiteral("确定要退出APP吗？"), QStringLiteral("取消"),
                               QStringLiteral("退出"), m_services.quitApp);
}

} // namespace velnor
