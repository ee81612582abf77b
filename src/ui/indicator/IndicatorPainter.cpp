#include "ui/indicator/IndicatorPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace velnor {

namespace {

constexpr double kIconSide = 18;
constexpr double kIconInset = 8;
constexpr double kIconGap = 8;
constexpr double kIconRadius = 3;
constexpr double kIconOpacity = 0.6;
constexpr double kWaveformLeading = 3;
constexpr double kRippleLeading = 5;
constexpr double kFaceHeight = 30;
constexpr double kBarWidth = 4;
constexpr double kBarGap = 2;
constexpr double kRipplePadding = 8;
constexpr double kRippleBackgroundRadius = 6;
// The desktop a non-composited pill pretends to sit on.
const QColor kAssumedBackdrop(128, 128, 128);

QColor blendOver(const QColor& color, double alpha, const QColor& below)
{
    const auto mix = [alpha](double top, double bottom) { return top * alpha + bottom * (1 - alpha); };
    return QColor::fromRgbF(static_cast<float>(mix(color.redF(), below.redF())),
                            static_cast<float>(mix(color.greenF(), below.greenF())),
                            static_cast<float>(mix(color.blueF(), below.blueF())));
}

void paintWaveform(QPainter& painter, const QRectF& host, const IndicatorScene& scene)
{
    const double rowWidth = kWaveformBarCount * kBarWidth + (kWaveformBarCount - 1) * kBarGap;
    double x = host.center().x() - rowWidth / 2;
    const double available = host.height();
    QLinearGradient gradient(0, host.top(), 0, host.bottom());
    gradient.setColorAt(0, barTopColor(scene.hue));
    gradient.setColorAt(1, barBottomColor(scene.hue));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    for (const double fraction : scene.barHeights) {
        const double height = available * std::max(0.0, fraction);
        const QRectF bar(x, host.center().y() - height / 2, kBarWidth, height);
        const double radius = std::min(kBarWidth, height) / 2;
        painter.drawRoundedRect(bar, radius, radius);
        x += kBarWidth + kBarGap;
    }
}

void paintRippleDot(QPainter& painter, const QPointF& centre, const QColor& color, double value)
{
    const RippleDotLook look = rippleDotLook(value);
    const double radius = kRippleDotSize * look.scale / 2;
    painter.setOpacity(painter.opacity() * look.opacity);
    if (look.blurRadius > 0.05) {
        // A soft edge as wide as the blur stands in for a Gaussian blur.
        const double outer = radius + look.blurRadius;
        QRadialGradient soft(centre, outer);
        QColor clear = color;
        clear.setAlphaF(0);
        soft.setColorAt(0, color);
        soft.setColorAt(std::max(0.0, (radius - look.blurRadius) / outer), color);
        soft.setColorAt(1, clear);
        painter.setBrush(soft);
        painter.drawEllipse(centre, outer, outer);
    } else {
        QLinearGradient diagonal(centre - QPointF(radius, radius), centre + QPointF(radius, radius));
        diagonal.setColorAt(0, color.lighter(130));
        diagonal.setColorAt(1, color);
        painter.setBrush(diagonal);
        painter.drawEllipse(centre, radius, radius);
    }
}

void paintRipple(QPainter& painter, const QRectF& host, const IndicatorScene& scene)
{
    const double backgroundHeight = kRippleDotSize + 2 * kRipplePadding;
    const QRectF background(host.left(), host.center().y() - backgroundHeight / 2, host.width(), backgroundHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 26));
    painter.drawRoundedRect(background, kRippleBackgroundRadius, kRippleBackgroundRadius);

    // Nine dots with their natural spacing need 136 points; the pill leaves
    // about 60, so the row keeps the dot size and narrows the spacing, with
    // room at the ends for a dot at its full 1.5 scale.
    const double endRoom = kRippleDotSize * 1.5 / 2;
    const double first = background.left() + endRoom;
    const double last = background.right() - endRoom;
    const double naturalStep = kRippleDotSize + kRippleSpacing;
    const double step = std::min(naturalStep, std::max(0.0, last - first) / (kRippleDotCount - 1));
    const double rowStart = (first + last) / 2 - step * (kRippleDotCount - 1) / 2;
    const auto& colors = rippleDotColors();
    for (int i = 0; i < kRippleDotCount; ++i) {
        painter.save();
        paintRippleDot(painter, QPointF(rowStart + i * step, host.center().y()), colors[static_cast<std::size_t>(i)],
                       scene.ripple[static_cast<std::size_t>(i)]);
        painter.restore();
    }
}

void paintIcon(QPainter& painter, const QRectF& frame, const QImage& icon)
{
    if (icon.isNull())
        return;
    const QSizeF fitted = QSizeF(icon.size()).scaled(frame.size(), Qt::KeepAspectRatio);
    const QRectF target(frame.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    painter.save();
    QPainterPath rounded;
    rounded.addRoundedRect(target, kIconRadius, kIconRadius);
    painter.setClipPath(rounded, Qt::IntersectClip);
    painter.setOpacity(painter.opacity() * kIconOpacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, icon);
    painter.restore();
}

} // namespace

FaceLayout faceLayout(const QSizeF& pillSize)
{
    const double centreY = pillSize.height() / 2;
    const QRectF icon(pillSize.width() - kIconInset - kIconSide, centreY - kIconSide / 2, kIconSide, kIconSide);
    const double hostRight = icon.left() - kIconGap;
    const double top = centreY - kFaceHeight / 2;
    return {QRectF(kWaveformLeading, top, std::max(0.0, hostRight - kWaveformLeading), kFaceHeight),
            QRectF(kRippleLeading, top, std::max(0.0, hostRight - kRippleLeading), kFaceHeight), icon};
}

void paintIndicator(QPainter& painter, const IndicatorScene& scene)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF pill(QPointF(0, 0), scene.size);
    QPainterPath outline;
    outline.addRoundedRect(pill, scene.cornerRadius, scene.cornerRadius);

    painter.setPen(Qt::NoPen);
    if (scene.opaqueBackdrop) {
        painter.fillPath(outline, blendOver(scene.background, scene.alpha, kAssumedBackdrop));
    } else {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(pill, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        QColor background = scene.background;
        background.setAlphaF(static_cast<float>(background.alphaF() * scene.alpha));
        painter.fillPath(outline, background);
    }
    // The whole view is translucent, content included.
    painter.setOpacity(scene.alpha);

    if (scene.hasContent) {
        painter.setClipPath(outline);
        const FaceLayout layout = faceLayout(scene.size);
        const auto paintFace = [&](const FacePlacement& placement, bool front) {
            if (!placement.visible)
                return;
            painter.save();
            painter.translate(0, placement.offset * scene.size.height());
            if (front)
                paintWaveform(painter, layout.waveformHost, scene);
            else
                paintRipple(painter, layout.rippleHost, scene);
            paintIcon(painter, layout.icon, scene.appIcon);
            painter.restore();
        };
        paintFace(scene.front, true);
        paintFace(scene.back, false);
    }
    painter.restore();
}

} // namespace velnor
