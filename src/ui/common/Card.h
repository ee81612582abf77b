#pragma once

#include "ui/common/Icons.h"

#include <QFrame>

class QLabel;
class QVBoxLayout;

namespace velnor {

// A white rounded panel with an icon and a title; content goes into body().
class Card final : public QFrame {
    Q_OBJECT
public:
    Card(Icons::Glyph glyph, const QString& title, const QColor& glyphColour = QColor(0x3b, 0x6f, 0xe0),
         QWidget* parent = nullptr);

    QVBoxLayout* body() const { return m_body; }
    // Replaces the title text (e.g. a count that changes).
    void setTitle(const QString& title);

private:
    QLabel* m_title;
    QVBoxLayout* m_body;
};

} // namespace velnor
