#pragma once

#include "ui/tray/TrayMenuModel.h"

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>


class QSystemTrayIcon;

namespace velnor {

class Logger;
class Scheduler;

// The tray icon and its menu. The menu is built from the model for the
// current settings; a selection changes settings, so the menu is then rebuilt
// on a later turn of the event loop: the old menu is still running the
// action's signal when it asks for the rebuild.
class TrayMenuView final : public QObject {
    Q_OBJECT
public:
    using ModelSource = std::function<QList<TrayMenuItem>()>;
    using ActionHandler = std::function<void(const TrayMenuItem& item)>;

    TrayMenuView(Scheduler& mainQueue, Logger& log, ModelSource model, ActionHandler onAction,
                 QObject* parent = nullptr);
    ~TrayMenuView() override;

    // Shows the icon (once) and gives it a freshly built menu.
    void setupMenuBar();
    void scheduleMenuRebuild();

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* trayIcon() const { return m_icon.get(); }

private:
    QMenu* buildMenu(const QList<TrayMenuItem>& items, QWidget* parent);
    void showIcon();

    Scheduler& m_mainQueue;
    Logger& m_log;
    ModelSource m_model;
    ActionHandler m_onAction;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<QMenu> m_menu;
    bool m_rebuildPending = false;
};

} // namespace velnor
