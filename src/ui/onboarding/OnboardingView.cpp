#include "ui/onboarding/OnboardingView.h"

#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "ui/common/Icons.h"
#include "ui/common/SettingChoices.h"
#include "ui/onboarding/OnboardingModel.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace velnor {

namespace {

QLabel* label(const QString& text, const char* objectName = nullptr, bool centred = true)
{
    auto* result = new QLabel(text);
    result->setWordWrap(true);
    if (centred)
        result->setAlignment(Qt::AlignCenter);
    if (objectName)
        result->setObjectName(QString::fromLatin1(objectName));
    return result;
}

QLabel* title(const QString& text)
{
    return label(text, "pageTitle");
}

QPushButton* primaryButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QStringLiteral("primary"));
    button->setMinimumWidth(180);
    return button;
}

QLabel* iconLabel(Icons::Glyph glyph, const QColor& colour, int size = 44)
{
    auto* result = new QLabel;
    result->setPixmap(Icons::glyph(glyph, size, colour));
    result->setAlignment(Qt::AlignCenter);
    return result;
}

QWidget* page(const QList<QWidget*>& widgets, QPushButton* button)
{
    auto* result = new QWidget;
    auto* layout = new QVBoxLayout(result);
    layout->setSpacing(12);
    layout->addStretch(1);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addSpacing(8);
    if (button)
        layout->addWidget(button, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return result;
}

// Under the page's button, above its closing stretch.
void appendBelowButton(QWidget* pageWidget, QWidget* widget)
{
    auto* layout = static_cast<QVBoxLayout*>(pageWidget->layout());
    layout->insertWidget(layout->count() - 1, widget, 0, Qt::AlignHCenter);
}

QWidget* numbered(const QStringList& lines)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(60, 0, 60, 0);
    for (int i = 0; i < lines.size(); ++i)
        layout->addWidget(label(QString::number(i + 1) + QStringLiteral(". ") + lines.at(i), nullptr, false));
    return box;
}

const QColor kBlue(0x3b, 0x6f, 0xe0);
const QColor kGreen(0x2f, 0xa8, 0x4f);

} // namespace

