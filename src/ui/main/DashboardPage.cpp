#include "ui/main/DashboardPage.h"

#include "backend/AccountNotifications.h"
#include "backend/AccountSession.h"
#include "backend/UserManager.h"
#include "log/Logger.h"
#include "ui/common/Card.h"
#include "ui/main/DashboardSummary.h"
#include "ui/main/MainWindowServices.h"
#include "ui/main/PageLayout.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace velnor {

namespace {

QLabel* statistic(QGridLayout* grid, int column, const QString& caption)
{
    auto* value = new QLabel(QStringLiteral("-"));
    value->setObjectName(QStringLiteral("bigNumber"));
    auto* name = new QLabel(caption);
    name->setObjectName(QStringLiteral("caption"));
    grid->addWidget(value, 0, column);
    grid->addWidget(name, 1, column);
    return value;
}

} // namespace

DashboardPage::DashboardPage(MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    PageLayout page(this, QStringLiteral("仪表盘"));
    auto* refresh = new QPushButton(Icons::icon(Icons::Glyph::Refresh), QString());
    refresh->setToolTip(QStringLiteral("刷新"));
    connect(refresh, &QPushButton::clicked, this, &DashboardPage::refreshData);
    page.header()->addWidget(refresh);

    auto* usage = new Card(Icons::Glyph::Gauge, QStringLiteral("使用统计"));
    auto* grid = new QGridLayout;
    m_words = statistic(grid, 0, QStringLiteral("已输入字数"));
    m_invites = statistic(grid, 1, QStringLiteral("邀请人数"));
    m_inviteCode = statistic(grid, 2, QStringLiteral("邀请码"));
    m_inviteCode->setTextInteractionFlags(Qt::TextSelectableByMouse);
    usage->body()->addLayout(grid);
    page.add(usage);

    auto* subscription = new Card(Icons::Glyph::Card, QStringLiteral("订阅状态"), QColor(0x4a, 0x90, 0xe2));
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("cardTitle"));
    m_expiry = new QLabel;
    subscription->body()->addWidget(m_status);
    subscription->body()->addWidget(m_expiry);
    auto* links = new QHBoxLayout;
    for (const auto& [text, url] : {std::pair{QStringLiteral("访问官网"), m_services.links.website},
                                    std::pair{QStringLiteral("充值续费"), m_services.links.recharge}}) {
        auto* link = new QPushButton(text);
        link->setObjectName(QStringLiteral("link"));
        connect(link, &QPushButton::clicked, this, [this, url] { m_services.openUrl(url); });
        links->addWidget(link);
    }
    links->addStretch(1);
    subscription->body()->addLayout(links);
    page.add(subscription);
    page.finish();

    show(DashboardSummary::from(m_services.users.userInfoV2()));
    connect(&m_services.users, &UserManager::userChanged, this,
            [this] { show(DashboardSummary::from(m_services.users.userInfoV2())); });
    m_services.notifications.observe(AccountNotifications::Name::LoginSuccess, this, [this] { refreshData(); });
}

void DashboardPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_services.log.info(QStringLiteral("DashboardView onAppear"));
    refreshData();
}

void DashboardPage::refreshData()
{
    QPointer<DashboardPage> self(this);
    m_services.session.refreshAccountData([self](const User& user) {
        if (self)
            self->show(DashboardSummary::from(user));
    });
}

void DashboardPage::show(const DashboardSummary& summary)
{
    m_words->setText(summary.wordsDictated);
    m_invites->setText(summary.invites);
    m_inviteCode->setText(summary.inviteCode);
    m_status->setText(summary.statusText);
    m_status->setStyleSheet(QStringLiteral("color: %1;").arg(summary.statusColour.name()));
    m_expiry->setText(QStringLiteral("到期时间") + QStringLiteral(": ") + summary.expiry);
}

} // namespace velnor
