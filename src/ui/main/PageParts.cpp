#include "ui/main/PageParts.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velnor::PageParts {

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("caption"));
    return label;
}

QWidget* emptyState(Icons::Glyph glyph, QLabel* title, const QString& hint)
{
    auto* empty = new QWidget;
    auto* layout = new QVBoxLayout(empty);
    auto* icon = new QLabel;
    icon->setPixmap(Icons::glyph(glyph, 40, QColor(0x9a, 0xa5, 0xb1)));
    icon->setAlignment(Qt::AlignCenter);
    title->setAlignment(Qt::AlignCenter);
    QLabel* hintLabel = caption(hint);
    hintLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(hintLabel);
    return empty;
}

void clearRows(QVBoxLayout* rows)
{
    while (QLayoutItem* item = rows->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}

} // namespace velnor::PageParts
