#pragma once

#include "ui/main/MainWindowModel.h"

#include <QWidget>

class QButtonGroup;
class QLabel;
class QMenu;
class QPushButton;

namespace velnor {

// Logo, the screens and the user area.
class Sidebar final : public QWidget {
    Q_OBJECT
public:
    explicit Sidebar(MainWindowModel& model, QWidget* parent = nullptr);

private:
    void render();

    MainWindowModel& m_model;
    QButtonGroup* m_items;
    QLabel* m_user;
    QPushButton* m_login;
    QPushButton* m_userMenuButton;
    QMenu* m_userMenu;
};

} // namespace velnor
