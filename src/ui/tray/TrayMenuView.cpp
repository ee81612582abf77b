#include "ui/tray/TrayMenuView.h"

#include "core/Scheduler.h"
#include "log/Logger.h"
#include "ui/common/Icons.h"
#include "ui/tray/TrayIconArt.h"

#include <QHash>
#include <QMenu>
#include <QSystemTrayIcon>

namespace velnor {

namespace {

// Our own line icons for the entries' symbols; choices show check marks instead.
QIcon symbolIcon(const QString& symbol)
{
    static const QHash<QString, Icons::Glyph> glyphs{
        {QStringLiteral("macwindow"), Icons::Glyph::Window},
        {QStringLiteral("keyboard"), Icons::Glyph::Keyboard},
        {QStringLiteral("globe"), Icons::Glyph::TextBubble},
        {QStringLiteral("power"), Icons::Glyph::Minus},
        {QStringLiteral("clock.arrow.circlepath"), Icons::Glyph::Clock},
    };
    const auto it = glyphs.constFind(symbol);
    return it == glyphs.constEnd() ? QIcon() : Icons::icon(*it);
}

} // namespace

TrayMenuView::TrayMenuView(Scheduler& mainQueue, Logger& log, ModelSource model, ActionHandler onAction,
                           QObject* parent)
    : QObject(parent)
    , m_mainQueue(mainQueue)
    , m_log(log)
    , m_model(std::move(model))
    , m_onAction(std::move(onAction))
{
}

TrayMenuView::~TrayMenuView()
{
    if (m_icon)
        m_icon->setContextMenu(nullptr);
    delete m_menu;
}

void TrayMenuView::setupMenuBar()
{
    m_rebuildPending = false;
    showIcon();
    QMenu* previous = m_menu;
    m_menu = buildMenu(m_model(), nullptr);
    m_icon->setContextMenu(m_menu);
    if (previous)
        previous->deleteLater();
}

void TrayMenuView::scheduleMenuRebuild()
{
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QPointer<TrayMenuView> self(this);
    m_mainQueue.post([self] {
        if (self)
            self->setupMenuBar();
    });
}

void TrayMenuView::showIcon()
{
    if (m_icon)
        return;
    m_icon = std::make_unique<QSystemTrayIcon>(makeTrayIcon());
    m_icon->setToolTip(QStringLiteral("Velnor"));
    // Panels differ: some open the context menu on a left click, most only on
    // a right click. Open it on both, as a menu-bar item does.
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && m_menu)
            m_menu->popup(m_icon->geometry().bottomLeft());
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        m_log.warning(QStringLiteral("No system tray on this desktop: the menu appears once a tray host runs"));
    m_icon->show();
}

QMenu* TrayMenuView::buildMenu(const QList<TrayMenuItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    for (const TrayMenuItem& item : items) {
        if (item.isSeparator) {
            menu->addSeparator();
            continue;
        }
        if (!item.children.isEmpty()) {
            QMenu* sub = buildMenu(item.children, menu);
            sub->setTitle(item.title);
            sub->setIcon(symbolIcon(item.symbol));
            sub->menuAction()->setToolTip(item.accessibleDescription);
            menu->addMenu(sub);
            continue;
        }
        QAction* action = menu->addAction(item.title);
        action->setToolTip(item.accessibleDescription);
        if (item.value) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        } else {
            action->setIcon(symbolIcon(item.symbol));
        }
        if (!item.shortcutKey.isEmpty())
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + item.shortcutKey.toUpper()));
        connect(action, &QAction::triggered, this, [this, item] { m_onAction(item); });
    }
    return menu;
}

} // namespace velnor
