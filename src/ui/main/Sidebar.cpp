#include "ui/main/Sidebar.h"

#include "ui/common/Icons.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace velnor {

Sidebar::Sidebar(MainWindowModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_items(new QButtonGroup(this))
    , m_user(new QLabel)
    , m_login(new QPushButton(QStringLiteral("登录")))
    , m_userMenuButton(new QPushButton)
    , m_userMenu(new QMenu(this))
{
    setObjectName(QStringLiteral("sidebar"));
    setAttribute(Qt::WA_StyledBackground);
    setFixedWidth(200);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 20, 14, 16);
    layout->setSpacing(6);

    auto* logo = new QLabel;
    logo->setPixmap(Icons::logo(56));
    logo->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Velnor输入法"));
    name->setObjectName(QStringLiteral("appName"));
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    layout->addWidget(name);
    layout->addSpacing(18);

    struct Entry {
        MenuItem item;
        QString title;
        Icons::Glyph glyph;
    };
    for (const Entry& entry : {Entry{MenuItem::Dashboard, QStringLiteral("仪表盘"), Icons::Glyph::Gauge},
                               Entry{MenuItem::Hotwords, QStringLiteral("热词"), Icons::Glyph::TextBubble},
                               Entry{MenuItem::History, QStringLiteral("历史"), Icons::Glyph::Clock},
                               Entry{MenuItem::Settings, QStringLiteral("设置"), Icons::Glyph::Gear}}) {
        auto* button = new QPushButton(Icons::icon(entry.glyph), entry.title);
        button->setObjectName(QStringLiteral("menuItem"));
        button->setCheckable(true);
        button->setIconSize(QSize(18, 18));
        m_items->addButton(button, static_cast<int>(entry.item));
        layout->addWidget(button);
    }
    m_items->setExclusive(true);
    // Toggled, not clicked: a screen reader's action checks the button without a click.
    connect(m_items, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_model.select(static_cast<MenuItem>(id));
    });
    layout->addStretch(1);

    auto* userRow = new QHBoxLayout;
    auto* person = new QLabel;
    person->setPixmap(Icons::glyph(Icons::Glyph::Person, 22, QColor(0x4a, 0x55, 0x68)));
    userRow->addWidget(person);
    userRow->addWidget(m_user, 1);
    m_userMenuButton->setIcon(Icons::icon(Icons::Glyph::ChevronDown));
    m_userMenuButton->setObjectName(QStringLiteral("link"));
    m_userMenuButton->setFixedWidth(30);
    userRow->addWidget(m_userMenuButton);
    layout->addLayout(userRow);
    layout->addWidget(m_login);

    QAction* signOut = m_userMenu->addAction(QStringLiteral("注销"));
    connect(signOut, &QAction::triggered, &m_model, &MainWindowModel::logout);
    connect(m_userMenuButton, &QPushButton::clicked, this,
            [this] { m_userMenu->popup(m_userMenuButton->mapToGlobal(QPoint(0, m_userMenuButton->height()))); });
    connect(m_login, &QPushButton::clicked, &m_model, &MainWindowModel::requestLogin);
    connect(&m_model, &MainWindowModel::changed, this, &Sidebar::render);
    render();
}

void Sidebar::render()
{
    m_items->button(static_cast<int>(m_model.selectedMenuItem()))->setChecked(true);
    const bool signedIn = m_model.isLoggedIn();
    m_user->setText(signedIn ? m_model.userPhone() : QStringLiteral("未登录"));
    m_login->setVisible(!signedIn);
    m_userMenuButton->setVisible(signedIn);
}

} // namespace velnor
