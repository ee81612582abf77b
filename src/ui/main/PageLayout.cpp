#include "ui/main/PageLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace velnor {

PageLayout::PageLayout(QWidget* page, const QString& title)
    : m_header(new QHBoxLayout)
    , m_column(new QVBoxLayout)
{
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(24, 20, 24, 12);
    outer->setSpacing(12);
    auto* heading = new QLabel(title);
    heading->setObjectName(QStringLiteral("pageTitle"));
    m_header->addWidget(heading);
    m_header->addStretch(1);
    outer->addLayout(m_header);

    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("pageBody"));
    m_column->setContentsMargins(0, 0, 8, 0);
    m_column->setSpacing(14);
    body->setLayout(m_column);
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("content"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(body);
    outer->addWidget(scroll, 1);
}

void PageLayout::add(QWidget* card)
{
    m_column->addWidget(card);
}

void PageLayout::finish()
{
    m_column->addStretch(1);
}

} // namespace velnor
