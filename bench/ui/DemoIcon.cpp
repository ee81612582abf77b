#include "DemoIcon.h"

#include <QLinearGradient>
#include <QPainter>

namespace velnor {

QImage drawDemoIcon(int side)
{
    QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = side;
    QLinearGradient sheet(0, 0, 0, s);
    sheet.setColorAt(0, QColor(255, 214, 92));
    sheet.setColorAt(1, QColor(242, 160, 44));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sheet);
    painter.drawRoundedRect(QRectF(0.06 * s, 0.06 * s, 0.88 * s, 0.88 * s), 0.18 * s, 0.18 * s);
    painter.setBrush(QColor(255, 255, 255, 235));
    for (int line = 0; line < 3; ++line) {
        const double width = line == 2 ? 0.4 : 0.6;
        painter.drawRoundedRect(QRectF(0.2 * s, (0.28 + 0.18 * line) * s, width * s, 0.09 * s), 0.045 * s, 0.045 * s);
    }
    return icon;
}

} // namespace velnor
