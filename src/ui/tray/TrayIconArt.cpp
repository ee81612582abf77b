#include "ui/tray/TrayIconArt.h"

#include <QPainter>
#include <QPainterPath>

namespace velnor {

QImage paintTrayIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // Badge: a deep indigo rounded square with a light rim, so it stands out
    // on dark and light panels alike.
    painter.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
    painter.setBrush(QColor(0x3A, 0x3F, 0xC8));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 8, 8);

    // Microphone: capsule head, cradle and stand.
    const QColor ink(0xF5, 0xF7, 0xFF);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(12, 5.5, 8, 13.5), 4, 4);
    QPen stroke(ink, 2.2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(8.5, 14.5);
    cradle.cubicTo(8.5, 24.5, 23.5, 24.5, 23.5, 14.5);
    painter.drawPath(cradle);
    painter.drawLine(QPointF(16, 22), QPointF(16, 26));
    painter.drawLine(QPointF(12, 26.5), QPointF(20, 26.5));
    return image;
}

QIcon makeTrayIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(paintTrayIcon(size)));
    return icon;
}

} // namespace velnor
