#pragma once

#include <QString>

class QHBoxLayout;
class QVBoxLayout;
class QWidget;

namespace velnor {

// Builds a screen: a title row and a scrolling column of cards.
class PageLayout final {
public:
    PageLayout(QWidget* page, const QString& title);

    QHBoxLayout* header() const { return m_header; }
    void add(QWidget* card);
    // Pushes the cards to the top.
    void finish();

private:
    QHBoxLayout* m_header;
    QVBoxLayout* m_column;
};

} // namespace velnor
