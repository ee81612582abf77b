#include "ui/common/Icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace velnor::Icons {

namespace {

constexpr qreal kScale = 2.0;

QPixmap canvas(int size)
{
    QPixmap pixmap(QSize(size, size) * kScale);
    pixmap.setDevicePixelRatio(kScale);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Glyphs are drawn on a 24×24 grid.
void drawGlyph(QPainter& p, Glyph which, const QColor& colour)
{
    QPen pen(colour, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (which) {
    case Glyph::Gauge: {
        p.drawArc(QRectF(3, 5, 18, 18), 0, 180 * 16);
        p.drawLine(QPointF(12, 14), QPointF(16.5, 9));
        p.setBrush(colour);
        p.drawEllipse(QPointF(12, 14), 1.6, 1.6);
        break;
    }
    case Glyph::TextBubble: {
        QPainterPath path;
        path.addRoundedRect(QRectF(3, 4, 18, 13), 4, 4);
        p.drawPath(path);
        p.drawLine(QPointF(8, 17), QPointF(7, 21));
        p.drawLine(QPointF(7, 21), QPointF(12, 17));
        p.drawLine(QPointF(7.5, 9), QPointF(16.5, 9));
        p.drawLine(QPointF(7.5, 12.5), QPointF(13.5, 12.5));
        break;
    }
    case Glyph::Gear: {
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            p.drawLine(QPointF(12 + 6.5 * std::cos(a), 12 + 6.5 * std::sin(a)),
                       QPointF(12 + 9.5 * std::cos(a), 12 + 9.5 * std::sin(a)));
        }
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
        break;
    }
    case Glyph::Person: {
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        p.drawEllipse(QPointF(12, 9.5), 3.2, 3.2);
        p.drawArc(QRectF(6.5, 14, 11, 9), 30 * 16, 120 * 16);
        break;
    }
    case Glyph::Refresh: {
        p.drawArc(QRectF(4.5, 4.5, 15, 15), 40 * 16, 290 * 16);
        p.drawLine(QPointF(18.2, 3.5), QPointF(18.2, 8.2));
        p.drawLine(QPointF(18.2, 8.2), QPointF(13.6, 8.2));
        break;
    }
    case Glyph::Plus:
    case Glyph::Minus: {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        // The sign is cut out, so it shows whatever lies below in any colour.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7.5, 12), QPointF(16.5, 12));
        if (which == Glyph::Plus)
            p.drawLine(QPointF(12, 7.5), QPointF(12, 16.5));
        break;
    }
    case Glyph::Microphone: {
        p.drawRoundedRect(QRectF(9, 3, 6, 11), 3, 3);
        p.drawArc(QRectF(6, 7, 12, 10), 180 * 16, 180 * 16);
        p.drawLine(QPointF(12, 17), QPointF(12, 21));
        p.drawLine(QPointF(8.5, 21), QPointF(15.5, 21));
        break;
    }
    case Glyph::Shield: {
        QPainterPath path(QPointF(12, 3));
        path.lineTo(19.5, 6);
        path.cubicTo(19.5, 14, 16, 18.5, 12, 21);
        path.cubicTo(8, 18.5, 4.5, 14, 4.5, 6);
        path.closeSubpath();
        p.drawPath(path);
        p.drawLine(QPointF(8.8, 12), QPointF(11.2, 14.4));
        p.drawLine(QPointF(11.2, 14.4), QPointF(15.5, 9.6));
        break;
    }
    case Glyph::Keyboard: {
        p.drawRoundedRect(QRectF(2.5, 6, 19, 12), 2.5, 2.5);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 5; ++col)
                p.drawPoint(QPointF(6 + col * 3, 9.5 + row * 3));
        }
        p.drawLine(QPointF(8, 15.2), QPointF(16, 15.2));
        break;
    }
    case Glyph::Window: {
        p.drawRoundedRect(QRectF(3, 4.5, 18, 15), 2.5, 2.5);
        p.drawLine(QPointF(3, 8.5), QPointF(21, 8.5));
        p.setBrush(colour);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(8, 14.5, 8, 2.6), 1.3, 1.3);
        break;
    }
    case Glyph::Waveform: {
        const qreal heights[] = {4, 9, 14, 8, 12, 5};
        for (int i = 0; i < 6; ++i) {
            const qreal x = 4.5 + i * 3;
            p.drawLine(QPointF(x, 12 - heights[i] / 2), QPointF(x, 12 + heights[i] / 2));
        }
        break;
    }
    case Glyph::Info:
    case Glyph::Warning:
    case Glyph::Check: {
        if (which == Glyph::Warning) {
            QPainterPath path(QPointF(12, 3.5));
            path.lineTo(21, 19.5);
            path.lineTo(3, 19.5);
            path.closeSubpath();
            p.drawPath(path);
            p.drawLine(QPointF(12, 9.5), QPointF(12, 14));
            p.drawPoint(QPointF(12, 17));
        } else {
            p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
            if (which == Glyph::Info) {
                p.drawLine(QPointF(12, 11), QPointF(12, 16.5));
                p.drawPoint(QPointF(12, 7.8));
            } else {
                p.drawLine(QPointF(7.5, 12.3), QPointF(10.8, 15.5));
                p.drawLine(QPointF(10.8, 15.5), QPointF(16.5, 8.8));
            }
        }
        break;
    }
    case Glyph::ChevronDown: {
        p.drawLine(QPointF(6.5, 9.5), QPointF(12, 15));
        p.drawLine(QPointF(12, 15), QPointF(17.5, 9.5));
        break;
    }
    case Glyph::Clock: {
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.drawLine(QPointF(12, 12), QPointF(12, 6.5));
        p.drawLine(QPointF(12, 12), QPointF(15.8, 14.2));
        break;
    }
    case Glyph::Card: {
        p.drawRoundedRect(QRectF(2.5, 5.5, 19, 13), 2.5, 2.5);
        p.setBrush(colour);
        p.drawRect(QRectF(2.5, 8.5, 19, 2.5));
        p.drawLine(QPointF(6, 15), QPointF(10, 15));
        break;
    }
    }
}

} // namespace

QPixmap logo(int size)
{
    QPixmap pixmap = canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient fill(QPointF(0, 0), QPointF(64, 64));
    fill.setColorAt(0, QColor(0x5b, 0x8d, 0xef));
    fill.setColorAt(1, QColor(0x7b, 0x4d, 0xe0));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 15, 15);

    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(19, 13, 13, 24), 6.5, 6.5);
    QPen stroke(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(stroke);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(13, 20, 25, 24), 200 * 16, 140 * 16);
    p.drawLine(QPointF(25.5, 44), QPointF(25.5, 51));
    // Waves leaving the microphone, fading out.
    for (int i = 0; i < 3; ++i) {
        QColor wave(Qt::white);
        wave.setAlphaF(1.0 - i * 0.28);
        stroke.setColor(wave);
        p.setPen(stroke);
        const qreal r = 9 + i * 6.5;
        p.drawArc(QRectF(30 - r, 26 - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
    return pixmap;
}

QPixmap glyph(Glyph which, int size, const QColor& colour)
{
    QPixmap pixmap = canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);
    drawGlyph(p, which, colour);
    return pixmap;
}

QIcon icon(Glyph which, const QColor& colour)
{
    QIcon result;
    for (const int size : {16, 20, 24, 32})
        result.addPixmap(glyph(which, size, colour));
    return result;
}

} // namespace velnor::Icons
