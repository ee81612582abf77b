#include "ui/main/MainWindow.h"

#include "ui/common/Icons.h"
#include "ui/common/Theme.h"
#include "ui/main/DashboardPage.h"
#include "ui/main/HistoryPage.h"
#include "ui/main/HotWordsPage.h"
#include "ui/main/LoginSheet.h"
#include "ui/main/MainWindowServices.h"
#include "ui/main/SettingsPage.h"
#include "ui/main/Sidebar.h"
#include "ui/onboarding/OnboardingView.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QStackedWidget>

namespace velnor {

namespace {

// A dimmed layer over the whole window with a sheet in its middle; it also
// keeps clicks away from the screens below.
class Scrim final : public QWidget {
public:
    Scrim(QWidget* window, QWidget* sheet)
        : QWidget(window)
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(sheet, 0, Qt::AlignCenter);
        setGeometry(window->rect());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(15, 23, 42, 110)); }
};

QWidget* scrim(QWidget* window, QWidget* sheet)
{
    return new Scrim(window, sheet);
}

} // namespace

MainWindow::MainWindow(MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_model(services.settings, services.session, services.login)
    , m_pages(new QStackedWidget)
    , m_loginScrim(nullptr)
{
    setWindowTitle(QStringLiteral("Velnor"));
    setWindowIcon(QIcon(Icons::logo(64)));
    resize(800, 600);
    setMinimumSize(800, 600);
    setStyleSheet(Theme::styleSheet());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new Sidebar(m_model));
    m_pages->setObjectName(QStringLiteral("content"));
    m_pages->setAttribute(Qt::WA_StyledBackground);
    auto* settings = new SettingsPage(services);
    m_pages->addWidget(new DashboardPage(services));
    m_pages->addWidget(new HotWordsPage(services));
    m_pages->addWidget(new HistoryPage(services.history, services.dialogs));
    m_pages->addWidget(settings);
    layout->addWidget(m_pages, 1);
    connect(settings, &SettingsPage::permissionRequested, this, [this](bool accessibility) {
        m_model.openOnboardingAt(accessibility ? OnboardingStep::Accessibility : OnboardingStep::Microphone);
    });

    m_loginScrim = scrim(this, new LoginSheet(services));
    m_loginScrim->hide();
    connect(&m_model, &MainWindowModel::changed, this, &MainWindow::render);
    render();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::loginSheet() const
{
    return m_loginScrim->isVisible() ? m_loginScrim : nullptr;
}

QWidget* MainWindow::onboardingSheet() const
{
    return m_onboardingScrim && m_onboardingScrim->isVisible() ? m_onboardingScrim : nullptr;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_model.firstAppear();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window (and any sheet on it) only hides; the app keeps running.
    hide();
    event->ignore();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_loginScrim->setGeometry(rect());
    if (m_onboardingScrim)
        m_onboardingScrim->setGeometry(rect());
}

void MainWindow::render()
{
    m_pages->setCurrentIndex(static_cast<int>(m_model.selectedMenuItem()));
    m_loginScrim->setVisible(m_model.showLoginView());
    if (m_model.showLoginView())
        m_loginScrim->raise();
    if (m_model.showPermissionOnboarding() && !m_onboarding)
        openOnboarding();
    else if (!m_model.showPermissionOnboarding() && m_onboarding)
        closeOnboarding();
    // The onboarding comes first: it stays above the login sheet.
    if (m_onboardingScrim)
        m_onboardingScrim->raise();
}

void MainWindow::openOnboarding()
{
    m_onboarding = std::make_unique<OnboardingModel>(m_services.settings, m_services.mainQueue, m_services.permissions,
                                                     m_services.relaunch, m_model.onboardingStep());
    connect(m_onboarding.get(), &OnboardingModel::finished, &m_model, &MainWindowModel::onboardingFinished,
            Qt::QueuedConnection);
    auto* view = new OnboardingView(*m_onboarding, m_services.settings);
    view->setFixedSize(620, 500);
    m_onboardingScrim = scrim(this, view);
    m_onboardingScrim->show();
    m_onboardingScrim->raise();
    m_onboarding->appear();
}

void MainWindow::closeOnboarding()
{
    // The view refers to the model: both go together, after the finishing click returned.
    m_onboardingScrim->hide();
    m_onboardingScrim->deleteLater();
    m_onboardingScrim = nullptr;
    m_onboarding.release()->deleteLater();
}

} // namespace velnor
