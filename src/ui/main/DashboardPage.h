#pragma once

#include <QWidget>

class QLabel;

namespace velnor {

struct MainWindowServices;
struct DashboardSummary;

// Usage, invite code and subscription of the signed-in user; refreshed when
// shown, on login and on demand.
class DashboardPage final : public QWidget {
    Q_OBJECT
public:
    DashboardPage(MainWindowServices& services, QWidget* parent = nullptr);

    void refreshData();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void show(const DashboardSummary& summary);

    MainWindowServices& m_services;
    QLabel* m_words;
    QLabel* m_invites;
    QLabel* m_inviteCode;
    QLabel* m_status;
    QLabel* m_expiry;
};

} // namespace velnor
