#pragma once

#include "ui/indicator/IndicatorScene.h"

#include <QRectF>

class QPainter;

namespace velnor {

// Face layout inside the pill, in pill coordinates.
struct FaceLayout {
    QRectF waveformHost;
    QRectF rippleHost;
    QRectF icon;
};
FaceLayout faceLayout(const QSizeF& pillSize);

// Draws one frame of the indicator into a painter whose origin is the pill's
// top-left corner. Pure drawing: the same scene gives the same pixels.
void paintIndicator(QPainter& painter, const IndicatorScene& scene);

} // namespace velnor
