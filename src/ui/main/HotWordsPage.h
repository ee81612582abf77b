#pragma once

#include "backend/HotwordTypes.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QVBoxLayout;

namespace velnor {

class Card;
struct MainWindowServices;

// The hot word screen: add with the 10-character cut, the list with edit,
// delete (confirmed) and weight change, the empty state.
class HotWordsPage final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxHotWordLength = 10;
    static constexpr int kDefaultWeight = 10;

    HotWordsPage(MainWindowServices& services, QWidget* parent = nullptr);

    // Input longer than the limit is replaced by its first characters
    // (user-perceived characters, so an emoji is never split).
    static QString cutToLimit(const QString& text);

signals:
    // A row asks for its word's deletion (after the user confirmed).
    void deleteHotWord(const QString& text, double weight);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void add();
    void rebuildList();
    QWidget* row(const HotWord& word);
    void confirmDelete(const HotWord& word);
    void handleDelete(const QString& text, double weight);
    void changeWeight(const QString& text, int weight);
    void setEditing(bool editing);

    MainWindowServices& m_services;
    QLineEdit* m_text;
    QSpinBox* m_weight;
    QPushButton* m_add;
    Card* m_listCard;
    QPushButton* m_editToggle;
    QStackedWidget* m_listOrEmpty;
    QVBoxLayout* m_rows;
    bool m_editing = false;
};

} // namespace velnor