OnboardingView::OnboardingView(OnboardingModel& model, SettingsStore& settings, QWidget* parent)
    : QFrame(parent)
    , m_model(model)
    , m_settings(settings)
    , m_progress(new QProgressBar)
    , m_pages(new QStackedWidget)
    , m_error(label(QString(), "error"))
{
    setObjectName(QStringLiteral("sheet"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    m_progress->setRange(0, OnboardingModel::kStepCount);
    m_progress->setTextVisible(false);
    layout->addWidget(m_progress);
    for (QWidget* widget : {welcomePage(), accessibilityPage(), microphonePage(), restartPage(), completePage()})
        m_pages->addWidget(widget);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_error);
    connect(&m_model, &OnboardingModel::changed, this, &OnboardingView::render);
    render();
}

QWidget* OnboardingView::welcomePage()
{
    auto* logo = new QLabel;
    logo->setPixmap(Icons::logo(72));
    logo->setAlignment(Qt::AlignCenter);
    auto* items = new QWidget;
    auto* list = new QVBoxLayout(items);
    list->setContentsMargins(80, 0, 80, 0);
    list->addWidget(label(QStringLiteral("所需权限"), "cardTitle", false));
    list->addWidget(label(QStringLiteral("辅助功能权限") + QStringLiteral(" – ") + QStringLiteral("用于模拟键盘输入"), nullptr, false));
    list->addWidget(label(QStringLiteral("麦克风权限") + QStringLiteral(" – ") + QStringLiteral("用于语音识别"), nullptr, false));
    auto* start = primaryButton(QStringLiteral("开始设置"));
    connect(start, &QPushButton::clicked, &m_model, &OnboardingModel::beginSetup);
    return page({logo, title(QStringLiteral("欢迎使用 Velnor输入法")), label(QStringLiteral("让语音成为您的输入方式"), "caption"),
                 label(QStringLiteral("为了让应用正常工作，我们需要设置一些必要的权限")), items},
                start);
}

QWidget* OnboardingView::accessibilityPage()
{
    auto* open = primaryButton(QStringLiteral("打开系统设置"));
    connect(open, &QPushButton::clicked, &m_model, &OnboardingModel::openAccessibilitySettings);
    m_waiting = label(QStringLiteral("设置后会自动检测并继续"), "caption");
    m_accessibilitySteps = page({label(QStringLiteral("请按照以下步骤授予权限")),
                                 numbered({QStringLiteral("点击下方按钮开启系统辅助功能（AT-SPI）"),
                                           QStringLiteral("开启后会自动检测，无需其他操作"),
                                           QStringLiteral("在此之前已打开的应用需要重新启动，才能接收语音输入的文字")})},
                                open);
    appendBelowButton(m_accessibilitySteps, m_waiting);

    auto* next = primaryButton(QStringLiteral("继续"));
    connect(next, &QPushButton::clicked, &m_model, &OnboardingModel::continueToMicrophone);
    m_accessibilityGranted = page({iconLabel(Icons::Glyph::Check, kGreen), label(QStringLiteral("权限已成功授予！"))}, next);

    auto* result = new QWidget;
    auto* layout = new QVBoxLayout(result);
    layout->addWidget(iconLabel(Icons::Glyph::Shield, kBlue));
    layout->addWidget(title(QStringLiteral("辅助功能权限")));
    layout->addWidget(m_accessibilitySteps, 1);
    layout->addWidget(m_accessibilityGranted, 1);
    return result;
}

QWidget* OnboardingView::microphonePage()
{
    m_microphoneButton = primaryButton(QStringLiteral("授予麦克风权限"));
    connect(m_microphoneButton, &QPushButton::clicked, &m_model, &OnboardingModel::grantMicrophone);
    return page({iconLabel(Icons::Glyph::Microphone, kBlue), title(QStringLiteral("麦克风权限")),
                 label(QStringLiteral("我们需要麦克风权限来进行语音识别")),
                 label(QStringLiteral("点击下方按钮后，系统会弹出权限请求"), "caption")},
                m_microphoneButton);
}

QWidget* OnboardingView::restartPage()
{
    auto* restart = primaryButton(QStringLiteral("立即重启"));
    connect(restart, &QPushButton::clicked, &m_model, &OnboardingModel::restartNow);
    m_laterButton = new QPushButton(QStringLiteral("稍后重启"));
    connect(m_laterButton, &QPushButton::clicked, &m_model, &OnboardingModel::continueWithoutRestart);
    QWidget* result = page({iconLabel(Icons::Glyph::Refresh, kBlue), title(QStringLiteral("需要重启应用")),
                            label(QStringLiteral("辅助功能权限已设置"), "caption"), label(QStringLiteral("重启应用后权限才能生效"))},
                           restart);
    appendBelowButton(result, m_laterButton);
    return result;
}

QWidget* OnboardingView::completePage()
{
    m_summary = label(QString());
    m_usage = label(QString(), nullptr, false);
    m_usage->setContentsMargins(100, 0, 100, 0);
    auto* start = primaryButton(QStringLiteral("开始体验"));
    connect(start, &QPushButton::clicked, &m_model, &OnboardingModel::finish);
    return page({title(QStringLiteral("🎉 设置完成！")), label(QStringLiteral("所有权限已正确设置")), m_summary,
                 label(QStringLiteral("使用方法"), "cardTitle"), m_usage,
                 label(QStringLiteral("💡 热键可在设置中随时修改"), "caption")},
                start);
}

// Each step change eases in over 0.3 s.
void OnboardingView::fadeIn()
{
    auto* effect = new QGraphicsOpacityEffect(m_pages);
    m_pages->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(300);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    // Without the effect afterwards: text renders crisper and cheaper.
    // Queued: the effect owns the animation that is still emitting.
    connect(
        fade, &QPropertyAnimation::finished, m_pages,
        [pages = m_pages, effect] {
            if (pages->graphicsEffect() == effect)
                pages->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
    fade->start();
}

void OnboardingView::render()
{
    m_progress->setValue(m_model.stepNumber());
    const int step = static_cast<int>(m_model.step());
    if (step != m_shownStep) {
        if (m_shownStep >= 0)
            fadeIn();
        m_shownStep = step;
        m_pages->setCurrentIndex(step);
    }
    m_accessibilitySteps->setVisible(!m_model.hasAccessibilityPermission());
    m_accessibilityGranted->setVisible(m_model.hasAccessibilityPermission());
    m_waiting->setText(m_model.isWaitingForAccessibility() ? QStringLiteral("正在检测…设置后会自动继续")
                                                           : QStringLiteral("设置后会自动检测并继续"));
    m_laterButton->setVisible(!m_model.errorText().isEmpty());
    m_error->setText(m_model.errorText());
    m_error->setVisible(!m_model.errorText().isEmpty());

    const QString hotkey = SettingChoices::hotkeyDisplayName(
        m_settings.stringOr(QString::fromLatin1(SettingsKey::HotkeyStart), QStringLiteral("fn_shift")));
    const QString position = SettingChoices::indicatorPositionTitle(
        m_settings.stringOr(QString::fromLatin1(SettingsKey::FloatingWindowPosition), QStringLiteral("bottom_center")));
    m_summary->setText(QStringLiteral("当前热键:") + QStringLiteral(" ") + hotkey + QStringLiteral("    ") +
                       QStringLiteral("悬浮窗位置:") + QStringLiteral(" ") + position);
    m_usage->setText(QStringLiteral("1. ") + QStringLiteral("点击任意输入框") + QStringLiteral("\n2. ") +
                     QStringLiteral("按住 ") + hotkey + QStringLiteral(" 开始说话") + QStringLiteral("\n3. ") +
                     QStringLiteral("松开按键完成识别"));
}

} // namespace velnor
