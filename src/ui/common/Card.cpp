#include "ui/common/Card.h"

#include <QHBoxLayout>
#include <QLabel>

namespace velnor {

Card::Card(Icons::Glyph glyph, const QString& title, const QColor& glyphColour, QWidget* parent)
    : QFrame(parent)
    , m_title(new QLabel(title))
    , m_body(new QVBoxLayout)
{
    setObjectName(QStringLiteral("card"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(Icons::glyph(glyph, 18, glyphColour));
    m_title->setObjectName(QStringLiteral("cardTitle"));
    header->addWidget(icon);
    header->addWidget(m_title, 1);
    layout->addLayout(header);
    m_body->setSpacing(8);
    layout->addLayout(m_body);
}

void Card::setTitle(const QString& title)
{
    m_title->setText(title);
}

} // namespace velnor
