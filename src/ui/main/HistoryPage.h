#pragma once

#include "ui/main/HistoryPageModel.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace velnor {

class Card;
class Dialogs;

// The history screen: search, the entries newest first with copy,
// re-insert, retry and delete, clear all, and a note when history is off.
class HistoryPage final : public QWidget {
    Q_OBJECT
public:
    HistoryPage(HistoryPageModel::Dependencies dependencies, Dialogs& dialogs, QWidget* parent = nullptr);

    HistoryPageModel& model() { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void renderEntries();
    void renderNotice();
    QWidget* row(const HistoryEntry& entry);
    void confirmClear();

    HistoryPageModel m_model;
    Dialogs& m_dialogs;
    QLineEdit* m_search;
    QPushButton* m_clear;
    QLabel* m_notice;
    Card* m_offCard;
    Card* m_listCard;
    QStackedWidget* m_listOrEmpty;
    QLabel* m_emptyTitle;
    QVBoxLayout* m_rows;
};

} // namespace velnor
